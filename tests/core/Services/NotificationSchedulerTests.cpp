#include "Services/NotificationScheduler.h"

#include "Support/AppBuildChannel.h"
#include "Support/Localization.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/FakeNotificationServer.h"
#include "TestSupport/PrivateBus.h"
#include "TestSupport/RecordingNotificationScheduler.h"
#include "TestSupport/SimulatedWallClockAlarm.h"
#include "TestSupport/TestEnvironment.h"

#include <QFile>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace kestrivane;
using namespace kestrivane::test;
using Trigger = NotificationTrigger;

namespace {

QDateTime utc(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODateWithMs).toUTC();
}

TEST(NotificationTriggerTest, ChoosesIntervalWallClockOrExpiry)
{
    const QDateTime now = utc("2024-05-06T11:58:00.000Z");
    EXPECT_EQ(triggerFor(now.addMSecs(60'000), now), Trigger::after(60s));
    EXPECT_EQ(triggerFor(now.addMSecs(60'200), now), Trigger::at(utc("2024-05-06T11:59:00.000Z")));
    EXPECT_EQ(triggerFor(now.addMSecs(400), now), Trigger::after(1s));
    EXPECT_EQ(triggerFor(now.addMSecs(30'500), now), Trigger::after(30'500ms));
    // More than 60 s away: the start of the fire instant's second.
    EXPECT_EQ(triggerFor(utc("2024-05-06T12:00:00.700Z"), now), Trigger::at(utc("2024-05-06T12:00:00.000Z")));
    // Due now or up to 60 s ago: one second from now.
    EXPECT_EQ(triggerFor(now, now), Trigger::after(1s));
    EXPECT_EQ(triggerFor(now.addMSecs(-60'000), now), Trigger::after(1s));
    EXPECT_EQ(triggerFor(now.addMSecs(-60'001), now), Trigger::expired());
    EXPECT_EQ(triggerFor(QDateTime(), now), Trigger::expired());
}

TEST(NotificationTriggerTest, ExtremeInstantsNeitherOverflowNorWrap)
{
    const QDateTime now = utc("2024-05-06T11:58:00.000Z");
    const QDateTime far = QDateTime::fromMSecsSinceEpoch(std::numeric_limits<qint64>::max() / 2, Qt::UTC);
    EXPECT_EQ(triggerFor(far, now).kind, Trigger::Kind::WallClock);
    EXPECT_EQ(triggerFor(now, far).kind, Trigger::Kind::Expired);
    const QDateTime before1970 = QDateTime::fromMSecsSinceEpoch(-1'500, Qt::UTC);
    EXPECT_EQ(triggerFor(before1970, before1970.addSecs(-3600)), Trigger::at(QDateTime::fromMSecsSinceEpoch(-2'000, Qt::UTC)));
}

// Each test runs its own bus, so test processes running in parallel never compete for the
// service name, and no installed notification daemon can be activated behind the test's back.
class UserNotificationSchedulerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bus = std::make_unique<PrivateBus>();
        KV_REQUIRE(bus->problem());
        const QDBusConnection connection = bus->connect();
        ASSERT_TRUE(connection.isConnected()) << connection.lastError().message().toStdString();
        server = std::make_unique<FakeNotificationServer>(bus->address());
        const QString problem = server->start();
        ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
        auto simulated = std::make_unique<SimulatedWallClockAlarm>([this] { return now(); });
        alarm = simulated.get();
        scheduler = std::make_unique<UserNotificationScheduler>(
            [this] { return now(); }, connection, [this](const QUrl &url) { opened.append(url); }, std::move(simulated));
    }

    void TearDown() override
    {
        scheduler.reset();
        server.reset();
        bus.reset();
    }

    QDateTime now() const { return QDateTime::currentDateTimeUtc().addMSecs(clockOffsetMs); }

    static ScheduledNotification request(const QString &identifier, const QDateTime &fireDate, std::optional<QUrl> url = {})
    {
        return {identifier, QStringLiteral("event-") + identifier, QStringLiteral("Title ") + identifier,
                QStringLiteral("Body ") + identifier, fireDate, std::move(url)};
    }

    void schedule(const ScheduledNotification &notification) { runTask(scheduler->schedule(notification)); }

    bool waitForNotifications(qsizetype count, std::chrono::milliseconds timeout = 5s)
    {
        return waitUntil([&] { return server->notifications().size() >= count; }, timeout);
    }

    QStringList summaries() const
    {
        QStringList result;
        for (const auto &n : server->notifications())
            result.append(n.summary);
        return result;
    }

    // Sets the test's clock, as a user or a resume from suspend would.
    void setClockOffset(qint64 ms)
    {
        clockOffsetMs = ms;
        alarm->clockWasSet();
    }

    qint64 clockOffsetMs = 0;
    SimulatedWallClockAlarm *alarm = nullptr;
    QList<QUrl> opened;
    std::unique_ptr<PrivateBus> bus;
    std::unique_ptr<FakeNotificationServer> server;
    std::unique_ptr<UserNotificationScheduler> scheduler;
};

TEST_F(UserNotificationSchedulerTest, RequestOneSecondAwayArrivesOnceAndItsClickOpensTheLink)
{
    const QUrl link(QStringLiteral("https://meet.example.com/abc-defg-hij?authuser=ann@example.com"));
    schedule(request(QStringLiteral("meet-a"), now().addMSecs(1000), link));
    schedule(request(QStringLiteral("meet-plain"), now().addMSecs(1000)));
    EXPECT_EQ(scheduler->pendingIdentifiers(), QStringList({"meet-a", "meet-plain"}));
    spin(500ms);
    EXPECT_TRUE(server->notifications().isEmpty()) << "fired before its second";

    ASSERT_TRUE(waitForNotifications(2));
    spin(300ms);
    ASSERT_EQ(server->notifications().size(), 2);
    EXPECT_TRUE(scheduler->pendingIdentifiers().isEmpty());

    const auto &withLink = server->notifications().at(0).summary == QStringLiteral("Title meet-a") ? server->notifications().at(0)
                                                                                                   : server->notifications().at(1);
    const auto &plain = &withLink == &server->notifications().at(0) ? server->notifications().at(1) : server->notifications().at(0);
    EXPECT_EQ(withLink.appName, QStringLiteral("Kestrivane"));
    EXPECT_EQ(withLink.summary, QStringLiteral("Title meet-a"));
    EXPECT_EQ(withLink.body, QStringLiteral("Body meet-a"));
    EXPECT_EQ(withLink.actions, QStringList({"default", L10n::text(QStringLiteral("notification_action_join"))}));
    EXPECT_EQ(withLink.hints.value(QStringLiteral("sound-name")).toString(), QStringLiteral("message-new-instant"));
    // The application's icon and desktop entry: both named by the installed application's identifier.
    const QString applicationID = AppBuildChannel::current().isRelease() ? QStringLiteral("app.kestrivane.Kestrivane")
                                                                         : QStringLiteral("app.kestrivane.Kestrivane.dev");
    EXPECT_EQ(withLink.appIcon, applicationID);
    EXPECT_EQ(withLink.hints.value(QStringLiteral("desktop-entry")).toString(), applicationID);
    EXPECT_EQ(plain.appIcon, applicationID);
    EXPECT_EQ(withLink.replacesId, 0u);
    EXPECT_EQ(withLink.expireTimeout, -1);
    EXPECT_TRUE(plain.actions.isEmpty());

    // Another action, another notification's click, or a click after closing opens nothing.
    server->invokeAction(withLink.id, QStringLiteral("other"));
    server->invokeAction(plain.id, QStringLiteral("default"));
    server->invokeAction(withLink.id, QStringLiteral("default"));
    ASSERT_TRUE(waitUntil([&] { return !opened.isEmpty(); }));
    server->close(withLink.id);
    server->invokeAction(withLink.id, QStringLiteral("default"));
    spin(200ms);
    EXPECT_EQ(opened, QList<QUrl>({link}));
}

TEST_F(UserNotificationSchedulerTest, RequestBuiltInsideTheAwaitKeepsItsLinkUntilDelivery)
{
    // The argument is a temporary of the await expression and is gone long before delivery.
    runTask([](UserNotificationScheduler &scheduler, QDateTime fireDate) -> QCoro::Task<void> {
        co_await scheduler.schedule({QStringLiteral("meet-t"), QStringLiteral("t"), QStringLiteral("Standup"), QStringLiteral("Now"),
                                     fireDate, QUrl(QStringLiteral("https://meet.example.com/standup"))});
    }(*scheduler, now().addMSecs(1000)));
    ASSERT_TRUE(waitForNotifications(1));
    ASSERT_EQ(server->notifications().at(0).actions.value(0), QStringLiteral("default"));
    server->invokeAction(server->notifications().at(0).id, QStringLiteral("default"));
    ASSERT_TRUE(waitUntil([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened.value(0), QUrl(QStringLiteral("https://meet.example.com/standup")));
}

TEST_F(UserNotificationSchedulerTest, WithdrawnAndReplacedRequestsNeverArrive)
{
    schedule(request(QStringLiteral("meet-a"), now().addMSecs(1000)));
    schedule(request(QStringLiteral("meet-b"), now().addMSecs(1000)));
    schedule(request(QStringLiteral("meet-wall"), now().addSecs(120)));
    auto replaced = request(QStringLiteral("meet-c"), now().addSecs(3600));
    schedule(replaced);
    replaced.title = QStringLiteral("Replacement");
    replaced.fireDate = now().addMSecs(1000);
    schedule(replaced);
    EXPECT_EQ(scheduler->pendingIdentifiers(), QStringList({"meet-a", "meet-b", "meet-c", "meet-wall"}));

    runTask(scheduler->cancelPendingNotifications({QStringLiteral("meet-a"), QStringLiteral("meet-wall"), QStringLiteral("not-pending")}));
    runTask(scheduler->cancelPendingNotifications({}));
    EXPECT_EQ(scheduler->pendingIdentifiers(), QStringList({"meet-b", "meet-c"}));

    setClockOffset(125'000); // the withdrawn wall-clock request's time has come
    ASSERT_TRUE(waitForNotifications(2));
    spin(1500ms);
    EXPECT_THAT(summaries(), ::testing::UnorderedElementsAre("Title meet-b", "Replacement"));
}

TEST_F(UserNotificationSchedulerTest, PrefixWithdrawalIsExactAndCaseSensitive)
{
    for (const char *id : {"meet-a", "meet-test-42", "Meet-b", "other"})
        schedule(request(QString::fromLatin1(id), now().addSecs(3600)));
    runTask(scheduler->cancelPendingMeetNotifications());
    EXPECT_EQ(scheduler->pendingIdentifiers(), QStringList({"Meet-b", "other"}));
    runTask(scheduler->cancelPendingMeetNotifications());
    EXPECT_EQ(scheduler->pendingIdentifiers(), QStringList({"Meet-b", "other"}));
}

TEST_F(UserNotificationSchedulerTest, WallClockRequestsFireAtTheirSecondAcrossClockJumps)
{
    const QDateTime soon = now().addSecs(90);
    const QDateTime later = now().addSecs(3 * 3600);
    schedule(request(QStringLiteral("meet-later"), later));
    schedule(request(QStringLiteral("meet-soon"), soon));
    // One alarm, at the earliest request's whole second; nothing wakes before it.
    EXPECT_EQ(alarm->deadline().toMSecsSinceEpoch(), soon.toMSecsSinceEpoch() / 1000 * 1000);
    spin(300ms);
    EXPECT_TRUE(server->notifications().isEmpty());

    // The clock is set forward (or the machine wakes from sleep) to just before the second: the
    // request fires when the clock reaches it, not earlier.
    setClockOffset(89'000 - soon.time().msec());
    spin(300ms);
    EXPECT_TRUE(server->notifications().isEmpty()) << "fired before its second";
    ASSERT_TRUE(waitForNotifications(1, 3s));
    EXPECT_GE(now().toMSecsSinceEpoch(), soon.toMSecsSinceEpoch() / 1000 * 1000);
    EXPECT_EQ(summaries(), QStringList({"Title meet-soon"}));
    EXPECT_EQ(scheduler->pendingIdentifiers(), QStringList({"meet-later"}));
    EXPECT_EQ(alarm->deadline().toMSecsSinceEpoch(), later.toMSecsSinceEpoch() / 1000 * 1000);

    // Set back by a day: nothing fires; then forward past the later request, as after a long
    // suspend: it fires at once.
    setClockOffset(clockOffsetMs - 24 * 3600 * 1000);
    spin(300ms);
    EXPECT_EQ(server->notifications().size(), 1);
    setClockOffset(clockOffsetMs + 24 * 3600 * 1000 + 4 * 3600 * 1000);
    ASSERT_TRUE(waitForNotifications(2, 2s));
    EXPECT_EQ(summaries(), QStringList({"Title meet-soon", "Title meet-later"}));
    EXPECT_TRUE(scheduler->pendingIdentifiers().isEmpty());
    EXPECT_FALSE(alarm->deadline().isValid()) << "an alarm left armed with nothing pending";
}

TEST_F(UserNotificationSchedulerTest, PastDueRequestArrivesWithinTheGraceAndIsDroppedAfterIt)
{
    schedule(request(QStringLiteral("meet-late"), now().addSecs(-30)));
    schedule(request(QStringLiteral("meet-old"), now().addSecs(3600)));
    schedule(request(QStringLiteral("meet-old"), now().addSecs(-61)));
    EXPECT_EQ(scheduler->pendingIdentifiers(), QStringList({"meet-late"}));
    ASSERT_TRUE(waitForNotifications(1));
    spin(200ms);
    EXPECT_EQ(summaries(), QStringList({"Title meet-late"}));
}

TEST_F(UserNotificationSchedulerTest, BodyIsEscapedOnlyForServersThatReadMarkup)
{
    auto n = request(QStringLiteral("meet-m"), now().addMSecs(1000));
    n.title = QStringLiteral("Design <review> & lunch");
    n.body = QStringLiteral("R&D <b>team</b> · 12:00");
    schedule(n);
    ASSERT_TRUE(waitForNotifications(1));
    server->setBodyMarkup(true);
    schedule(n);
    ASSERT_TRUE(waitForNotifications(2));

    EXPECT_EQ(server->notifications().at(0).body, n.body);
    EXPECT_EQ(server->notifications().at(1).body, QStringLiteral("R&amp;D &lt;b&gt;team&lt;/b&gt; · 12:00"));
    EXPECT_EQ(server->notifications().at(1).summary, n.title);
}

TEST_F(UserNotificationSchedulerTest, AuthorizationAndScheduleFailuresAreReported)
{
    EXPECT_TRUE(runTask(scheduler->requestAuthorization()));

    server->setFailure(QStringLiteral("org.freedesktop.DBus.Error.AccessDenied"));
    try {
        runTask(scheduler->requestAuthorization());
        ADD_FAILURE() << "no error";
    } catch (const NotificationError &e) {
        EXPECT_EQ(e.localizedDescription(),
                  L10n::format(QStringLiteral("notification_error_request_failed"), QStringLiteral("the fake notification server was told to fail")));
    }
    EXPECT_THROW(schedule(request(QStringLiteral("meet-x"), now().addSecs(10))), NotificationError);
    EXPECT_TRUE(scheduler->pendingIdentifiers().isEmpty());

    server->setFailure({});
    EXPECT_THROW(schedule(request(QStringLiteral("meet-x"), QDateTime())), NotificationError);
    EXPECT_TRUE(scheduler->pendingIdentifiers().isEmpty());
}

TEST_F(UserNotificationSchedulerTest, NoServerOnTheBusGivesFalseAndScheduleFailsClearly)
{
    EXPECT_TRUE(runTask(scheduler->requestAuthorization()));

    server->stop(); // the service vanishes
    EXPECT_FALSE(runTask(scheduler->requestAuthorization()));
    try {
        schedule(request(QStringLiteral("meet-x"), now().addSecs(10)));
        ADD_FAILURE() << "no error";
    } catch (const NotificationError &e) {
        const QString prefix = L10n::format(QStringLiteral("notification_error_service_unavailable"), QString()).trimmed();
        EXPECT_TRUE(e.localizedDescription().startsWith(prefix)) << e.what();
        EXPECT_GT(e.localizedDescription().size(), prefix.size()) << "the bus's message is missing";
    }
    EXPECT_TRUE(scheduler->pendingIdentifiers().isEmpty());
}

TEST_F(UserNotificationSchedulerTest, DestroyingTheSchedulerEndsItsPendingRequests)
{
    schedule(request(QStringLiteral("meet-a"), now().addMSecs(1000)));
    schedule(request(QStringLiteral("meet-b"), now().addSecs(61)));
    setClockOffset(60'500);
    scheduler.reset();
    spin(1500ms);
    EXPECT_TRUE(server->notifications().isEmpty());
}

TEST(RecordingNotificationSchedulerTest, KeepsThePendingTableAndFailsWhenTold)
{
    RecordingNotificationScheduler recorder;
    const QDateTime at = utc("2024-05-06T12:00:00.000Z");
    for (const char *id : {"meet-a", "Meet-b", "meet-a"})
        runTask(recorder.schedule({QString::fromLatin1(id), {}, {}, {}, at, std::nullopt}));
    runTask(recorder.cancelPendingMeetNotifications());
    EXPECT_EQ(recorder.pending.keys(), QStringList({"Meet-b"}));

    recorder.scheduleError = QStringLiteral("refused");
    recorder.scheduleSuccessesBeforeError = 4;
    runTask(recorder.schedule({QStringLiteral("meet-c"), {}, {}, {}, at, std::nullopt}));
    EXPECT_THROW(runTask(recorder.schedule({QStringLiteral("meet-d"), {}, {}, {}, at, std::nullopt})), NotificationError);
    recorder.authorized = false;
    EXPECT_FALSE(runTask(recorder.requestAuthorization()));
    EXPECT_EQ(recorder.calls, QStringList({"schedule meet-a", "schedule Meet-b", "schedule meet-a", "cancelMeet", "schedule meet-c",
                                           "schedule meet-d", "requestAuthorization"}));
    EXPECT_EQ(recorder.pending.keys(), QStringList({"Meet-b", "meet-c"}));
}

} // namespace
