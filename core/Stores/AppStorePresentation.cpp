#include "Stores/AppStore.h"

#include "Support/CancellableWait.h"
#include "Support/UserDefaults.h"

#include <QMultiHash>
#include <QTimer>

#include <algorithm>

namespace kestrivane {

namespace {

constexpr std::chrono::milliseconds calendarSelectionSyncDelay{500};

} // namespace

// MARK: - Presentation and in-app alerts

void AppStore::applyCachedMeetEvents(const QDateTime &date)
{
    // Each meeting's identifier once per fetch and lead time, for the alerts and notifications.
    cachedMeetEvents_.prepareNotificationIdentifiers(notificationLeadTime_);
    // The cached meetings are in order of their start; so is any selection of them. The lists are
    // picked by place: copying every event at every pass and minute costs more than all the rest.
    QList<qsizetype> upcomingPlaces;
    QList<qsizetype> todayPlaces;
    upcomingPlaces.reserve(cachedMeetEvents_.size());
    // The day's bounds once: converting every start to the zone costs more than the rest.
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDate day = date.toTimeZone(zone).date();
    const QDateTime dayStart = day.startOfDay(zone);
    const QDateTime nextDayStart = day.addDays(1).startOfDay(zone);
    const bool boundsValid = dayStart.isValid() && nextDayStart.isValid();
    const auto startsToday = [&](const CalendarEvent &event) {
        if (!boundsValid || !event.startDate.isValid())
            return event.startsOnSameDayAs(date, zone);
        return dayStart <= event.startDate && event.startDate < nextDayStart;
    };
    for (qsizetype position = 0; position < cachedMeetEvents_.size(); ++position) {
        const CalendarEvent &event = cachedMeetEvents_.at(position);
        if (!selectedCalendarIDs_.contains(event.calendarID))
            continue;
        if (event.endDate > date)
            upcomingPlaces.append(position);
        if (startsToday(event))
            todayPlaces.append(position);
    }
    publish(todayMeetEvents_, cachedMeetEvents_.picked(todayPlaces));
    publish(upcomingMeetEvents_, cachedMeetEvents_.picked(upcomingPlaces));
    const MeetEventSubset &upcoming = upcomingMeetEvents_;

    std::optional<CalendarEvent> current;
    for (const CalendarEvent &event : std::as_const(upcoming)) {
        if (event.startDate <= date && date < event.endDate) {
            current = event;
            break;
        }
    }
    publish(currentMeetEvent_, current);

    if (activeMeetEvent_) {
        const QString identity = activeMeetEvent_->notificationIdentifier(notificationLeadTime_);
        bool listed = false;
        for (qsizetype index = 0; !listed && index < upcoming.size(); ++index)
            listed = upcoming.notificationIdentifier(index, notificationLeadTime_) == identity;
        const bool isCurrent = current && current->notificationIdentifier(notificationLeadTime_) == identity;
        const bool ahead = alertInstant(*activeMeetEvent_, notificationLeadTime_) > date;
        if (!listed || isCurrent || ahead)
            publish(activeMeetEvent_, std::nullopt);
    }

    rescheduleActiveAlerts(upcoming, date);
}

void AppStore::rescheduleActiveAlerts(const MeetEventSubset &events, const QDateTime &date)
{
    cancelAlertTasks();
    if (!inAppAlertsEnabled_)
        return;
    // The table refers to the meetings by their place in this (shared, unchanging) subset.
    alertEvents_ = events;
    alerts_.reserve(static_cast<size_t>(events.size()));
    // Two meetings with one identity: the later one takes the earlier one's place. The table is
    // keyed by the identities' kept hashes, so only equal hashes read the identities themselves.
    const double leadTime = notificationLeadTime_;
    struct Seen {
        qsizetype index; // in alertEvents_
        size_t slot; // 1 + the alert's place in alerts_
    };
    QMultiHash<size_t, Seen> seen;
    seen.reserve(events.size());
    // The slot of the alert the meeting's identity had so far (0 for none), now the newest alert's.
    const auto takeSlot = [&](qsizetype index) -> size_t {
        const size_t hash = alertEvents_.notificationIdentifierHash(index, leadTime);
        for (auto entry = seen.find(hash); entry != seen.end() && entry.key() == hash; ++entry) {
            if (alertEvents_.notificationIdentifier(entry->index, leadTime)
                == alertEvents_.notificationIdentifier(index, leadTime)) {
                entry->index = index;
                return std::exchange(entry->slot, alerts_.size());
            }
        }
        seen.insert(hash, Seen{index, alerts_.size()});
        return 0;
    };
    const qint64 base = alertClock_.elapsed();
    for (qsizetype index = 0; index < alertEvents_.size(); ++index) {
        const CalendarEvent &event = alertEvents_.at(index);
        if (!dismissedAlertIDs_.isEmpty()
            && dismissedAlertIDs_.contains(alertEvents_.notificationIdentifier(index, leadTime)))
            continue;
        const qint64 delay = std::max<qint64>(0, date.msecsTo(alertInstant(event, leadTime)));
        alerts_.push_back(PendingAlert{base + delay, index, true});
        if (const size_t earlier = takeSlot(index))
            alerts_[earlier - 1].live = false;
    }
    // Meetings come in order of their start, so their alerts are in order already.
    const auto byDue = [](const PendingAlert &a, const PendingAlert &b) { return a.due < b.due; };
    if (!std::is_sorted(alerts_.begin(), alerts_.end(), byDue))
        std::stable_sort(alerts_.begin(), alerts_.end(), byDue);
    armAlertTimer();
}

void AppStore::cancelAlertTasks()
{
    ++alertTable_;
    alerts_.clear();
    nextAlert_ = 0;
    alertEvents_ = MeetEventSubset();
    alertTimer_->stop();
}

void AppStore::armAlertTimer()
{
    while (nextAlert_ < alerts_.size() && !alerts_[nextAlert_].live)
        ++nextAlert_;
    if (nextAlert_ == alerts_.size())
        return alertTimer_->stop();
    // A due alert is raised from the event loop; far ones are looked at again after a day.
    constexpr qint64 maxStepMs = 24LL * 3600 * 1000;
    const qint64 remaining = alerts_[nextAlert_].due - alertClock_.elapsed();
    alertTimer_->start(static_cast<int>(std::clamp<qint64>(remaining, 0, maxStepMs)));
}

void AppStore::raiseDueAlerts()
{
    QPointer<AppStore> self(this);
    const quint64 table = alertTable_;
    while (nextAlert_ < alerts_.size() && alerts_[nextAlert_].due <= alertClock_.elapsed()) {
        const PendingAlert alert = alerts_[nextAlert_++];
        if (!alert.live)
            continue;
        const CalendarEvent event = alertEvents_.at(alert.event);
        markMeetEventActive(event);
        // Raising it may have re-timed the alerts (an observer refreshing the lists): the new
        // table's timer, already armed, takes over from the event loop.
        if (!self || alertTable_ != table)
            return;
    }
    armAlertTimer();
}

void AppStore::markMeetEventActive(const CalendarEvent &event)
{
    const QDateTime now = presentationDate();
    if (!event.isMeetEvent() || !(event.endDate > now) || !selectedCalendarIDs_.contains(event.calendarID))
        return;
    const QString identity = event.notificationIdentifier(notificationLeadTime_);
    if (dismissedAlertIDs_.contains(identity))
        return;
    if (currentMeetEvent_ && currentMeetEvent_->notificationIdentifier(notificationLeadTime_) == identity)
        return;
    publish(activeMeetEvent_, event);
}

void AppStore::dismissActiveMeetEvent()
{
    if (!activeMeetEvent_)
        return;
    dismissedAlertIDs_.insert(activeMeetEvent_->notificationIdentifier(notificationLeadTime_));
    publish(activeMeetEvent_, std::nullopt);
}

void AppStore::setCalendarSelection(const QString &calendarID, bool isSelected)
{
    if (isSelected)
        selectedCalendarIDs_.insert(calendarID);
    else
        selectedCalendarIDs_.remove(calendarID);
    emit changed();
    hasStoredCalendarSelection_ = true;
    saveSelectedCalendarIDs();
    applyCachedMeetEvents(presentationDate());
    if (!cachedMeetEvents_.isEmpty() || !scheduledNotificationIDs_.isEmpty())
        rescheduleSystemNotificationsAfterSelectionChange(upcomingMeetEvents_);
    scheduleCalendarSelectionSync();
}

void AppStore::saveSelectedCalendarIDs()
{
    if (!hasStoredCalendarSelection_) {
        userDefaults_->remove(selectedCalendarIDsKey);
        return;
    }
    QStringList identifiers(selectedCalendarIDs_.cbegin(), selectedCalendarIDs_.cend());
    std::sort(identifiers.begin(), identifiers.end());
    userDefaults_->setStringArray(selectedCalendarIDsKey, identifiers);
}

void AppStore::scheduleCalendarSelectionSync()
{
    if (demoMode_.enabled)
        return;
    cancelTask(calendarSelectionSyncTask_);
    calendarSelectionSyncTask_ = new CancellableWait(this);
    calendarSelectionSync(this, calendarSelectionSyncTask_);
}

QCoro::Task<void> AppStore::calendarSelectionSync(QPointer<AppStore> store, QPointer<CancellableWait> task)
{
    if (!task)
        co_return;
    const bool elapsed = co_await task->sleep(calendarSelectionSyncDelay);
    if (!elapsed)
        co_return;
    if (!store || !task || store->calendarSelectionSyncTask_ != task)
        co_return;
    // Cancelling from here on stops nothing: the pass finishes as any other.
    co_await store->sync();
    if (!store)
        co_return;
    if (task && store->calendarSelectionSyncTask_ == task)
        cancelTask(store->calendarSelectionSyncTask_);
}

} // namespace kestrivane
