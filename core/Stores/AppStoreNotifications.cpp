#include "Stores/AppStore.h"

#include "Services/NotificationScheduler.h"
#include "Support/AsyncWaitQueue.h"
#include "Support/DateFormatting.h"
#include "Support/Localization.h"
#include "Support/UserDefaults.h"


namespace kestrivane {

namespace {

QUrl testNotificationURL()
{
    return QUrl(QStringLiteral("https://") + GoogleHosts::meet + QStringLiteral("/test-link"));
}

} // namespace

// MARK: - System notifications

QCoro::Task<std::optional<AppStore::NotificationChangeTurn>> AppStore::beginNotificationChange()
{
    QPointer<AppStore> self(this);
    const quint64 ticket = ++notificationChangeRequests_;
    while (changingNotifications_) {
        const bool woken = co_await notificationChangeFinished_->wait();
        if (!woken || !self)
            co_return std::nullopt;
    }
    changingNotifications_ = true;
    co_return NotificationChangeTurn(this, ticket);
}

void AppStore::endNotificationChange()
{
    changingNotifications_ = false;
    notificationChangeFinished_->wakeAll();
}

QCoro::Task<void> AppStore::rescheduleSystemNotifications(MeetEventSubset events, QDateTime date)
{
    QPointer<AppStore> self(this);
    const std::shared_ptr<NotificationScheduling> scheduler = notificationScheduler_;
    const std::optional<NotificationChangeTurn> turn = co_await beginNotificationChange();
    if (!self || !turn)
        co_return;
    // A newer change waits: it does this one's work with newer meetings.
    if (turn->superseded())
        co_return;

    if (scheduledNotificationIDs_.isEmpty()) {
        co_await scheduler->cancelPendingMeetNotifications();
    } else {
        co_await scheduler->cancelPendingNotifications(scheduledNotificationIDs_);
        if (!self)
            co_return;
        scheduledNotificationIDs_.clear();
        co_await scheduler->cancelPendingMeetNotifications();
    }
    if (!self || turn->superseded())
        co_return;
    if (!notificationPermissionGranted_)
        co_return;

    const double leadTime = notificationLeadTime_;
    // Read once: looking the zone up costs a file-system check each time.
    const QTimeZone zone = QTimeZone::systemTimeZone();
    QStringList scheduled;
    scheduled.reserve(events.size());
    for (qsizetype index = 0; index < events.size(); ++index) {
        const CalendarEvent &event = events.at(index);
        const QDateTime fireDate = alertInstant(event, leadTime);
        if (!(fireDate > date))
            continue;
        const QString identifier = events.notificationIdentifier(index, leadTime);
        ScheduledNotification notification(
            identifier, event.id, event.title,
            DateFormatting::eventTime().string(event.startDate, zone) + QStringLiteral(" - ") + event.calendarName, fireDate,
            event.joinURL());
        co_await scheduler->schedule(std::move(notification));
        // Stopped by a newer change, which withdraws what this one scheduled.
        if (!self || turn->superseded())
            co_return;
        scheduled.append(identifier);
    }
    scheduledNotificationIDs_ = std::move(scheduled);
}

QCoro::Task<void> AppStore::rescheduleSystemNotificationsAfterSelectionChange(MeetEventSubset events)
{
    QPointer<AppStore> self(this);
    const QDateTime date = presentationDate();
    std::exception_ptr failure;
    try {
        co_await rescheduleSystemNotifications(std::move(events), date);
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || !failure)
        co_return;
    publish(notificationStatus_, NotificationStatus::failed(errorDescription(failure)));
}

QCoro::Task<void> AppStore::withdrawAllSystemNotifications(std::optional<QStringList> identifiers)
{
    QPointer<AppStore> self(this);
    const std::shared_ptr<NotificationScheduling> scheduler = notificationScheduler_;
    const std::optional<NotificationChangeTurn> turn = co_await beginNotificationChange();
    if (!self || !turn)
        co_return;
    if (identifiers) {
        if (!identifiers->isEmpty())
            co_await scheduler->cancelPendingNotifications(*identifiers);
    } else if (!scheduledNotificationIDs_.isEmpty()) {
        co_await scheduler->cancelPendingNotifications(scheduledNotificationIDs_);
        if (!self)
            co_return;
        scheduledNotificationIDs_.clear();
    }
    if (!self)
        co_return;
    co_await scheduler->cancelPendingMeetNotifications();
}

QCoro::Task<void> AppStore::setNotificationLeadTime(double seconds)
{
    if (!isValidLeadTime(seconds))
        co_return;
    if (seconds != notificationLeadTime_) {
        publish(notificationLeadTime_, seconds);
        userDefaults_->set(notificationLeadTimeKey, seconds);
    }
    applyCachedMeetEvents(presentationDate());
    co_await rescheduleSystemNotificationsAfterSelectionChange(upcomingMeetEvents_);
}

QCoro::Task<void> AppStore::sendTestNotification()
{
    QPointer<AppStore> self(this);
    publish(testNotificationStatus_, std::nullopt);
    co_await refreshNotificationAuthorization();
    if (!self)
        co_return;
    if (!notificationPermissionGranted_) {
        publish(testNotificationStatus_, L10n::text(QStringLiteral("test_notification_not_allowed")));
        co_return;
    }

    const QDateTime fireDate = now_().addSecs(5);
    ScheduledNotification notification(
        QStringLiteral("meet-test-") + QString::number(fireDate.toMSecsSinceEpoch() / 1000), QStringLiteral("test-notification"),
        L10n::text(QStringLiteral("test_notification_title")), L10n::text(QStringLiteral("test_notification_body")), fireDate,
        testNotificationURL());

    const std::shared_ptr<NotificationScheduling> scheduler = notificationScheduler_;
    std::exception_ptr failure;
    try {
        co_await scheduler->schedule(std::move(notification));
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (!failure) {
        publish(testNotificationStatus_,
                L10n::format(QStringLiteral("test_notification_scheduled"), DateFormatting::shortTime().string(fireDate)));
        co_return;
    }
    const QString description = errorDescription(failure);
    publish(notificationPermissionGranted_, false);
    publish(notificationStatus_, NotificationStatus::failed(description));
    publish(testNotificationStatus_, L10n::format(QStringLiteral("test_notification_failed"), description));
}

} // namespace kestrivane
