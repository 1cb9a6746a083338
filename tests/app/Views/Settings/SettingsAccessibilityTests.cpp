#include "TestSupport/SettingsTestSupport.h"

#include "TestSupport/Accessibility.h"
#include "TestSupport/TestEnvironment.h"
#include "Views/Settings/NotificationsPane.h"
#include "Views/Settings/SettingsPaneKit.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

// The settings window as a screen reader finds it, with the Japanese override in a system of
// another language: the calendar switches named by the override's text with On or Off in the
// system's language, each row's controls labelled by its title, the about pane's name row as one
// element, and the sidebar, the segments and the buttons pressed through their actions.
TEST(SettingsAccessibilityTest, SwitchesNameRowSidebarSegmentsAndButtons)
{
    KV_REQUIRE(displayProblem());
    AccessibilityBus bus;
    KV_REQUIRE(bus.problem());
    LanguageGuard guard("ja");
    StoreParts parts;
    parts.calendarClient->calendars = {CalendarInfo{"work", "Work", true, QStringLiteral("emma@example.com")},
                                       CalendarInfo{"home", "Home", false, QStringLiteral("emma@example.com")}};
    SettingsFixture fixture(parts);
    runTask(fixture.store->sync());
    SettingsEnvironment environment = fixture.environment();
    environment.buildChannel = AppBuildChannel::dev;
    SettingsView view(environment);
    view.setWindowTitle(QStringLiteral("Settings"));
    view.resize(720, 560);
    view.show();
    spin(50ms);

    const auto readTree = [&] {
        QString error;
        const QJsonObject tree = bus.tree(AccessibilityBus::self(), &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return tree;
    };
    const QString calendars = AppL10n::text("settings_section_calendars");
    // The sidebar row, pressed as a screen reader presses it.
    ASSERT_EQ(bus.press(AccessibilityBus::self(), "push button", calendars), QString());
    ASSERT_TRUE(waitUntil([&] { return view.section() == SettingsSection::calendars; }));
    spin(50ms);
    QJsonObject tree = readTree();
    const QList<QJsonObject> toggles = findAccessibles(tree, "check box", calendars);
    ASSERT_EQ(toggles.size(), 2) << QJsonDocument(tree).toJson().toStdString();
    EXPECT_TRUE(hasState(toggles[0], "checked"));
    EXPECT_FALSE(hasState(toggles[1], "checked"));
    // The system's language (English in the test session), not the override's.
    EXPECT_EQ(toggles[0].value("description").toString(), AppL10n::systemText("On"));
    EXPECT_EQ(toggles[1].value("description").toString(), AppL10n::systemText("Off"));
    EXPECT_NE(AppL10n::systemText("On"), QStringLiteral("オン"));
    // Toggled by the screen reader: the store's selection changes, and the switch shows it.
    QList<int> path;
    for (const QJsonValue &index : toggles[1].value("path").toArray())
        path << index.toInt();
    ASSERT_EQ(bus.press(AccessibilityBus::self(), path, "Toggle"), QString());
    EXPECT_TRUE(waitUntil([&] { return fixture.store->selectedCalendarIDs().contains("home"); }));
    spin(50ms);
    tree = readTree();
    EXPECT_TRUE(hasState(findAccessibles(tree, "check box", calendars).value(1), "checked"));
    EXPECT_EQ(findAccessibles(tree, "check box", calendars).value(1).value("description").toString(), AppL10n::systemText("On"));

    // The segments of the lead time.
    view.select(SettingsSection::notifications);
    spin(50ms);
    // The launch-at-login switch is named for its row.
    tree = readTree();
    const QList<QJsonObject> launchAtLogin = findAccessibles(tree, "check box", AppL10n::text("settings_launch_at_login"));
    ASSERT_EQ(launchAtLogin.size(), 1);
    // Its name is the row's title: no label that says it again.
    EXPECT_TRUE(launchAtLogin.first().value("labelledBy").toArray().isEmpty());
    EXPECT_TRUE(findAccessibles(tree, "check box", calendars).isEmpty());
    const QString fiveMinutes = AppL10n::format("settings_lead_time_option", 5);
    // Each control of a row is labelled by the row's title.
    const auto labels = [](const QList<QJsonObject> &found) {
        return found.size() == 1 ? found.first().value("labelledBy").toArray() : QJsonArray();
    };
    EXPECT_EQ(labels(findAccessibles(tree, "push button", fiveMinutes)), QJsonArray{AppL10n::text("settings_lead_time_label")});
    EXPECT_EQ(labels(findAccessibles(tree, "push button", AppL10n::text("test_notification_button"))),
              QJsonArray{AppL10n::text("send_test_notification")});
    ASSERT_EQ(bus.press(AccessibilityBus::self(), "push button", fiveMinutes), QString());
    EXPECT_TRUE(waitUntil([&] { return fixture.store->notificationLeadTime() == 300; }));
    // A bordered button.
    ASSERT_EQ(bus.press(AccessibilityBus::self(), "push button", AppL10n::text("settings_open_system")), QString());
    EXPECT_TRUE(waitUntil([&] { return fixture.started.size() == 2; }));

    // A recorder, named by its shortcut, is labelled by the action it sets off.
    view.select(SettingsSection::shortcuts);
    spin(50ms);
    tree = readTree();
    EXPECT_EQ(labels(findAccessibles(tree, "push button", "Ctrl+Alt+Super+J")), QJsonArray{AppL10n::text("join_meet_shortcut")})
        << QJsonDocument(tree).toJson().toStdString();

    // The name row is one element: the name and the badge in one text, nothing of it apart.
    view.select(SettingsSection::about);
    spin(50ms);
    tree = readTree();
    EXPECT_EQ(findAccessibles(tree, "label", "Kestrivane Dev DEV").size(), 1) << QJsonDocument(tree).toJson().toStdString();
    EXPECT_TRUE(findAccessibles(tree, {}, "DEV").isEmpty());
    EXPECT_TRUE(findAccessibles(tree, {}, "Kestrivane Dev").isEmpty());
}
