// One sync pass of the meeting store: 20 calendars and N events (the benchmark's argument, for
// example BM_SyncPass/events:20000) from an in-memory calendar source, through the selection
// merge, the Meet filter, the sort, the derived lists, the in-app alert waits and the
// notification rescheduling (to a scheduler that records nothing). The source and the scheduler
// answer at once, so the pass runs to its end inside sync(). BM_SyncPassScattered makes the same
// events in an order no calendar answers in, so that each step's reads jump through memory.

#include "Services/CalendarClient.h"
#include "Services/NotificationScheduler.h"
#include "Stores/AppStore.h"
#include "Support/UserDefaults.h"

#include <QCoreApplication>
#include <QEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <utility>
#include <vector>

using namespace kestrivane;

namespace {

constexpr int kCalendars = 20;

// Instants in Qt::UTC, as the wire format's decoder and the system clock give them.
const QDateTime reference = QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);

class InMemoryCalendarSource final : public CalendarClient {
public:
    InMemoryCalendarSource(int eventCount, bool scattered)
    {
        for (int c = 0; c < kCalendars; ++c)
            calendars_.append(CalendarInfo{QStringLiteral("team-%1@group.calendar.google.com").arg(c),
                                           QStringLiteral("Team %1").arg(c), true, std::nullopt});
        // Spread over the seven days of the window, from 07:00 to 19:00, in 15-minute steps.
        const QDateTime dayStart = QDateTime(QDate(2026, 3, 2), QTime(7, 0), Qt::UTC);
        const auto startOf = [&dayStart](int i) { return dayStart.addDays(i % 7).addSecs(900 * ((i / 7) % 48)); };
        // In the order the Calendar API answers (orderBy=startTime, one calendar after another),
        // and made in that order, as decoding the answers does; or scattered, each event on
        // another day than the one made before it.
        std::vector<std::pair<qint64, int>> order;
        order.reserve(static_cast<size_t>(eventCount));
        for (int i = 0; i < eventCount; ++i)
            order.emplace_back(static_cast<qint64>(i % kCalendars) << 40 | startOf(i).toSecsSinceEpoch(), i);
        if (!scattered)
            std::sort(order.begin(), order.end());
        for (const auto &[key, i] : order) {
            const CalendarInfo &calendar = calendars_[i % kCalendars];
            CalendarEvent event;
            event.id = QStringLiteral("evt%1x7q2m9k4p").arg(i);
            event.calendarID = calendar.id;
            event.calendarName = calendar.name;
            event.title = QStringLiteral("Meeting %1 about the quarterly roadmap").arg(i);
            event.startDate = startOf(i);
            event.endDate = event.startDate.addSecs(1800);
            event.description = QStringLiteral("Agenda:\n1. Updates\n2. Risks (see the doc)\n3. Next steps\n");
            event.location = QStringLiteral("Room %1, Building B").arg(i % 12);
            switch (i % 5) {
            case 0:
            case 1:
            case 2:
                event.hangoutLink = QUrl(QStringLiteral("https://meet.google.com/abc-defg-%1").arg(i, 3, 10, QLatin1Char('0')));
                event.conferenceData = ConferenceData{event.hangoutLink, QStringLiteral("hangoutsMeet")};
                break;
            case 3: // a link written into the description only
                *event.description += QStringLiteral("Join: (https://meet.google.com/xyz-uvwx-%1).").arg(i);
                break;
            default: // no meeting link at all
                break;
            }
            events_.append(std::move(event));
        }
    }

    QCoro::Task<QList<CalendarInfo>> fetchCalendars() override { co_return QList<CalendarInfo>(calendars_); }
    // Hands out the list made by prepare(): unshared, as a decoded answer is.
    QCoro::Task<QList<CalendarEvent>> fetchEvents(QSet<QString>, QDateTime, QDateTime) override
    {
        co_return std::exchange(prepared_, {});
    }
    // A deep copy of the events for the next pass, made outside the measured time.
    void prepare()
    {
        prepared_ = QList<CalendarEvent>();
        prepared_.reserve(events_.size());
        for (const CalendarEvent &event : std::as_const(events_))
            prepared_.append(event);
        prepared_.detach();
    }

private:
    QList<CalendarInfo> calendars_;
    QList<CalendarEvent> events_;
    QList<CalendarEvent> prepared_;
};

class DiscardingScheduler final : public NotificationScheduling {
public:
    QCoro::Task<bool> requestAuthorization() override { co_return true; }
    QCoro::Task<void> schedule(ScheduledNotification) override { co_return; }
    QCoro::Task<void> cancelPendingNotifications(QStringList) override { co_return; }
    QCoro::Task<void> cancelPendingMeetNotifications() override { co_return; }
};

void syncPass(benchmark::State &state, bool inAppAlerts, bool scattered = false)
{
    AppStore::Configuration configuration;
    const auto source = std::make_shared<InMemoryCalendarSource>(static_cast<int>(state.range(0)), scattered);
    configuration.calendarClient = source;
    configuration.notificationScheduler = std::make_shared<DiscardingScheduler>();
    configuration.userDefaults = std::make_shared<InMemoryUserDefaults>();
    configuration.oauthConfigurationFiles = {};
    configuration.inAppAlertsEnabled = inAppAlerts;
    configuration.now = [] { return reference; };
    // No keyring: the injected source replaces the Google road.
    class NoTokenStore final : public OAuthTokenStoring {
    public:
        std::optional<OAuthToken> loadToken() override { return std::nullopt; }
        void saveToken(const OAuthToken &) override {}
        void deleteToken() override {}
    };
    configuration.tokenStore = std::make_shared<NoTokenStore>();

    AppStore store(configuration);
    source->prepare();
    for (auto _ : state) {
        QCoro::Task<void> pass = store.sync();
        benchmark::DoNotOptimize(pass);
        state.PauseTiming();
        // The waits cancelled by the pass are deleted from the event loop.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        source->prepare();
        state.ResumeTiming();
    }
    if (store.syncStatus().kind() != AppStore::SyncStatus::Kind::synced)
        state.SkipWithError("the pass did not end synced");
    state.counters["meetings"] = static_cast<double>(store.upcomingMeetEvents().size());
    state.SetComplexityN(state.range(0));
}

void BM_SyncPass(benchmark::State &state)
{
    syncPass(state, true);
}

void BM_SyncPassScattered(benchmark::State &state)
{
    syncPass(state, true, true);
}

void BM_SyncPassWithoutInAppAlerts(benchmark::State &state)
{
    syncPass(state, false);
}

} // namespace

BENCHMARK(BM_SyncPass)->ArgName("events")->Arg(500)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyncPassScattered)->ArgName("events")->Arg(500)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyncPassWithoutInAppAlerts)->ArgName("events")->Arg(500)->Arg(5000)->Arg(20000)->Unit(benchmark::kMillisecond);
