#include "Stores/AppStore.h"
#include "Support/AsyncWaitQueue.h"
#include "Support/DateFormatting.h"
#include "Support/Localization.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <algorithm>
#include <limits>

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

namespace {

using SyncStatus = AppStore::SyncStatus;
using NotificationStatus = AppStore::NotificationStatus;

// A recording scheduler whose schedule() calls can be held until the test releases them.
class GatedScheduler final : public NotificationScheduling {
public:
    QCoro::Task<bool> requestAuthorization() override
    {
        const bool granted = co_await recorder.requestAuthorization();
        co_return granted;
    }
    QCoro::Task<void> schedule(ScheduledNotification notification) override
    {
        if (hold) {
            const bool released = co_await gate.wait();
            if (!released)
                co_return;
        }
        co_await recorder.schedule(std::move(notification));
    }
    QCoro::Task<void> cancelPendingNotifications(QStringList identifiers) override
    {
        co_await recorder.cancelPendingNotifications(std::move(identifiers));
    }
    QCoro::Task<void> cancelPendingMeetNotifications() override { co_await recorder.cancelPendingMeetNotifications(); }

    RecordingNotificationScheduler recorder;
    bool hold = false;
    AsyncWaitQueue gate;
};

class AppStorePresentationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        L10n::configure(QStringLiteral("en"));
        parts.clock.set(now);
    }
    void TearDown() override { L10n::configure(std::nullopt); }

    // A store that has synced `events` of the default calendars "work" and "home".
    std::unique_ptr<AppStore> syncedStore(const QList<CalendarEvent> &events, bool inAppAlerts = true)
    {
        parts.calendarClient->calendars = {calendar(QStringLiteral("work")), calendar(QStringLiteral("home"))};
        parts.calendarClient->events = events;
        AppStore::Configuration configuration = parts.configuration();
        configuration.inAppAlertsEnabled = inAppAlerts;
        auto store = std::make_unique<AppStore>(configuration);
        runTask(store->sync());
        return store;
    }

    TimeZoneGuard zone{"UTC"};
    const QDateTime now = utc(2026, 3, 2, 9, 0);
    StoreParts parts;
};

TEST_F(AppStorePresentationTest, ListsAndCurrentMeetingAtTheirBoundaries)
{
    auto store = syncedStore({
        meeting("ended", "work", utc(2026, 3, 2, 8, 0), now),                      // ends exactly now
        meeting("long", "work", utc(2026, 3, 2, 8, 30), utc(2026, 3, 2, 10, 0)),   // in progress, earliest
        meeting("now", "home", now, utc(2026, 3, 2, 9, 30)),                       // starts exactly now
        meeting("overnight", "home", utc(2026, 3, 1, 23, 0), utc(2026, 3, 2, 9, 30)), // began yesterday
        meeting("later", "work", utc(2026, 3, 2, 12, 0), utc(2026, 3, 2, 12, 30)),
        meeting("tomorrow", "home", utc(2026, 3, 3, 10, 0), utc(2026, 3, 3, 11, 0)),
    });
    EXPECT_EQ(ids(store->todayMeetEvents()), (QStringList{"ended", "long", "now", "later"}));
    EXPECT_EQ(ids(store->upcomingMeetEvents()), (QStringList{"overnight", "long", "now", "later", "tomorrow"}));
    ASSERT_TRUE(store->currentMeetEvent());
    EXPECT_EQ(store->currentMeetEvent()->id, QStringLiteral("overnight"));

    // Alerts whose time has passed rise at once; the current meeting never alerts.
    ASSERT_TRUE(waitUntil([&] { return store->activeMeetEvent().has_value(); }));
    spin(30ms);
    EXPECT_NE(store->activeMeetEvent()->id, QStringLiteral("overnight"));

    // An empty selection: nothing listed, nothing current or active.
    store->setCalendarSelection("work", false);
    store->setCalendarSelection("home", false);
    EXPECT_TRUE(store->upcomingMeetEvents().isEmpty());
    EXPECT_TRUE(store->todayMeetEvents().isEmpty());
    EXPECT_FALSE(store->currentMeetEvent());
    EXPECT_FALSE(store->activeMeetEvent());
    spin(30ms);
    EXPECT_FALSE(store->activeMeetEvent());
}

// Today is the local calendar day, also when it is 23 hours long (New York, 8 March 2026): from
// its midnight to the next one, not 24 hours from the first.
TEST_F(AppStorePresentationTest, TodayIsTheLocalDayOnADaylightSavingChange)
{
    TimeZoneGuard newYork("America/New_York");
    parts.clock.set(utc(2026, 3, 8, 16, 0)); // noon, daylight saving time since 02:00
    auto store = syncedStore({
        meeting("eve", "work", utc(2026, 3, 8, 4, 59), utc(2026, 3, 9, 0, 0)),        // 23:59 the day before
        meeting("midnight", "work", utc(2026, 3, 8, 5, 0), utc(2026, 3, 8, 5, 30)),   // 00:00 EST
        meeting("late", "home", utc(2026, 3, 9, 3, 59), utc(2026, 3, 9, 4, 30)),      // 23:59 EDT
        meeting("next", "home", utc(2026, 3, 9, 4, 0), utc(2026, 3, 9, 4, 30)),       // 00:00 the next day
    });
    EXPECT_EQ(ids(store->todayMeetEvents()), (QStringList{"midnight", "late"}));
}

TEST_F(AppStorePresentationTest, AlertRisesAtStartMinusLeadTimeWithItsReadiness)
{
    const QDateTime start = now.addSecs(1800).addMSecs(150);
    auto store = syncedStore({meeting("m", "work", start, start.addSecs(1800))});
    spin(60ms);
    EXPECT_FALSE(store->activeMeetEvent());
    ASSERT_TRUE(waitUntil([&] { return store->activeMeetEvent().has_value(); }, 2s));
    EXPECT_EQ(store->activeMeetEvent()->id, QStringLiteral("m"));
    EXPECT_EQ(store->activeMeetEvent()->readiness(store->presentationDate()), MeetReadiness::headsUp);

    // Nearer the start the same meeting reads as preparing, then soon.
    parts.clock.set(start.addSecs(-600));
    EXPECT_EQ(store->activeMeetEvent()->readiness(store->presentationDate()), MeetReadiness::preparing);
    parts.clock.set(start.addSecs(-300));
    store->refreshPresentationState();
    ASSERT_TRUE(store->activeMeetEvent());
    EXPECT_EQ(store->activeMeetEvent()->readiness(store->presentationDate()), MeetReadiness::soon);

    // Once it has started it is current, and the next derivation clears the alert.
    parts.clock.set(start);
    store->refreshPresentationState();
    EXPECT_EQ(store->currentMeetEvent()->id, QStringLiteral("m"));
    EXPECT_FALSE(store->activeMeetEvent());
}

TEST_F(AppStorePresentationTest, DismissalSurvivesASyncAndEndsWithANewLeadTime)
{
    auto store = syncedStore({meeting("m", "work", utc(2026, 3, 2, 9, 10), utc(2026, 3, 2, 9, 40))});
    ASSERT_TRUE(waitUntil([&] { return store->activeMeetEvent().has_value(); }));
    store->dismissActiveMeetEvent();
    EXPECT_FALSE(store->activeMeetEvent());

    runTask(store->sync());
    store->refreshPresentationState();
    spin(50ms);
    EXPECT_FALSE(store->activeMeetEvent());

    // A new lead time gives the meeting a new alert identity.
    runTask(store->setNotificationLeadTime(900));
    ASSERT_TRUE(waitUntil([&] { return store->activeMeetEvent().has_value(); }));

    // Dismissing with nothing active changes nothing.
    store->dismissActiveMeetEvent();
    store->dismissActiveMeetEvent();
    EXPECT_FALSE(store->activeMeetEvent());
}

TEST_F(AppStorePresentationTest, ShorterLeadTimeOrADeselectedCalendarClearsTheActiveAlert)
{
    auto store = syncedStore({meeting("m", "work", utc(2026, 3, 2, 9, 20), utc(2026, 3, 2, 9, 50))});
    ASSERT_TRUE(waitUntil([&] { return store->activeMeetEvent().has_value(); }));
    runTask(store->setNotificationLeadTime(600)); // the alert time moves to 09:10, still ahead
    EXPECT_FALSE(store->activeMeetEvent());
    spin(50ms);
    EXPECT_FALSE(store->activeMeetEvent());

    runTask(store->setNotificationLeadTime(1800));
    ASSERT_TRUE(waitUntil([&] { return store->activeMeetEvent().has_value(); }));
    store->setCalendarSelection("work", false);
    EXPECT_FALSE(store->activeMeetEvent());
}

TEST_F(AppStorePresentationTest, WithInAppAlertsOffNoAlertRises)
{
    auto store = syncedStore({meeting("m", "work", utc(2026, 3, 2, 9, 10), utc(2026, 3, 2, 9, 40))}, false);
    EXPECT_EQ(ids(store->upcomingMeetEvents()), QStringList{"m"});
    spin(50ms);
    EXPECT_FALSE(store->activeMeetEvent());
}

// Two meetings with one alert identity (same calendar, event and start second): the earlier wait
// is cancelled when the later one takes its place, so only the later one raises. Also with a
// meeting from before 1970 in the list and with three hundred other meetings in that second.
TEST_F(AppStorePresentationTest, TwoMeetingsWithOneAlertIdentityRaiseOneAlert)
{
    enum class Company { none, meetingFrom1969, crowdedSecond };
    for (const Company company : {Company::none, Company::meetingFrom1969, Company::crowdedSecond}) {
        SCOPED_TRACE(static_cast<int>(company));
        parts.clock.set(now);
        const QDateTime first = now.addSecs(1800).addMSecs(100);
        const QDateTime second = now.addSecs(1800).addMSecs(800);
        QList<CalendarEvent> events = {meeting("dup", "work", first, first.addSecs(1800), "first"),
                                       meeting("dup", "work", second, second.addSecs(1800), "second")};
        if (company == Company::meetingFrom1969)
            events.append(meeting("old", "home", utc(1969, 12, 31, 23, 0), now.addDays(2), "old"));
        if (company == Company::crowdedSecond) {
            for (int i = 0; i < 300; ++i) {
                const QDateTime start = first.addMSecs(200 + i);
                events.append(meeting(QStringLiteral("m%1").arg(i), "home", start, start.addSecs(1800), "other"));
            }
        }
        auto store = syncedStore(events);
        QStringList raised;
        QObject::connect(store.get(), &AppStore::changed, [&] {
            if (store->activeMeetEvent() && (raised.isEmpty() || raised.last() != store->activeMeetEvent()->title))
                raised.append(store->activeMeetEvent()->title);
        });
        ASSERT_TRUE(waitUntil([&] { return raised.contains("second"); }, 2s));
        EXPECT_FALSE(raised.contains("first")) << raised.join(u',').toStdString();
        EXPECT_EQ(raised.last(), QStringLiteral("second"));
    }
}

// The alerts share one timer over a table ordered by their time: each rises at its own time, in
// order, also when the lists are re-derived meanwhile (which raises the past ones again, the
// latest last); a dismissed one stays down; a selection change or quitting takes the rest off.
TEST_F(AppStorePresentationTest, ManyAlertsRiseEachAtItsTimeInOrder)
{
    QList<CalendarEvent> events;
    for (int i = 0; i < 4; ++i) {
        const QDateTime start = now.addSecs(1800).addMSecs(150 + 250 * i);
        events.append(meeting(QStringLiteral("m%1").arg(i), i == 3 ? "home" : "work", start, start.addSecs(1800)));
    }
    // A meeting far ahead whose alert must not rise during the test.
    events.append(meeting("far", "work", now.addSecs(7200), now.addSecs(9000)));
    std::reverse(events.begin(), events.end());
    QElapsedTimer elapsed;
    elapsed.start();
    // The store's clock keeps up with the time that passes.
    const auto catchUp = [&] { parts.clock.set(now.addMSecs(elapsed.elapsed())); };
    auto store = syncedStore(events);

    QStringList raised;
    QList<qint64> times;
    QObject::connect(store.get(), &AppStore::changed, [&] {
        const QString id = store->activeMeetEvent() ? store->activeMeetEvent()->id : QString();
        if (!id.isEmpty() && (raised.isEmpty() || raised.last() != id)) {
            raised.append(id);
            times.append(elapsed.elapsed());
        }
    });
    ASSERT_TRUE(waitUntil([&] { return raised.size() == 1; }, 2s));
    EXPECT_EQ(raised, QStringList{"m0"});
    // Re-deriving re-times the table from the store's clock; nothing is lost.
    catchUp();
    store->refreshPresentationState();
    store->dismissActiveMeetEvent();
    ASSERT_TRUE(waitUntil([&] { return raised.size() == 2; }, 2s));
    EXPECT_EQ(raised, (QStringList{"m0", "m1"}));
    ASSERT_TRUE(waitUntil([&] { return raised.size() == 3; }, 2s));
    EXPECT_EQ(raised, (QStringList{"m0", "m1", "m2"}));
    // Each at its own time (within the timers' and the clocks' millisecond rounding).
    EXPECT_GE(times[1], 400 - 10);
    EXPECT_GE(times[2], 650 - 10);

    // m3's calendar is deselected before its time: it never rises; then quitting stops the rest.
    catchUp();
    store->setCalendarSelection("home", false);
    spin(500ms);
    EXPECT_FALSE(raised.contains("m3"));
    EXPECT_EQ(raised.count("m0"), 1) << "the dismissed alert rose again";
    EXPECT_EQ(store->activeMeetEvent()->id, QStringLiteral("m2"));
    runTask(store->prepareForUserQuit());
    EXPECT_FALSE(store->activeMeetEvent());
}

TEST_F(AppStorePresentationTest, NextFireDateIsTheEarliestStrictlyAhead)
{
    auto store = syncedStore({
        meeting("due-now", "work", now.addSecs(1800), now.addSecs(3600)), // fires exactly now
        meeting("next", "home", now.addSecs(1860), now.addSecs(3600)),
        meeting("later", "work", now.addSecs(7200), now.addSecs(9000)),
    });
    EXPECT_EQ(store->nextNotificationFireDate(), now.addSecs(60));
    parts.clock.set(now.addSecs(60));
    EXPECT_EQ(store->nextNotificationFireDate(), now.addSecs(5400));
    parts.clock.set(now.addSecs(5400));
    EXPECT_EQ(store->nextNotificationFireDate(), std::nullopt);
}

TEST_F(AppStorePresentationTest, ShortcutJoinURLFallsThroughCurrentActiveAndUpcoming)
{
    CalendarEvent current = meeting("current", "work", utc(2026, 3, 2, 8, 30), utc(2026, 3, 2, 9, 30));
    current.hangoutLink.reset();
    current.conferenceData = ConferenceData{std::nullopt, QStringLiteral("hangoutsMeet")};
    CalendarEvent upcoming = meeting("upcoming", "home", utc(2026, 3, 2, 11, 0), utc(2026, 3, 2, 11, 30));
    upcoming.accountEmail = QStringLiteral("ann+work@example.com");
    auto store = syncedStore({current, upcoming}, false);
    ASSERT_EQ(store->currentMeetEvent()->id, QStringLiteral("current"));
    EXPECT_EQ(store->shortcutJoinURL(), upcoming.joinURL());
    EXPECT_TRUE(store->shortcutJoinURL()->toString().contains(QStringLiteral("AccountChooser")));

    // An active alert comes before the upcoming meetings.
    CalendarEvent alerted = meeting("alerted", "work", utc(2026, 3, 2, 9, 5), utc(2026, 3, 2, 9, 35));
    auto withAlert = syncedStore({current, alerted, upcoming});
    ASSERT_TRUE(waitUntil([&] { return withAlert->activeMeetEvent().has_value(); }));
    EXPECT_EQ(withAlert->shortcutJoinURL(), alerted.joinURL());

    // A current meeting with a link comes first.
    CalendarEvent linked = meeting("linked", "work", utc(2026, 3, 2, 8, 30), utc(2026, 3, 2, 9, 30));
    EXPECT_EQ(syncedStore({linked, upcoming}, false)->shortcutJoinURL(), linked.joinURL());
    EXPECT_EQ(syncedStore({}, false)->shortcutJoinURL(), std::nullopt);
}

TEST_F(AppStorePresentationTest, SelectionChangesDeriveAtOnceAndSyncOnceAfterTheBurst)
{
    auto store = syncedStore({meeting("w", "work", utc(2026, 3, 2, 10, 0), utc(2026, 3, 2, 10, 30)),
                              meeting("h", "home", utc(2026, 3, 2, 11, 0), utc(2026, 3, 2, 11, 30))});
    const int before = parts.calendarClient->calendarRequests;

    store->setCalendarSelection("home", false);
    EXPECT_EQ(ids(store->upcomingMeetEvents()), QStringList{"w"});
    EXPECT_EQ(parts.defaults->stringArray(AppStore::selectedCalendarIDsKey), QStringList{"work"});
    spin(200ms);
    store->setCalendarSelection("home", true);
    spin(200ms);
    store->setCalendarSelection("work", false);
    EXPECT_EQ(ids(store->upcomingMeetEvents()), QStringList{"h"});
    spin(350ms);
    EXPECT_EQ(parts.calendarClient->calendarRequests, before);
    ASSERT_TRUE(waitUntil([&] { return parts.calendarClient->calendarRequests == before + 1; }, 2s));
    spin(700ms);
    EXPECT_EQ(parts.calendarClient->calendarRequests, before + 1);
    EXPECT_EQ(parts.calendarClient->eventRequests.last().calendarIDs, QSet<QString>{"home"});
}

// Cancelling the debounced sync while its pass runs stops only the wait: the pass finishes as
// any other and is never reported as failed.
TEST_F(AppStorePresentationTest, ReplacingTheDebouncedSyncLetsItsRunningPassFinish)
{
    auto store = syncedStore({meeting("w", "work", utc(2026, 3, 2, 10, 0), utc(2026, 3, 2, 10, 30))});
    QList<SyncStatus::Kind> statuses;
    QObject::connect(store.get(), &AppStore::changed, [&] {
        if (statuses.isEmpty() || statuses.last() != store->syncStatus().kind())
            statuses.append(store->syncStatus().kind());
    });
    const int before = parts.calendarClient->calendarRequests;
    parts.calendarClient->holdCalls = true;

    store->setCalendarSelection("home", false);
    ASSERT_TRUE(waitUntil([&] { return parts.calendarClient->held() == 1; }, 2s)); // the debounced pass runs
    store->setCalendarSelection("home", true); // replaces the debounced sync
    ASSERT_TRUE(waitUntil([&] {
        parts.calendarClient->release();
        return parts.calendarClient->calendarRequests == before + 2 && parts.calendarClient->held() == 0
            && store->syncStatus().kind() == SyncStatus::Kind::synced;
    }, 5s));
    spin(100ms);
    EXPECT_EQ(parts.calendarClient->calendarRequests, before + 2);
    EXPECT_FALSE(statuses.contains(SyncStatus::Kind::failed));
    EXPECT_EQ(store->syncStatus().kind(), SyncStatus::Kind::synced);
}

TEST_F(AppStorePresentationTest, SyncSchedulesOneNotificationPerMeetingStillAhead)
{
    CalendarEvent atNow = meeting("at-now", "work", now.addSecs(1800), now.addSecs(3600));
    CalendarEvent inOne = meeting("in-one", "home", now.addSecs(1801), now.addSecs(3600), "Planning");
    inOne.accountEmail = QStringLiteral("Ann@Example.com");
    inOne.calendarName = QStringLiteral("Team · Ann@Example.com");
    CalendarEvent started = meeting("started", "work", now.addSecs(-60), now.addSecs(600));
    auto store = syncedStore({atNow, inOne, started});

    ASSERT_EQ(parts.scheduler->scheduled.size(), 1u);
    const ScheduledNotification n = parts.scheduler->scheduled[0];
    EXPECT_EQ(n.identifier, inOne.notificationIdentifier(1800));
    EXPECT_TRUE(n.identifier.startsWith(QStringLiteral("meet-")));
    EXPECT_EQ(n.eventID, QStringLiteral("in-one"));
    EXPECT_EQ(n.title, QStringLiteral("Planning"));
    EXPECT_EQ(n.body, DateFormatting::eventTime().string(inOne.startDate) + QStringLiteral(" - Team · Ann@Example.com"));
    EXPECT_EQ(n.fireDate, now.addSecs(1));
    EXPECT_EQ(n.meetURL, inOne.joinURL());
    EXPECT_NE(n.meetURL, inOne.meetURL());
    // The first rescheduling had nothing listed, so it withdrew by prefix.
    EXPECT_EQ(parts.scheduler->calls.mid(0, 2), (QStringList{"requestAuthorization", "cancelMeet"}));

    // The next one withdraws what it scheduled, then by prefix.
    parts.scheduler->calls.clear();
    runTask(store->sync());
    EXPECT_EQ(parts.scheduler->calls,
              (QStringList{"requestAuthorization", "cancel " + n.identifier, "cancelMeet", "schedule " + n.identifier}));
}

TEST_F(AppStorePresentationTest, SelectionAndLeadTimeChangesReschedule)
{
    auto store = syncedStore({meeting("w", "work", utc(2026, 3, 2, 10, 0), utc(2026, 3, 2, 10, 30)),
                              meeting("h", "home", utc(2026, 3, 2, 11, 0), utc(2026, 3, 2, 11, 30))});
    ASSERT_EQ(parts.scheduler->pending.size(), 2);

    store->setCalendarSelection("home", false);
    ASSERT_TRUE(waitUntil([&] { return parts.scheduler->pending.size() == 1; }));
    EXPECT_EQ(parts.scheduler->pending.firstKey(), store->upcomingMeetEvents()[0].notificationIdentifier(1800));

    runTask(store->setNotificationLeadTime(600));
    EXPECT_EQ(store->notificationLeadTime(), 600);
    EXPECT_EQ(parts.defaults->number(AppStore::notificationLeadTimeKey), 600);
    EXPECT_EQ(parts.scheduler->pending.keys(), QStringList{store->upcomingMeetEvents()[0].notificationIdentifier(600)});
    EXPECT_TRUE(parts.scheduler->pending.firstKey().endsWith(QStringLiteral("-600")));

    // The same value: not stored again, but derived and rescheduled.
    parts.defaults->remove(AppStore::notificationLeadTimeKey);
    const size_t scheduledBefore = parts.scheduler->scheduled.size();
    runTask(store->setNotificationLeadTime(600));
    EXPECT_FALSE(parts.defaults->contains(AppStore::notificationLeadTimeKey));
    EXPECT_EQ(parts.scheduler->scheduled.size(), scheduledBefore + 1);

    // Values that are not a usable number of seconds change nothing.
    const QStringList callsBefore = parts.scheduler->calls;
    for (double invalid : {0.0, -60.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e19}) {
        runTask(store->setNotificationLeadTime(invalid));
        EXPECT_EQ(store->notificationLeadTime(), 600);
    }
    EXPECT_EQ(parts.scheduler->calls, callsBefore);
    EXPECT_FALSE(parts.defaults->contains(AppStore::notificationLeadTimeKey));
}

TEST_F(AppStorePresentationTest, FailedReschedulingAfterASelectionChangeShowsAsNotificationStatus)
{
    auto store = syncedStore({meeting("w", "work", utc(2026, 3, 2, 10, 0), utc(2026, 3, 2, 10, 30))});
    parts.scheduler->scheduleError = QStringLiteral("service gone");
    runTask(store->setNotificationLeadTime(900));
    EXPECT_EQ(store->notificationStatus(), NotificationStatus::failed(QStringLiteral("service gone")));
    EXPECT_TRUE(store->notificationPermissionGranted());
}

// A sync's rescheduling and a selection change's rescheduling that overlap leave no notification
// of a deselected calendar behind.
TEST_F(AppStorePresentationTest, OverlappingReschedulingsLeaveOnlyTheSelectedMeetings)
{
    auto gated = std::make_shared<GatedScheduler>();
    parts.calendarClient->calendars = {calendar("work"), calendar("home")};
    parts.calendarClient->events = {meeting("w", "work", utc(2026, 3, 2, 10, 0), utc(2026, 3, 2, 10, 30)),
                                    meeting("h", "home", utc(2026, 3, 2, 11, 0), utc(2026, 3, 2, 11, 30))};
    AppStore::Configuration configuration = parts.configuration();
    configuration.notificationScheduler = gated;
    AppStore store(configuration);

    gated->hold = true;
    bool synced = false;
    auto runSync = [&]() -> QCoro::Task<void> {
        co_await store.sync();
        synced = true;
    };
    auto pass = runSync();
    ASSERT_TRUE(waitUntil([&] { return gated->gate.waiting() == 1; }));
    store.setCalendarSelection("work", false);
    ASSERT_TRUE(waitUntil([&] {
        gated->gate.wakeAll();
        return synced && gated->gate.waiting() == 0;
    }));
    spin(50ms);
    gated->gate.wakeAll();
    spin(50ms);
    EXPECT_EQ(gated->recorder.pending.keys(), QStringList{store.upcomingMeetEvents()[0].notificationIdentifier(1800)});
    EXPECT_EQ(store.upcomingMeetEvents()[0].id, QStringLiteral("h"));
    EXPECT_EQ(store.syncStatus().kind(), SyncStatus::Kind::synced);
}

TEST_F(AppStorePresentationTest, TestNotification)
{
    auto store = parts.makeStore();
    runTask(store->sendTestNotification());
    ASSERT_EQ(parts.scheduler->scheduled.size(), 1u);
    const ScheduledNotification &n = parts.scheduler->scheduled[0];
    const QDateTime fire = now.addSecs(5);
    EXPECT_EQ(n.identifier, QStringLiteral("meet-test-%1").arg(fire.toSecsSinceEpoch()));
    EXPECT_EQ(n.eventID, QStringLiteral("test-notification"));
    EXPECT_EQ(n.title, L10n::text(QStringLiteral("test_notification_title")));
    EXPECT_EQ(n.body, L10n::text(QStringLiteral("test_notification_body")));
    EXPECT_EQ(n.fireDate, fire);
    EXPECT_EQ(n.meetURL, QUrl(QStringLiteral("https://meet.google.com/test-link")));
    EXPECT_EQ(store->testNotificationStatus(),
              QStringLiteral("Test notification scheduled for %1.").arg(DateFormatting::shortTime().string(fire)));
    EXPECT_EQ(store->notificationStatus(), NotificationStatus::allowed());

    parts.scheduler->authorized = false;
    runTask(store->sendTestNotification());
    EXPECT_EQ(store->testNotificationStatus(), L10n::text(QStringLiteral("test_notification_not_allowed")));
    EXPECT_EQ(parts.scheduler->scheduled.size(), 1u);

    parts.scheduler->authorized = true;
    parts.scheduler->scheduleError = QStringLiteral("bus closed");
    runTask(store->sendTestNotification());
    EXPECT_FALSE(store->notificationPermissionGranted());
    EXPECT_EQ(store->notificationStatus(), NotificationStatus::failed(QStringLiteral("bus closed")));
    EXPECT_EQ(store->testNotificationStatus(), QStringLiteral("The test notification could not be sent: bus closed"));
}

TEST_F(AppStorePresentationTest, QuitWithdrawsEverythingAndStopsEveryWait)
{
    auto store = syncedStore({meeting("soon", "work", now.addSecs(1800).addMSecs(200), now.addSecs(3600)),
                              meeting("alerted", "home", utc(2026, 3, 2, 9, 10), utc(2026, 3, 2, 9, 40))});
    ASSERT_TRUE(waitUntil([&] { return store->activeMeetEvent().has_value(); }));
    store->startPeriodicSync(0.1);
    store->startPresentationRefresh(0.1);
    store->setCalendarSelection("home", true); // a debounced sync is now waiting
    const QStringList scheduled = parts.scheduler->pending.keys();
    ASSERT_EQ(scheduled.size(), 1);
    parts.scheduler->calls.clear();

    runTask(store->prepareForUserQuit());
    EXPECT_FALSE(store->activeMeetEvent());
    EXPECT_EQ(parts.scheduler->calls, (QStringList{"cancel " + scheduled[0], "cancelMeet"}));
    EXPECT_TRUE(parts.scheduler->pending.isEmpty());

    int changes = 0;
    QObject::connect(store.get(), &AppStore::changed, [&] { ++changes; });
    const int requests = parts.calendarClient->calendarRequests;
    spin(700ms);
    EXPECT_EQ(parts.calendarClient->calendarRequests, requests);
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(store->activeMeetEvent());

    // Quitting with nothing scheduled still withdraws by prefix.
    parts.scheduler->calls.clear();
    runTask(store->prepareForUserQuit());
    EXPECT_EQ(parts.scheduler->calls, QStringList{"cancelMeet"});
}

} // namespace
