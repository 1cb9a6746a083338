#include "Stores/AppStore.h"

#include "Services/GoogleCalendarClient.h"
#include "Services/GoogleOAuthClient.h"
#include "Services/NotificationScheduler.h"
#include "Support/AsyncWaitQueue.h"
#include "Support/CancellableWait.h"
#include "Support/DateFormatting.h"
#include "Support/Error.h"
#include "Support/Localization.h"
#include "Support/UserDefaults.h"

#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace kestrivane {

namespace {

// The fetch window ends this long after the pass's reading of the clock.
constexpr qint64 fetchWindowSeconds = 7 * 24 * 3600;

// A loop interval as a timer duration, rounded up to whole milliseconds; nullopt when it is not
// finite, negative, or 2^64 ns or more.
std::optional<std::chrono::milliseconds> loopInterval(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0 || seconds * 1e9 >= 18446744073709551616.0)
        return std::nullopt;
    return std::chrono::milliseconds(static_cast<qint64>(std::ceil(seconds * 1000.0)));
}

// The Meet events among `events`, in order of their start, equal starts in their given order
// (invalid starts first), as places in `events`. No event is moved: with thousands of them,
// shuffling the large records costs more than the rest of a pass.
MeetEventSubset meetEventsByStart(QList<CalendarEvent> events)
{
    std::vector<std::pair<qint64, qsizetype>> keys;
    keys.reserve(static_cast<size_t>(events.size()));
    for (qsizetype i = 0; i < events.size(); ++i) {
        const CalendarEvent &event = std::as_const(events)[i];
        if (!event.isMeetEvent())
            continue;
        const QDateTime &start = event.startDate;
        keys.emplace_back(start.isValid() ? start.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min(), i);
    }
    std::sort(keys.begin(), keys.end()); // the index breaks ties: stable
    QList<qsizetype> places;
    places.reserve(static_cast<qsizetype>(keys.size()));
    for (const auto &[start, index] : keys)
        places.append(index);
    return MeetEventSubset(std::move(events), std::move(places));
}

// A token store that stops writing once the sync pass using it is stale, so that a refresh
// finishing after its account was disconnected or reconnected does not bring the old item back.
class PassTokenStore final : public OAuthTokenStoring {
public:
    PassTokenStore(std::shared_ptr<OAuthTokenStoring> inner, std::function<bool()> current)
        : inner_(std::move(inner)), current_(std::move(current))
    {
    }

    std::optional<OAuthToken> loadToken() override { return inner_->loadToken(); }
    void saveToken(const OAuthToken &token) override
    {
        if (!current_())
            throw CancellationError();
        inner_->saveToken(token);
    }
    void deleteToken() override
    {
        if (!current_())
            throw CancellationError();
        inner_->deleteToken();
    }

private:
    std::shared_ptr<OAuthTokenStoring> inner_;
    std::function<bool()> current_;
};

} // namespace

// MARK: - Sync cycle

QCoro::Task<void> AppStore::sync()
{
    QPointer<AppStore> self(this);
    const quint64 quitCount = quitCount_;
    // The pass this call waits for: the next one to start (the follow-up when one is running), or
    // the pass that replaces it when it is abandoned.
    const quint64 needed = startedPasses_ + 1;
    while (lastCompletedPass_ < needed) {
        // Quitting ends the wait: what was asked before it is not run any more.
        if (quitCount_ != quitCount)
            co_return;
        if (passRunning_) {
            const bool woken = co_await passFinished_->wait();
            if (!woken || !self)
                co_return;
            continue;
        }
        passRunning_ = true;
        const quint64 pass = ++startedPasses_;
        bool completed = true;
        try {
            const bool passCompleted = co_await runSyncPass();
            completed = passCompleted;
        } catch (...) {
            // runSyncPass() handles its errors; nothing is left to report here.
        }
        if (!self)
            co_return;
        passRunning_ = false;
        // An abandoned pass leaves its outcome to the next one, which runs at once.
        if (completed)
            lastCompletedPass_ = pass;
        passFinished_->wakeAll();
    }
}

QCoro::Task<bool> AppStore::runSyncPass()
{
    QPointer<AppStore> self(this);

    if (demoMode_.enabled) {
        applyDemoSnapshot(now_(), demoMode_);
        publish(hasCompletedInitialSync_, true);
        co_return true;
    }

    publish(syncStatus_, SyncStatus::syncing());
    co_await refreshNotificationAuthorization();
    if (!self)
        co_return true;

    passAccountsGeneration_ = accountsGeneration_;
    passQuitCount_ = quitCount_;
    const QDateTime reference = now_();
    const QDateTime from = startOfDay(reference).toUTC();
    const QDateTime to = reference.addSecs(fetchWindowSeconds);

    std::exception_ptr failure;
    bool current = true;
    try {
        if (const std::shared_ptr<CalendarClient> client = testCalendarClient_) {
            const QList<CalendarInfo> incoming = co_await client->fetchCalendars();
            if (!self)
                co_return true;
            if (passIsStale())
                co_return false;
            const QSet<QString> selected = updateCalendarsAndSelection(incoming);
            QList<CalendarEvent> events = co_await client->fetchEvents(selected, from, to);
            if (!self)
                co_return true;
            if (passIsStale())
                co_return false;
            const bool finished = co_await finishSync(std::move(events), reference);
            current = finished;
        } else {
            if (googleAccounts_.isEmpty()) {
                bool hasToken = false;
                try {
                    hasToken = tokenStore_->loadToken().has_value();
                } catch (...) {
                    hasToken = false;
                }
                if (!hasToken) {
                    publish(syncStatus_, SyncStatus::idle());
                    publish(hasCompletedInitialSync_, true);
                    co_return true;
                }
            }
            const bool finished = co_await syncGoogle(from, to, reference);
            current = finished;
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return true;
    if (!current || passIsStale())
        co_return false;

    if (failure) {
        publishSyncFailure(failure);
        handleSyncFailure(failure);
    } else {
        publish(syncStatus_, SyncStatus::synced(reference));
    }
    publish(hasCompletedInitialSync_, true);
    co_return true;
}

QCoro::Task<void> AppStore::refreshNotificationAuthorization()
{
    QPointer<AppStore> self(this);
    const std::shared_ptr<NotificationScheduling> scheduler = notificationScheduler_;
    std::optional<bool> granted;
    std::exception_ptr failure;
    try {
        const bool answer = co_await scheduler->requestAuthorization();
        granted = answer;
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (granted) {
        publish(notificationPermissionGranted_, *granted);
        publish(notificationStatus_, *granted ? NotificationStatus::allowed() : NotificationStatus::denied());
    } else {
        publish(notificationPermissionGranted_, false);
        publish(notificationStatus_, NotificationStatus::failed(errorDescription(failure)));
    }
}

QCoro::Task<bool> AppStore::syncGoogle(QDateTime from, QDateTime to, QDateTime reference)
{
    QPointer<AppStore> self(this);

    co_await migrateLegacyGoogleAccountIfNeeded();
    if (!self)
        co_return false;
    // The migration may list an account: the pass works on the list as it stands now.
    passAccountsGeneration_ = accountsGeneration_;
    if (googleAccounts_.isEmpty())
        throw GoogleOAuthClient::OAuthError(GoogleOAuthClient::OAuthError::missingRefreshToken);

    const quint64 generation = passAccountsGeneration_;
    const QList<GoogleAccount> accounts = googleAccounts_;

    QList<CalendarInfo> allCalendars;
    for (const GoogleAccount &account : accounts) {
        const std::shared_ptr<GoogleCalendarClient> client = makeGoogleCalendarClient(syncOAuthClient(account, generation));
        const QList<CalendarInfo> fetched = co_await client->fetchCalendars();
        if (!self || passIsStale())
            co_return false;
        for (const CalendarInfo &calendar : fetched) {
            allCalendars.append(CalendarInfo{googleCalendarID(account.id, calendar.id), calendar.name,
                                             calendar.isSelectedByDefault, account.email});
        }
    }

    const QSet<QString> selected = updateCalendarsAndSelection(allCalendars);

    QList<CalendarEvent> allEvents;
    for (const GoogleAccount &account : accounts) {
        QSet<QString> calendarIDs;
        for (const QString &identifier : selected) {
            const auto parts = compositeGoogleCalendarID(identifier);
            if (parts && parts->first == account.id)
                calendarIDs.insert(parts->second);
        }
        if (calendarIDs.isEmpty())
            continue;
        const std::shared_ptr<GoogleCalendarClient> client = makeGoogleCalendarClient(syncOAuthClient(account, generation));
        QList<CalendarEvent> fetched = co_await client->fetchEvents(calendarIDs, from, to);
        if (!self || passIsStale())
            co_return false;
        allEvents.reserve(allEvents.size() + fetched.size());
        // One composite identifier and name per calendar (and name), shared by its events.
        QHash<std::pair<QString, QString>, std::pair<QString, QString>> calendarTexts;
        for (CalendarEvent &event : fetched) {
            const std::pair<QString, QString> key(event.calendarID, event.calendarName);
            auto texts = calendarTexts.constFind(key);
            if (texts == calendarTexts.cend()) {
                texts = calendarTexts.insert(key, {googleCalendarID(account.id, event.calendarID),
                                                   event.calendarName + QStringLiteral(" \u00B7 ") + account.email});
            }
            event.id = account.id + QLatin1Char('-') + event.id;
            event.calendarID = texts->first;
            event.calendarName = texts->second;
            event.accountEmail = account.email;
            allEvents.append(std::move(event));
        }
    }

    const bool finished = co_await finishSync(std::move(allEvents), reference);
    co_return finished;
}

QString AppStore::googleCalendarID(const QString &accountID, const QString &calendarID)
{
    return accountID + googleCalendarIDSeparator + calendarID;
}

std::shared_ptr<OAuthTokenStoring> AppStore::generationGuardedTokenStore(std::shared_ptr<OAuthTokenStoring> inner,
                                                                         quint64 accountsGeneration)
{
    QPointer<AppStore> self(this);
    return std::make_shared<PassTokenStore>(std::move(inner), [self, accountsGeneration] {
        return self && self->accountsGeneration_ == accountsGeneration;
    });
}

std::shared_ptr<GoogleOAuthClient> AppStore::syncOAuthClient(const GoogleAccount &account, quint64 accountsGeneration)
{
    return makeGoogleOAuthClient(generationGuardedTokenStore(googleTokenStore(account), accountsGeneration));
}

QSet<QString> AppStore::updateCalendarsAndSelection(const QList<CalendarInfo> &incoming)
{
    QSet<QString> previous;
    for (const CalendarInfo &calendar : std::as_const(calendars_))
        previous.insert(calendar.id);
    QSet<QString> incomingIDs;
    for (const CalendarInfo &calendar : incoming)
        incomingIDs.insert(calendar.id);
    const QSet<QString> kept = QSet<QString>(selectedCalendarIDs_).intersect(incomingIDs);

    QSet<QString> selection;
    if (!kept.isEmpty()) {
        selection = kept;
        if (!previous.isEmpty()) {
            for (const CalendarInfo &calendar : incoming) {
                if (calendar.isSelectedByDefault && !previous.contains(calendar.id))
                    selection.insert(calendar.id);
            }
        }
    } else if (!hasStoredCalendarSelection_) {
        for (const CalendarInfo &calendar : incoming) {
            if (calendar.isSelectedByDefault)
                selection.insert(calendar.id);
        }
        hasStoredCalendarSelection_ = true;
    }

    publish(calendars_, incoming);
    publish(selectedCalendarIDs_, selection);
    saveSelectedCalendarIDs();
    return selection;
}

QCoro::Task<bool> AppStore::finishSync(QList<CalendarEvent> events, QDateTime reference)
{
    QPointer<AppStore> self(this);
    cachedMeetEvents_ = meetEventsByStart(std::move(events));
    applyCachedMeetEvents(reference);
    co_await rescheduleSystemNotifications(upcomingMeetEvents_, reference);
    co_return self && !passIsStale();
}

void AppStore::handleSyncFailure(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const GoogleOAuthClient::OAuthError &oauthError) {
        if (oauthError.requiresReconnect()) {
            connectionFailedAtKeyring_ = false;
            publish(googleConnectionStatus_, GoogleConnectionStatus::failed(oauthError.localizedDescription()));
            return;
        }
    } catch (...) {
    }
    const QString message = errorDescription(error);
    if (syncFailureRequiresGoogleReconnect(message)) {
        connectionFailedAtKeyring_ = false;
        publish(googleConnectionStatus_, GoogleConnectionStatus::failed(message));
    } else {
        updateGoogleConnectionStatus();
    }
}

void AppStore::startPeriodicSync(double interval)
{
    if (demoMode_.enabled || periodicSyncTask_)
        return;
    const std::optional<std::chrono::milliseconds> duration = loopInterval(interval);
    if (!duration)
        return;
    periodicSyncTask_ = new CancellableWait(this);
    periodicSyncLoop(this, periodicSyncTask_, *duration);
}

void AppStore::startPresentationRefresh(double interval)
{
    if (demoMode_.enabled || presentationRefreshTask_)
        return;
    const std::optional<std::chrono::milliseconds> duration = loopInterval(interval);
    if (!duration)
        return;
    presentationRefreshTask_ = new CancellableWait(this);
    presentationRefreshLoop(this, presentationRefreshTask_, *duration);
}

QCoro::Task<void> AppStore::periodicSyncLoop(QPointer<AppStore> store, QPointer<CancellableWait> task,
                                             std::chrono::milliseconds interval)
{
    for (;;) {
        if (!store || !task || store->periodicSyncTask_ != task)
            co_return;
        co_await store->sync();
        if (!store || !task || store->periodicSyncTask_ != task)
            co_return;
        const bool elapsed = co_await task->sleep(interval);
        if (!elapsed)
            co_return;
    }
}

QCoro::Task<void> AppStore::presentationRefreshLoop(QPointer<AppStore> store, QPointer<CancellableWait> task,
                                                    std::chrono::milliseconds interval)
{
    for (;;) {
        if (!store || !task || store->presentationRefreshTask_ != task)
            co_return;
        store->refreshPresentationState();
        if (!store || !task || store->presentationRefreshTask_ != task)
            co_return;
        const bool elapsed = co_await task->sleep(interval);
        if (!elapsed)
            co_return;
    }
}

void AppStore::refreshPresentationState()
{
    applyCachedMeetEvents(presentationDate());
}

void AppStore::cancelTask(CancellableWait *&task)
{
    CancellableWait *wait = std::exchange(task, nullptr);
    if (!wait)
        return;
    // Ends a sleep in it at once; the object goes from the event loop, since the cancelling code
    // may run inside that wait's own timer callback.
    wait->cancel();
    wait->deleteLater();
}

QCoro::Task<void> AppStore::prepareForUserQuit()
{
    // A pass under way writes nothing more, and no pass asked for before now runs.
    ++quitCount_;
    cancelTask(periodicSyncTask_);
    cancelTask(presentationRefreshTask_);
    cancelTask(calendarSelectionSyncTask_);
    cancelAlertTasks();
    publish(activeMeetEvent_, std::nullopt);
    co_await withdrawAllSystemNotifications();
}

} // namespace kestrivane
