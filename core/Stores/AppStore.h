#pragma once

#include "Models/CalendarModels.h"
#include "Services/CalendarClient.h"
#include "Services/GoogleEndpoints.h"
#include "Services/KeychainTokenStore.h"
#include "Support/Clock.h"
#include "Support/DemoMode.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QNetworkAccessManager;

namespace kestrivane {

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
        double notificationLeadTime = 1800;
        bool inAppAlertsEnabled = true;
        Clock now = systemClock();
        DemoMode demoMode = DemoMode::disabled();
        // Where the Google services are reached.
        GoogleEndpoints endpoints = GoogleEndpoints::google();
        // Default: KeychainTokenStore.
        TokenStoreFactory tokenStoreFactory;
        // Default: one manager owned by the store.
        QNetworkAccessManager *network = nullptr;
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
    const QList<CalendarEvent> &todayMeetEvents() const { return todayMeetEvents_; }
    const QList<CalendarEvent> &upcomingMeetEvents() const { return upcomingMeetEvents_; }
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
    std::optional<QDateTime> nextNotificationFireDate() const;
    std::optional<QUrl> shortcutJoinURL() const;

    // Sync.
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

signals:
    void changed();

private:
    // Implementation members are added by the implementation; see AppStore.cpp.
    struct Private;
    std::unique_ptr<Private> d;

    QList<CalendarInfo> calendars_;
    QSet<QString> selectedCalendarIDs_;
    QList<CalendarEvent> todayMeetEvents_;
    QList<CalendarEvent> upcomingMeetEvents_;
    std::optional<CalendarEvent> activeMeetEvent_;
    std::optional<CalendarEvent> currentMeetEvent_;
    SyncStatus syncStatus_ = SyncStatus::idle();
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
};

} // namespace kestrivane
