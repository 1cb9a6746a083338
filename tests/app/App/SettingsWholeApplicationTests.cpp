#include "App/AppDelegate.h"
#include "Support/AppBuildChannel.h"
#include "Support/BundleInfo.h"
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
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

// The settings window of the real program, driven as a screen reader drives it, against the
// stand-in Google, a real keyring and a notification server of our own.

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

namespace {

const QString program = QStringLiteral(KESTRIVANE_EXECUTABLE);
constexpr auto patience = 30s;

QByteArray json(const QJsonValue &value)
{
    return value.isArray() ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact)
                           : QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact);
}

QString artifacts()
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts/whole-app");
    QDir().mkpath(path);
    return path;
}

void screenshot(const QString &name)
{
    QGuiApplication::primaryScreen()->grabWindow(0).save(artifacts() + u'/' + name + QStringLiteral(".png"));
}

class SettingsRoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KV_REQUIRE(displayProblem());
        KV_REQUIRE(session.problem());
        ASSERT_EQ(session.startKeyring(), QString());
        ASSERT_EQ(notifications.start(), QString());
        KV_REQUIRE(accessibility.problem());
        session.setVariable(AppDelegate::skipLaunchLocationCheckVariable, QStringLiteral("1"));
        session.setVariable(QStringLiteral("KESTRIVANE_APPCAST_URL"), server.baseURL().resolved(QUrl("/appcast.xml")).toString());
        session.setVariable(QStringLiteral("KESTRIVANE_GOOGLE_STAND_IN"), server.baseURL().toString());
        session.setVariable(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        QDir().mkpath(session.dataHome() + "/kestrivane");
        QFile config(session.dataHome() + "/kestrivane/OAuthConfig.plist");
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>GOOGLE_OAUTH_CLIENT_ID</key><string>test-client.apps.example</string>
<key>GOOGLE_OAUTH_CLIENT_SECRET</key><string>test-secret</string></dict></plist>)");
        config.close();
        // The browser follows the authorisation link to the application's listener.
        session.browser().handToChromium(artifacts());
        calendar.calendarList = FakeResponse::json(200, json(QJsonObject{{"items", QJsonArray{
            QJsonObject{{"id", "team"}, {"summary", "Team"}, {"primary", true}, {"accessRole", "owner"}},
            QJsonObject{{"id", "side"}, {"summary", "Side projects"}, {"accessRole", "owner"}}}}}));
        setMeetingIn(5 * 3600);
        calendar.setEvents("side", json(QJsonObject{{"items", QJsonArray{}}}));
    }

    void TearDown() override { waitUntil([&] { return session.browser().chromiumIdle(); }, patience); }

    void setMeetingIn(int seconds)
    {
        const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(seconds);
        const auto time = [](const QDateTime &t) { return QJsonObject{{"dateTime", t.toString(Qt::ISODateWithMs)}}; };
        calendar.setEvents("team", json(QJsonObject{{"items", QJsonArray{QJsonObject{
            {"id", "review"}, {"summary", "Design review"}, {"start", time(start)}, {"end", time(start.addSecs(1800))},
            {"hangoutLink", "https://meet.google.com/abc-defg-hij"}}}}}));
    }

    QString selector() const { return QStringLiteral("pid:%1").arg(app->processId()); }
    QJsonObject tree()
    {
        QString error;
        const QJsonObject found = accessibility.tree(selector(), &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return found;
    }
    // In the settings window (the setup window, also open, lists the accounts too).
    QList<QJsonObject> find(const QString &role, const QString &name)
    {
        const QJsonObject whole = tree();
        for (const QJsonValue &window : whole.value("children").toArray()) {
            if (window.toObject().value("name").toString() == u"Settings")
                return findAccessibles(window.toObject(), role, name);
        }
        ADD_FAILURE() << "no settings window: " << QJsonDocument(whole).toJson().toStdString();
        return {};
    }
    QString press(const QString &name, const QString &role = QStringLiteral("push button"))
    {
        return accessibility.press(selector(), role, name);
    }
    QString toggle(const QJsonObject &node)
    {
        QList<int> path;
        for (const QJsonValue &index : node.value("path").toArray())
            path << index.toInt();
        return accessibility.press(selector(), path, QStringLiteral("Toggle"));
    }

    QStringList keyringAccounts()
    {
        const SecretToolResult found = session.run("secret-tool", {"search", "--all", "service", AppBuildChannel::current().keychainService()});
        QStringList names;
        for (const QString &line : QString::fromUtf8(found.errors).split('\n')) {
            if (line.startsWith("attribute.account = "))
                names << line.mid(20);
        }
        names.sort();
        return names;
    }

    // The settings file as the application wrote it.
    QJsonObject settings() const
    {
        QFile file(session.configHome() + "/kestrivane/" + BundleInfo::main().bundleIdentifier() + ".json");
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    int calendarListRequests() const { return server.requestsTo("GET", FakeGoogleCalendar::calendarListPath).size(); }

    void connectAccount(const QString &email, const QString &name, const QString &token, const QStringList &expectedItems)
    {
        oauth.accessToken = token;
        calendar.profile = FakeResponse::json(200, json(QJsonObject{{"id", email}, {"email", email}, {"name", name}}));
        ASSERT_EQ(press("Add Google Account"), QString());
        ASSERT_TRUE(waitUntil([&] { return keyringAccounts() == expectedItems; }, patience)) << session.browser().chromiumLog().toStdString();
        ASSERT_TRUE(waitUntil([&] { return session.browser().chromiumIdle(); }, patience));
    }

    DesktopSession session;
    FakeGoogleServer server;
    FakeNotificationServer notifications{session.bus().address()};
    AccessibilityBus accessibility{session};
    FakeGoogleOAuth oauth{server};
    FakeGoogleCalendar calendar{server};
    QProcess *app = nullptr;
};

} // namespace

TEST_F(SettingsRoadTest, AccountsCalendarsLeadTimeTestNotificationAndRemovalFromTheSettingsWindow)
{
    app = session.start(program, {});
    ASSERT_TRUE(app->waitForStarted(5000));
    ASSERT_TRUE(waitUntil([] { return x11TopLevels("setup").size() == 1; }, patience));
    ASSERT_TRUE(waitUntil([&] { return press("Settings") == QString(); }, patience));
    ASSERT_TRUE(waitUntil([] { return x11TopLevels("settings").size() == 1; }, patience));

    // Each window is a frame named by its title, its controls named once.
    const QJsonObject windows = tree();
    const auto setupHeight = [&] { return topLevel(tree(), "Set Up Kestrivane").value("extents").toArray().at(3).toInt(); };
    const int setupHeightAlone = setupHeight();
    ASSERT_GT(setupHeightAlone, 0);
    for (const QString title : {"Set Up Kestrivane", "Settings"}) {
        const QJsonObject window = topLevel(windows, title);
        EXPECT_EQ(window.value("role").toString(), "frame") << title.toStdString();
        const QList<QJsonObject> close = findAccessibles(window, "push button", "Close");
        ASSERT_EQ(close.size(), 1) << title.toStdString();
        EXPECT_EQ(close.first().value("description").toString(), QString());
    }

    // Two accounts from the accounts pane, each through the browser; rows with their initials.
    connectAccount("emma.collins@northwind.example", "Emma Collins", "ya29.emma", {"oauth:emma.collins@northwind.example"});
    connectAccount("kenji@harborlight.example", "", "ya29.kenji",
                   {"oauth:emma.collins@northwind.example", "oauth:kenji@harborlight.example"});
    ASSERT_TRUE(waitUntil([&] { return find("label", "kenji@harborlight.example").size() == 1; }, patience));
    EXPECT_EQ(find("label", "Emma Collins").size(), 1);
    EXPECT_EQ(find("label", "emma.collins@northwind.example").size(), 1);
    EXPECT_EQ(find({}, "EC").size(), 1);
    EXPECT_EQ(find({}, "KH").size(), 1);
    EXPECT_EQ(find("push button", "Remove kenji@harborlight.example").size(), 1);
    spin(300ms);
    screenshot("settings-1-accounts");
    // The setup window, listing them too, grew to show them.
    EXPECT_GT(setupHeight(), setupHeightAlone);

    // Calendars: one switch per calendar of each account, the primary ones on. Two quick changes
    // are saved at once and bring one sync (both accounts' lists) after the debounce.
    ASSERT_EQ(press("Calendars"), QString());
    ASSERT_TRUE(waitUntil([&] { return find("check box", "Calendars").size() == 4; }, patience));
    ASSERT_TRUE(waitUntil([&] { return !calendar.eventRequests("team").isEmpty(); }, patience));
    spin(1s);
    QList<QJsonObject> switches = find("check box", "Calendars");
    int on = 0;
    QStringList labels;
    for (const QJsonObject &node : switches) {
        on += hasState(node, "checked") ? 1 : 0;
        // Each switch is labelled by its calendar's name, its own name staying "Calendars".
        for (const QJsonValue label : node.value("labelledBy").toArray())
            labels << label.toString();
    }
    EXPECT_EQ(on, 2);
    labels.sort();
    EXPECT_EQ(labels, (QStringList{"Side projects", "Side projects", "Team", "Team"}));
    setMeetingIn(5 * 60 + 12);
    const int listsBefore = calendarListRequests();
    const QJsonObject side = switches.last();
    ASSERT_FALSE(hasState(side, "checked"));
    ASSERT_EQ(toggle(side), QString());
    ASSERT_EQ(toggle(switches.first()), QString());
    ASSERT_TRUE(waitUntil([&] { return settings().value("selectedCalendarIDs").toArray().size() == 2; }, patience));
    ASSERT_TRUE(waitUntil([&] { return calendarListRequests() == listsBefore + 2; }, patience));
    spin(1500ms);
    EXPECT_EQ(calendarListRequests(), listsBefore + 2);
    spin(300ms);
    screenshot("settings-2-calendars");

    // The lead time: saved, and the meeting's notification moves to five minutes before it.
    ASSERT_EQ(press("Notifications"), QString());
    ASSERT_TRUE(waitUntil([&] { return press("5 min") == QString(); }, patience));
    ASSERT_TRUE(waitUntil([&] { return settings().value("notificationLeadTime").toDouble() == 300; }, patience));
    // The chosen segment and the shown pane's sidebar row are read as selected.
    EXPECT_TRUE(waitUntil([&] { return hasState(find("push button", "5 min").value(0), "selected"); }, patience));
    EXPECT_FALSE(hasState(find("push button", "30 min").value(0), "selected"));
    EXPECT_TRUE(hasState(find("push button", "Notifications").value(0), "selected"));
    EXPECT_TRUE(hasState(find("push button", "Accounts").value(0), "selectable"));
    EXPECT_FALSE(hasState(find("push button", "Accounts").value(0), "selected"));
    ASSERT_TRUE(waitUntil([&] { return !notifications.notifications().isEmpty(); }, patience));
    EXPECT_TRUE(notifications.notifications().first().summary.contains("Design review") ||
                notifications.notifications().first().body.contains("Design review"));

    // The test notification arrives at the notification server.
    ASSERT_EQ(press("Send"), QString());
    ASSERT_TRUE(waitUntil([&] { return notifications.notifications().size() == 2; }, patience));
    EXPECT_EQ(notifications.notifications().last().summary, "Kestrivane test notification");
    spin(300ms);
    screenshot("settings-3-notifications");

    // Removing one account takes its keyring item and calendars; removing all takes the rest.
    setMeetingIn(3 * 3600);
    ASSERT_EQ(press("Accounts"), QString());
    ASSERT_TRUE(waitUntil([&] { return find("push button", "Remove kenji@harborlight.example").size() == 1; }, patience));
    EXPECT_EQ(press("Remove kenji@harborlight.example"), QString());
    ASSERT_TRUE(waitUntil([&] { return keyringAccounts() == QStringList{"oauth:emma.collins@northwind.example"}; }, patience));
    ASSERT_TRUE(waitUntil([&] { return find("label", "kenji@harborlight.example").isEmpty(); }, patience));
    EXPECT_TRUE(find({}, "KH").isEmpty());
    ASSERT_EQ(press("Calendars"), QString());
    EXPECT_TRUE(waitUntil([&] { return find("check box", "Calendars").size() == 2; }, patience));
    for (const QJsonValue &id : settings().value("selectedCalendarIDs").toArray())
        EXPECT_FALSE(id.toString().contains("kenji")) << id.toString().toStdString();

    ASSERT_EQ(press("Accounts"), QString());
    ASSERT_TRUE(waitUntil([&] { return find("push button", "Disconnect All").size() == 1; }, patience));
    EXPECT_EQ(press("Disconnect All"), QString());
    ASSERT_TRUE(waitUntil([&] { return keyringAccounts().isEmpty(); }, patience));
    EXPECT_TRUE(waitUntil([&] { return find("label", "No Google account connected yet.").size() == 1; }, patience));
    EXPECT_TRUE(settings().value("selectedCalendarIDs").toArray().isEmpty());
    ASSERT_EQ(press("Calendars"), QString());
    EXPECT_TRUE(waitUntil([&] { return find("label", "Sync to load your calendars.").size() == 1; }, patience));
    EXPECT_TRUE(find("check box", "Calendars").isEmpty());
    // With no account left to list, the setup window is back to its content's height.
    EXPECT_TRUE(waitUntil([&] { return setupHeight() == setupHeightAlone; }, patience)) << setupHeight();
    spin(300ms);
    screenshot("settings-4-removed");

    const qsizetype delivered = notifications.notifications().size();
    app->terminate();
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
    EXPECT_EQ(notifications.notifications().size(), delivered);
}

namespace {

// The demo program with a screen reader's access, for the shortcuts pane.
class ShortcutRoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KV_REQUIRE(displayProblem());
        KV_REQUIRE(session.problem());
        KV_REQUIRE(accessibility.problem());
        session.setVariable(AppDelegate::skipLaunchLocationCheckVariable, QStringLiteral("1"));
        session.setVariable(QStringLiteral("KESTRIVANE_APPCAST_URL"), server.baseURL().resolved(QUrl("/appcast.xml")).toString());
        obstruction.setWindowRole(QStringLiteral("obstruction"));
        obstruction.setGeometry(100, 100, 400, 300);
    }

    QString press(const QString &name)
    {
        return accessibility.press(QStringLiteral("pid:%1").arg(app->processId()), QStringLiteral("push button"), name);
    }
    bool shows(const QString &name)
    {
        return !findAccessibles(accessibility.tree(QStringLiteral("pid:%1").arg(app->processId())), "push button", name).isEmpty();
    }
    void raiseObstruction()
    {
        obstruction.show();
        obstruction.raise();
        waitUntil([] { return x11TopmostRole() == u"obstruction"; }, 5s);
    }
    std::optional<QByteArray> storedShortcut(const QString &key) const
    {
        QFile file(session.configHome() + "/kestrivane/" + BundleInfo::main().bundleIdentifier() + ".json");
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QJsonValue value = QJsonDocument::fromJson(file.readAll()).object().value(key);
        if (!value.isObject())
            return std::nullopt;
        return QByteArray::fromBase64(value.toObject().value("data").toString().toLatin1());
    }

    DesktopSession session;
    FakeGoogleServer server;
    AccessibilityBus accessibility{session};
    QWidget obstruction;
    QProcess *app = nullptr;
};

} // namespace

TEST_F(ShortcutRoadTest, ARecordedShortcutReplacesTheHotKeyAndTheCurrentOneIsRecordedAgain)
{
    app = session.start(program, {"--demo-data", "--demo-locale=en"});
    ASSERT_TRUE(app->waitForStarted(5000));
    ASSERT_TRUE(waitUntil([] { return x11TopLevels("today-meets").size() == 1; }, patience));
    ASSERT_TRUE(waitUntil([&] { return press("Settings") == QString(); }, patience));
    ASSERT_TRUE(waitUntil([] { return x11TopLevels("settings").size() == 1; }, patience));
    ASSERT_EQ(press("Shortcuts"), QString());
    const QString settingsWindow = QString::number(x11TopLevels("settings").first().id);
    const auto record = [&](const QString &current, const QString &keys) {
        QString problem;
        ASSERT_TRUE(waitUntil([&] { return (problem = press(current)).isEmpty(); }, patience)) << problem.toStdString();
        ASSERT_EQ(session.run("xdotool", {"windowfocus", "--sync", settingsWindow}).exitCode, 0);
        spin(300ms);
        ASSERT_TRUE(pressKeys({keys}));
    };

    // The rows name their shortcuts as this desktop does.
    EXPECT_TRUE(waitUntil([&] { return shows("Ctrl+Alt+Super+M") && shows("Ctrl+Alt+Super+J"); }, patience));

    // Ctrl+Alt+Super+K: saved; it opens the Today window, M no longer does.
    ASSERT_NO_FATAL_FAILURE(record("Ctrl+Alt+Super+M", "ctrl+alt+super+k"));
    ASSERT_TRUE(waitUntil([&] { return storedShortcut("shortcut.openTodayMeets") == R"({"keyCode":40,"keyEquivalent":"K","modifiers":6400})"; }, patience))
        << storedShortcut("shortcut.openTodayMeets").value_or("none").toStdString();
    raiseObstruction();
    ASSERT_TRUE(pressKeys({"ctrl+alt+super+k"}));
    EXPECT_TRUE(waitUntil([] { return x11TopmostRole() == u"today-meets"; }, patience));
    raiseObstruction();
    ASSERT_TRUE(pressKeys({"ctrl+alt+super+m"}));
    spin(500ms);
    EXPECT_EQ(x11TopmostRole(), "obstruction");

    // The current combination, pressed while recording, is recorded again and opens nothing.
    ASSERT_NO_FATAL_FAILURE(record("Ctrl+Alt+Super+K", "ctrl+alt+super+k"));
    raiseObstruction();
    spin(500ms);
    EXPECT_EQ(x11TopmostRole(), "obstruction");
    EXPECT_TRUE(waitUntil([&] { return shows("Ctrl+Alt+Super+K"); }, patience));
    // Escape ends a recording.
    ASSERT_NO_FATAL_FAILURE(record("Ctrl+Alt+Super+K", "Escape"));
    EXPECT_TRUE(waitUntil([&] { return shows("Ctrl+Alt+Super+K"); }, patience));
    EXPECT_FALSE(shows("Type shortcut…"));

    // Reset: both defaults again, and M opens the Today window.
    ASSERT_TRUE(waitUntil([&] { return press("Reset to Defaults") == QString(); }, patience));
    ASSERT_TRUE(waitUntil([&] { return storedShortcut("shortcut.openTodayMeets") == R"({"keyCode":46,"keyEquivalent":"M","modifiers":6400})"; }, patience));
    EXPECT_EQ(storedShortcut("shortcut.joinMeet"), R"({"keyCode":38,"keyEquivalent":"J","modifiers":6400})");
    raiseObstruction();
    ASSERT_TRUE(pressKeys({"ctrl+alt+super+m"}));
    EXPECT_TRUE(waitUntil([] { return x11TopmostRole() == u"today-meets"; }, patience));

    app->terminate();
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
}

namespace {

// The demo program's settings file as the user's files leave it: unreadable or read-only.
class SettingsFileRoadTest : public ShortcutRoadTest {
protected:
    QString folder() const { return session.configHome() + QStringLiteral("/kestrivane"); }
    QString path() const { return folder() + u'/' + BundleInfo::main().bundleIdentifier() + QStringLiteral(".json"); }
    void writeSettings(const QByteArray &contents) const
    {
        QDir().mkpath(folder());
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    QJsonObject settings() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    }
    // The application's own lines on standard error so far.
    QStringList reports()
    {
        errors += QString::fromLocal8Bit(app->readAllStandardError());
        return errors.split(u'\n').filter(QRegularExpression(QStringLiteral("^kestrivane: ")));
    }
    void launchToNotifications()
    {
        app = session.start(program, {"--demo-data", "--demo-locale=en"}, /*keepErrors=*/true);
        ASSERT_TRUE(app->waitForStarted(5000));
        ASSERT_TRUE(waitUntil([] { return x11TopLevels("today-meets").size() == 1; }, patience));
        ASSERT_TRUE(waitUntil([&] { return press("Settings") == QString(); }, patience));
        ASSERT_TRUE(waitUntil([] { return x11TopLevels("settings").size() == 1; }, patience));
        ASSERT_TRUE(waitUntil([&] { return press("Notifications") == QString(); }, patience));
    }

    QString errors;
};

} // namespace

// A cut-off settings file is copied aside, with one line on standard error naming both files,
// before the first change writes a new, valid one.
TEST_F(SettingsFileRoadTest, AnUnreadableFileIsKeptAsideBeforeTheNextSaveWritesAValidOne)
{
    const QByteArray truncated = R"({"notificationLeadTime": 900, "googleAccounts": {"data": "W3siZW1haWwiOi)";
    ASSERT_NO_FATAL_FAILURE(writeSettings(truncated));
    ASSERT_NO_FATAL_FAILURE(launchToNotifications());
    ASSERT_TRUE(waitUntil([&] { return press("5 min") == QString(); }, patience));
    ASSERT_TRUE(waitUntil([&] { return settings().value("notificationLeadTime").toDouble() == 300; }, patience));

    const QStringList copies = QDir(folder()).entryList({BundleInfo::main().bundleIdentifier() + ".corrupt-*.json"});
    ASSERT_EQ(copies.size(), 1);
    QFile copy(folder() + u'/' + copies.first());
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), truncated);
    ASSERT_TRUE(waitUntil([&] { return !reports().isEmpty(); }, patience));
    ASSERT_EQ(reports().size(), 1) << errors.toStdString();
    EXPECT_TRUE(reports().first().contains(path()) && reports().first().contains(copy.fileName())) << errors.toStdString();

    app->terminate();
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
    EXPECT_EQ(reports().size(), 1) << errors.toStdString();
}

// Changes to a read-only settings file hold for the session with one line on standard error; once
// the file is writable again, the next change saves them with it.
TEST_F(SettingsFileRoadTest, ChangesToAReadOnlyFileHoldAndAreSavedOnceItIsWritable)
{
    ASSERT_NO_FATAL_FAILURE(writeSettings(R"({"notificationLeadTime": 900})"));
    ASSERT_TRUE(QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    ASSERT_NO_FATAL_FAILURE(launchToNotifications());
    ASSERT_TRUE(waitUntil([&] { return press("5 min") == QString(); }, patience));
    ASSERT_TRUE(waitUntil([&] { return !reports().isEmpty(); }, patience));
    ASSERT_EQ(press("10 min"), QString());
    spin(500ms);
    ASSERT_EQ(reports().size(), 1) << errors.toStdString();
    EXPECT_TRUE(reports().first().contains(path())) << errors.toStdString();
    EXPECT_EQ(settings(), QJsonObject({{"notificationLeadTime", 900}}));

    ASSERT_TRUE(QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    ASSERT_EQ(press("Shortcuts"), QString());
    ASSERT_TRUE(waitUntil([&] { return press("Reset to Defaults") == QString(); }, patience));
    ASSERT_TRUE(waitUntil([&] { return storedShortcut("shortcut.joinMeet").has_value(); }, patience));
    EXPECT_EQ(settings().value("notificationLeadTime").toDouble(), 600);
    EXPECT_EQ(storedShortcut("shortcut.openTodayMeets"), R"({"keyCode":46,"keyEquivalent":"M","modifiers":6400})");
    EXPECT_EQ(reports().size(), 1) << errors.toStdString();

    app->terminate();
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
}

// An OAuth client file that is there but broken: the windows say only that no client is
// configured, and one line on standard error names the file and its fault.
TEST_F(SettingsFileRoadTest, ABrokenOAuthClientFileIsNamedOnStandardErrorWithItsFault)
{
    const QString config = session.dataHome() + "/kestrivane/OAuthConfig.plist";
    QDir().mkpath(session.dataHome() + "/kestrivane");
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<plist version=\"1.0\"><dict><key>GOOGLE_OAUTH_CLIENT_ID</key><string>id</string>\n");
    file.close();

    app = session.start(program, {}, /*keepErrors=*/true);
    ASSERT_TRUE(waitUntil([] { return x11TopLevels("setup").size() == 1; }, patience));
    ASSERT_TRUE(waitUntil([&] { return !reports().isEmpty(); }, patience));
    spin(500ms);
    ASSERT_EQ(reports().size(), 1) << errors.toStdString();
    EXPECT_TRUE(reports().first().startsWith("kestrivane: the Google sign-in client file " + config +
                                             " is not used: not well-formed XML (line 2: "))
        << errors.toStdString();
    app->terminate();
    EXPECT_EQ(DesktopSession::waitForExit(app, patience), 0);
}
