#include "App/AppDelegate.h"
#include "Support/AppBuildChannel.h"
#include "Support/AppL10n.h"
#include "TestSupport/Accessibility.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/DesktopSession.h"
#include "TestSupport/FakeDesktopPortal.h"
#include "TestSupport/FakeGoogleServer.h"
#include "TestSupport/StandInGoogleAccount.h"
#include "TestSupport/TestEnvironment.h"
#include "TestSupport/X11Windows.h"
#include "app/Views/ViewTestSupport.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QPixmap>
#include <QScreen>

#include <gtest/gtest.h>

// The tray panel and the Today window of the real program, read and pressed through AT-SPI.

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

namespace {

const QString program = QStringLiteral(KESTRIVANE_EXECUTABLE);
constexpr auto patience = 20s;

struct DemoTexts {
    QString ended, current, ready, next;
};
const DemoTexts english{"Design critique", "Launch checklist review", "Weekly planning", "Customer onboarding"};
const DemoTexts japanese{"デザインレビュー", "リリース確認", "週次プランニング", "導入ミーティング"};

QString plain(QString text)
{
    return text.replace(QChar(0x202F), u' ').replace(QChar(0x00A0), u' ');
}

QRect extentsOf(const QJsonObject &node)
{
    const QJsonArray box = node.value(QStringLiteral("extents")).toArray();
    return box.size() == 4 ? QRect(box[0].toInt(), box[1].toInt(), box[2].toInt(), box[3].toInt()) : QRect();
}

class MeetingViewsWholeApplicationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KV_REQUIRE(displayProblem());
        KV_REQUIRE(session.problem());
        session.setVariable(AppDelegate::skipLaunchLocationCheckVariable, QStringLiteral("1"));
        session.setVariable(QStringLiteral("KESTRIVANE_APPCAST_URL"), serveStandInAppcast(server).toString());
        accessibility = std::make_unique<AccessibilityBus>(session);
        KV_REQUIRE(accessibility->problem());
        ASSERT_EQ(session.startTray(), QString());
        ASSERT_TRUE(waitUntil([] { return x11TrayManagerPresent(); }, 5s));
    }
    void TearDown() override { AppL10n::configure(std::nullopt); }

    void launch(const QStringList &arguments = {})
    {
        app = session.start(program, arguments);
        ASSERT_TRUE(app->waitForStarted(5000));
        ASSERT_TRUE(waitUntil([] { return x11EmbeddedWindows("kestrivane").size() == 1; }, patience));
    }
    QString application() const { return QStringLiteral("pid:") + QString::number(app->processId()); }

    static bool panelShown() { return x11TopLevels("menu-bar-panel").size() == 1; }
    void clickTrayIcon()
    {
        const QString icon = QString::number(x11EmbeddedWindows("kestrivane").first().id);
        ASSERT_EQ(session.run("xdotool", {"mousemove", "--window", icon, "8", "8", "click", "1"}).exitCode, 0);
    }
    void openPanel()
    {
        // A click right after the panel closed counts as the click that closed it.
        spin(400ms);
        clickTrayIcon();
        ASSERT_TRUE(waitUntil([] { return panelShown(); }, patience));
        spin(200ms);
    }

    QJsonObject tree()
    {
        QString error;
        const QJsonObject result = accessibility->tree(application(), &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return result;
    }
    // The names of the accessibles of `role`, with no-break spaces made plain.
    QStringList names(const QJsonObject &root, const QString &role)
    {
        QStringList result;
        for (const QJsonObject &node : findAccessibles(root, role))
            result << plain(node.value(QStringLiteral("name")).toString());
        return result;
    }
    // Waits until the application shows a label (or button, alert) named `name`.
    bool shows(const QString &role, const QString &name)
    {
        return waitUntil([&] { return names(tree(), role).contains(name); }, patience);
    }
    QString press(const QString &name) { return accessibility->press(application(), QStringLiteral("push button"), name); }

    static void screenshot(const QString &name)
    {
        const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts/whole-app-views");
        QDir().mkpath(folder);
        QGuiApplication::primaryScreen()->grabWindow(0).save(folder + u'/' + name + QStringLiteral(".png"));
    }

    DesktopSession session;
    FakeGoogleServer server;
    std::unique_ptr<AccessibilityBus> accessibility;
    QProcess *app = nullptr;
};

struct DemoCase {
    QString state;
    QString language;
    bool dark;
};

void PrintTo(const DemoCase &demo, std::ostream *out)
{
    *out << demo.state.toStdString() << ' ' << demo.language.toStdString() << (demo.dark ? " dark" : " light");
}

class DemoStateTest : public MeetingViewsWholeApplicationTest, public ::testing::WithParamInterface<DemoCase> {};

std::string demoCaseName(const ::testing::TestParamInfo<DemoCase> &info)
{
    return (info.param.state + u'_' + info.param.language + (info.param.dark ? QStringLiteral("_dark") : QStringLiteral("_light"))).toStdString();
}

} // namespace

// Each demo state in each language and scheme: the panel opened by a click on the tray icon and
// the Today window, pictured and read as a screen reader reads them, against the demo snapshot.
TEST_P(DemoStateTest, PanelAndTodayWindowShowTheDemoSnapshot)
{
    const DemoCase demo = GetParam();
    FakeDesktopPortal portal(session.bus().connect(), demo.dark);
    ASSERT_EQ(portal.problem(), QString());
    AppL10n::configure(demo.language);
    const DemoTexts &titles = demo.language == u"ja" ? japanese : english;
    const QString nineThirty = demo.language == u"ja" ? QStringLiteral("9:30") : QStringLiteral("9:30 AM");
    ASSERT_NO_FATAL_FAILURE(launch({"--demo-data", "--demo-state=" + demo.state, "--demo-locale=" + demo.language}));
    const bool setup = demo.state == u"setup";
    ASSERT_TRUE(waitUntil([&] { return x11TopLevels(setup ? "setup" : "today-meets").size() == 1; }, patience));
    if (setup) {
        // Footer Today, from the panel.
        ASSERT_NO_FATAL_FAILURE(openPanel());
        ASSERT_EQ(press(AppL10n::text("footer_today")), QString());
        ASSERT_TRUE(waitUntil([] { return x11TopLevels("today-meets").size() == 1; }, patience));
        ASSERT_TRUE(waitUntil([] { return !panelShown(); }, patience));
    }
    ASSERT_NO_FATAL_FAILURE(openPanel());
    const QString suffix = demo.state + u'-' + demo.language + (demo.dark ? QStringLiteral("-dark") : QStringLiteral("-light"));
    screenshot(QStringLiteral("panel-and-today-") + suffix);

    const QJsonObject shown = tree();
    const QStringList labels = names(shown, QStringLiteral("label"));
    const QStringList buttons = names(shown, QStringLiteral("push button"));
    // The footer of the panel and the title of the Today window.
    for (const QString key : {"footer_today", "footer_sync", "footer_settings", "footer_quit"})
        EXPECT_TRUE(buttons.contains(AppL10n::text(key))) << key.toStdString();
    EXPECT_TRUE(names(shown, QStringLiteral("heading")).contains(AppL10n::text("today_meets_title")));
    // The update the stand-in feed offers.
    EXPECT_TRUE(buttons.contains(AppL10n::format("update_available_version", QStringLiteral("999"))));
    if (setup) {
        EXPECT_TRUE(labels.contains(AppL10n::text("no_more_meets_today")));
        EXPECT_TRUE(labels.contains(AppL10n::text("no_meet_events_today")));
        EXPECT_TRUE(labels.contains(AppL10n::format("meetings_count_short", 0)));
    } else {
        const QString chip = demo.state == u"next" ? AppL10n::text("next_meet")
                           : demo.state == u"ready" ? AppL10n::text("meet_heads_up")
                                                    : AppL10n::text("in_meeting");
        EXPECT_TRUE(labels.contains(chip)) << QJsonDocument(shown).toJson().toStdString();
        EXPECT_TRUE(labels.contains(demo.state == u"current" ? titles.current : titles.ready));
        EXPECT_TRUE(buttons.contains(AppL10n::text(demo.state == u"current" ? "join_current_meet" : "join_meet")));
        // Only the alert card can be dismissed (in Japanese the windows' close controls share its name).
        const int closeControls = AppL10n::text("dismiss") == AppL10n::text("window_close") ? 1 : 0;
        EXPECT_EQ(buttons.count(AppL10n::text("dismiss")) - closeControls, demo.state == u"ready" ? 1 : 0);
        // The panel's count and the Today footer's, the rows of both, with their times.
        EXPECT_GE(labels.count(AppL10n::format("meetings_count_short", 4)), 2);
        for (const QString &title : {titles.ended, titles.current, titles.ready, titles.next})
            EXPECT_GE(labels.count(title), 2) << title.toStdString();
        EXPECT_GE(labels.count(nineThirty), 2);
        EXPECT_TRUE(labels.contains(AppL10n::text("ended")));
        EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](const QString &label) { return label.contains("11:45"); }));
    }

    ASSERT_TRUE(pressKeys({"Escape"}));
    EXPECT_TRUE(waitUntil([] { return !panelShown(); }, patience));
    screenshot(QStringLiteral("today-") + suffix);
    app->terminate();
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
}

INSTANTIATE_TEST_SUITE_P(MeetingViews, DemoStateTest,
                         ::testing::Values(DemoCase{"setup", "en", false}, DemoCase{"next", "en", false}, DemoCase{"ready", "en", false},
                                           DemoCase{"current", "en", false}, DemoCase{"setup", "ja", true}, DemoCase{"next", "ja", true},
                                           DemoCase{"ready", "ja", true}, DemoCase{"current", "ja", true},
                                           DemoCase{"next", "en", true}, DemoCase{"current", "ja", false}),
                         demoCaseName);

// What the panel's and the Today window's controls do in the real program.
TEST_F(MeetingViewsWholeApplicationTest, PanelAndTodayControlsDoTheirPart)
{
    AppL10n::configure(QStringLiteral("en"));
    ASSERT_NO_FATAL_FAILURE(launch({"--demo-data", "--demo-state=ready", "--demo-locale=en"}));
    ASSERT_TRUE(waitUntil([] { return x11TopLevels("today-meets").size() == 1; }, patience));

    // Join: the account-chooser link of the alerting meeting, through xdg-open.
    ASSERT_NO_FATAL_FAILURE(openPanel());
    ASSERT_EQ(press("Join Meeting"), QString());
    ASSERT_TRUE(waitUntil([&] { return session.browser().openedLinks().size() == 1; }, patience));
    EXPECT_TRUE(session.browser().openedLinks().first().startsWith("https://accounts.google.com/AccountChooser?"));
    EXPECT_TRUE(session.browser().openedLinks().first().contains("kvx-demo-eady"));
    EXPECT_TRUE(panelShown());

    // Dismiss: the alert card goes, the next meeting is featured.
    ASSERT_EQ(press("Dismiss"), QString());
    EXPECT_TRUE(shows("label", "Next"));
    EXPECT_FALSE(names(tree(), "push button").contains("Dismiss"));

    // A click on the tray icon while the panel is open closes it and does not reopen it.
    ASSERT_NO_FATAL_FAILURE(clickTrayIcon());
    ASSERT_TRUE(waitUntil([] { return !panelShown(); }, patience));
    spin(700ms);
    EXPECT_FALSE(panelShown());

    // A click outside closes it.
    ASSERT_NO_FATAL_FAILURE(openPanel());
    ASSERT_EQ(session.run("xdotool", {"mousemove", "600", "700", "click", "1"}).exitCode, 0);
    EXPECT_TRUE(waitUntil([] { return !panelShown(); }, patience));

    // Footer Today: the panel closes and the Today window comes to the front.
    ASSERT_NO_FATAL_FAILURE(openPanel());
    ASSERT_EQ(press("Today"), QString());
    EXPECT_TRUE(waitUntil([] { return !panelShown() && x11TopmostRole() == u"today-meets"; }, patience));

    // Footer settings: the settings window, in front.
    ASSERT_NO_FATAL_FAILURE(openPanel());
    ASSERT_EQ(press("Settings"), QString());
    EXPECT_TRUE(waitUntil([] { return x11TopLevels("settings").size() == 1 && x11TopmostRole() == u"settings"; }, patience));

    // Sync from the footer and from the Today window's title bar: the demo snapshot again.
    ASSERT_NO_FATAL_FAILURE(openPanel());
    ASSERT_EQ(press("Sync"), QString());
    ASSERT_EQ(press("Sync Now"), QString());
    EXPECT_TRUE(shows("label", "Synced at 11:45 AM"));
    screenshot("controls-after-sync");

    // Quit: the orderly quit ends the program.
    ASSERT_EQ(press("Quit"), QString());
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
}

// As a screen reader reads them: each window a frame named by its title (the panel by the
// application's name) with its controls named once, every view in the order it is drawn, also
// after a section was built again; Return and keypad Enter press the focused join button.
TEST_F(MeetingViewsWholeApplicationTest, ViewsAreReadInDrawingOrderAndReturnPressesTheFocusedButton)
{
    AppL10n::configure(QStringLiteral("en"));
    ASSERT_NO_FATAL_FAILURE(launch({"--demo-data", "--demo-state=ready", "--demo-locale=en"}));
    ASSERT_TRUE(waitUntil([] { return x11TopLevels("today-meets").size() == 1; }, patience));
    ASSERT_TRUE(shows("label", "Synced at 11:45 AM"));
    const QString status = QStringLiteral("label: Synced at 11:45 AM");
    const QStringList rows{"label: Design critique", "label: Launch checklist review", "label: Weekly planning",
                           "label: Customer onboarding"};
    const auto readsTodayInOrder = [&] {
        const QJsonObject today = topLevel(tree(), AppL10n::text("today_meets_title"));
        return readsInOrder(readingOrder(today), QStringList{"heading: " + AppL10n::text("today_meets_title"),
                                                             "label: " + AppL10n::format("meetings_count_accessibility", 4)}
                                                     + rows + QStringList{status});
    };
    const QJsonObject today = topLevel(tree(), AppL10n::text("today_meets_title"));
    EXPECT_EQ(today.value("role").toString(), "frame");
    EXPECT_TRUE(readsTodayInOrder()) << readingOrder(today).join(u'\n').toStdString();
    for (const QString key : {"window_close", "window_minimize", "window_zoom"}) {
        const QList<QJsonObject> controls = findAccessibles(today, "push button", AppL10n::text(key));
        ASSERT_EQ(controls.size(), 1) << key.toStdString();
        EXPECT_EQ(controls.first().value("description").toString(), QString()) << key.toStdString();
    }

    // The panel: status line, hero, list, footer; after Dismiss the hero is built again in its place.
    ASSERT_NO_FATAL_FAILURE(openPanel());
    const QString panelName = AppBuildChannel::current().displayName();
    const auto readsPanelInOrder = [&](const QString &hero) {
        return readsInOrder(readingOrder(topLevel(tree(), panelName)),
                            {status, "push button: " + hero, rows.first(), "push button: " + AppL10n::text("footer_quit")});
    };
    const QJsonObject panel = topLevel(tree(), panelName);
    EXPECT_EQ(panel.value("role").toString(), "frame");
    EXPECT_TRUE(readsPanelInOrder(AppL10n::text("dismiss"))) << readingOrder(panel).join(u'\n').toStdString();
    ASSERT_EQ(press(AppL10n::text("dismiss")), QString());
    ASSERT_TRUE(shows("label", AppL10n::text("next_meet")));
    EXPECT_TRUE(waitUntil([&] { return readsPanelInOrder(AppL10n::text("join_meet")); }, 5s))
        << readingOrder(topLevel(tree(), panelName)).join(u'\n').toStdString();
    // The Today window's alerted row was built again.
    EXPECT_TRUE(waitUntil(readsTodayInOrder, 5s));

    // Return and keypad Enter on the focused join button, in the panel and in the Today window.
    ASSERT_EQ(accessibility->press(application(), "push button", AppL10n::text("join_meet"), "SetFocus"), QString());
    ASSERT_TRUE(pressKeys({"Return"}));
    ASSERT_TRUE(waitUntil([&] { return session.browser().openedLinks().size() == 1; }, patience));
    ASSERT_TRUE(pressKeys({"KP_Enter"}));
    ASSERT_TRUE(waitUntil([&] { return session.browser().openedLinks().size() == 2; }, patience));
    ASSERT_TRUE(pressKeys({"Escape"}));
    ASSERT_TRUE(waitUntil([] { return !panelShown(); }, patience));
    const QString todayWindow = QString::number(x11TopLevels("today-meets").first().id);
    ASSERT_EQ(session.run("xdotool", {"windowfocus", "--sync", todayWindow}).exitCode, 0);
    ASSERT_EQ(accessibility->press(application(), "push button", AppL10n::text("join"), "SetFocus"), QString());
    ASSERT_TRUE(pressKeys({"Return"}));
    ASSERT_TRUE(waitUntil([&] { return session.browser().openedLinks().size() == 3; }, patience));
    ASSERT_TRUE(pressKeys({"KP_Enter"}));
    ASSERT_TRUE(waitUntil([&] { return session.browser().openedLinks().size() == 4; }, patience));
    for (const QString &link : session.browser().openedLinks())
        EXPECT_TRUE(link.startsWith("https://accounts.google.com/AccountChooser?")) << link.toStdString();
    app->terminate();
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
}

// A sync that fails (the stand-in answers 500) shows the issue banner with retry in both views;
// retry succeeds once the stand-in recovers. Hostile meeting texts stay plain; a day of one
// meeting reads so.
TEST_F(MeetingViewsWholeApplicationTest, AFailedSyncOffersRetryInBothViewsUntilGoogleAnswersAgain)
{
    AppL10n::configure(QStringLiteral("en"));
    ASSERT_EQ(session.startKeyring(), QString());
    StandInGoogleAccount account(server, session);
    ASSERT_EQ(account.install(AppBuildChannel::current().keychainService()), QString());
    account.calendar.calendarList = FakeResponse::json(500, R"({"error": {"code": 500, "message": "backend error"}})");
    ASSERT_NO_FATAL_FAILURE(launch({"--demo-locale=en"}));
    ASSERT_TRUE(waitUntil([&] { return !server.requestsTo("GET", FakeGoogleCalendar::calendarListPath).isEmpty(); }, patience));
    ASSERT_TRUE(pressKeys({"ctrl+alt+super+m"}));
    ASSERT_TRUE(waitUntil([] { return x11TopLevels("today-meets").size() == 1; }, patience));
    ASSERT_NO_FATAL_FAILURE(openPanel());
    ASSERT_TRUE(shows("alert", AppL10n::text("sync_issue_title")));
    const QJsonObject failed = tree();
    // The Today window's centred banner and the panel's hero banner, each with retry; the
    // panel's header has its own retry.
    EXPECT_EQ(findAccessibles(failed, "alert", AppL10n::text("sync_issue_title")).size(), 2);
    EXPECT_EQ(names(failed, "push button").count("Retry"), 3);
    EXPECT_FALSE(names(failed, "push button").contains(AppL10n::text("reconnect_google")));
    screenshot("failed-sync");

    // Google answers again, with meetings whose texts are hostile.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString html = QStringLiteral("<b>Board</b><img src=x onerror=alert(1)>");
    account.calendar.calendarList = FakeResponse::json(200, R"({"items": [{"id": "emma@example.com", "summary": "Emma", "primary": true, "accessRole": "owner"}]})");
    account.setMeetings({StandInGoogleAccount::meeting("html", html, now.addSecs(60), "abc-defg-hij"),
                         StandInGoogleAccount::meeting("long", QString(2000, u'W'), now.addSecs(120), "abc-defg-hik"),
                         StandInGoogleAccount::meeting("rtl", QStringLiteral("اجتماع الفريق"), now.addSecs(180), "abc-defg-hil"),
                         StandInGoogleAccount::meeting("emoji", QStringLiteral("🎉 Launch 🚀"), now.addSecs(240), "abc-defg-him"),
                         StandInGoogleAccount::meeting("empty", QString(), now.addSecs(300), "abc-defg-hin")});
    ASSERT_EQ(press("Retry"), QString());
    ASSERT_TRUE(shows("label", html));
    const QJsonObject recovered = tree();
    EXPECT_TRUE(findAccessibles(recovered, "alert").isEmpty());
    EXPECT_TRUE(names(recovered, "label").contains(QStringLiteral("اجتماع الفريق")));
    EXPECT_TRUE(names(recovered, "label").contains(QString(2000, u'W')));
    // The long title neither widens the panel nor the Today window.
    ASSERT_TRUE(panelShown());
    const QString panel = QString::number(x11TopLevels("menu-bar-panel").first().id);
    const QString geometry = QString::fromUtf8(session.run("xdotool", {"getwindowgeometry", panel}).output);
    EXPECT_TRUE(geometry.contains("Geometry: 340x")) << geometry.toStdString();
    const QString today = QString::number(x11TopLevels("today-meets").first().id);
    const QString todayGeometry = QString::fromUtf8(session.run("xdotool", {"getwindowgeometry", today}).output);
    EXPECT_TRUE(todayGeometry.contains("Geometry: 560x520")) << todayGeometry.toStdString();
    screenshot("recovered-hostile");

    // A day of one meeting counts it in the singular: the panel's list, the Today strap and footer.
    account.setMeetings({StandInGoogleAccount::meeting("one", QStringLiteral("Standup"), now.addSecs(600), "abc-defg-hio")});
    ASSERT_EQ(press("Sync"), QString());
    ASSERT_TRUE(shows("label", "Standup"));
    const QStringList single = names(tree(), "label");
    EXPECT_EQ(single.count("1 meeting"), 2);
    EXPECT_TRUE(single.contains("1 meeting with a Meet link"));
    EXPECT_FALSE(single.contains("1 meetings"));
    screenshot("one-meeting");
    app->terminate();
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
}

// An account whose sign-in Google no longer accepts: the panel and the Today window offer the
// reconnect in both languages, each banner read whole and shown whole on the screen (no ink on
// the top row of a text nor on the rows around it, the buttons apart inside it).
TEST_F(MeetingViewsWholeApplicationTest, ARevokedSignInOffersTheReconnect)
{
    ASSERT_EQ(session.startKeyring(), QString());
    StandInGoogleAccount account(server, session);
    ASSERT_EQ(account.install(AppBuildChannel::current().keychainService(), true), QString());
    for (const QString language : {"en", "ja"}) {
        SCOPED_TRACE(language.toStdString());
        AppL10n::configure(language);
        const QString title = AppL10n::text("sync_issue_title");
        // The desktop's language (a locale override is for the demo data only).
        session.setVariable(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        session.setVariable(QStringLiteral("LANGUAGE"), language);
        ASSERT_NO_FATAL_FAILURE(launch());
        ASSERT_TRUE(pressKeys({"ctrl+alt+super+m"}));
        ASSERT_TRUE(waitUntil([] { return x11TopLevels("today-meets").size() == 1; }, patience));
        ASSERT_TRUE(shows("push button", AppL10n::text("reconnect_google")));
        ASSERT_NO_FATAL_FAILURE(openPanel());
        ASSERT_TRUE(waitUntil([&] { return findAccessibles(tree(), "alert", title).size() == 2; }, patience));
        const QJsonObject shown = tree();
        const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        // The panel's banner across its 340 less the margins, the Today window's at its 360.
        QList<int> widths;
        for (const QJsonObject &banner : findAccessibles(shown, "alert", title)) {
            const QRect area = extentsOf(banner);
            widths << area.width();
            EXPECT_EQ(names(banner, "push button"),
                      (QStringList{AppL10n::text("retry"), AppL10n::text("reconnect_google"), AppL10n::text("send_feedback")}));
            EXPECT_TRUE(names(banner, "label").contains(AppL10n::text("google_reconnect_description")));
            for (const QJsonObject &label : findAccessibles(banner, "label")) {
                const QRect box = extentsOf(label);
                EXPECT_TRUE(area.contains(box)) << label.value("name").toString().toStdString();
                for (const int y : {box.top() - 1, box.top(), box.bottom() + 1})
                    EXPECT_FALSE(rowHasInk(screen, y, box.left(), box.right(), area.right() - 4)) << label.value("name").toString().toStdString();
            }
            QList<QRect> buttons;
            for (const QJsonObject &button : findAccessibles(banner, "push button")) {
                const QRect box = extentsOf(button);
                EXPECT_TRUE(area.contains(box)) << button.value("name").toString().toStdString();
                for (const QRect &other : std::as_const(buttons))
                    EXPECT_FALSE(other.intersects(box));
                buttons << box;
            }
        }
        std::sort(widths.begin(), widths.end());
        EXPECT_EQ(widths, (QList<int>{320, 360}));
        screenshot(QStringLiteral("reconnect-required-") + language);
        app->terminate();
        EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
    }
}

// With no Secret Service on the bus, then with the keyring locked, the Today window's banner and
// its status line name the keyring's fault and what to do, in the same words.
TEST_F(MeetingViewsWholeApplicationTest, AMissingOrLockedKeyringIsNamedAlikeByTheBannerAndTheStatusLine)
{
    AppL10n::configure(QStringLiteral("en"));
    const auto shownTogether = [&](const QString &fault) {
        return waitUntil([&] {
            const QJsonObject now = tree();
            bool banner = false;
            for (const QJsonObject &alert : findAccessibles(now, "alert", AppL10n::text("sync_issue_title")))
                banner = banner || alert.value("description").toString() == fault;
            return banner && names(now, "label").contains("Sync failed: " + fault);
        }, patience);
    };
    StandInGoogleAccount account(server, session);

    ASSERT_EQ(account.installConnected(std::nullopt), QString());
    ASSERT_NO_FATAL_FAILURE(launch());
    ASSERT_TRUE(waitUntil([] { return x11TopLevels("today-meets").size() == 1; }, patience));
    EXPECT_TRUE(shownTogether("No keyring service answers. Start your desktop's keyring (such as GNOME Keyring) and try again."))
        << QJsonDocument(tree()).toJson().toStdString();
    screenshot("keyring-missing");
    app->terminate();
    ASSERT_EQ(DesktopSession::waitForExit(app, patience), 0);

    // The keyring runs and holds the account's token, but its collection is locked.
    ASSERT_EQ(session.startKeyring(), QString());
    ASSERT_EQ(account.installConnected(AppBuildChannel::current().keychainService()), QString());
    QDBusConnection bus = session.bus().connect();
    const QString service = QStringLiteral("org.freedesktop.secrets");
    const QString path = QStringLiteral("/org/freedesktop/secrets");
    const QString interface = QStringLiteral("org.freedesktop.Secret.Service");
    QDBusMessage alias = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("ReadAlias"));
    alias << QStringLiteral("default");
    const QDBusMessage collection = bus.call(alias);
    ASSERT_EQ(collection.type(), QDBusMessage::ReplyMessage) << collection.errorMessage().toStdString();
    QDBusMessage lock = QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Lock"));
    lock << QVariant::fromValue(QList<QDBusObjectPath>{collection.arguments().value(0).value<QDBusObjectPath>()});
    const QDBusMessage locked = bus.call(lock);
    ASSERT_EQ(locked.type(), QDBusMessage::ReplyMessage) << locked.errorMessage().toStdString();

    ASSERT_NO_FATAL_FAILURE(launch());
    ASSERT_TRUE(waitUntil([] { return x11TopLevels("today-meets").size() == 1; }, patience));
    EXPECT_TRUE(shownTogether("The keyring is locked. Unlock it and try again."))
        << QJsonDocument(tree()).toJson().toStdString();
    screenshot("keyring-locked");
    app->terminate();
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
}
