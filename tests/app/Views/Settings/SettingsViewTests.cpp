#include "TestSupport/SettingsTestSupport.h"

#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVLabel.h"

#include "Views/Settings/AboutPane.h"
#include "Views/Settings/AccountsPane.h"
#include "Views/Settings/CalendarsPane.h"
#include "Views/Settings/NotificationsPane.h"
#include "Views/Settings/SettingsPaneKit.h"
#include "Views/Settings/SettingsSidebar.h"
#include "Views/Settings/ShortcutRecorderButton.h"
#include "Views/Settings/ShortcutsPane.h"
#include "TestSupport/TestEnvironment.h"
#include "app/Views/ViewTestSupport.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

namespace {

const QList<std::pair<SettingsSection, QString>> sections{
    {SettingsSection::accounts, "accounts"}, {SettingsSection::calendars, "calendars"},
    {SettingsSection::notifications, "notifications"}, {SettingsSection::shortcuts, "shortcuts"},
    {SettingsSection::about, "about"}};

// The row most columns of the text in `area` of `picture` end their ink on.
int inkEndRow(const QImage &picture, const QRect &area)
{
    const QColor paper = picture.pixelColor(area.topLeft());
    const auto distance = [&](int x, int y) {
        const QColor c = picture.pixelColor(x, y);
        return std::abs(c.red() - paper.red()) + std::abs(c.green() - paper.green()) + std::abs(c.blue() - paper.blue());
    };
    int strongest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            strongest = std::max(strongest, distance(x, y));
    QMap<int, int> ends;
    for (int x = area.left(); x <= area.right(); ++x)
        for (int y = area.bottom(); y >= area.top(); --y)
            if (distance(x, y) > strongest / 2) {
                ++ends[y];
                break;
            }
    int row = -1;
    for (auto it = ends.cbegin(); it != ends.cend(); ++it)
        if (row < 0 || it.value() > ends[row])
            row = it.key();
    return row;
}

// The baseline `text` in `font` stands on in `area` of `picture`: where its ink ends, less where
// the ink of the same text drawn on a known baseline ends (Latin letters end on the baseline,
// kana and ideographs below it).
int baseline(const QImage &picture, const QRect &area, const QString &text, const QFont &font)
{
    const int known = 3 * font.pixelSize();
    QImage probe(QFontMetrics(font).horizontalAdvance(text) + 8, 5 * font.pixelSize(), QImage::Format_RGB32);
    probe.fill(Qt::white);
    {
        QPainter painter(&probe);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(QPointF(4, known), text);
    }
    return inkEndRow(picture, area) - (inkEndRow(probe, probe.rect()) - known);
}

// The header's title and its accessory's text stand on one baseline.
void expectOneBaseline(QWidget &pane, const QString &accessory)
{
    auto *header = pane.findChild<PaneHeader *>();
    ASSERT_TRUE(header);
    auto *button = header->findChild<KVButton *>(accessory);
    auto *title = header->findChild<KVLabel *>();
    ASSERT_TRUE(button && title);
    QImage picture(header->size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(kvPalette(header).window);
    header->render(&picture);
    const QRect titleText(title->geometry().topLeft(), QSize(title->sizeHint().width(), title->height()));
    // The button's label without its symbol and the bezel's rounded ends.
    const QRect label = button->geometry().adjusted(button->symbol().isEmpty() ? 7 : 7 + 11 + 4, 1, -7, -1);
    EXPECT_EQ(baseline(picture, titleText, title->text(), title->font()),
              baseline(picture, label, button->text(), button->labelFont()))
        << accessory.toStdString();
}

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
            if (section == SettingsSection::accounts)
                expectOneBaseline(*view.findChild<AccountsPane *>(), "addAccount");
            if (section == SettingsSection::shortcuts)
                expectOneBaseline(*view.findChild<ShortcutsPane *>(), "resetShortcuts");
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
