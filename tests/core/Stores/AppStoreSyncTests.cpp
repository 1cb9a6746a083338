#include "Services/GoogleOAuthClient.h"
#include "Stores/AppStore.h"
#include "Support/Localization.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

namespace {

using SyncStatus = AppStore::SyncStatus;
using NotificationStatus = AppStore::NotificationStatus;
using ConnectionStatus = AppStore::GoogleConnectionStatus;

class AppStoreSyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        L10n::configure(QStringLiteral("en"));
        parts.clock.set(utc(2026, 3, 2, 9, 0));
    }
    void TearDown() override { L10n::configure(std::nullopt); }

    // Today 10:00-10:30 on "work", 11:00-11:30 on "home".
    void giveTwoCalendarsWithMeetings()
    {
        parts.calendarClient->calendars = {calendar(QStringLiteral("work")), calendar(QStringLiteral("home"))};
        parts.calendarClient->events = {
            meeting(QStringLiteral("h1"), QStringLiteral("home"), utc(2026, 3, 2, 11, 0), utc(2026, 3, 2, 11, 30)),
            meeting(QStringLiteral("w1"), QStringLiteral("work"), utc(2026, 3, 2, 10, 0), utc(2026, 3, 2, 10, 30)),
        };
    }

    // sync(), then one more in `finished`.
    QCoro::Task<void> countedSync(AppStore &store)
    {
        co_await store.sync();
        ++finished;
    }

    // Lets every held request go on until `done` holds.
    bool releaseUntil(const std::function<bool()> &done)
    {
        return waitUntil([&] {
            parts.calendarClient->release();
            return done();
        });
    }

    StoreParts parts;
    int finished = 0;
};

TEST_F(AppStoreSyncTest, FirstPassAdoptsTheDefaultCalendarsAndDerivesTheMeetings)
{
    TimeZoneGuard zone("UTC");
    parts.calendarClient->calendars = {calendar(QStringLiteral("work")), calendar(QStringLiteral("home")),
                                       calendar(QStringLiteral("other"), false)};
    CalendarEvent plain = meeting(QStringLiteral("p"), QStringLiteral("work"), utc(2026, 3, 2, 9, 30), utc(2026, 3, 2, 10, 0));
    plain.hangoutLink.reset();
    CalendarEvent sameStartA = meeting(QStringLiteral("a"), QStringLiteral("work"), utc(2026, 3, 3, 8, 0), utc(2026, 3, 3, 9, 0));
    CalendarEvent sameStartB = meeting(QStringLiteral("b"), QStringLiteral("home"), utc(2026, 3, 3, 8, 0), utc(2026, 3, 3, 9, 0));
    parts.calendarClient->events = {
        sameStartA,
        meeting(QStringLiteral("late"), QStringLiteral("home"), utc(2026, 3, 2, 15, 0), utc(2026, 3, 2, 16, 0)),
        plain,
        sameStartB,
        meeting(QStringLiteral("early"), QStringLiteral("work"), utc(2026, 3, 2, 8, 0), utc(2026, 3, 2, 8, 30)),
        meeting(QStringLiteral("x"), QStringLiteral("other"), utc(2026, 3, 2, 12, 0), utc(2026, 3, 2, 13, 0)),
    };
    auto store = parts.makeStore();
    runTask(store->sync());

    EXPECT_EQ(store->syncStatus(), SyncStatus::synced(utc(2026, 3, 2, 9, 0)));
    EXPECT_TRUE(store->hasCompletedInitialSync());
    EXPECT_EQ(store->notificationStatus(), NotificationStatus::allowed());
    EXPECT_TRUE(store->notificationPermissionGranted());
    // The injected client's identifiers and names stay as they are.
    EXPECT_EQ(calendarIDs(store->calendars()), (QStringList{"work", "home", "other"}));
    EXPECT_EQ(store->calendars()[0].accountEmail, std::nullopt);
    EXPECT_EQ(store->selectedCalendarIDs(), (QSet<QString>{"work", "home"}));
    EXPECT_EQ(parts.defaults->stringArray(AppStore::selectedCalendarIDsKey), (QStringList{"home", "work"}));

    // Meet events only, sorted by start, equal starts in the order fetched.
    EXPECT_EQ(ids(store->todayMeetEvents()), (QStringList{"early", "late"}));
    EXPECT_EQ(ids(store->upcomingMeetEvents()), (QStringList{"late", "a", "b"}));
    EXPECT_EQ(store->upcomingMeetEvents()[0].calendarName, QStringLiteral("Calendar home"));
    ASSERT_EQ(parts.calendarClient->eventRequests.size(), 1);
    EXPECT_EQ(parts.calendarClient->eventRequests[0].calendarIDs, (QSet<QString>{"work", "home"}));
}

TEST_F(AppStoreSyncTest, FetchWindowRunsFromLocalMidnightToSevenDaysAfterTheReading)
{
    struct Case {
        const char *zone;
        QDateTime reading;
        QDateTime midnight;
    };
    const QList<Case> cases = {
        {"Asia/Tokyo", utc(2026, 3, 2, 20, 15, 30, 250), utc(2026, 3, 2, 15, 0)}, // 05:15 on 3 March in Tokyo
        {"America/New_York", utc(2026, 3, 8, 12, 0), utc(2026, 3, 8, 5, 0)},     // the day clocks go forward
        {"America/New_York", utc(2026, 3, 9, 3, 0), utc(2026, 3, 8, 5, 0)},      // 23:00 that evening
        {"America/New_York", utc(2026, 3, 9, 12, 0), utc(2026, 3, 9, 4, 0)},     // the day after, in EDT
    };
    for (const Case &c : cases) {
        TimeZoneGuard zone(c.zone);
        parts.clock.set(c.reading);
        parts.calendarClient->eventRequests.clear();
        auto store = parts.makeStore();
        runTask(store->sync());
        ASSERT_EQ(parts.calendarClient->eventRequests.size(), 1);
        EXPECT_EQ(parts.calendarClient->eventRequests[0].from, c.midnight) << c.zone << " " << c.reading.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(parts.calendarClient->eventRequests[0].to, c.reading.addSecs(604800));
        EXPECT_EQ(parts.calendarClient->eventRequests[0].from.timeSpec(), Qt::UTC);
    }
}

TEST_F(AppStoreSyncTest, InjectedClientIsAskedForEventsEvenWithAnEmptySelection)
{
    parts.defaults->setStringArray(AppStore::selectedCalendarIDsKey, {});
    giveTwoCalendarsWithMeetings();
    auto store = parts.makeStore();
    runTask(store->sync());
    ASSERT_EQ(parts.calendarClient->eventRequests.size(), 1);
    EXPECT_TRUE(parts.calendarClient->eventRequests[0].calendarIDs.isEmpty());
    EXPECT_TRUE(store->upcomingMeetEvents().isEmpty());
    EXPECT_EQ(store->syncStatus().kind(), SyncStatus::Kind::synced);
}

// The four cases of merging fetched calendars with the selection.
TEST_F(AppStoreSyncTest, SelectionMerge)
{
    auto store = parts.makeStore();
    auto &client = *parts.calendarClient;

    // Nothing kept, nothing stored: the defaults, and the choice counts as stored from now on.
    client.calendars = {calendar("a"), calendar("b", false)};
    runTask(store->sync());
    EXPECT_EQ(store->selectedCalendarIDs(), QSet<QString>{"a"});

    // Kept, with a known previous list: a new default calendar joins; a known one that is not
    // selected does not; a selected calendar no longer fetched leaves.
    store->setCalendarSelection("gone", true);
    client.calendars = {calendar("a"), calendar("b"), calendar("c"), calendar("d", false)};
    runTask(store->sync());
    EXPECT_EQ(store->selectedCalendarIDs(), (QSet<QString>{"a", "c"}));
    EXPECT_EQ(parts.defaults->stringArray(AppStore::selectedCalendarIDsKey), (QStringList{"a", "c"}));

    // Nothing kept, a stored choice: stays empty.
    store->setCalendarSelection("a", false);
    store->setCalendarSelection("c", false);
    client.calendars.append(calendar("e"));
    runTask(store->sync());
    EXPECT_TRUE(store->selectedCalendarIDs().isEmpty());
    EXPECT_EQ(parts.defaults->stringArray(AppStore::selectedCalendarIDsKey), QStringList{});

    // Kept, but the store knew no list before (after a start): new defaults do not join.
    parts.defaults->setStringArray(AppStore::selectedCalendarIDsKey, {"a"});
    auto restarted = parts.makeStore();
    runTask(restarted->sync());
    EXPECT_EQ(restarted->selectedCalendarIDs(), QSet<QString>{"a"});
}

TEST_F(AppStoreSyncTest, NoAccountAndNoTokenEndsIdleTouchingNothing)
{
    auto store = parts.makeStore(false);
    runTask(store->sync());
    EXPECT_EQ(store->syncStatus(), SyncStatus::idle());
    EXPECT_TRUE(store->hasCompletedInitialSync());
    EXPECT_EQ(parts.scheduler->authorizationRequests, 1);
    EXPECT_EQ(store->notificationStatus(), NotificationStatus::allowed());
    EXPECT_FALSE(parts.scheduler->calls.contains(QStringLiteral("cancelMeet")));

    // A legacy store that cannot be read counts as no token.
    parts.legacyTokenStore->failLoad = true;
    auto other = parts.makeStore(false);
    runTask(other->sync());
    EXPECT_EQ(other->syncStatus(), SyncStatus::idle());
}

TEST_F(AppStoreSyncTest, PermissionOutcomeShowsAndThePassGoesOn)
{
    giveTwoCalendarsWithMeetings();
    parts.scheduler->authorized = false;
    auto store = parts.makeStore();
    runTask(store->sync());
    EXPECT_EQ(store->notificationStatus(), NotificationStatus::denied());
    EXPECT_FALSE(store->notificationPermissionGranted());
    EXPECT_EQ(store->syncStatus().kind(), SyncStatus::Kind::synced);
    // Without permission nothing is scheduled, but pending meeting notifications are withdrawn.
    EXPECT_TRUE(parts.scheduler->scheduled.empty());
    EXPECT_TRUE(parts.scheduler->calls.contains(QStringLiteral("cancelMeet")));

    parts.scheduler->authorizationError = QStringLiteral("no notification service");
    runTask(store->sync());
    EXPECT_EQ(store->notificationStatus(), NotificationStatus::failed(QStringLiteral("no notification service")));
    EXPECT_FALSE(store->notificationPermissionGranted());
    EXPECT_EQ(store->syncStatus().kind(), SyncStatus::Kind::synced);
}

TEST_F(AppStoreSyncTest, FailedEventPhaseKeepsTheNewSelectionAndTheOldMeetings)
{
    giveTwoCalendarsWithMeetings();
    auto store = parts.makeStore();
    runTask(store->sync());
    const QList<CalendarEvent> before = store->upcomingMeetEvents();
    ASSERT_EQ(before.size(), 2);
    const QStringList scheduledBefore = parts.scheduler->pending.keys();

    parts.calendarClient->calendars = {calendar("work"), calendar("new")};
    parts.calendarClient->events.append(meeting("n1", "new", utc(2026, 3, 2, 12, 0), utc(2026, 3, 2, 13, 0)));
    parts.calendarClient->eventsError = QStringLiteral("The network connection was lost.");
    runTask(store->sync());

    EXPECT_EQ(store->syncStatus(), SyncStatus::failed(QStringLiteral("The network connection was lost.")));
    EXPECT_EQ(calendarIDs(store->calendars()), (QStringList{"work", "new"}));
    EXPECT_EQ(store->selectedCalendarIDs(), (QSet<QString>{"work", "new"}));
    EXPECT_EQ(store->upcomingMeetEvents(), before);
    EXPECT_EQ(parts.scheduler->pending.keys(), scheduledBefore);
    EXPECT_TRUE(store->requiresUserAttention());
    EXPECT_FALSE(store->requiresGoogleReconnect());

    // A failed calendar phase keeps even the calendar list.
    parts.calendarClient->calendarsError = QStringLiteral("offline");
    parts.calendarClient->calendars = {calendar("other")};
    runTask(store->sync());
    EXPECT_EQ(calendarIDs(store->calendars()), (QStringList{"work", "new"}));
}

TEST_F(AppStoreSyncTest, FailedReschedulingFailsThePassAfterTheListsChanged)
{
    giveTwoCalendarsWithMeetings();
    parts.scheduler->scheduleError = QStringLiteral("notification service gone");
    parts.scheduler->scheduleSuccessesBeforeError = 1;
    auto store = parts.makeStore();
    runTask(store->sync());
    EXPECT_EQ(store->syncStatus(), SyncStatus::failed(QStringLiteral("notification service gone")));
    EXPECT_EQ(ids(store->upcomingMeetEvents()), (QStringList{"w1", "h1"}));
    EXPECT_TRUE(store->hasCompletedInitialSync());

    // What was scheduled before the failure is withdrawn by the next rescheduling (prefix).
    parts.scheduler->scheduleError.reset();
    runTask(store->sync());
    EXPECT_EQ(parts.scheduler->pending.size(), 2);
    EXPECT_EQ(store->syncStatus().kind(), SyncStatus::Kind::synced);
}

TEST_F(AppStoreSyncTest, ReconnectMarkersDecideTheConnectionStatus)
{
    parts.legacyTokenStore->token = OAuthToken{QStringLiteral("a"), QStringLiteral("r"), utc(2030, 1, 1, 0, 0)};
    auto store = parts.makeStore();
    ASSERT_EQ(store->googleConnectionStatus(), ConnectionStatus::connected());

    parts.calendarClient->calendarsError = QStringLiteral("Google sign-in failed: {\"error\": \"invalid_grant\"}");
    runTask(store->sync());
    EXPECT_EQ(store->googleConnectionStatus(), ConnectionStatus::failed(*parts.calendarClient->calendarsError));
    EXPECT_TRUE(store->requiresGoogleReconnect());
    EXPECT_TRUE(store->requiresUserAttention());

    // A successful pass leaves the failed connection status in place.
    parts.calendarClient->calendarsError.reset();
    runTask(store->sync());
    EXPECT_EQ(store->syncStatus().kind(), SyncStatus::Kind::synced);
    EXPECT_EQ(store->googleConnectionStatus().kind(), ConnectionStatus::Kind::failed);
    EXPECT_TRUE(store->requiresGoogleReconnect());

    // A failure of another kind recomputes it.
    parts.calendarClient->calendarsError = QStringLiteral("The request timed out.");
    runTask(store->sync());
    EXPECT_EQ(store->googleConnectionStatus(), ConnectionStatus::connected());
    EXPECT_FALSE(store->requiresGoogleReconnect());
    EXPECT_TRUE(store->requiresUserAttention());

    // The markers are case-sensitive.
    parts.calendarClient->calendarsError = QStringLiteral("INVALID_GRANT");
    runTask(store->sync());
    EXPECT_EQ(store->googleConnectionStatus(), ConnectionStatus::connected());
}

TEST_F(AppStoreSyncTest, ReconnectMarkers)
{
    EXPECT_TRUE(AppStore::syncFailureRequiresGoogleReconnect(QStringLiteral("x invalid_client y")));
    EXPECT_TRUE(AppStore::syncFailureRequiresGoogleReconnect(QStringLiteral("unauthorized_client")));
    EXPECT_TRUE(AppStore::syncFailureRequiresGoogleReconnect(L10n::text(QStringLiteral("oauth_error_missing_refresh_token"))));
    EXPECT_FALSE(AppStore::syncFailureRequiresGoogleReconnect(QStringLiteral("Invalid_Grant")));
    EXPECT_FALSE(AppStore::syncFailureRequiresGoogleReconnect(QString()));
    // The missing-token text of the language in force.
    L10n::configure(QStringLiteral("ja"));
    EXPECT_TRUE(AppStore::syncFailureRequiresGoogleReconnect(L10n::text(QStringLiteral("oauth_error_missing_refresh_token"))));
}

TEST_F(AppStoreSyncTest, OAuthErrorsThatAskForANewConnectionFailTheConnection)
{
    using OAuthError = GoogleOAuthClient::OAuthError;
    parts.legacyTokenStore->token = OAuthToken{QStringLiteral("a"), QStringLiteral("r"), utc(2030, 1, 1, 0, 0)};
    auto store = parts.makeStore();

    parts.calendarClient->calendarsFailure = std::make_exception_ptr(OAuthError(OAuthError::missingRefreshToken));
    runTask(store->sync());
    const QString missing = L10n::text(QStringLiteral("oauth_error_missing_refresh_token"));
    EXPECT_EQ(store->syncStatus(), SyncStatus::failed(missing));
    EXPECT_EQ(store->googleConnectionStatus(), ConnectionStatus::failed(missing));

    // An OAuth error that does not ask for it recomputes the status.
    parts.calendarClient->calendarsFailure = std::make_exception_ptr(OAuthError(OAuthError::browserOpenFailed));
    runTask(store->sync());
    EXPECT_EQ(store->googleConnectionStatus(), ConnectionStatus::connected());

    // Foreign exceptions become failures too, never escape.
    parts.calendarClient->calendarsFailure = std::make_exception_ptr(std::runtime_error("plain failure"));
    runTask(store->sync());
    EXPECT_EQ(store->syncStatus(), SyncStatus::failed(QStringLiteral("plain failure")));
    parts.calendarClient->calendarsFailure = std::make_exception_ptr(42);
    runTask(store->sync());
    EXPECT_EQ(store->syncStatus().kind(), SyncStatus::Kind::failed);
    EXPECT_FALSE(store->syncStatus().message().isEmpty());
}

// Passes never overlap; callers that arrive while one runs share the one pass after it.
TEST_F(AppStoreSyncTest, OverlappingSyncCallsRunOnePassAfterTheRunningOne)
{
    giveTwoCalendarsWithMeetings();
    parts.calendarClient->holdCalls = true;
    auto store = parts.makeStore();

    auto first = countedSync(*store);
    ASSERT_TRUE(waitUntil([&] { return parts.calendarClient->held() == 1; }));
    auto second = countedSync(*store);
    auto third = countedSync(*store);
    spin(20ms);
    EXPECT_EQ(parts.calendarClient->calendarRequests, 1);

    // Release every held call until all callers are done.
    ASSERT_TRUE(releaseUntil([&] { return finished == 3; }));
    EXPECT_EQ(parts.calendarClient->calendarRequests, 2);
    EXPECT_EQ(parts.calendarClient->maxHeld, 1);
    EXPECT_EQ(store->syncStatus().kind(), SyncStatus::Kind::synced);

    // The next call runs a pass of its own.
    parts.calendarClient->holdCalls = false;
    runTask(store->sync());
    EXPECT_EQ(parts.calendarClient->calendarRequests, 3);
}

// A pass still fetching for the old selection does not have the last word over the pass that
// the selection change asks for.
TEST_F(AppStoreSyncTest, PassForANewSelectionRunsAfterTheOlderPass)
{
    giveTwoCalendarsWithMeetings();
    parts.defaults->setStringArray(AppStore::selectedCalendarIDsKey, {"work"});
    auto store = parts.makeStore();
    runTask(store->sync());
    ASSERT_EQ(ids(store->upcomingMeetEvents()), QStringList{"w1"});

    // A pass waits at its events request for "work" only...
    parts.calendarClient->holdCalls = true;
    auto running = countedSync(*store);
    ASSERT_TRUE(waitUntil([&] { return parts.calendarClient->held() == 1; }));
    parts.calendarClient->release();
    ASSERT_TRUE(waitUntil([&] { return parts.calendarClient->eventRequests.size() == 2 && parts.calendarClient->held() == 1; }));

    // ...when the user selects "home": its debounced sync waits for that pass.
    store->setCalendarSelection("home", true);
    spin(700ms);
    EXPECT_EQ(parts.calendarClient->calendarRequests, 2);

    ASSERT_TRUE(releaseUntil([&] {
        return finished == 1 && parts.calendarClient->eventRequests.size() == 3 && parts.calendarClient->held() == 0;
    }));
    spin(50ms);
    EXPECT_EQ(parts.calendarClient->eventRequests.last().calendarIDs, (QSet<QString>{"work", "home"}));
    EXPECT_EQ(ids(store->upcomingMeetEvents()), (QStringList{"w1", "h1"}));
    EXPECT_EQ(store->syncStatus().kind(), SyncStatus::Kind::synced);
}

// Callers sharing a pass that is abandoned (the account list changed under it) wait for the pass
// that replaces it.
TEST_F(AppStoreSyncTest, CallersOfAnAbandonedPassWaitForItsReplacement)
{
    giveTwoCalendarsWithMeetings();
    parts.calendarClient->holdCalls = true;
    auto store = parts.makeStore();
    auto a = countedSync(*store);
    ASSERT_TRUE(waitUntil([&] { return parts.calendarClient->held() == 1; }));
    auto b = countedSync(*store);
    auto c = countedSync(*store);
    // Lets held calls go on until the pass numbered `pass` is held at its calendar request.
    const auto releaseUntilPass = [&](int pass) {
        return waitUntil([&] {
            if (parts.calendarClient->calendarRequests == pass && parts.calendarClient->held() == 1)
                return true;
            if (parts.calendarClient->calendarRequests < pass)
                parts.calendarClient->release();
            return false;
        });
    };
    // The first pass ends; one follow-up pass starts for both waiting callers.
    ASSERT_TRUE(releaseUntilPass(2));
    EXPECT_EQ(finished, 1);
    // The account list changes under it: it is abandoned and replaced by another pass.
    store->disconnectGoogle();
    parts.calendarClient->release();
    ASSERT_TRUE(waitUntil([&] { return parts.calendarClient->calendarRequests == 3 && parts.calendarClient->held() == 1; }));
    spin(30ms);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(store->syncStatus().kind(), SyncStatus::Kind::syncing);
    ASSERT_TRUE(releaseUntil([&] { return finished == 3; }));
    EXPECT_EQ(store->syncStatus().kind(), SyncStatus::Kind::synced);
}

// Quitting while a pass fetches: the pass writes nothing more, schedules nothing, and what was
// asked before the quit does not run.
TEST_F(AppStoreSyncTest, QuittingDuringAPassLeavesNothingPendingAndRunsNoMorePasses)
{
    giveTwoCalendarsWithMeetings();
    parts.calendarClient->holdCalls = true;
    auto store = parts.makeStore();
    auto running = countedSync(*store);
    ASSERT_TRUE(waitUntil([&] { return parts.calendarClient->held() == 1; }));
    auto waiting = countedSync(*store);
    runTask(store->prepareForUserQuit());
    ASSERT_TRUE(releaseUntil([&] { return finished == 2; }));
    spin(30ms);
    EXPECT_TRUE(parts.scheduler->pending.isEmpty());
    EXPECT_EQ(parts.calendarClient->calendarRequests, 1);
    EXPECT_TRUE(store->upcomingMeetEvents().isEmpty());

    // After the quit flow a new sync runs as usual.
    parts.calendarClient->holdCalls = false;
    runTask(store->sync());
    EXPECT_EQ(ids(store->upcomingMeetEvents()), (QStringList{"w1", "h1"}));
}

TEST_F(AppStoreSyncTest, DestroyingTheStoreEndsWaitingCallersQuietly)
{
    giveTwoCalendarsWithMeetings();
    parts.calendarClient->holdCalls = true;
    auto store = parts.makeStore();
    auto first = countedSync(*store);
    ASSERT_TRUE(waitUntil([&] { return parts.calendarClient->held() == 1; }));
    auto second = countedSync(*store);
    store->startPeriodicSync(0.01);
    store->startPresentationRefresh(0.01);
    store.reset();
    // The waiting caller ends with the store; the held pass ends once its request returns.
    EXPECT_EQ(finished, 1);
    parts.calendarClient->release();
    EXPECT_TRUE(waitUntil([&] { return finished == 2; }));
    spin(30ms);
}

TEST_F(AppStoreSyncTest, PeriodicSyncRunsAtOnceThenEveryIntervalAndOneLoopOnly)
{
    giveTwoCalendarsWithMeetings();
    auto store = parts.makeStore();
    store->startPeriodicSync(0.2);
    EXPECT_EQ(parts.calendarClient->calendarRequests, 1);
    store->startPeriodicSync(0.01); // ignored: the running loop keeps its interval
    spin(100ms);
    EXPECT_EQ(parts.calendarClient->calendarRequests, 1);
    EXPECT_TRUE(waitUntil([&] { return parts.calendarClient->calendarRequests == 2; }, 2s));

    runTask(store->prepareForUserQuit());
    const int afterQuit = parts.calendarClient->calendarRequests;
    spin(300ms);
    EXPECT_EQ(parts.calendarClient->calendarRequests, afterQuit);

    // A start after the quit flow starts a new loop; invalid intervals start nothing.
    store->startPeriodicSync(std::numeric_limits<double>::infinity());
    store->startPeriodicSync(-1);
    EXPECT_EQ(parts.calendarClient->calendarRequests, afterQuit);
    store->startPeriodicSync(300);
    EXPECT_EQ(parts.calendarClient->calendarRequests, afterQuit + 1);
}

TEST_F(AppStoreSyncTest, PresentationRefreshRederivesFromTheCacheWithoutRequests)
{
    TimeZoneGuard zone("UTC");
    giveTwoCalendarsWithMeetings();
    auto store = parts.makeStore();
    runTask(store->sync());
    ASSERT_EQ(ids(store->upcomingMeetEvents()), (QStringList{"w1", "h1"}));

    parts.clock.set(utc(2026, 3, 2, 10, 15));
    store->startPresentationRefresh(0.05);
    EXPECT_EQ(store->currentMeetEvent()->id, QStringLiteral("w1"));
    parts.clock.set(utc(2026, 3, 2, 10, 45));
    EXPECT_TRUE(waitUntil([&] { return !store->currentMeetEvent() && store->upcomingMeetEvents().size() == 1; }, 2s));
    EXPECT_EQ(ids(store->todayMeetEvents()), (QStringList{"w1", "h1"}));
    EXPECT_EQ(parts.calendarClient->calendarRequests, 1);
}

} // namespace
