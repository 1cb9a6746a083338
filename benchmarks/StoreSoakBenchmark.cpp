// A week in the life of the meeting store, simulated: an in-memory calendar source and a manual
// clock in America/New_York from Thursday 2026-03-05 through the change to daylight saving time
// (Sunday 03-08) to Thursday 03-12. A sync every 300 s and a presentation refresh every 60 s, as the
// application's loops do; midnights; meetings appearing and disappearing between syncs; a second
// calendar (as of another account) added on the second day and removed on the fifth. Reported:
// the store's live waits and its alert timer at the end and at most during the week, pending
// notifications that differ from those due (must be none), and the resident memory at the end of
// the first and of the last day.

#include "Services/CalendarClient.h"
#include "Services/NotificationScheduler.h"
#include "Stores/AppStore.h"
#include "Support/CancellableWait.h"
#include "Support/UserDefaults.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QMap>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <unistd.h>

using namespace kestrivane;

namespace {

const QTimeZone newYork("America/New_York");
constexpr double leadTime = 1800;

// Meetings of one calendar: three a day at fixed local times (09:00 across the clock change
// too), and one more "pop-up" meeting that exists only during every other hour of the week.
QList<CalendarEvent> meetingsOf(const QString &calendarID, const QDateTime &now)
{
    QList<CalendarEvent> events;
    const QDate today = now.toTimeZone(newYork).date();
    for (int day = -1; day <= 8; ++day) {
        const QDate date = today.addDays(day);
        for (const QTime time : {QTime(9, 0), QTime(13, 30), QTime(17, 15)}) {
            CalendarEvent event;
            event.id = QStringLiteral("%1-%2").arg(date.toString(Qt::ISODate), time.toString(QStringLiteral("HHmm")));
            event.calendarID = calendarID;
            event.calendarName = calendarID;
            event.title = QStringLiteral("Standing meeting");
            event.startDate = QDateTime(date, time, newYork).toUTC();
            event.endDate = event.startDate.addSecs(1800);
            event.hangoutLink = QUrl(QStringLiteral("https://meet.google.com/abc-defg-hij"));
            events.append(event);
        }
    }
    const qint64 hour = now.toSecsSinceEpoch() / 3600;
    if (hour % 2 == 0) {
        CalendarEvent popUp;
        popUp.id = QStringLiteral("pop-%1").arg(hour);
        popUp.calendarID = calendarID;
        popUp.calendarName = calendarID;
        popUp.title = QStringLiteral("Pop-up");
        popUp.startDate = QDateTime::fromSecsSinceEpoch((hour + 2) * 3600, Qt::UTC);
        popUp.endDate = popUp.startDate.addSecs(900);
        popUp.hangoutLink = QUrl(QStringLiteral("https://meet.google.com/pop-upme-now"));
        events.append(popUp);
    }
    return events;
}

class WeekSource final : public CalendarClient {
public:
    explicit WeekSource(const QDateTime &now) : now_(now) {}

    QList<CalendarInfo> calendars() const
    {
        QList<CalendarInfo> list{CalendarInfo{QStringLiteral("work"), QStringLiteral("Work"), true, std::nullopt}};
        if (secondCalendar)
            list.append(CalendarInfo{QStringLiteral("side"), QStringLiteral("Side"), true, std::nullopt});
        return list;
    }
    QList<CalendarEvent> events(const QSet<QString> &calendarIDs, const QDateTime &from, const QDateTime &to) const
    {
        QList<CalendarEvent> result;
        for (const CalendarInfo &calendar : calendars()) {
            if (!calendarIDs.contains(calendar.id))
                continue;
            for (const CalendarEvent &event : meetingsOf(calendar.id, now_)) {
                if (event.endDate > from && event.startDate < to)
                    result.append(event);
            }
        }
        return result;
    }

    QCoro::Task<QList<CalendarInfo>> fetchCalendars() override { co_return calendars(); }
    QCoro::Task<QList<CalendarEvent>> fetchEvents(QSet<QString> ids, QDateTime from, QDateTime to) override
    {
        co_return events(ids, from, to);
    }

    bool secondCalendar = false;

private:
    const QDateTime &now_;
};

// Keeps pending notifications as the desktop scheduler does, and lets them fire as time passes.
class PendingTable final : public NotificationScheduling {
public:
    QCoro::Task<bool> requestAuthorization() override { co_return true; }
    QCoro::Task<void> schedule(ScheduledNotification notification) override
    {
        pending.insert(notification.identifier, notification.fireDate);
        co_return;
    }
    QCoro::Task<void> cancelPendingNotifications(QStringList identifiers) override
    {
        for (const QString &identifier : identifiers)
            pending.remove(identifier);
        co_return;
    }
    QCoro::Task<void> cancelPendingMeetNotifications() override
    {
        for (auto it = pending.begin(); it != pending.end();)
            it = it.key().startsWith(QStringLiteral("meet-")) ? pending.erase(it) : std::next(it);
        co_return;
    }
    void fireDue(const QDateTime &now)
    {
        for (auto it = pending.begin(); it != pending.end();)
            it = it.value() <= now ? pending.erase(it) : std::next(it);
    }

    QMap<QString, QDateTime> pending;
};

class NoTokenStore final : public OAuthTokenStoring {
public:
    std::optional<OAuthToken> loadToken() override { return std::nullopt; }
    void saveToken(const OAuthToken &) override {}
    void deleteToken() override {}
};

double residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1024.0 : 0;
}

// The identifiers a correct store has pending at `now`: every listed meeting of the selected
// calendars whose notification is still ahead.
QSet<QString> expectedPending(const WeekSource &source, const AppStore &store, const QDateTime &now)
{
    const QDateTime midnight = QDateTime(now.toTimeZone(newYork).date(), QTime(0, 0), newYork).toUTC();
    QSet<QString> expected;
    for (const CalendarEvent &event : source.events(store.selectedCalendarIDs(), midnight, now.addSecs(7 * 24 * 3600))) {
        if (event.endDate > now && event.startDate.addSecs(-static_cast<qint64>(leadTime)) > now)
            expected.insert(event.notificationIdentifier(leadTime));
    }
    return expected;
}

void BM_StoreSoakWeek(benchmark::State &state)
{
    const QByteArray previousZone = qgetenv("TZ");
    qputenv("TZ", "America/New_York");
    tzset();

    QDateTime now = QDateTime(QDate(2026, 3, 5), QTime(0, 0), newYork).toUTC();
    for (auto _ : state) {
        auto source = std::make_shared<WeekSource>(now);
        auto scheduler = std::make_shared<PendingTable>();
        AppStore::Configuration configuration;
        configuration.calendarClient = source;
        configuration.notificationScheduler = scheduler;
        configuration.userDefaults = std::make_shared<InMemoryUserDefaults>();
        configuration.tokenStore = std::make_shared<NoTokenStore>();
        configuration.oauthConfigurationFiles = {};
        configuration.notificationLeadTime = leadTime;
        configuration.now = [&now] { return now; };
        AppStore store(configuration);

        const auto liveWaits = [&] { return store.findChildren<CancellableWait *>().size(); };
        const auto activeTimers = [&] {
            qsizetype active = 0;
            for (const QTimer *timer : store.findChildren<QTimer *>())
                active += timer->isActive() ? 1 : 0;
            return active;
        };
        const qsizetype baselineWaits = liveWaits();
        qsizetype maxWaits = 0, maxTimers = 0, mismatches = 0, syncs = 0;
        double firstDayKiB = 0;
        const QDateTime start = now;
        for (qint64 minute = 0; minute < 7 * 24 * 60; ++minute) {
            now = start.addSecs(minute * 60);
            scheduler->fireDue(now);
            source->secondCalendar = minute >= 1 * 24 * 60 && minute < 4 * 24 * 60;
            if (minute % 5 == 0) {
                QCoro::Task<void> pass = store.sync();
                ++syncs;
                if (!pass.isReady() || store.syncStatus().kind() != AppStore::SyncStatus::Kind::synced) {
                    state.SkipWithError("a sync did not end synced at once");
                    return;
                }
                const QSet<QString> expected = expectedPending(*source, store, now);
                const QList<QString> keys = scheduler->pending.keys();
                if (QSet<QString>(keys.cbegin(), keys.cend()) != expected)
                    ++mismatches;
            }
            store.refreshPresentationState();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            maxWaits = std::max(maxWaits, liveWaits());
            maxTimers = std::max(maxTimers, activeTimers());
            if (minute == 24 * 60 - 1)
                firstDayKiB = residentKiB();
        }
        QCoro::Task<void> quit = store.prepareForUserQuit();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.counters["syncs"] = static_cast<double>(syncs);
        state.counters["pending_mismatches"] = static_cast<double>(mismatches);
        state.counters["waits_baseline"] = static_cast<double>(baselineWaits);
        state.counters["waits_max"] = static_cast<double>(maxWaits);
        state.counters["waits_after_quit"] = static_cast<double>(liveWaits());
        state.counters["timers_max"] = static_cast<double>(maxTimers);
        state.counters["timers_after_quit"] = static_cast<double>(activeTimers());
        state.counters["pending_after_quit"] = static_cast<double>(scheduler->pending.size());
        state.counters["rss_day1_KiB"] = firstDayKiB;
        state.counters["rss_day7_KiB"] = residentKiB();
        if (mismatches != 0)
            state.SkipWithError("pending notifications differed from those due");
    }

    if (previousZone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", previousZone);
    tzset();
}

} // namespace

BENCHMARK(BM_StoreSoakWeek)->Iterations(1)->Unit(benchmark::kMillisecond);
