#include "TestSupport/SettingsTestSupport.h"

#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVGrouping.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVStatus.h"
#include "DesignSystem/KVViewSupport.h"
#include "Support/AppNotificationCenter.h"
#include "TestSupport/TestEnvironment.h"
#include "Views/Settings/AboutPane.h"
#include "Views/Settings/AccountIdentity.h"
#include "Views/Settings/AccountsPane.h"
#include "Views/Settings/CalendarSelectionSwitch.h"
#include "Views/Settings/CalendarsPane.h"
#include "Views/Settings/NotificationsPane.h"
#include "Views/Settings/SettingsPaneKit.h"

#include <QAbstractButton>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <QTextDocumentFragment>

#include <gtest/gtest.h>

#include <limits>

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

namespace {

CalendarInfo calendarOf(const QString &id, const QString &name, bool byDefault, std::optional<QString> account)
{
    return CalendarInfo{id, name, byDefault, std::move(account)};
}

QStringList names(const QList<CalendarAccountGroup> &groups)
{
    QStringList result;
    for (const CalendarAccountGroup &group : groups) {
        QStringList calendars;
        for (const CalendarInfo &calendar : group.calendars)
            calendars << calendar.name;
        result << group.title + u':' + calendars.join(u',');
    }
    return result;
}

// Every text of the labels and buttons under `widget`.
QStringList shownTexts(const QWidget &widget)
{
    QStringList texts;
    for (const QLabel *label : widget.findChildren<QLabel *>())
        texts << label->text();
    for (const QAbstractButton *button : widget.findChildren<QAbstractButton *>())
        texts << button->text() << button->toolTip() << button->accessibleName();
    return texts;
}

void storeAccounts(StoreParts &parts, const QList<GoogleAccount> &accounts)
{
    QJsonArray array;
    for (const GoogleAccount &account : accounts)
        array.append(account.toJson());
    parts.defaults->set(AppStore::googleAccountsKey, QJsonDocument(array).toJson(QJsonDocument::Compact));
}

} // namespace

TEST(CalendarsPaneTest, GroupsSortSwatchesStayAndSwitchesFollowTheSelection)
{
    KV_REQUIRE(displayProblem());
    LanguageGuard guard("en");
    // Grouping and order: defaults first, then names without case; groups by title without case.
    const QList<CalendarInfo> calendars{
        calendarOf("a1", "Alpha", false, "b@example.com"),   calendarOf("z1", "Zeta", true, "b@example.com"),
        calendarOf("b1", "Beta", false, "b@example.com"),    calendarOf("a0", "alpha", false, "b@example.com"),
        calendarOf("o1", "Holidays", false, std::nullopt),   calendarOf("c1", "Team", true, "A@example.com"),
        calendarOf("e1", "Empty account", true, QString())};
    EXPECT_EQ(names(calendarGroups(calendars)),
              (QStringList{":Empty account", "A@example.com:Team", "b@example.com:Zeta,Alpha,alpha,Beta", "Other:Holidays"}));

    // The swatch is fixed for an identifier, one of five, also for long and non-ASCII ones.
    QSet<int> seen;
    for (const QString &id : QStringList{"a", "b", "c", "primary", "team@group.calendar.google.com", "佐藤", QString(5000, u'x')}) {
        const int index = calendarSwatchIndex(id);
        EXPECT_GE(index, 0);
        EXPECT_LT(index, 5);
        EXPECT_EQ(index, calendarSwatchIndex(QString(id)));
        seen << index;
    }
    EXPECT_GT(seen.size(), 1);
    // FNV-1a of "a" is 0xaf63dc4c8601ec8c.
    EXPECT_EQ(calendarSwatchIndex("a"), static_cast<int>(0xaf63dc4c8601ec8cull % 5));

    // The pane: each switch reads the selection and writes it; rows do not move.
    StoreParts parts;
    parts.calendarClient->calendars = {calendarOf("work", "Work", true, "emma@example.com"),
                                       calendarOf("home", "<b>Home</b>", false, "emma@example.com")};
    SettingsFixture fixture(parts);
    runTask(fixture.store->sync());
    {
        LanguageGuard japanese("ja");
        CalendarsPane pane(*fixture.store);
        pane.show();
        spin(20ms);
        QList<CalendarSelectionSwitch *> switches = pane.switches();
        ASSERT_EQ(switches.size(), 2);
        EXPECT_TRUE(switches[0]->isOn());
        EXPECT_FALSE(switches[1]->isOn());
        // The label follows the override; the value stays in the system's language.
        EXPECT_EQ(switches[0]->accessibleName(), AppL10n::text("settings_section_calendars"));
        EXPECT_EQ(switches[0]->accessibleName(), QStringLiteral("カレンダー"));
        EXPECT_EQ(switches[0]->accessibleDescription(), AppL10n::systemText("On"));
        EXPECT_EQ(switches[1]->accessibleDescription(), AppL10n::systemText("Off"));
        // Calendar names are plain text.
        EXPECT_TRUE(shownTexts(pane).contains("<b>Home</b>"));
        for (const QLabel *label : pane.findChildren<QLabel *>())
            EXPECT_EQ(label->textFormat(), Qt::PlainText);

        QTest::mouseClick(switches[1], Qt::LeftButton);
        EXPECT_TRUE(fixture.store->selectedCalendarIDs().contains("home"));
        spin(20ms);
        EXPECT_EQ(pane.switches(), switches);
        EXPECT_TRUE(switches[1]->isOn());
        EXPECT_EQ(switches[1]->accessibleDescription(), AppL10n::systemText("On"));
        QTest::mouseClick(switches[0], Qt::LeftButton);
        spin(20ms);
        EXPECT_FALSE(fixture.store->selectedCalendarIDs().contains("work"));
        EXPECT_FALSE(switches[0]->isOn());
        EXPECT_EQ(parts.defaults->stringArray(AppStore::selectedCalendarIDsKey), QStringList{"home"});
    }
}

TEST(NotificationsPaneTest, LeadTimeSegmentsPermissionSettingsAndTheTestNotification)
{
    KV_REQUIRE(displayProblem());
    LanguageGuard guard("en");
    // Stored lead times: whole minutes among the options, else 30 minutes, without a fault.
    const QList<std::pair<double, int>> leads{
        {1800, 3}, {600, 1}, {300, 0}, {900, 2}, {630, 1}, {599, 3}, {0, 3}, {-300, 3}, {1e300, 3}, {-1e300, 3},
        {std::numeric_limits<double>::infinity(), 3}, {std::numeric_limits<double>::quiet_NaN(), 3},
        {std::numeric_limits<double>::max(), 3}, {553402322211286548480.0, 3}};
    for (const auto &[seconds, index] : leads)
        EXPECT_EQ(NotificationsPane::leadIndex(seconds), index) << seconds;

    StoreParts parts;
    parts.scheduler->authorized = false;
    SettingsFixture fixture(parts);
    runTask(fixture.store->sync());
    NotificationsPane pane(*fixture.store, fixture.loginItems, fixture.environment().startProgram);
    pane.show();
    spin(20ms);
    EXPECT_EQ(pane.leadControl()->selection(), 3);
    EXPECT_EQ(pane.findChild<KVLabel *>("nextNotification")->text(), AppL10n::text("settings_next_notification_unavailable"));
    EXPECT_EQ(pane.findChild<KVStatusPill *>("permission")->tone(), KVStatusTone::danger);

    // A segment sets the lead time; the raised segment follows the store.
    QTest::mouseClick(pane.leadControl()->segments()[0], Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return fixture.store->notificationLeadTime() == 300; }));
    spin(20ms);
    EXPECT_EQ(pane.leadControl()->selection(), 0);
    EXPECT_EQ(parts.defaults->object(AppStore::notificationLeadTimeKey).toDouble(), 300);

    // The desktop's notification settings: GNOME's, then KDE's; nothing shows when none starts.
    QTest::mouseClick(pane.findChildren<KVButton *>().at(0), Qt::LeftButton);
    EXPECT_EQ(fixture.started, (QStringList{"gnome-control-center notifications", "systemsettings kcm_notifications"}));

    // Refused: the long status wraps beside the row's title, which keeps its one line.
    pane.resize(480, pane.height());
    QTest::mouseClick(pane.findChild<KVButton *>("sendTestNotification"), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return fixture.store->testNotificationStatus().has_value(); }));
    spin(20ms);
    const QString refused = *fixture.store->testNotificationStatus();
    for (KVLabel *label : pane.findChildren<KVLabel *>()) {
        if (label->text() == AppL10n::text("send_test_notification")) {
            EXPECT_EQ(label->visibleLines(), QStringList{label->text()});
        }
    }
    EXPECT_GT(pane.findChild<KVLabel *>("testNotificationStatus")->visibleLines().size(), 1);

    // Allowed once the service answers; the test notification's result shows under it.
    parts.scheduler->authorized = true;
    QTest::mouseClick(pane.findChild<KVButton *>("sendTestNotification"), Qt::LeftButton);
    EXPECT_TRUE(waitUntil([&] { return fixture.store->testNotificationStatus().value_or(refused) != refused; }));
    spin(20ms);
    EXPECT_EQ(pane.findChild<KVStatusPill *>("permission")->tone(), KVStatusTone::success);
    EXPECT_EQ(pane.findChild<KVLabel *>("testNotificationStatus")->text(), *fixture.store->testNotificationStatus());
    EXPECT_TRUE(pane.findChild<KVLabel *>("testNotificationStatus")->isVisible());
    EXPECT_EQ(pane.findChild<KVLabel *>("nextNotification")->text(), AppL10n::text("settings_next_notification_none"));
}

TEST(AccountsPaneTest, RowsInitialsRemovalAndNothingOfARemovedAccountStays)
{
    KV_REQUIRE(displayProblem());
    LanguageGuard guard("en");
    StoreParts parts;
    storeAccounts(parts, {{"ann@example.com", "ann@example.com", QStringLiteral("<b>Ann</b> Lee")},
                          {"bo@example.com", "bo@example.com", std::nullopt},
                          {"cy@example.com", "cy@example.com", QStringLiteral("Cy Young")}});
    SettingsFixture fixture(parts);
    AccountsPane pane(*fixture.store);
    pane.show();
    spin(20ms);
    EXPECT_EQ(pane.findChildren<AccountRowView *>().size(), 3);
    EXPECT_EQ(pane.findChildren<KVInsetDivider *>().size(), 2);
    EXPECT_NE(pane.findChild<KVButton *>("disconnectAll"), nullptr);
    // No OAuth client here: the add button waits for one.
    EXPECT_FALSE(pane.findChild<KVButton *>("addAccount")->isEnabled());
    const QStringList texts = shownTexts(pane);
    EXPECT_TRUE(texts.contains("<b>Ann</b> Lee"));
    QStringList initials;
    for (const AccountAvatar *avatar : pane.findChildren<AccountAvatar *>())
        initials << avatar->initials();
    EXPECT_EQ(initials, (QStringList{"<L", "BE", "CY"}));
    EXPECT_TRUE(texts.contains("bo@example.com"));
    EXPECT_EQ(texts.count("bo@example.com"), 1); // an account without a name shows its address once
    EXPECT_TRUE(texts.contains("Remove ann@example.com"));
    // A tooltip that Qt would read as rich text shows its text as it is.
    EXPECT_EQ(QTextDocumentFragment::fromHtml(plainTextToolTip("Remove <b>x</b>@example.com")).toPlainText(),
              "Remove <b>x</b>@example.com");
    EXPECT_EQ(plainTextToolTip("Remove ann@example.com"), "Remove ann@example.com");

    // Removing one keeps the others in order; nothing of it is left.
    QList<KVButton *> removes = pane.findChildren<KVButton *>("removeAccount");
    ASSERT_EQ(removes.size(), 3);
    QTest::mouseClick(removes[0], Qt::LeftButton);
    spin(20ms);
    EXPECT_EQ(fixture.store->googleAccounts().size(), 2);
    EXPECT_EQ(pane.findChildren<AccountRowView *>().size(), 2);
    for (const QString &text : shownTexts(pane))
        EXPECT_FALSE(text.contains("Ann") || text.contains("ann@")) << text.toStdString();

    // Removing all leaves the empty line and no disconnect-all row.
    QTest::mouseClick(pane.findChild<KVButton *>("disconnectAll"), Qt::LeftButton);
    spin(20ms);
    EXPECT_TRUE(fixture.store->googleAccounts().isEmpty());
    EXPECT_TRUE(pane.findChildren<AccountRowView *>().isEmpty());
    EXPECT_EQ(pane.findChild<KVButton *>("disconnectAll"), nullptr);
    EXPECT_TRUE(shownTexts(pane).contains(AppL10n::text("settings_no_accounts")));
}

TEST(AboutPaneTest, VersionChannelAndTheUpdateButton)
{
    KV_REQUIRE(displayProblem());
    LanguageGuard guard("en");
    const auto version = [](QVariant shortVersion, QVariant build) {
        QVariantMap entries;
        if (shortVersion.isValid())
            entries.insert(BundleInfo::shortVersionKey, shortVersion);
        if (build.isValid())
            entries.insert(BundleInfo::buildNumberKey, build);
        return AboutPane::appVersion(BundleInfo(entries));
    };
    EXPECT_EQ(version("2.1", "57"), "2.1 (57)");
    EXPECT_EQ(version("", "57"), "57");
    EXPECT_EQ(version("2.1", ""), "2.1");
    EXPECT_EQ(version(2.1, "57"), "57"); // not a text: missing
    EXPECT_EQ(version(QVariant(), QVariant()), "-");

    UpdateStatusStore status;
    AboutPane release(status, AppBuildChannel::release);
    release.show();
    spin(20ms);
    EXPECT_EQ(release.findChild<QLabel *>("nameRow")->accessibleName(), "Kestrivane");
    EXPECT_FALSE(shownTexts(release).contains(AppL10n::systemText("Development build")));
    EXPECT_FALSE(release.updateButton()->isVisible());

    int checks = 0;
    QObject context;
    AppNotificationCenter::defaultCenter().observe(AppNotificationCenter::checkForUpdates, &context, [&] { ++checks; });
    status.setAvailableVersion(QStringLiteral("3.0"));
    spin(20ms);
    ASSERT_TRUE(release.updateButton()->isVisible());
    EXPECT_EQ(release.updateButton()->text(), AppL10n::format("update_available_version", QStringLiteral("3.0")));
    QTest::mouseClick(release.updateButton(), Qt::LeftButton);
    QTest::mouseClick(release.updateButton(), Qt::LeftButton);
    EXPECT_EQ(checks, 2);
    EXPECT_EQ(status.availableVersion(), QStringLiteral("3.0"));

    AboutPane dev(status, AppBuildChannel::dev);
    EXPECT_EQ(dev.findChild<QLabel *>("nameRow")->accessibleName(), "Kestrivane Dev DEV");
    EXPECT_TRUE(shownTexts(dev).contains(AppL10n::systemText("Development build")));
}

TEST(SettingsViewTest, ShowingTheWindowSyncsOnlyAnIdleStore)
{
    KV_REQUIRE(displayProblem());
    LanguageGuard guard("en");
    StoreParts parts;
    SettingsFixture fixture(parts);
    {
        SettingsView view(fixture.environment());
        view.show();
        EXPECT_TRUE(waitUntil([&] { return parts.calendarClient->calendarRequests == 1; }));
    }
    spin(50ms);
    // Synced (and later failed): showing it again starts nothing.
    for (const bool fail : {false, true}) {
        if (fail) {
            parts.calendarClient->calendarsError = QStringLiteral("down");
            runTask(fixture.store->sync());
            ASSERT_EQ(fixture.store->syncStatus().kind(), AppStore::SyncStatus::Kind::failed);
        }
        const int before = parts.calendarClient->calendarRequests;
        SettingsView view(fixture.environment());
        view.show();
        spin(100ms);
        EXPECT_EQ(parts.calendarClient->calendarRequests, before);
    }
}
