#include "TestSupport/SettingsTestSupport.h"

#include "DesignSystem/KVLabel.h"

#include "Views/Settings/AboutPane.h"
#include "Views/Settings/AccountsPane.h"
#include "Views/Settings/CalendarsPane.h"
#include "Views/Settings/NotificationsPane.h"
#include "Views/Settings/SettingsSidebar.h"
#include "Views/Settings/ShortcutRecorderButton.h"
#include "Views/Settings/ShortcutsPane.h"
#include "TestSupport/TestEnvironment.h"
#include "app/Views/ViewTestSupport.h"

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
            if (section != SettingsSection::shortcuts)
                continue;
            // The desktop's names in every language; the recording text while one records.
            auto *shortcuts = static_cast<ShortcutsPane *>(view.pane());
            EXPECT_EQ(shortcuts->openTodayRecorder()->labelText(), "Ctrl+Alt+Super+M");
            EXPECT_EQ(shortcuts->joinRecorder()->labelText(), "Ctrl+Alt+Super+J");
            shortcuts->joinRecorder()->startRecording();
            for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark})
                render(view, scheme, "shortcuts-recording-" + language + (scheme == ColorScheme::dark ? "-dark" : "-light"));
            shortcuts->joinRecorder()->stopRecording();
        }
    }
}

// Without an OAuth client the accounts pane draws its warning in the palette's danger colour and
// its add button is off; the dev channel's about pane draws the white DEV badge on its orange
// capsule and the development line in orange; in both schemes.
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
    const auto labelOf = [&](const QString &text) -> QWidget * {
        for (KVLabel *label : view.pane()->findChildren<KVLabel *>()) {
            if (label->text() == text)
                return label;
        }
        return nullptr;
    };
    EXPECT_FALSE(view.pane()->findChild<QAbstractButton *>("addAccount")->isEnabled());
    QWidget *warning = labelOf(AppL10n::text("google_oauth_not_configured"));
    ASSERT_NE(warning, nullptr);
    for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
        const QString name = scheme == ColorScheme::dark ? "accounts-unconfigured-en-dark" : "accounts-unconfigured-en-light";
        render(view, scheme, name);
        EXPECT_TRUE(hasPixelNear(warning->grab().toImage(), KVDesign::palette(scheme).danger)) << name.toStdString();
    }

    view.select(SettingsSection::about);
    spin(50ms);
    QWidget *nameRow = view.pane()->findChild<QWidget *>("nameRow");
    QWidget *development = labelOf(AppL10n::systemText("Development build"));
    ASSERT_NE(nameRow, nullptr);
    ASSERT_NE(development, nullptr);
    for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
        const QString name = scheme == ColorScheme::dark ? "about-dev-en-dark" : "about-dev-en-light";
        render(view, scheme, name);
        const QImage badge = nameRow->grab().toImage();
        EXPECT_TRUE(hasPixelNear(badge, KVSystemColor::orange(scheme))) << name.toStdString();
        EXPECT_TRUE(hasPixelNear(badge, Qt::white)) << name.toStdString();
        EXPECT_TRUE(hasPixelNear(development->grab().toImage(), KVSystemColor::orange(scheme))) << name.toStdString();
    }
}
