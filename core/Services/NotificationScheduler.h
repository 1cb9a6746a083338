#pragma once

#include "Support/CancellableWait.h"
#include "Support/Clock.h"
#include "Support/Error.h"
#include "Support/WallClockAlarm.h"

#include <QDBusConnection>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace kestrivane {

// One system notification to schedule.
struct ScheduledNotification {
    // Memberwise. A constructor, not aggregate initialisation: GCC 12 destroys an aggregate
    // temporary built inside a co_await expression twice, which frees the link under the request.
    ScheduledNotification(QString identifier, QString eventID, QString title, QString body, QDateTime fireDate,
                          std::optional<QUrl> meetURL)
        : identifier(std::move(identifier)), eventID(std::move(eventID)), title(std::move(title)), body(std::move(body)),
          fireDate(std::move(fireDate)), meetURL(std::move(meetURL))
    {
    }

    // A later request with the same identifier replaces a pending one; withdrawal goes by it.
    QString identifier;
    // The meeting the notification belongs to; carried for the caller only.
    QString eventID;
    QString title;
    QString body;
    QDateTime fireDate;
    // The link a click on the notification opens.
    std::optional<QUrl> meetURL;

    friend bool operator==(const ScheduledNotification &, const ScheduledNotification &) = default;
};

// A failure of the desktop notification service. The description is localised.
class NotificationError : public Error {
public:
    using Error::Error;
};

// What the store schedules its system notifications through.
class NotificationScheduling {
public:
    virtual ~NotificationScheduling() = default;

    // Whether the application's notifications can be shown. May throw.
    virtual QCoro::Task<bool> requestAuthorization() = 0;
    // Queues one notification, replacing a pending one with the same identifier. May throw.
    virtual QCoro::Task<void> schedule(ScheduledNotification notification) = 0;
    // Withdraws the pending notifications with these identifiers; others are ignored. Never fails.
    virtual QCoro::Task<void> cancelPendingNotifications(QStringList identifiers) = 0;
    // Withdraws every pending notification whose identifier begins with "meet-". Never fails.
    virtual QCoro::Task<void> cancelPendingMeetNotifications() = 0;
};

// When a scheduled notification fires.
struct NotificationTrigger {
    enum class Kind {
        // After `interval` on a monotonic timer, counted from scheduling.
        Interval,
        // When the wall clock reaches `fireSecond`.
        WallClock,
        // Never: the fire instant is too long past.
        Expired,
    };

    Kind kind = Kind::Expired;
    std::chrono::milliseconds interval{0};
    QDateTime fireSecond;

    static NotificationTrigger after(std::chrono::milliseconds interval) { return {Kind::Interval, interval, {}}; }
    static NotificationTrigger at(QDateTime second) { return {Kind::WallClock, std::chrono::milliseconds(0), std::move(second)}; }
    static NotificationTrigger expired() { return {}; }

    friend bool operator==(const NotificationTrigger &, const NotificationTrigger &) = default;
};

// A fire instant past by at most this much is still delivered, one second after scheduling.
inline constexpr std::chrono::seconds pastDueGrace{60};

// The trigger of a notification due at `fireDate`, scheduled at `now`:
// - 0 s < delay <= 60 s: an interval of max(1 s, delay);
// - delay > 60 s: the wall clock reaching the start of the fire instant's second;
// - -60 s <= delay <= 0 s: an interval of 1 s (past due, but a sync may have taken that long);
// - earlier, or an invalid instant: expired.
NotificationTrigger triggerFor(const QDateTime &fireDate, const QDateTime &now);

// Schedules notifications on the freedesktop notification service (org.freedesktop.Notifications).
// The service shows notifications at once and cannot schedule them, so the pending requests live
// here, in process, until they fire or are withdrawn. Runs on the thread it was created on.
class UserNotificationScheduler : public QObject, public NotificationScheduling {
    Q_OBJECT

public:
    using OpenUrl = std::function<void(const QUrl &)>;

    static inline const QString serviceName = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");
    static inline const QString interfaceName = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString meetPrefix = QStringLiteral("meet-");
    // The action a click on the notification's body invokes.
    static inline const QString defaultActionKey = QStringLiteral("default");

    // Opens an http or https link in the user's browser through xdg-open; ignores other links.
    static void openInBrowser(const QUrl &url);

    explicit UserNotificationScheduler(Clock clock = systemClock(),
                                       QDBusConnection connection = QDBusConnection::sessionBus(),
                                       OpenUrl openUrl = &UserNotificationScheduler::openInBrowser,
                                       std::unique_ptr<WallClockAlarm> alarm = makeSystemWallClockAlarm(),
                                       QObject *parent = nullptr);
    ~UserNotificationScheduler() override;

    // True when a notification server owns or can activate the service name and answers; false
    // when there is none; any other D-Bus failure is thrown as NotificationError.
    QCoro::Task<bool> requestAuthorization() override;
    // Queues the request (replacing a pending one with its identifier), then checks that the
    // service answers; when it does not, withdraws the request again and throws NotificationError.
    // An invalid fire date is refused; a fire date more than 60 s past is dropped.
    QCoro::Task<void> schedule(ScheduledNotification notification) override;
    QCoro::Task<void> cancelPendingNotifications(QStringList identifiers) override;
    QCoro::Task<void> cancelPendingMeetNotifications() override;

    // Identifiers of the requests that have neither fired nor been withdrawn, sorted.
    QStringList pendingIdentifiers() const;

private Q_SLOTS:
    void onActionInvoked(uint id, const QString &actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    struct Pending {
        ScheduledNotification notification;
        NotificationTrigger trigger;
        quint64 generation = 0;
        // Held by interval requests only; destroying it ends the request's wait.
        std::unique_ptr<CancellableWait> wait;
    };

    QCoro::Task<void> runInterval(CancellableWait *wait, std::chrono::milliseconds interval, QString identifier,
                                  quint64 generation);
    // Arms the alarm for the earliest wall-clock request when it is earlier than the armed one.
    void armWallClock(const QDateTime &second);
    // Delivers the wall-clock requests whose second has come, then re-arms for the earliest left.
    void onWallClockAlarm();
    void withdraw(const QString &identifier);
    void fire(const QString &identifier);
    QCoro::Task<void> deliver(ScheduledNotification notification);
    // Follows the server's click and close signals, from the first delivery on: before it, no
    // notification of ours can be clicked or closed, and the start-up does not wait for the bus.
    void subscribe();

    Clock clock_;
    QDBusConnection connection_;
    OpenUrl openUrl_;
    std::map<QString, Pending> pending_;
    quint64 nextGeneration_ = 1;
    // One alarm serves every wall-clock request: armed for the earliest of them (possibly one
    // since withdrawn, which only wakes the process once), woken early by a clock change.
    std::unique_ptr<WallClockAlarm> alarm_;
    QDateTime alarmDeadline_;
    // Links of delivered notifications by the server's notification id, until they close.
    QHash<uint, QUrl> links_;
    bool subscribed_ = false;
};

} // namespace kestrivane
