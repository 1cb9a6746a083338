#include "App/AppDelegate.h"
#include "App/ApplicationIcon.h"
#include "Services/KeychainTokenStore.h"
#include "Support/AppBuildChannel.h"
#include "TestSupport/Accessibility.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/DesktopSession.h"
#include "TestSupport/FakeGoogleServer.h"
#include "TestSupport/FakeNotificationServer.h"
#include "TestSupport/TestEnvironment.h"
#include "TestSupport/X11Windows.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

// The real program, launched in a desktop of its own on the test display.

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

namespace {

const QString program = QStringLiteral(KESTRIVANE_EXECUTABLE);
// Generous: the sanitizer build starts slowly.
constexpr auto patience = 20s;

// A picture of the whole display, kept with the test's artifacts.
void screenshot(const QString &name)
{
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts/whole-app");
    QDir().mkpath(folder);
    QGuiApplication::primaryScreen()->grabWindow(0).save(folder + u'/' + name + QStringLiteral(".png"));
}

bool waitForWindows(const QString &role, qsizetype count)
{
    return waitUntil([&] { return x11TopLevels(role).size() == count; }, patience);
}

// A window of this test process, raised over everything, so fronting can be seen in the stacking order.
class Obstruction {
public:
    Obstruction()
    {
        widget.setWindowRole(QStringLiteral("obstruction"));
        widget.setGeometry(100, 100, 400, 300);
    }
    void raise()
    {
        widget.show();
        widget.raise();
        waitUntil([] { return x11TopmostRole() == u"obstruction"; }, 5s);
    }
    QWidget widget;
};

class WholeApplicationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KV_REQUIRE(displayProblem());
        KV_REQUIRE(session.problem());
        session.setVariable(AppDelegate::skipLaunchLocationCheckVariable, QStringLiteral("1"));
        session.setVariable(QStringLiteral("KESTRIVANE_APPCAST_URL"), serveStandInAppcast(server).toString());
    }

    QProcess *launch(const QStringList &arguments = {})
    {
        QProcess *app = session.start(program, arguments);
        EXPECT_TRUE(app->waitForStarted(5000));
        return app;
    }

    bool settingsWritten() const { return QDir(session.configHome() + QStringLiteral("/kestrivane")).exists(); }

    // The OAuth client of this install, in the user's data folder (the stand-in's credentials).
    bool writeOAuthClient()
    {
        QDir().mkpath(session.dataHome() + "/kestrivane");
        QFile config(session.dataHome() + "/kestrivane/OAuthConfig.plist");
        return config.open(QIODevice::WriteOnly) && config.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>GOOGLE_OAUTH_CLIENT_ID</key><string>test-client.apps.example</string>
<key>GOOGLE_OAUTH_CLIENT_SECRET</key><string>test-secret</string></dict></plist>)") > 0;
    }

    // The "account" attributes of the keyring items of the channel's service, as secret-tool sees them.
    QStringList keyringAccounts()
    {
        const SecretToolResult found = session.run("secret-tool", {"search", "--all", "service", service});
        QStringList names;
        for (const QString &line : QString::fromUtf8(found.errors).split('\n')) {
            if (line.startsWith("attribute.account = "))
                names << line.mid(20);
        }
        names.sort();
        return names;
    }

    const QString service = AppBuildChannel::current().keychainService();

    DesktopSession session;
    FakeGoogleServer server;
};

} // namespace

TEST_F(WholeApplicationTest, DemoLaunchWithATrayFrontsItsTodayWindowForHotKeysAndASecondLaunch)
{
    ASSERT_EQ(session.startTray(), QString());
    ASSERT_TRUE(waitUntil([] { return x11TrayManagerPresent(); }, 5s));
    QProcess *app = launch({"--demo-data", "--demo-locale=en"});

    ASSERT_TRUE(waitForWindows("today-meets", 1));
    EXPECT_TRUE(x11TopLevels("setup").isEmpty());
    ASSERT_TRUE(waitUntil([] { return x11EmbeddedWindows("kestrivane").size() == 1; }, patience));
    // The window carries the application icon as the build drew it, at each size the program has.
    const QList<QImage> icons = x11WindowIcons(x11TopLevels("today-meets").first().id);
    QList<int> sides;
    for (const QImage &icon : icons)
        sides << icon.width();
    EXPECT_EQ(sides, (QList<int>{16, 32, 48, 64, 128, 256}));
    if (icons.size() == 6) {
        const QImage drawn = ApplicationIcon::image(AppBuildChannel::current(), 48).convertToFormat(QImage::Format_ARGB32);
        for (const QPoint point : {QPoint(24, 24), QPoint(24, 12), QPoint(0, 0), QPoint(24, 45), QPoint(2, 24)}) {
            const QColor shown = icons[2].pixelColor(point);
            const QColor expected = drawn.pixelColor(point);
            EXPECT_LE(std::abs(shown.red() - expected.red()) + std::abs(shown.green() - expected.green()) +
                          std::abs(shown.blue() - expected.blue()) + std::abs(shown.alpha() - expected.alpha()), 8)
                << point.x() << "," << point.y();
        }
    }
    // The silent update check of the start-up.
    EXPECT_TRUE(waitUntil([&] { return !server.requestsTo("GET", "/appcast.xml").isEmpty(); }, patience));
    spin(300ms);
    screenshot("demo-today-and-tray");

    // A left click on the tray icon opens the panel; Escape closes it.
    const QString icon = QString::number(x11EmbeddedWindows("kestrivane").first().id);
    ASSERT_EQ(session.run("xdotool", {"mousemove", "--window", icon, "10", "10", "click", "1"}).exitCode, 0);
    ASSERT_TRUE(waitForWindows("menu-bar-panel", 1));
    spin(200ms);
    screenshot("demo-panel");
    ASSERT_TRUE(pressKeys({"Escape"}));
    ASSERT_TRUE(waitForWindows("menu-bar-panel", 0));

    // A second launch leaves at once and fronts the first one's Today window.
    Obstruction obstruction;
    obstruction.raise();
    QProcess *second = launch({"--demo-data"});
    EXPECT_EQ(DesktopSession::waitForExit(second, patience), 0);
    EXPECT_TRUE(waitUntil([] { return x11TopmostRole() == u"today-meets"; }, patience));
    EXPECT_EQ(x11TopLevels("today-meets").size(), 1);

    // The open hot key fronts it too.
    obstruction.raise();
    ASSERT_TRUE(pressKeys({"ctrl+alt+super+m"}));
    EXPECT_TRUE(waitUntil([] { return x11TopmostRole() == u"today-meets"; }, patience));

    // The join hot key opens the next meeting's link, also with Num Lock on.
    ASSERT_TRUE(pressKeys({"ctrl+alt+super+j"}));
    ASSERT_TRUE(waitUntil([&] { return session.browser().openedLinks().size() == 1; }, patience));
    EXPECT_TRUE(session.browser().openedLinks().first().startsWith("https://accounts.google.com/AccountChooser?"));
    EXPECT_TRUE(session.browser().openedLinks().first().contains("meet.google.com"));
    ASSERT_TRUE(pressKeys({"Num_Lock"}));
    ASSERT_TRUE(pressKeys({"ctrl+alt+super+j"}));
    ASSERT_TRUE(pressKeys({"Num_Lock"}));
    ASSERT_TRUE(waitUntil([&] { return session.browser().openedLinks().size() == 2; }, patience));

    // Other letters do nothing.
    obstruction.raise();
    ASSERT_TRUE(pressKeys({"ctrl+alt+super+l", "ctrl+alt+super+a"}));
    spin(500ms);
    EXPECT_EQ(x11TopmostRole(), "obstruction");
    EXPECT_EQ(session.browser().openedLinks().size(), 2);
    EXPECT_EQ(x11TopLevels("today-meets").size(), 1);

    // Quit from the tray menu: its last command.
    ASSERT_EQ(session.run("xdotool", {"mousemove", "--window", icon, "10", "10", "click", "3"}).exitCode, 0);
    spin(300ms);
    screenshot("demo-tray-menu");
    ASSERT_TRUE(pressKeys({"Up", "Return"}));
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
}

// The embedded tray icon as the tray shows it, kept with the artifacts; whether a pixel of its
// upper right quarter (where the status dot goes) has about this colour.
bool trayIconShowsDot(const QString &name, const QColor &dot)
{
    const QList<X11Window> icons = x11EmbeddedWindows("kestrivane");
    if (icons.size() != 1)
        return false;
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(icons.first().id).toImage();
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts/whole-app");
    QDir().mkpath(folder);
    image.scaled(image.size() * 4, Qt::KeepAspectRatio, Qt::FastTransformation).save(folder + QStringLiteral("/tray-") + name + ".png");
    for (int y = 0; y < image.height() / 2; ++y) {
        for (int x = image.width() / 2; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - dot.red()) < 40 && std::abs(pixel.green() - dot.green()) < 40 &&
                std::abs(pixel.blue() - dot.blue()) < 40)
                return true;
        }
    }
    return false;
}

TEST_F(WholeApplicationTest, TheTrayIconShowsTheDemoStates)
{
    ASSERT_EQ(session.startTray(), QString());
    ASSERT_TRUE(waitUntil([] { return x11TrayManagerPresent(); }, 5s));
    const QString channel = AppBuildChannel::current().rawValue();
    const QList<std::pair<QString, QColor>> states{
        {"next", QColor()}, {"ready", QColor(255, 204, 0)}, {"current", QColor(52, 199, 89)}};
    for (const auto &[state, dot] : states) {
        QProcess *app = launch({"--demo-data", "--demo-state=" + state});
        ASSERT_TRUE(waitUntil([] { return x11EmbeddedWindows("kestrivane").size() == 1; }, patience)) << state.toStdString();
        spin(300ms);
        const bool yellow = trayIconShowsDot(channel + "-" + state, QColor(255, 204, 0));
        const bool green = trayIconShowsDot(channel + "-" + state, QColor(52, 199, 89));
        EXPECT_EQ(yellow, dot == QColor(255, 204, 0)) << state.toStdString();
        EXPECT_EQ(green, dot == QColor(52, 199, 89)) << state.toStdString();
        app->terminate();
        ASSERT_EQ(DesktopSession::waitForExit(app, patience), 0);
        ASSERT_TRUE(waitUntil([] { return x11EmbeddedWindows("kestrivane").isEmpty(); }, patience));
    }
}

TEST_F(WholeApplicationTest, FirstLaunchWithoutATrayOpensTheSetupWindowAndQuitsOnTerm)
{
    ASSERT_FALSE(x11TrayManagerPresent());
    QProcess *app = launch();
    ASSERT_TRUE(waitForWindows("setup", 1));
    spin(500ms);
    EXPECT_EQ(x11TopLevels("setup").size(), 1);
    EXPECT_TRUE(x11TopLevels("today-meets").isEmpty());
    screenshot("setup-without-tray");

    // The hot keys work without a tray: the Today window opens; with nothing to join it is fronted.
    ASSERT_TRUE(pressKeys({"ctrl+alt+super+m"}));
    ASSERT_TRUE(waitForWindows("today-meets", 1));
    Obstruction obstruction;
    obstruction.raise();
    ASSERT_TRUE(pressKeys({"ctrl+alt+super+j"}));
    EXPECT_TRUE(waitUntil([] { return x11TopmostRole() == u"today-meets"; }, patience));
    EXPECT_TRUE(session.browser().openedLinks().isEmpty());
    EXPECT_EQ(x11TopLevels("today-meets").size(), 1);

    // A tray that starts later gets the icon.
    ASSERT_EQ(session.startTray(), QString());
    EXPECT_TRUE(waitUntil([] { return x11EmbeddedWindows("kestrivane").size() == 1; }, patience));

    app->terminate();
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
}

TEST_F(WholeApplicationTest, ATemporaryFolderBringsTheWarningAndNothingIsWritten)
{
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/kv-launch-XXXXXX"));
    ASSERT_TRUE(folder.isValid());
    const QString copy = folder.filePath(QStringLiteral("kestrivane"));
    ASSERT_TRUE(QFile::copy(program, copy));
    session.removeVariable(AppDelegate::skipLaunchLocationCheckVariable);

    QProcess *app = session.start(copy, {"--demo-data", "--demo-locale=en"});
    ASSERT_TRUE(waitForWindows("launch-location-warning", 1));
    spin(300ms);
    screenshot("launch-location-warning");
    EXPECT_TRUE(x11TopLevels("today-meets").isEmpty());
    const QString warning = QString::number(x11TopLevels("launch-location-warning").first().id);
    ASSERT_EQ(session.run("xdotool", {"windowfocus", "--sync", warning}).exitCode, 0);
    ASSERT_TRUE(pressKeys({"Return"}));
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
    EXPECT_FALSE(settingsWritten());
    EXPECT_TRUE(server.requestsTo("GET", "/appcast.xml").isEmpty());
}

namespace {

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject meeting(const QString &id, const QString &title, const QDateTime &start, const QString &code)
{
    const auto time = [](const QDateTime &t) { return QJsonObject{{"dateTime", t.toUTC().toString(Qt::ISODate)}}; };
    return QJsonObject{{"id", id}, {"summary", title}, {"start", time(start)}, {"end", time(start.addSecs(1800))},
                       {"hangoutLink", "https://meet.google.com/" + code}};
}

// The main road against the stand-in Google server, with a notification server of `kind`.
class MainRoadTest : public WholeApplicationTest {
protected:
    void SetUp() override
    {
        WholeApplicationTest::SetUp();
        ASSERT_EQ(session.startKeyring(), QString());
        session.setVariable(QStringLiteral("KESTRIVANE_GOOGLE_STAND_IN"), server.baseURL().toString());

        ASSERT_TRUE(writeOAuthClient());

        // The token a single-account install left in the keyring.
        const OAuthToken token{QStringLiteral("ya29.legacy"), QStringLiteral("1//legacy"),
                               QDateTime::currentDateTimeUtc().addSecs(3600)};
        ASSERT_EQ(session.run("secret-tool", {"store", "--label=Kestrivane", "xdg:schema", KeychainTokenStore::schemaName,
                                              "service", service, "account", "oauth"}, token.toJson()).exitCode, 0);

        calendar.acceptedToken = QStringLiteral("ya29.legacy");
        calendar.profile = FakeResponse::json(200, R"({"id": "1", "email": "emma@example.com", "name": "Emma"})");
        calendar.calendarList = FakeResponse::json(200, json(QJsonObject{{"items", QJsonArray{QJsonObject{
            {"id", "emma@example.com"}, {"summary", "Emma"}, {"primary", true}, {"accessRole", "owner"}}}}}));
        // One meeting whose notification is due a few seconds after the start-up's sync (the lead
        // time is 30 minutes), one whose notification is hours away.
        const QDateTime now = QDateTime::currentDateTimeUtc();
        calendar.setEvents("emma@example.com", json(QJsonObject{{"summary", "Emma"}, {"items", QJsonArray{
            meeting("soon", "Design review", now.addSecs(30 * 60 + 8), "abc-defg-hij"),
            meeting("later", "Weekly planning", now.addSecs(5 * 3600), "klm-nopq-rst")}}}));
    }

    FakeGoogleOAuth oauth{server};
    FakeGoogleCalendar calendar{server};
};

} // namespace

TEST_F(MainRoadTest, TheLegacyAccountSyncsAndItsMeetingIsNotifiedAndJoinedFromTheNotification)
{
    FakeNotificationServer notifications(session.bus().address());
    ASSERT_EQ(notifications.start(), QString());

    QProcess *app = launch();
    ASSERT_TRUE(waitUntil([&] { return !notifications.notifications().isEmpty(); }, patience));
    const FakeNotificationServer::Notification shown = notifications.notifications().first();
    EXPECT_TRUE(shown.summary.contains("Design review") || shown.body.contains("Design review"));
    EXPECT_TRUE(shown.actions.contains("default"));

    // The legacy item moved to the account's own item.
    EXPECT_EQ(keyringAccounts(), QStringList{"oauth:emma@example.com"});
    // The setup window opened: no account was listed when the application started.
    EXPECT_TRUE(waitForWindows("setup", 1));

    // A click on the notification opens the meeting under its account.
    notifications.invokeAction(shown.id, "default");
    ASSERT_TRUE(waitUntil([&] { return session.browser().openedLinks().size() == 1; }, patience));
    EXPECT_TRUE(session.browser().openedLinks().first().startsWith("https://accounts.google.com/AccountChooser?"));
    EXPECT_TRUE(session.browser().openedLinks().first().contains("abc-defg-hij"));

    // Quitting cleans up and ends normally; the later meeting is never notified.
    app->terminate();
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
    EXPECT_EQ(notifications.notifications().size(), 1);
}

TEST_F(MainRoadTest, TheNotificationReachesARealNotificationDaemon)
{
    ASSERT_EQ(session.startNotificationDaemon(), QString());
    QProcess *app = launch();
    const auto displayed = [&] {
        const SecretToolResult count = session.run("dunstctl", {"count", "displayed"});
        return count.exitCode == 0 ? QString::fromUtf8(count.output).trimmed().toInt() : -1;
    };
    ASSERT_TRUE(waitUntil([&] { return displayed() == 1; }, patience));
    spin(300ms);
    screenshot("notification-in-dunst");
    app->terminate();
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
}

TEST_F(MainRoadTest, AFailingSyncPutsTheAttentionDotOnTheTrayIcon)
{
    ASSERT_EQ(session.startTray(), QString());
    ASSERT_TRUE(waitUntil([] { return x11TrayManagerPresent(); }, 5s));
    calendar.calendarList = FakeResponse::json(500, R"({"error": {"code": 500, "message": "backend error"}})");
    QProcess *app = launch();
    ASSERT_TRUE(waitUntil([] { return x11EmbeddedWindows("kestrivane").size() == 1; }, patience));
    EXPECT_TRUE(waitUntil([] {
        return trayIconShowsDot(AppBuildChannel::current().rawValue() + "-attention", QColor(255, 59, 48));
    }, patience));
    app->terminate();
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
}

namespace {

// Voluntary context switches of a process's main thread: each is a wake-up followed by sleep.
qint64 mainThreadWakeUps(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/task/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("voluntary_ctxt_switches:"))
            return line.mid(24).trimmed().toLongLong();
    }
    return -1;
}

} // namespace

// Idle with an account and meetings hours ahead, the application sleeps until something is due:
// two minutes of it (after the start-up's sync) wake its main thread at most 4 times a minute.
TEST_F(MainRoadTest, IdleWithMeetingsHoursAheadTheMainThreadSleeps)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    calendar.setEvents("emma@example.com", json(QJsonObject{{"summary", "Emma"}, {"items", QJsonArray{
        meeting("first", "Design review", now.addSecs(3 * 3600), "abc-defg-hij"),
        meeting("second", "Weekly planning", now.addSecs(5 * 3600), "klm-nopq-rst")}}}));
    FakeNotificationServer notifications(session.bus().address());
    ASSERT_EQ(notifications.start(), QString());
    ASSERT_EQ(session.startTray(), QString());

    QProcess *app = launch();
    ASSERT_TRUE(waitUntil([&] { return !calendar.eventRequests("emma@example.com").isEmpty(); }, patience));
    ASSERT_TRUE(waitForWindows("setup", 1));
    spin(10s); // the start-up settles: windows drawn, notifications scheduled, update check done

    constexpr auto idle = 120s;
    const qint64 before = mainThreadWakeUps(app->processId());
    ASSERT_GE(before, 0);
    spin(idle);
    const qint64 wakeUps = mainThreadWakeUps(app->processId()) - before;
    const double perMinute = wakeUps * 60.0 / std::chrono::duration_cast<std::chrono::seconds>(idle).count();
    RecordProperty("mainThreadWakeUpsPerMinute", QString::number(perMinute, 'f', 1).toStdString());
    std::printf("main thread: %lld wake-ups in %lld s (%.1f a minute)\n", static_cast<long long>(wakeUps),
                static_cast<long long>(idle.count()), perMinute);
    EXPECT_LE(perMinute, 4.0);
    EXPECT_TRUE(notifications.notifications().isEmpty());

    app->terminate();
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
}

// The terminal or session that started the application ends: SIGHUP takes the orderly quit, so
// the application ends normally and the meeting notification it had pending never arrives.
TEST_F(MainRoadTest, HangUpTakesTheOrderlyQuit)
{
    FakeNotificationServer notifications(session.bus().address());
    ASSERT_EQ(notifications.start(), QString());
    QProcess *app = launch();
    ASSERT_TRUE(waitUntil([&] { return !calendar.eventRequests("emma@example.com").isEmpty(); }, patience));
    ASSERT_TRUE(waitForWindows("setup", 1));
    ASSERT_TRUE(notifications.notifications().isEmpty());

    ::kill(static_cast<pid_t>(app->processId()), SIGHUP);
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
    EXPECT_EQ(app->exitStatus(), QProcess::NormalExit);
    // The first meeting's notification was due about 8 s after the start.
    spin(10s);
    EXPECT_TRUE(notifications.notifications().isEmpty());
}

namespace {

// A first start on a clean profile: an OAuth client file, no account, the stand-in Google and a
// headless Chromium behind xdg-open.
class FirstRunTest : public WholeApplicationTest {
protected:
    void SetUp() override
    {
        WholeApplicationTest::SetUp();
        ASSERT_EQ(session.startKeyring(), QString());
        ASSERT_EQ(notifications.start(), QString());
        KV_REQUIRE(accessibility.problem());
        session.setVariable(QStringLiteral("KESTRIVANE_GOOGLE_STAND_IN"), server.baseURL().toString());
        ASSERT_TRUE(writeOAuthClient());
        session.browser().handToChromium(folder());

        calendar.acceptedToken = oauth.accessToken;
        calendar.profile = FakeResponse::json(200, R"({"id": "7", "email": "emma.collins@northwind.example", "name": "Emma Collins"})");
        calendar.calendarList = FakeResponse::json(200, json(QJsonObject{{"items", QJsonArray{QJsonObject{
            {"id", "emma.collins@northwind.example"}, {"summary", "Emma Collins"}, {"primary", true}, {"accessRole", "owner"}}}}}));
        // A meeting later today (or, just before midnight, one under way).
        const QDateTime now = QDateTime::currentDateTime();
        QDateTime start = now.addSecs(3 * 60);
        if (start.date() != now.date())
            start = now.addSecs(-20 * 60);
        calendar.setEvents("emma.collins@northwind.example", json(QJsonObject{{"summary", "Emma Collins"}, {"items", QJsonArray{
            meeting("review", "Quarterly design review", start, "abc-defg-hij")}}}));
    }

    void TearDown() override
    {
        // No Chromium outlives the test's folders.
        waitUntil([&] { return session.browser().chromiumIdle(); }, patience);
    }

    static QString folder()
    {
        const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts/whole-app");
        QDir().mkpath(path);
        return path;
    }

    // The application's accessibles as a screen reader finds them.
    QJsonObject tree(QProcess *app)
    {
        QString error;
        const QJsonObject found = accessibility.tree(QStringLiteral("pid:%1").arg(app->processId()), &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return found;
    }
    // The one accessible of this role and name; an empty object when there is none or several.
    QJsonObject accessible(QProcess *app, const QString &role, const QString &name)
    {
        const QList<QJsonObject> found = findAccessibles(tree(app), role, name);
        return found.size() == 1 ? found.first() : QJsonObject();
    }
    QString press(QProcess *app, const QString &button)
    {
        return accessibility.press(QStringLiteral("pid:%1").arg(app->processId()), QStringLiteral("push button"), button);
    }

    FakeNotificationServer notifications{session.bus().address()};
    AccessibilityBus accessibility{session};
    FakeGoogleOAuth oauth{server};
    FakeGoogleCalendar calendar{server};
};

} // namespace

TEST_F(FirstRunTest, ConnectingInTheBrowserListsTheAccountAndHandsOverToTheTodayWindow)
{
    QFile::remove(folder() + "/browser-1.png");
    QProcess *app = launch();
    ASSERT_TRUE(waitForWindows("setup", 1));
    spin(500ms);
    screenshot("first-run-1-setup");
    // What a screen reader finds: the step with its connect button, the footer's buttons.
    ASSERT_FALSE(accessible(app, "label", "Google Calendar").isEmpty()) << QJsonDocument(tree(app)).toJson().toStdString();
    EXPECT_FALSE(accessible(app, "label", "Connect your Google account so Kestrivane can read today's meetings.").isEmpty());
    EXPECT_TRUE(hasState(accessible(app, "push button", "Connect Google"), "enabled"));
    EXPECT_TRUE(hasState(accessible(app, "push button", "Settings"), "enabled"));
    const QJsonObject openToday = accessible(app, "push button", "Open Today's Meetings");
    ASSERT_FALSE(openToday.isEmpty());
    EXPECT_FALSE(hasState(openToday, "enabled"));

    // Connect: the authorisation page of the stand-in opens in Chromium, which follows it to the
    // application's loopback listener and shows its page.
    ASSERT_EQ(press(app, "Connect Google"), QString());
    ASSERT_TRUE(waitUntil([&] { return session.browser().openedLinks().size() == 1; }, patience));
    const QUrl authorization(session.browser().openedLinks().first());
    EXPECT_EQ(authorization.path(), FakeGoogleOAuth::authorizationPath);
    EXPECT_EQ(authorization.port(), server.port());
    ASSERT_TRUE(waitUntil([&] { return keyringAccounts() == QStringList{"oauth:emma.collins@northwind.example"}; }, patience))
        << session.browser().chromiumLog().toStdString();
    ASSERT_TRUE(waitUntil([&] { return session.browser().chromiumIdle(); }, patience));
    EXPECT_TRUE(QFile::exists(folder() + "/browser-1.png")) << session.browser().chromiumLog().toStdString();
    EXPECT_EQ(server.requestsTo("POST", FakeGoogleOAuth::tokenPath).size(), 1);

    // The card lists the account with its pill (and the header's), and the footer button works.
    ASSERT_TRUE(waitUntil([&] { return hasState(accessible(app, "push button", "Open Today's Meetings"), "enabled"); }, patience));
    EXPECT_FALSE(accessible(app, "label", "Emma Collins").isEmpty());
    EXPECT_FALSE(accessible(app, "label", "emma.collins@northwind.example").isEmpty());
    EXPECT_EQ(findAccessibles(tree(app), "label", "Connected").size(), 2);
    EXPECT_TRUE(accessible(app, "push button", "Connect Google").isEmpty());
    EXPECT_TRUE(hasState(accessible(app, "push button", "Add another Google account"), "enabled"));
    ASSERT_TRUE(waitUntil([&] { return !calendar.eventRequests("emma.collins@northwind.example").isEmpty(); }, patience));
    spin(500ms);
    screenshot("first-run-2-connected");
    EXPECT_EQ(x11TopLevels("setup").size(), 1);

    // Settings opens beside it; the setup window stays.
    ASSERT_EQ(press(app, "Settings"), QString());
    ASSERT_TRUE(waitForWindows("settings", 1));
    EXPECT_EQ(x11TopmostRole(), "settings");
    EXPECT_EQ(x11TopLevels("setup").size(), 1);

    // Open Today's Meetings: setup closes, the Today window shows the stand-in's meeting.
    ASSERT_EQ(press(app, "Open Today's Meetings"), QString());
    ASSERT_TRUE(waitForWindows("setup", 0));
    ASSERT_TRUE(waitForWindows("today-meets", 1));
    EXPECT_TRUE(waitUntil([&] { return !findAccessibles(tree(app), "", "Quarterly design review").isEmpty(); }, patience))
        << QJsonDocument(tree(app)).toJson().toStdString();
    spin(500ms);
    screenshot("first-run-3-today");

    // The keyring holds the account's item and nothing pending.
    EXPECT_EQ(keyringAccounts(), QStringList{"oauth:emma.collins@northwind.example"});
    app->terminate();
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
}
