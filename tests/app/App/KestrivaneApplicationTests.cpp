#include "App/KestrivaneApplication.h"
#include "App/MenuBarTray.h"
#include "DesignSystem/ColorSchemeProvider.h"
#include "Stores/AppStore.h"
#include "Support/AppL10n.h"
#include "Support/AppNotificationCenter.h"
#include "Support/DateFormatting.h"
#include "Support/Localization.h"
#include "Support/ShortcutSettings.h"
#include "Support/WindowRegistry.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/FakeGoogleServer.h"
#include "TestSupport/EventCounter.h"
#include "TestSupport/InMemoryTokenStore.h"
#include "TestSupport/PortalStandIn.h"
#include "TestSupport/PrivateBus.h"
#include "TestSupport/RecordingNotificationScheduler.h"
#include "TestSupport/TestEnvironment.h"
#include "Views/Today/TodayMeetView.h"

#include <QLabel>

#include <QApplication>
#include <QMenu>
#include <QScopeGuard>

#include <QApplication>
#include <QPalette>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace std::chrono_literals;

namespace {

QList<QWidget *> visibleTopLevels(const QString &name)
{
    QList<QWidget *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == name && widget->isVisible())
            found.append(widget);
    }
    return found;
}

class KestrivaneApplicationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KV_REQUIRE(test::displayProblem());
        server.route("GET", "/appcast.xml", [](const test::RecordedRequest &) { return test::FakeResponse::json(404, "{}"); });
    }

    void TearDown() override
    {
        application.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        AppL10n::configure(std::nullopt);
        L10n::configure(std::nullopt);
        DateFormatting::configure(std::nullopt);
    }

    KestrivaneApplication &launch(const QStringList &arguments)
    {
        KestrivaneApplication::Options options;
        options.delegate.updater.feedURL = server.baseURL().resolved(QUrl("/appcast.xml"));
        options.delegate.checkLaunchLocation = false;
        options.delegate.terminate = [this] { ++terminations; };
        options.userDefaults = defaults;
        options.notificationScheduler = scheduler;
        options.tokenStore = std::make_shared<test::InMemoryTokenStore>();
        application = std::make_unique<KestrivaneApplication>(QStringList{"kestrivane"} + arguments,
                                                              KestrivaneApplication::Environment{}, options);
        EXPECT_TRUE(application->launch());
        // The tray item shows at once; the first window follows on the next turn of the event loop.
        EXPECT_TRUE(application->tray()->trayIcon()->isVisible());
        const auto firstWindows = [] {
            return visibleTopLevels(WindowRegistry::setup).size() + visibleTopLevels(WindowRegistry::todayMeets).size();
        };
        EXPECT_EQ(firstWindows(), 0);
        EXPECT_TRUE(test::waitUntil([&] { return firstWindows() == 1; }));
        return *application;
    }

    test::FakeGoogleServer server;
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<test::RecordingNotificationScheduler> scheduler = std::make_shared<test::RecordingNotificationScheduler>();
    std::unique_ptr<KestrivaneApplication> application;
    int terminations = 0;
};

} // namespace

TEST_F(KestrivaneApplicationTest, DemoLaunchOpensOneTodayWindowInTheDemoLocaleWithoutStartingTheSync)
{
    KestrivaneApplication &app = launch({"--demo-data", "--demo-locale=ja", "--demo-state=current"});
    ASSERT_TRUE(app.demoMode().enabled);

    // The locale reached all three lookups before the windows were made.
    EXPECT_EQ(AppL10n::overrideLocaleIdentifier(), std::optional<QString>("ja"));
    EXPECT_EQ(L10n::overrideLocaleIdentifier(), std::optional<QString>("ja"));
    EXPECT_EQ(DateFormatting::shortTime().locale().language(), QLocale::Japanese);

    ASSERT_EQ(visibleTopLevels(WindowRegistry::todayMeets).size(), 1);
    EXPECT_TRUE(visibleTopLevels(WindowRegistry::setup).isEmpty());
    QWidget *today = visibleTopLevels(WindowRegistry::todayMeets).first();
    EXPECT_EQ(today->windowTitle(), AppL10n::text("today_meets_title"));
    EXPECT_EQ(today->windowTitle(), QStringLiteral("今日の会議"));
    EXPECT_EQ(today->size(), QSize(560, 520));
    // The Today view lists the demo meetings, with its minimum size.
    auto *view = today->findChild<TodayMeetView *>();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(today->minimumSize(), QSize(560, 520));
    QStringList titles;
    for (auto *label : view->findChildren<QLabel *>(QStringLiteral("row-title")))
        titles << label->text();
    EXPECT_TRUE(titles.contains(QStringLiteral("リリース確認")));

    // The tray label follows the store: a meeting in progress.
    EXPECT_EQ(app.tray()->trayIcon()->toolTip(), AppL10n::text("menu_bar_in_meeting"));

    // Three posts, one window; a minimised one comes back.
    for (int i = 0; i < 3; ++i)
        AppNotificationCenter::defaultCenter().post(AppNotificationCenter::openTodayMeetsWindow);
    test::spin(50ms);
    EXPECT_EQ(visibleTopLevels(WindowRegistry::todayMeets).size(), 1);
    today->showMinimized();
    ASSERT_TRUE(today->isMinimized());
    AppNotificationCenter::defaultCenter().post(AppNotificationCenter::openTodayMeetsWindow);
    EXPECT_FALSE(today->isMinimized());
    EXPECT_EQ(visibleTopLevels(WindowRegistry::todayMeets).first(), today);

    // Demo mode: no periodic sync, so the notification service is never asked.
    test::spin(100ms);
    EXPECT_EQ(scheduler->authorizationRequests, 0);
    EXPECT_FALSE(app.store().syncStatus().kind() == AppStore::SyncStatus::Kind::syncing);
}

TEST_F(KestrivaneApplicationTest, TheTrayGlyphAndOpenWindowsFollowTheColourSchemeWithoutARestart)
{
    // The desktop's portal on a bus of the test; it states no preference at first.
    test::PrivateBus bus;
    KV_REQUIRE(bus.problem());
    test::PortalStandIn portal(bus.connect(), 0);
    KV_REQUIRE(portal.problem());
    ColorSchemeProvider provider(bus.connect());
    ColorSchemeProvider::setShared(&provider);
    const auto restore = qScopeGuard([] { ColorSchemeProvider::setShared(nullptr); });
    ASSERT_TRUE(test::waitUntil([&] { return provider.portalPreference().has_value(); }));

    KestrivaneApplication &app = launch({});
    // The glyph's ink: the mean lightness of its opaque pixels.
    const auto glyphInk = [&] {
        const QImage glyph = app.tray()->trayIcon()->icon().pixmap(QSize(24, 22)).toImage();
        qint64 sum = 0;
        int count = 0;
        for (int y = 0; y < glyph.height(); ++y)
            for (int x = 0; x < glyph.width(); ++x)
                if (glyph.pixelColor(x, y).alpha() > 200) {
                    sum += glyph.pixelColor(x, y).lightness();
                    ++count;
                }
        return count ? int(sum / count) : -1;
    };
    ASSERT_EQ(visibleTopLevels(WindowRegistry::setup).size(), 1);
    QWidget *window = visibleTopLevels(WindowRegistry::setup).first();
    int paints = 0;
    test::EventCounter counter(window, QEvent::Paint, &paints);
    const auto windowColour = [&] { return window->grab().toImage().pixelColor(window->width() / 2, window->height() - 3); };

    // No preference: the palette decides.
    const QPalette saved = QApplication::palette();
    QPalette dark = saved;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    QApplication::setPalette(dark);
    EXPECT_GT(glyphInk(), 200);
    QApplication::setPalette(saved);
    EXPECT_LT(glyphInk(), 60);

    // The desktop says dark, then light: the glyph turns white and back, the open window is
    // repainted in the other palette.
    test::spin(100ms);
    const int before = paints;
    portal.setColorScheme(1);
    ASSERT_TRUE(test::waitUntil([&] { return provider.scheme() == ColorScheme::dark; }));
    EXPECT_GT(glyphInk(), 200);
    EXPECT_TRUE(test::waitUntil([&] { return paints > before; }));
    EXPECT_EQ(windowColour().rgb(), KVPalette::dark().window.rgb());
    portal.setColorScheme(2);
    ASSERT_TRUE(test::waitUntil([&] { return provider.scheme() == ColorScheme::light; }));
    EXPECT_LT(glyphInk(), 60);
    EXPECT_EQ(windowColour().rgb(), KVPalette::light().window.rgb());
}

TEST_F(KestrivaneApplicationTest, WithoutAnAccountTheSetupWindowOpensAndTheSyncStarts)
{
    KestrivaneApplication &app = launch({});
    EXPECT_FALSE(app.demoMode().enabled);
    EXPECT_EQ(visibleTopLevels(WindowRegistry::setup).size(), 1);
    EXPECT_TRUE(visibleTopLevels(WindowRegistry::todayMeets).isEmpty());
    EXPECT_EQ(visibleTopLevels(WindowRegistry::setup).first()->size(), QSize(520, 460));
    // The periodic sync ran once: with no account it ends idle.
    ASSERT_TRUE(test::waitUntil([&] { return app.store().hasCompletedInitialSync(); }, 5s));
    EXPECT_EQ(app.store().syncStatus().kind(), AppStore::SyncStatus::Kind::idle);
    EXPECT_EQ(app.tray()->trayIcon()->toolTip(), QStringLiteral("Kestrivane"));

    // The tray menu: the four commands, then Quit.
    QStringList titles;
    for (QAction *action : app.tray()->menu()->actions()) {
        if (!action->isSeparator())
            titles << action->text();
    }
    EXPECT_EQ(titles, (QStringList{AppL10n::text("open_today_meets_shortcut"), AppL10n::text("join_meet_shortcut"),
                                   AppL10n::text("check_for_updates"), AppL10n::text("send_feedback"), AppL10n::text("quit")}));
    // Join with nothing to join: the Today window.
    app.tray()->menu()->actions().at(1)->trigger();
    EXPECT_EQ(visibleTopLevels(WindowRegistry::todayMeets).size(), 1);

    // The shortcuts come from the same settings domain.
    EXPECT_EQ(app.shortcutSettings().openTodayMeets(), KestrivaneShortcut::openTodayMeetsDefault());
    app.shortcutSettings().setJoinMeet({40, 0x1900, "K"});
    EXPECT_TRUE(defaults->contains(ShortcutSettings::joinMeetKey));

    // The application's quit event (what QCoreApplication::quit() sends while the application
    // runs) takes the orderly quit.
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
    ASSERT_TRUE(test::waitUntil([&] { return terminations == 1; }, 3s));
    EXPECT_TRUE(scheduler->calls.contains("cancelMeet"));
}
