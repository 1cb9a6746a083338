#pragma once

#include "Models/CalendarModels.h"
#include "Services/CalendarClient.h"
#include "Services/GoogleEndpoints.h"
#include "Services/KeychainTokenStore.h"
#include "Stores/MeetEventSubset.h"
#include "Support/Clock.h"
#include "Support/DemoMode.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QNetworkAccessManager;
class QTimer;

namespace kestrivane {

class AsyncWaitQueue;
class CancellableWait;
class GoogleOAuthClient;
class GoogleCalendarClient;
class NotificationScheduling;
struct GoogleOAuthConfiguration;
class UserDefaults;

// The application's one state object: connected Google accounts, calendars and the selection,
// today's and upcoming meetings, the current and active meeting, the statuses and the lead time.
// Lives on the main thread. `changed()` is emitted after every assignment of a published field,
// also when the value is unchanged; observers re-read the state then.
//
// Asynchronous operations are coroutines on the main thread. Every long wait (periodic sync,
// presentation refresh, selection debounce) is a CancellableWait owned by the store; cancelling a
// wait deletes it. The in-app alerts share one timer for the earliest of them. Coroutines hold the store through QPointer and end quietly once
// it is gone. No operation lets an error out: errors become the statuses below.
class AppStore : public QObject {
    Q_OBJECT

public:
    class SyncStatus {
    public:
        enum class Kind { idle, syncing, synced, failed };
        static SyncStatus idle() { return SyncStatus(Kind::idle); }
        static SyncStatus syncing() { return SyncStatus(Kind::syncing); }
        static SyncStatus synced(QDateTime at) { SyncStatus s(Kind::synced); s.date_ = std::move(at); return s; }
        static SyncStatus failed(QString message) { SyncStatus s(Kind::failed); s.message_ = std::move(message); return s; }
        Kind kind() const { return kind_; }
        const QDateTime &date() const { return date_; }
        const QString &message() const { return message_; }
        QString label() const;
        friend bool operator==(const SyncStatus &, const SyncStatus &) = default;

    private:
        explicit SyncStatus(Kind kind) : kind_(kind) {}
        Kind kind_;
        QDateTime date_;
        QString message_;
    };

    class NotificationStatus {
    public:
        enum class Kind { unknown, allowed, denied, failed };
        static NotificationStatus unknown() { return NotificationStatus(Kind::unknown); }
        static NotificationStatus allowed() { return NotificationStatus(Kind::allowed); }
        static NotificationStatus denied() { return NotificationStatus(Kind::denied); }
        static NotificationStatus failed(QString message) { NotificationStatus s(Kind::failed); s.message_ = std::move(message); return s; }
        Kind kind() const { return kind_; }
        const QString &message() const { return message_; }
        QString label() const;
        friend bool operator==(const NotificationStatus &, const NotificationStatus &) = default;

    private:
        explicit NotificationStatus(Kind kind) : kind_(kind) {}
        Kind kind_;
        QString message_;
    };

    class GoogleConnectionStatus {
    public:
        enum class Kind { disconnected, connecting, connected, failed };
        static GoogleConnectionStatus disconnected() { return GoogleConnectionStatus(Kind::disconnected); }
        static GoogleConnectionStatus connecting() { return GoogleConnectionStatus(Kind::connecting); }
        static GoogleConnectionStatus connected() { return GoogleConnectionStatus(Kind::connected); }
        static GoogleConnectionStatus failed(QString message) { GoogleConnectionStatus s(Kind::failed); s.message_ = std::move(message); return s; }
        Kind kind() const { return kind_; }
        const QString &message() const { return message_; }
        QString label() const;
        friend bool operator==(const GoogleConnectionStatus &, const GoogleConnectionStatus &) = default;

    private:
        explicit GoogleConnectionStatus(Kind kind) : kind_(kind) {}
        Kind kind_;
        QString message_;
    };

    // The user's own "OAuthConfig.plist" in the data folders (~/.local/share/kestrivane/, then the
    // system's), then the one compiled into the application's resources.
    static QStringList defaultOAuthConfigurationFiles();

    // Opens a link in the user's browser and answers whether that worked.
    using OpenURL = std::function<QCoro::Task<bool>(QUrl)>;
    // Builds the token store of one keyring item (service, account).
    using TokenStoreFactory = std::function<std::shared_ptr<OAuthTokenStoring>(const QString &service, const QString &account)>;

    // What the store is built from. Everything but the notification scheduler has a default.
    struct Configuration {
        // Replaces the whole per-account Google road of the sync when set.
        std::shared_ptr<CalendarClient> calendarClient;
        std::shared_ptr<NotificationScheduling> notificationScheduler;
        // The single-account token of the older layout; default: the keyring item
        // (KeychainTokenStore::defaultService(), "oauth").
        std::shared_ptr<OAuthTokenStoring> tokenStore;
        // Default: the standard user-defaults domain.
        std::shared_ptr<UserDefaults> userDefaults;
        QString keychainService = KeychainTokenStore::defaultService();
        // Fallback when no valid lead time is stored; an invalid value counts as 1800.
        double notificationLeadTime = 1800;
        bool inAppAlertsEnabled = true;
        Clock now = systemClock();
        DemoMode demoMode = DemoMode::disabled();
        // Where the Google services are reached.
        GoogleEndpoints endpoints = GoogleEndpoints::google();
        // Default: KeychainTokenStore.
        TokenStoreFactory tokenStoreFactory;
        // Default: the services' shared manager. A given one must outlive the store's requests.
        QNetworkAccessManager *network = nullptr;
        // The OAuth configuration files, in order of preference; the first that exists decides.
        QStringList oauthConfigurationFiles = defaultOAuthConfigurationFiles();
        // How long a connection waits for the browser to come back; default: the OAuth client's.
        std::optional<std::chrono::milliseconds> authorizationTimeout;
    };

    static inline const QString googleClientIDKey = QStringLiteral("googleClientID");
    static inline const QString googleClientSecretKey = QStringLiteral("googleClientSecret");
    static inline const QString googleAccountsKey = QStringLiteral("googleAccounts");
    static inline const QString selectedCalendarIDsKey = QStringLiteral("selectedCalendarIDs");
    static inline const QString notificationLeadTimeKey = QStringLiteral("notificationLeadTime");
    static inline const QString googlePendingTokenAccount = QStringLiteral("oauth:pending");
    static inline const QString googleCalendarIDSeparator = QStringLiteral("::");

    explicit AppStore(Configuration configuration, QObject *parent = nullptr);
    ~AppStore() override;

    // Published state.
    const QList<CalendarInfo> &calendars() const { return calendars_; }
    const QSet<QString> &selectedCalendarIDs() const { return selectedCalendarIDs_; }
    // The two lists are made on the first read after a change; a reference to one lasts until the
    // store's next change.
    const QList<CalendarEvent> &todayMeetEvents() const { return todayMeetEvents_.list(); }
    const QList<CalendarEvent> &upcomingMeetEvents() const { return upcomingMeetEvents_.list(); }
    const std::optional<CalendarEvent> &activeMeetEvent() const { return activeMeetEvent_; }
    const std::optional<CalendarEvent> &currentMeetEvent() const { return currentMeetEvent_; }
    const SyncStatus &syncStatus() const { return syncStatus_; }
    bool hasCompletedInitialSync() const { return hasCompletedInitialSync_; }
    bool notificationPermissionGranted() const { return notificationPermissionGranted_; }
    const NotificationStatus &notificationStatus() const { return notificationStatus_; }
    const std::optional<QString> &testNotificationStatus() const { return testNotificationStatus_; }
    const GoogleConnectionStatus &googleConnectionStatus() const { return googleConnectionStatus_; }
    const QList<GoogleAccount> &googleAccounts() const { return googleAccounts_; }
    const DemoMode &demoMode() const { return demoMode_; }
    const QString &googleClientID() const { return googleClientID_; }
    const QString &googleClientSecret() const { return googleClientSecret_; }
    double notificationLeadTime() const { return notificationLeadTime_; }

    // Stores the text and recomputes the connection status.
    void setGoogleClientID(const QString &clientID);
    void setGoogleClientSecret(const QString &clientSecret);

    // Derived values, computed on every read.
    bool googleOAuthConfigured() const;
    QDateTime presentationDate() const;
    bool requiresUserAttention() const;
    bool requiresGoogleReconnect() const;
    // The message of the failure that needs attention when the keyring caused it (the failed
    // connection's, else the failed sync's); nullopt otherwise.
    std::optional<QString> keyringFailure() const;
    std::optional<QDateTime> nextNotificationFireDate() const;
    std::optional<QUrl> shortcutJoinURL() const;

    // Sync. Passes never overlap: a sync() called while a pass runs waits for it and then for one
    // more pass, which every caller arriving meanwhile shares.
    void startPeriodicSync(double interval = 300);
    void startPresentationRefresh(double interval = 60);
    QCoro::Task<void> sync();
    void refreshPresentationState();

    // Presentation and alerts.
    void setCalendarSelection(const QString &calendarID, bool isSelected);
    void dismissActiveMeetEvent();
    void markMeetEventActive(const CalendarEvent &event);

    // Notifications.
    QCoro::Task<void> setNotificationLeadTime(double seconds);
    QCoro::Task<void> sendTestNotification();
    QCoro::Task<void> prepareForUserQuit();

    // Accounts.
    QCoro::Task<void> connectGoogle(OpenURL openURL);
    QCoro::Task<void> connectGoogleAndSync(OpenURL openURL);
    void disconnectGoogle();
    void disconnectGoogleAccount(const GoogleAccount &account);

    // Composite identifiers: "<account id>::<calendar id>".
    static QString googleCalendarID(const QString &accountID, const QString &calendarID);
    static std::optional<std::pair<QString, QString>> compositeGoogleCalendarID(const QString &text);
    static bool syncFailureRequiresGoogleReconnect(const QString &message);

    // A lead time the store accepts: finite, positive, and whole seconds that fit a signed 64-bit
    // integer. Every conversion of a lead time to seconds or a timer interval relies on it.
    static bool isValidLeadTime(double seconds);

signals:
    void changed();

private:
    // The demo texts of one language.
    struct DemoData {
        QString primaryName;
        QString secondaryName;
        QString productCalendar;
        QString leadershipCalendar;
        QString partnerCalendar;
        QString endedTitle;
        QString currentTitle;
        QString readyTitle;
        QString nextTitle;
    };

    // --- Assignment of published fields: assign, then announce. ---
    template<typename T, typename V>
    void publish(T &field, V &&value)
    {
        field = std::forward<V>(value);
        emit changed();
    }
    // Every change of the account list goes through here: it is counted, so that a sync pass
    // that was suspended meanwhile notices and writes nothing.
    void assignGoogleAccounts(QList<GoogleAccount> accounts);

    // --- State and settings (AppStore.cpp). ---
    void updateGoogleConnectionStatus();
    static double loadNotificationLeadTime(const UserDefaults &defaults, double fallback);
    static std::optional<GoogleOAuthConfiguration> bundledGoogleOAuthConfiguration(const QStringList &files);
    static QList<GoogleAccount> loadGoogleAccounts(const UserDefaults &defaults);
    // The error's localised description (what() for foreign exceptions).
    static QString errorDescription(const std::exception_ptr &error);
    // A failed connection or sync status with the error's description; whether the keyring
    // failed is kept.
    void publishConnectionFailure(const std::exception_ptr &error);
    void publishSyncFailure(const std::exception_ptr &error);

    // --- Sync cycle (AppStoreSync.cpp). ---
    // One pass; false when it was abandoned because the account list changed while it was
    // suspended (it then wrote nothing, and the caller runs another pass).
    QCoro::Task<bool> runSyncPass();
    QCoro::Task<void> refreshNotificationAuthorization();
    // Throws; yields false when the account list changed at a suspension point.
    QCoro::Task<bool> syncGoogle(QDateTime from, QDateTime to, QDateTime reference);
    QSet<QString> updateCalendarsAndSelection(const QList<CalendarInfo> &incoming);
    // Throws the rescheduling's error; yields false when the account list changed meanwhile.
    QCoro::Task<bool> finishSync(QList<CalendarEvent> events, QDateTime reference);
    void handleSyncFailure(const std::exception_ptr &error);
    // The account list changed since the running pass took it.
    // The running pass's account list changed, or the user quit, after it started: it writes nothing more.
    bool passIsStale() const { return passAccountsGeneration_ != accountsGeneration_ || passQuitCount_ != quitCount_; }
    QDateTime screenshotReferenceDate(const QDateTime &date) const;
    // The OAuth client a sync pass uses for an account: its token store writes nothing once the
    // account list has changed since `accountsGeneration`.
    std::shared_ptr<GoogleOAuthClient> syncOAuthClient(const GoogleAccount &account, quint64 accountsGeneration);
    // `inner`, refusing writes once the account list has changed from `accountsGeneration`, so a
    // token refresh that ends after a disconnect or reconnect does not bring an item back.
    std::shared_ptr<OAuthTokenStoring> generationGuardedTokenStore(std::shared_ptr<OAuthTokenStoring> inner,
                                                                   quint64 accountsGeneration);
    static QCoro::Task<void> periodicSyncLoop(QPointer<AppStore> store, QPointer<CancellableWait> task,
                                              std::chrono::milliseconds interval);
    static QCoro::Task<void> presentationRefreshLoop(QPointer<AppStore> store, QPointer<CancellableWait> task,
                                                     std::chrono::milliseconds interval);

    // --- Presentation and in-app alerts (AppStorePresentation.cpp). ---
    void applyCachedMeetEvents(const QDateTime &date);
    void rescheduleActiveAlerts(const MeetEventSubset &events, const QDateTime &date);
    void cancelAlertTasks();
    // Raises the alerts whose time has come, in order, then re-arms the timer for the next one.
    void raiseDueAlerts();
    void armAlertTimer();
    void saveSelectedCalendarIDs();
    void scheduleCalendarSelectionSync();
    static QCoro::Task<void> calendarSelectionSync(QPointer<AppStore> store, QPointer<CancellableWait> task);
    // Deletes the task's wait (ending a sleep in it) and clears the field.
    static void cancelTask(CancellableWait *&task);

    // --- System notifications (AppStoreNotifications.cpp). ---
    // When a meeting's alert and notification are due: its start minus the lead time.
    static QDateTime alertInstant(const CalendarEvent &event, double leadTime);
    // Throws the scheduler's error. Returns quietly when a newer change of the notifications
    // supersedes it.
    QCoro::Task<void> rescheduleSystemNotifications(MeetEventSubset events, QDateTime date);
    QCoro::Task<void> rescheduleSystemNotificationsAfterSelectionChange(MeetEventSubset events);
    // Withdraws the listed identifiers, then every pending "meet-" notification. Supersedes any
    // rescheduling under way.
    // Withdraws `identifiers` (default: the scheduled ones, taken when its turn comes), then every
    // pending "meet-" notification.
    QCoro::Task<void> withdrawAllSystemNotifications(std::optional<QStringList> identifiers = std::nullopt);
    // Changes of the pending notifications run one at a time. begin...() waits for the change
    // under way and yields this change's turn, or nullopt when the store is gone; the turn ends
    // when it is destroyed. A superseded change (a newer one was asked for) stops at its next step.
    class NotificationChangeTurn {
    public:
        NotificationChangeTurn(AppStore *store, quint64 ticket) : store_(store), ticket_(ticket) {}
        NotificationChangeTurn(NotificationChangeTurn &&other) noexcept
            : store_(std::exchange(other.store_, nullptr)), ticket_(other.ticket_)
        {
        }
        NotificationChangeTurn &operator=(NotificationChangeTurn &&other) noexcept
        {
            if (this != &other) {
                end();
                store_ = std::exchange(other.store_, nullptr);
                ticket_ = other.ticket_;
            }
            return *this;
        }
        ~NotificationChangeTurn() { end(); }
        bool superseded() const { return !store_ || ticket_ != store_->notificationChangeRequests_; }

    private:
        void end()
        {
            if (store_)
                std::exchange(store_, nullptr)->endNotificationChange();
        }
        QPointer<AppStore> store_;
        quint64 ticket_;
    };
    QCoro::Task<std::optional<NotificationChangeTurn>> beginNotificationChange();
    void endNotificationChange();

    // --- Google accounts (AppStoreAccounts.cpp). ---
    QCoro::Task<void> migrateLegacyGoogleAccountIfNeeded();
    static QString googleTokenAccountName(const QString &accountID);
    std::shared_ptr<OAuthTokenStoring> googleTokenStore(const GoogleAccount &account) const;
    std::shared_ptr<OAuthTokenStoring> makeTokenStore(const QString &account) const;
    GoogleOAuthConfiguration googleOAuthConfiguration() const;
    std::shared_ptr<GoogleOAuthClient> googleOAuthClient(const GoogleAccount &account) const;
    std::shared_ptr<GoogleOAuthClient> makeGoogleOAuthClient(std::shared_ptr<OAuthTokenStoring> tokenStore) const;
    std::shared_ptr<GoogleCalendarClient> makeGoogleCalendarClient(std::shared_ptr<GoogleOAuthClient> oauthClient) const;
    void upsertGoogleAccount(const GoogleAccount &account);
    void saveGoogleAccounts();
    void cancelCalendarSelectionSync();
    // Empties calendars, selection (and its stored key) and meetings of every account, and stops
    // the alert waits and the debounced sync.
    void clearCalendarsAndMeetings();
    // Drops these accounts with their calendars, selected calendars and meetings, then re-times the
    // in-app alerts and the system notifications.
    void forgetGoogleAccounts(const QSet<QString> &accountIDs);

    // --- Demo snapshot (AppStoreDemo.cpp). ---
    void applyDemoSnapshot(const QDateTime &date, const DemoMode &demoMode);
    static DemoData demoData(const QString &localeIdentifier);
    static QDateTime demoDate(const QDateTime &date, int hour, int minute);
    static CalendarEvent demoMeetEvent(const QString &id, const QString &calendarID, const QString &calendarName,
                                       const QString &title, const QDateTime &startDate, const QDateTime &endDate,
                                       const QString &accountEmail);

    // Published fields.
    QList<CalendarInfo> calendars_;
    QSet<QString> selectedCalendarIDs_;
    // Subsets of cachedMeetEvents_ (the demo's lists are their own).
    MeetEventSubset todayMeetEvents_;
    MeetEventSubset upcomingMeetEvents_;
    std::optional<CalendarEvent> activeMeetEvent_;
    std::optional<CalendarEvent> currentMeetEvent_;
    SyncStatus syncStatus_ = SyncStatus::idle();
    // Whether the last failed sync, and the last failed connection, were the keyring's.
    bool syncFailedAtKeyring_ = false;
    bool connectionFailedAtKeyring_ = false;
    bool hasCompletedInitialSync_ = false;
    bool notificationPermissionGranted_ = false;
    NotificationStatus notificationStatus_ = NotificationStatus::unknown();
    std::optional<QString> testNotificationStatus_;
    GoogleConnectionStatus googleConnectionStatus_ = GoogleConnectionStatus::disconnected();
    QList<GoogleAccount> googleAccounts_;
    DemoMode demoMode_;
    QString googleClientID_;
    QString googleClientSecret_;
    double notificationLeadTime_ = 1800;

    // What the store was built with.
    std::shared_ptr<CalendarClient> testCalendarClient_;
    std::shared_ptr<NotificationScheduling> notificationScheduler_;
    std::shared_ptr<OAuthTokenStoring> tokenStore_;
    std::shared_ptr<UserDefaults> userDefaults_;
    QString keychainService_;
    Clock now_;
    bool inAppAlertsEnabled_ = true;
    GoogleEndpoints endpoints_;
    TokenStoreFactory tokenStoreFactory_;
    QNetworkAccessManager *network_ = nullptr;
    std::optional<std::chrono::milliseconds> authorizationTimeout_;

    // In-app alerts: one entry per alert identity, ordered by when it is due (milliseconds on
    // alertClock_; equal times keep their scheduling order), a cursor at the first not yet raised,
    // and one timer for it. Entries refer to the meetings by their place in alertEvents_.
    struct PendingAlert {
        qint64 due = 0;
        qsizetype event = 0;
        // False once a later meeting with the same identity took its place.
        bool live = true;
    };
    std::vector<PendingAlert> alerts_;
    size_t nextAlert_ = 0;
    // Counts the tables: a new one replaces the alerts being raised.
    quint64 alertTable_ = 0;
    MeetEventSubset alertEvents_;
    QElapsedTimer alertClock_;
    QTimer *alertTimer_ = nullptr;

    // Waits: children of the store, deleted to cancel. Absent while nothing waits.
    CancellableWait *periodicSyncTask_ = nullptr;
    CancellableWait *presentationRefreshTask_ = nullptr;
    CancellableWait *calendarSelectionSyncTask_ = nullptr;

    // Private state.
    QSet<QString> dismissedAlertIDs_;
    // The Meet events of the last fetch in order of their start, picked from the fetched list.
    MeetEventSubset cachedMeetEvents_;
    // Identifiers of the notifications the last rescheduling scheduled, in its order.
    QStringList scheduledNotificationIDs_;
    bool hasStoredCalendarSelection_ = false;

    // Serialised sync passes.
    bool passRunning_ = false;
    quint64 startedPasses_ = 0;
    // The number of the last pass whose outcome stands (an abandoned pass leaves it unchanged).
    quint64 lastCompletedPass_ = 0;
    // prepareForUserQuit() calls so far, and their count when the running pass started.
    quint64 quitCount_ = 0;
    quint64 passQuitCount_ = 0;
    AsyncWaitQueue *passFinished_ = nullptr;
    // Counts every change of googleAccounts_.
    quint64 accountsGeneration_ = 0;
    // accountsGeneration_ as the running pass took the account list.
    quint64 passAccountsGeneration_ = 0;

    // Counts the connections started; a connection that is no longer the latest ends quietly.
    quint64 connectionGeneration_ = 0;

    // Serialised changes of the pending system notifications.
    bool changingNotifications_ = false;
    quint64 notificationChangeRequests_ = 0;
    AsyncWaitQueue *notificationChangeFinished_ = nullptr;
};

} // namespace kestrivane
