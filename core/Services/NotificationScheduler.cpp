#include "Services/NotificationScheduler.h"

#include "Support/Browser.h"
#include "Support/BundleInfo.h"
#include "Support/InstalledApplication.h"
#include "Support/Localization.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QPointer>
#include <QProcess>

#include <QCoro/QCoroDBusPendingCall>

#include <algorithm>
#include <limits>

namespace kestrivane {

namespace {


constexpr qint64 intervalLimitMs = 60'000;
constexpr qint64 minimumIntervalMs = 1'000;

// The sound theme's name for the usual notification sound.
const QString soundName = QStringLiteral("message-new-instant");

qint64 saturatingDifference(qint64 a, qint64 b)
{
    qint64 result = 0;
    if (__builtin_sub_overflow(a, b, &result))
        return b < 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return result;
}

// Calls `method` of the notification service without blocking; the reply may be an error.
// Takes the connection by value so it never touches its caller after suspending.
QCoro::Task<QDBusMessage> callService(QDBusConnection connection, QString method, QVariantList arguments = {})
{
    QDBusMessage message = QDBusMessage::createMethodCall(UserNotificationScheduler::serviceName, UserNotificationScheduler::objectPath,
                                                          UserNotificationScheduler::interfaceName, method);
    message.setArguments(arguments);
    const QDBusPendingCall call = connection.asyncCall(message);
    co_return co_await call;
}

// Neither owned nor activatable: no notification server exists on this bus.
bool isNoServer(const QDBusMessage &reply)
{
    const QString name = reply.errorName();
    return name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")
        || name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
}

QString errorText(const QDBusMessage &reply)
{
    return reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
}

NotificationError serviceError(const QDBusMessage &reply)
{
    const QString key = isNoServer(reply) ? QStringLiteral("notification_error_service_unavailable")
                                          : QStringLiteral("notification_error_request_failed");
    return NotificationError(L10n::format(key, errorText(reply)));
}

// Servers that advertise "body-markup" read the body as markup; titles and calendar names are
// user data and must show as typed.
QString escapeMarkup(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'&')
            escaped += QLatin1String("&amp;");
        else if (c == u'<')
            escaped += QLatin1String("&lt;");
        else if (c == u'>')
            escaped += QLatin1String("&gt;");
        else
            escaped += c;
    }
    return escaped;
}

QString applicationName()
{
    const QString name = BundleInfo::main().text(QStringLiteral("CFBundleName"));
    return name.isEmpty() ? QCoreApplication::applicationName() : name;
}

} // namespace

NotificationTrigger triggerFor(const QDateTime &fireDate, const QDateTime &now)
{
    if (!fireDate.isValid() || !now.isValid())
        return NotificationTrigger::expired();
    const qint64 fireMs = fireDate.toMSecsSinceEpoch();
    const qint64 delayMs = saturatingDifference(fireMs, now.toMSecsSinceEpoch());
    if (delayMs > intervalLimitMs) {
        // The start of the fire instant's second (floor, also before 1970).
        const qint64 secondMs = fireMs - ((fireMs % 1000) + 1000) % 1000;
        return NotificationTrigger::at(QDateTime::fromMSecsSinceEpoch(secondMs, Qt::UTC));
    }
    if (delayMs > 0)
        return NotificationTrigger::after(std::chrono::milliseconds(std::max(delayMs, minimumIntervalMs)));
    if (delayMs >= -std::chrono::milliseconds(pastDueGrace).count())
        return NotificationTrigger::after(std::chrono::milliseconds(minimumIntervalMs));
    return NotificationTrigger::expired();
}

void UserNotificationScheduler::openInBrowser(const QUrl &url)
{
    // Fire and forget: a click has nobody to report a failure to.
    kestrivane::openInBrowser(url).then([](bool) {});
}

UserNotificationScheduler::UserNotificationScheduler(Clock clock, QDBusConnection connection, OpenUrl openUrl,
                                                     std::unique_ptr<WallClockAlarm> alarm, QObject *parent)
    : QObject(parent), clock_(std::move(clock)), connection_(std::move(connection)), openUrl_(std::move(openUrl)),
      alarm_(std::move(alarm))
{
    connect(alarm_.get(), &WallClockAlarm::woke, this, &UserNotificationScheduler::onWallClockAlarm);
}

UserNotificationScheduler::~UserNotificationScheduler()
{
    if (subscribed_) {
        connection_.disconnect(serviceName, objectPath, interfaceName, QStringLiteral("ActionInvoked"), this,
                               SLOT(onActionInvoked(uint, QString)));
        connection_.disconnect(serviceName, objectPath, interfaceName, QStringLiteral("NotificationClosed"), this,
                               SLOT(onNotificationClosed(uint, uint)));
    }
    // Ends every wait; their coroutines return without touching this object.
    alarm_->disarm();
    pending_.clear();
}

QCoro::Task<bool> UserNotificationScheduler::requestAuthorization()
{
    const QDBusMessage reply = co_await callService(connection_, QStringLiteral("GetServerInformation"));
    if (reply.type() == QDBusMessage::ReplyMessage)
        co_return true;
    if (isNoServer(reply))
        co_return false;
    throw serviceError(reply);
}

QCoro::Task<void> UserNotificationScheduler::schedule(ScheduledNotification notification)
{
    if (!notification.fireDate.isValid())
        throw NotificationError(L10n::text(QStringLiteral("notification_error_invalid_fire_date")));

    const QString identifier = notification.identifier;
    const NotificationTrigger trigger = triggerFor(notification.fireDate, clock_());
    withdraw(identifier);
    if (trigger.kind == NotificationTrigger::Kind::Expired)
        co_return; // more than the grace period past due

    // Queue first, so a withdrawal that arrives while the service is being asked still wins.
    const quint64 generation = nextGeneration_++;
    Pending &entry = pending_.insert_or_assign(identifier, Pending{std::move(notification), trigger, generation, nullptr}).first->second;
    if (trigger.kind == NotificationTrigger::Kind::Interval) {
        entry.wait = std::make_unique<CancellableWait>();
        runInterval(entry.wait.get(), trigger.interval, identifier, generation);
    } else {
        armWallClock(trigger.fireSecond);
    }

    QPointer<UserNotificationScheduler> self(this);
    const QDBusMessage reply = co_await callService(connection_, QStringLiteral("GetServerInformation"));
    if (reply.type() == QDBusMessage::ReplyMessage)
        co_return;
    if (self) {
        const auto it = self->pending_.find(identifier);
        if (it != self->pending_.end() && it->second.generation == generation)
            self->withdraw(identifier);
    }
    throw serviceError(reply);
}

QCoro::Task<void> UserNotificationScheduler::cancelPendingNotifications(QStringList identifiers)
{
    for (const QString &identifier : std::as_const(identifiers))
        withdraw(identifier);
    co_return;
}

QCoro::Task<void> UserNotificationScheduler::cancelPendingMeetNotifications()
{
    QStringList meet;
    for (const auto &[identifier, entry] : pending_) {
        if (identifier.startsWith(meetPrefix, Qt::CaseSensitive))
            meet.append(identifier);
    }
    for (const QString &identifier : std::as_const(meet))
        withdraw(identifier);
    co_return;
}

QStringList UserNotificationScheduler::pendingIdentifiers() const
{
    QStringList identifiers;
    for (const auto &[identifier, entry] : pending_)
        identifiers.append(identifier);
    return identifiers; // std::map keeps them sorted
}

void UserNotificationScheduler::withdraw(const QString &identifier)
{
    // Destroying an interval request's wait resumes its coroutine with false; it returns at once.
    pending_.erase(identifier);
}

QCoro::Task<void> UserNotificationScheduler::runInterval(CancellableWait *wait, std::chrono::milliseconds interval,
                                                         QString identifier, quint64 generation)
{
    const bool elapsed = co_await wait->sleep(interval);
    if (!elapsed)
        co_return; // withdrawn, replaced or shut down
    const auto it = pending_.find(identifier);
    if (it != pending_.end() && it->second.generation == generation)
        fire(identifier);
}

void UserNotificationScheduler::armWallClock(const QDateTime &second)
{
    if (alarmDeadline_.isValid() && alarmDeadline_ <= second)
        return;
    alarmDeadline_ = second;
    alarm_->arm(second);
}

void UserNotificationScheduler::onWallClockAlarm()
{
    const QDateTime now = clock_();
    QStringList due;
    std::optional<QDateTime> next;
    for (const auto &[identifier, entry] : pending_) {
        if (entry.trigger.kind != NotificationTrigger::Kind::WallClock)
            continue;
        if (entry.trigger.fireSecond <= now)
            due.append(identifier);
        else if (!next || entry.trigger.fireSecond < *next)
            next = entry.trigger.fireSecond;
    }
    alarmDeadline_ = QDateTime();
    if (next)
        armWallClock(*next);
    else
        alarm_->disarm();
    for (const QString &identifier : std::as_const(due))
        fire(identifier);
}

void UserNotificationScheduler::fire(const QString &identifier)
{
    auto node = pending_.extract(identifier);
    if (node.empty())
        return;
    Pending entry = std::move(node.mapped());
    // The wait may be the one whose timer is resuming us right now: let it finish first.
    if (entry.wait)
        entry.wait.release()->deleteLater();
    deliver(std::move(entry.notification));
}

void UserNotificationScheduler::subscribe()
{
    if (subscribed_)
        return;
    subscribed_ = true;
    connection_.connect(serviceName, objectPath, interfaceName, QStringLiteral("ActionInvoked"), this,
                        SLOT(onActionInvoked(uint, QString)));
    connection_.connect(serviceName, objectPath, interfaceName, QStringLiteral("NotificationClosed"), this,
                        SLOT(onNotificationClosed(uint, uint)));
}

QCoro::Task<void> UserNotificationScheduler::deliver(ScheduledNotification notification)
{
    QPointer<UserNotificationScheduler> self(this);
    const QDBusConnection connection = connection_;
    subscribe();

    const QDBusMessage capabilities = co_await callService(connection, QStringLiteral("GetCapabilities"));
    if (!self)
        co_return;
    const bool bodyMarkup = capabilities.type() == QDBusMessage::ReplyMessage
        && capabilities.arguments().value(0).toStringList().contains(QStringLiteral("body-markup"));

    QStringList actions;
    if (notification.meetURL && notification.meetURL->isValid())
        actions = {defaultActionKey, L10n::text(QStringLiteral("notification_action_join"))};
    // The desktop entry names, groups and configures the application's notifications.
    const QVariantMap hints{{QStringLiteral("sound-name"), soundName},
                            {QStringLiteral("desktop-entry"), InstalledApplication::applicationID()}};
    const QVariantList arguments{
        applicationName(),
        uint(0), // replaces no earlier notification
        InstalledApplication::iconName(), // the application's icon in the icon theme
        notification.title,
        bodyMarkup ? escapeMarkup(notification.body) : notification.body,
        actions,
        hints,
        int(-1), // the server's own display time
    };
    const QDBusMessage reply = co_await callService(connection, QStringLiteral("Notify"), arguments);
    if (!self)
        co_return;
    if (reply.type() != QDBusMessage::ReplyMessage)
        co_return; // the service refused at delivery time; nobody is waiting for an answer
    const uint id = reply.arguments().value(0).toUInt();
    if (!actions.isEmpty())
        links_.insert(id, *notification.meetURL);
}

void UserNotificationScheduler::onActionInvoked(uint id, const QString &actionKey)
{
    if (actionKey != defaultActionKey)
        return;
    const auto it = links_.constFind(id);
    if (it != links_.cend() && openUrl_)
        openUrl_(*it);
}

void UserNotificationScheduler::onNotificationClosed(uint id, uint /*reason*/)
{
    links_.remove(id);
}

} // namespace kestrivane
