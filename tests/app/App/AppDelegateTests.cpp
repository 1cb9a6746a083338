#include "App/AppDelegate.h"
#include "Stores/AppStore.h"
#include "Support/AppNotificationCenter.h"
#include "Support/CancellableWait.h"
#include "Support/GlobalHotKeyController.h"
#include "Support/ShortcutSettings.h"
#include "Support/UpdateDialog.h"
#include "Support/UpdateStatusStore.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/FakeBrowser.h"
#include "TestSupport/FakeGoogleServer.h"
#include "TestSupport/StoreTestSupport.h"
#include "TestSupport/TestEnvironment.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace std::chrono_literals;
using test::FakeGoogleServer;
using test::FakeResponse;

namespace {

void xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    ASSERT_TRUE(process.waitForFinished(5000)) << arguments.join(' ').toStdString();
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

// A scheduler whose withdrawal of the meeting notifications waits until released: a cleanup that hangs.
class HangingScheduler final : public NotificationScheduling {
public:
    QCoro::Task<bool> requestAuthorization() override { co_return true; }
    QCoro::Task<void> schedule(ScheduledNotification) override { co_return; }
    QCoro::Task<void> cancelPendingNotifications(QStringList) override { co_return; }
    QCoro::Task<void> cancelPendingMeetNotifications() override
    {
        const bool elapsed = co_await release.sleep(1h);
        Q_UNUSED(elapsed);
    }
    CancellableWait release;
};

class AppDelegateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KV_REQUIRE(test::displayProblem());
        server.route("GET", "/appcast.xml", [this](const test::RecordedRequest &) {
            FakeResponse response;
            response.body = feed;
            return response;
        });
        AppNotificationCenter::defaultCenter().observe(AppNotificationCenter::openTodayMeetsWindow, &observer,
                                                       [this] { ++todayRequests; });
    }

    AppDelegate::Options options()
    {
        AppDelegate::Options o;
        o.updater.feedURL = server.baseURL().resolved(QUrl("/appcast.xml"));
        o.updater.currentVersion = QStringLiteral("1.0");
        o.updater.timeout = 2s;
        o.checkLaunchLocation = false;
        o.quitCleanupLimit = 300ms;
        o.terminate = [this] {
            ++terminations;
            callsAtTermination = parts.scheduler->calls;
        };
        return o;
    }

    static QByteArray appcast(const QString &version, const QString &displayVersion)
    {
        return "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><item><version>" + version.toUtf8() +
               "</version><displayVersion>" + displayVersion.toUtf8() +
               "</displayVersion><link>https://kestrivane.app/download</link></item></channel></rss>";
    }

    FakeGoogleServer server;
    QByteArray feed = appcast("1.0", "1.0");
    test::StoreParts parts;
    QObject observer;
    int todayRequests = 0;
    int terminations = 0;
    QStringList callsAtTermination;
};

} // namespace

TEST_F(AppDelegateTest, AFindingWaitsForTheUpdateStatusAndALaterFailureClearsIt)
{
    AppDelegate delegate(options());
    delegate.updaterDidFindValidUpdate({"2.0.1", "2.0 (Spring)", QUrl("https://kestrivane.app/download")});
    UpdateStatusStore status;
    int changes = 0;
    QObject::connect(&status, &UpdateStatusStore::changed, [&] { ++changes; });
    delegate.setUpdateStatus(&status);
    EXPECT_EQ(status.availableVersion(), std::optional<QString>("2.0 (Spring)"));
    delegate.updaterDidNotFindUpdate(QStringLiteral("offline"));
    EXPECT_FALSE(status.hasAvailableUpdate());
    EXPECT_EQ(changes, 2);

    // Assigned before any finding: cleared, and announced.
    AppDelegate fresh(options());
    UpdateStatusStore other;
    other.markAvailable("9.9");
    fresh.setUpdateStatus(&other);
    EXPECT_FALSE(other.hasAvailableUpdate());
}

TEST_F(AppDelegateTest, TheSilentCheckRunsOnceAndOnlyOnceTheUpdaterExists)
{
    feed = appcast("1.2.0", "1.2");
    AppDelegate delegate(options());
    UpdateStatusStore status;
    delegate.setUpdateStatus(&status);
    // No updater before launch: nothing is asked, and the request is not used up.
    delegate.refreshAvailableUpdateInformationIfNeeded();
    test::spin(50ms);
    EXPECT_TRUE(server.requests.isEmpty());

    ASSERT_TRUE(delegate.applicationDidFinishLaunching());
    delegate.refreshAvailableUpdateInformationIfNeeded();
    delegate.refreshAvailableUpdateInformationIfNeeded();
    ASSERT_TRUE(test::waitUntil([&] { return status.hasAvailableUpdate(); }, 5s));
    EXPECT_EQ(status.availableVersion(), std::optional<QString>("1.2"));
    test::spin(50ms);
    EXPECT_EQ(server.requests.size(), 1);

    // A user-initiated check through the application-wide notification; its failure clears the banner.
    feed = "<rss><channel><item><version>";
    AppNotificationCenter::defaultCenter().post(AppNotificationCenter::checkForUpdates);
    ASSERT_TRUE(test::waitUntil([&] { return !status.hasAvailableUpdate(); }, 5s));
    EXPECT_EQ(server.requests.size(), 2);
    ASSERT_NE(delegate.updaterController()->dialog(), nullptr);
    delegate.updaterController()->dialog()->close();
}

TEST_F(AppDelegateTest, HotKeysAreWiredOnceFromTheFirstShortcutSettingsAndFollowThem)
{
    auto store = parts.makeStore();
    AppDelegate delegate(options());
    delegate.setStore(store.get());
    EXPECT_EQ(delegate.globalHotKeyController(), nullptr);

    InMemoryUserDefaults defaults;
    ShortcutSettings settings(defaults);
    delegate.setShortcutSettings(&settings);
    GlobalHotKeyController *controller = delegate.globalHotKeyController();
    ASSERT_NE(controller, nullptr);
    EXPECT_TRUE(controller->isRegistered(GlobalHotKeyController::HotKeyID::OpenTodayMeets));
    EXPECT_TRUE(controller->isRegistered(GlobalHotKeyController::HotKeyID::JoinMeet));

    InMemoryUserDefaults otherDefaults;
    ShortcutSettings other(otherDefaults);
    delegate.setShortcutSettings(&other);
    delegate.setStore(store.get());
    EXPECT_EQ(delegate.globalHotKeyController(), controller);

    // The open shortcut moves to Control-Option-Command-K: K opens, M no longer does.
    settings.setOpenTodayMeets({40, 0x1900, "K"});
    xdotool({"key", "ctrl+alt+super+m"});
    test::spin(100ms);
    EXPECT_EQ(todayRequests, 0);
    xdotool({"key", "ctrl+alt+super+k"});
    EXPECT_TRUE(test::waitUntil([&] { return todayRequests == 1; }, 3s));
    // Changes of the later settings object are not followed.
    other.setOpenTodayMeets({37, 0x1900, "L"});
    xdotool({"key", "ctrl+alt+super+l"});
    test::spin(100ms);
    EXPECT_EQ(todayRequests, 1);
}

TEST_F(AppDelegateTest, JoinOpensTheStoresLinkElseTheTodayWindowAndReopenShowsIt)
{
    test::FakeBrowser browser;
    ASSERT_TRUE(browser.isValid());
    browser.install();

    AppDelegate delegate(options());
    delegate.openShortcutMeet();
    EXPECT_EQ(todayRequests, 1);

    // Demo data: the meeting in progress has a link.
    auto configuration = parts.configuration();
    configuration.demoMode.enabled = true;
    configuration.demoMode.state = DemoMode::State::current;
    AppStore store(std::move(configuration));
    const std::optional<QUrl> link = store.shortcutJoinURL();
    ASSERT_TRUE(link);
    delegate.setStore(&store);
    delegate.openShortcutMeet();
    ASSERT_TRUE(test::waitUntil([&] { return !browser.openedLinks().isEmpty(); }, 5s));
    EXPECT_EQ(browser.openedLinks(), QStringList{link->toString(QUrl::FullyEncoded)});
    EXPECT_EQ(todayRequests, 1);

    delegate.openNotificationLink(QUrl("https://meet.google.com/abc-defg-hij"));
    ASSERT_TRUE(test::waitUntil([&] { return browser.openedLinks().size() == 2; }, 5s));
    EXPECT_EQ(browser.openedLinks().last(), "https://meet.google.com/abc-defg-hij");

    delegate.applicationShouldHandleReopen();
    EXPECT_EQ(todayRequests, 2);
}

TEST_F(AppDelegateTest, QuitAwaitsTheStoresCleanupFirst)
{
    auto store = parts.makeStore();
    AppDelegate delegate(options());
    delegate.setStore(store.get());
    delegate.applicationShouldTerminate();
    ASSERT_TRUE(test::waitUntil([&] { return terminations == 1; }, 3s));
    EXPECT_TRUE(callsAtTermination.contains("cancelMeet"));
    // Later requests change nothing.
    delegate.applicationShouldTerminate();
    test::spin(400ms);
    EXPECT_EQ(terminations, 1);

    // Without a store the application ends at once.
    AppDelegate bare(options());
    bare.applicationShouldTerminate();
    EXPECT_EQ(terminations, 2);
}

TEST_F(AppDelegateTest, ASecondRequestOrAHangingCleanupEndsTheApplicationAnyway)
{
    auto scheduler = std::make_shared<HangingScheduler>();
    auto configuration = parts.configuration();
    configuration.notificationScheduler = scheduler;
    AppStore store(std::move(configuration));

    {
        AppDelegate delegate(options());
        delegate.setStore(&store);
        delegate.applicationShouldTerminate();
        test::spin(50ms);
        EXPECT_EQ(terminations, 0);
        EXPECT_TRUE(delegate.isTerminating());
        delegate.applicationShouldTerminate();
        EXPECT_EQ(terminations, 1);
    }
    scheduler->release.cancel();
    test::spin(20ms);

    AppDelegate delegate(options());
    delegate.setStore(&store);
    delegate.applicationShouldTerminate();
    test::spin(50ms);
    EXPECT_EQ(terminations, 1);
    // The time limit.
    EXPECT_TRUE(test::waitUntil([&] { return terminations == 2; }, 3s));
    scheduler->release.cancel();
    test::spin(20ms);
}
