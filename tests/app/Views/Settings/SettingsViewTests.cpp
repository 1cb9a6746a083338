#include "TestSupport/SettingsTestSupport.h"

#include "Views/Settings/AboutPane.h"
#include "Views/Settings/AccountsPane.h"
#include "Views/Settings/CalendarsPane.h"
#include "Views/Settings/NotificationsPane.h"
#include "Views/Settings/SettingsSidebar.h"
#include "Views/Settings/ShortcutsPane.h"
#include "TestSupport/TestEnvironment.h"

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

namespace {

const QList<std::pair<SettingsSection, QString>> sections{
    {SettingsSection::accounts, "accounts"}, {SettingsSection::calendars, "calendars"},
    {SettingsSection::notifications, "notifications"}, {SettingsSection::shortcuts, "shortcuts"},
    {SettingsSection::about, "about"}};

} // namespace

TEST(SettingsViewTest, EveryPaneInBothLanguagesAndSchemesWithItsSidebarRow)
{
    KV_REQUIRE(displayProblem());
    for (const QString language : {"en", "ja"}) {
        LanguageGuard guard(language);
        StoreParts parts;
        SettingsFixture fixture(parts, true, language);
        runTask(fixture.store->sync());
        fixture.updateStatus.setAvailableVersion(QStringLiteral("2.0"));
        SettingsView view(fixture.environment());
        view.resize(720, 560);
        view.show();
        for (const auto &[section, name] : sections) {
            view.select(section);
            spin(50ms);
            int selectedRows = 0;
            for (KVSidebarRow *row : view.sidebar()->rows())
                selectedRows += row->isSelected() && row->section() == section ? 1 : row->isSelected() ? 100 : 0;
            EXPECT_EQ(selectedRows, 1) << name.toStdString();
            for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark})
                render(view, scheme, name + u'-' + language + (scheme == ColorScheme::dark ? "-dark" : "-light"));
        }
    }
}

TEST(SettingsViewTest, TheDevChannelAboutPaneAndAnUnconfiguredAccountsPane)
{
    KV_REQUIRE(displayProblem());
    LanguageGuard guard("en");
    StoreParts parts;
    SettingsFixture fixture(parts);
    SettingsEnvironment environment = fixture.environment();
    environment.buildChannel = AppBuildChannel::dev;
    SettingsView view(environment);
    view.resize(720, 560);
    view.show();
    spin(50ms);
    render(view, ColorScheme::light, "accounts-unconfigured-en-light");
    view.select(SettingsSection::about);
    spin(50ms);
    render(view, ColorScheme::light, "about-dev-en-light");
    render(view, ColorScheme::dark, "about-dev-en-dark");
}
