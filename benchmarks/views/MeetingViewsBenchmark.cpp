// The meeting views over a day of 200 meetings: one refresh of the tray panel and of the Today
// window after a store change (a sync that renamed one meeting), and the memory of opening and
// closing the Today window 200 times. Run inside the test session (it needs a display):
//     scripts/test-session.sh build/benchmarks/kestrivane_view_benchmarks

#include "Stores/AppStore.h"
#include "Support/AppL10n.h"
#include "Support/DateFormatting.h"
#include "Support/Localization.h"
#include "Support/UpdateStatusStore.h"
#include "Support/WindowRegistry.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/StoreTestSupport.h"
#include "Views/MenuBar/MenuBarView.h"
#include "Views/Today/TodayMeetView.h"

#include <QApplication>
#include <QAbstractScrollArea>
#include <QFile>
#include <QScrollBar>
#include <QImage>

#include <benchmark/benchmark.h>

#include <cstdio>

using namespace kestrivane;
using namespace kestrivane::test;

namespace {

constexpr int kMeetings = 200;

// A store on an in-memory calendar holding 200 meetings of today, synced at 09:00.
struct LargeDay {
    LargeDay()
    {
        parts.clock.set(utc(2026, 3, 2, 9, 0));
        parts.calendarClient->calendars = {calendar(QStringLiteral("work"))};
        const QDateTime dayStart = utc(2026, 3, 2, 0, 0);
        for (int i = 0; i < kMeetings; ++i) {
            const QDateTime start = dayStart.addSecs(i * 7 * 60);
            CalendarEvent event = meeting(QStringLiteral("m%1").arg(i), QStringLiteral("work"), start, start.addSecs(1800),
                                          QStringLiteral("Meeting %1 about the quarterly roadmap").arg(i));
            event.accountEmail = QStringLiteral("emma.collins@northwind.example");
            parts.calendarClient->events.append(event);
        }
        AppStore::Configuration configuration = parts.configuration();
        configuration.inAppAlertsEnabled = false;
        store = std::make_unique<AppStore>(configuration);
        runTask(store->sync());
    }

    // One store change: a sync in which the first meeting has another title.
    void changeOneMeeting(int generation)
    {
        parts.calendarClient->events[0].title = QStringLiteral("Renamed %1").arg(generation);
        runTask(store->sync());
    }

    TimeZoneGuard zone{"UTC"};
    StoreParts parts;
    std::unique_ptr<AppStore> store;
};

template<typename View>
void refreshAfterOneChange(benchmark::State &state, View &view, LargeDay &day)
{
    int generation = 0;
    for (auto _ : state) {
        state.PauseTiming();
        day.changeOneMeeting(++generation);
        state.ResumeTiming();
        view.refresh();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

void panelRefresh(benchmark::State &state)
{
    LargeDay day;
    UpdateStatusStore updates;
    MenuBarView panel(*day.store, updates);
    panel.show();
    refreshAfterOneChange(state, panel, day);
}
BENCHMARK(panelRefresh)->Unit(benchmark::kMillisecond);

void todayRefresh(benchmark::State &state)
{
    LargeDay day;
    TodayMeetView today(*day.store);
    today.resize(TodayMeetView::minimumWindowSize);
    today.show();
    refreshAfterOneChange(state, today, day);
}
BENCHMARK(todayRefresh)->Unit(benchmark::kMillisecond);

// What opening the window costs in the view: building every row of the day.
void todayFirstBuild(benchmark::State &state)
{
    LargeDay day;
    for (auto _ : state) {
        TodayMeetView today(*day.store);
        today.resize(TodayMeetView::minimumWindowSize);
        today.show();
        QCoreApplication::processEvents();
    }
}
BENCHMARK(todayFirstBuild)->Unit(benchmark::kMillisecond);

// One picture of the Today window at the top of the day's list and in its middle (where a
// scroll step paints).
void todayPaint(benchmark::State &state)
{
    LargeDay day;
    TodayMeetView today(*day.store);
    today.resize(TodayMeetView::minimumWindowSize);
    today.show();
    QCoreApplication::processEvents();
    if (state.range(0) == 1) {
        auto *scroll = today.findChild<QAbstractScrollArea *>();
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum() / 2);
        QCoreApplication::processEvents();
    }
    // An image, as the window's backing store is.
    QImage picture(today.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
        today.render(&picture);
}
BENCHMARK(todayPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// The Today window of the application's registry opened and closed `times` times.
void openAndCloseToday(WindowRegistry &windows, int times)
{
    for (int i = 0; i < times; ++i) {
        QWidget *window = windows.open(WindowRegistry::todayMeets);
        spin(std::chrono::milliseconds(2));
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

void todayOpenCloseMemory()
{
    LargeDay day;
    WindowRegistry windows;
    windows.declare({WindowRegistry::todayMeets, [] { return QStringLiteral("Today"); }, TodayMeetView::minimumWindowSize,
                     [&day] { return new TodayMeetView(*day.store); }});
    // Warm-up: fonts, icons and Qt's caches.
    openAndCloseToday(windows, 20);
    const long before = residentKiB();
    openAndCloseToday(windows, 200);
    const long after = residentKiB();
    std::printf("Today window opened and closed 200 times (200 meetings): RSS %ld KiB before, %ld KiB after (%+ld KiB)\n",
                before, after, after - before);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    AppL10n::configure(QStringLiteral("en_US"));
    L10n::configure(QStringLiteral("en_US"));
    DateFormatting::configure(QStringLiteral("en_US"));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    todayOpenCloseMemory();
    return 0;
}
