#include "App/MenuBarLabel.h"
#include "Support/AppL10n.h"
#include "TestSupport/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QPainter>

#include <gtest/gtest.h>

using namespace kestrivane;
using State = MenuBarLabel::State;

namespace {

class MenuBarLabelTest : public ::testing::Test {
protected:
    void SetUp() override { AppL10n::configure(QStringLiteral("en")); }
    void TearDown() override { AppL10n::configure(std::nullopt); }
};

QString artifactsFolder()
{
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts/menu-bar-label");
    QDir().mkpath(folder);
    return folder;
}

const char *name(State state)
{
    switch (state) {
    case State::Idle: return "none";
    case State::AttentionNeeded: return "attention";
    case State::InMeeting: return "in-meeting";
    case State::MeetReady: return "ready";
    }
    return "?";
}

// The colour at a point of the 24 × 22 canvas, at scale 1.
QColor at(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y);
}

bool near(const QColor &a, const QColor &b, int tolerance = 40)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
           && std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

} // namespace

TEST_F(MenuBarLabelTest, StatePrecedenceAndTooltips)
{
    EXPECT_EQ(MenuBarLabel::state(true, true, true), State::AttentionNeeded);
    EXPECT_EQ(MenuBarLabel::state(false, true, true), State::InMeeting);
    EXPECT_EQ(MenuBarLabel::state(false, false, true), State::MeetReady);
    EXPECT_EQ(MenuBarLabel::state(false, false, false), State::Idle);

    EXPECT_EQ(MenuBarLabel::helpText(State::AttentionNeeded, "Kestrivane"), "Kestrivane needs your attention");
    EXPECT_EQ(MenuBarLabel::helpText(State::InMeeting, "Kestrivane"), "In a meeting");
    EXPECT_EQ(MenuBarLabel::helpText(State::MeetReady, "Kestrivane"), "A meeting is about to start");
    EXPECT_EQ(MenuBarLabel::helpText(State::Idle, "Kestrivane Dev"), "Kestrivane Dev");
    EXPECT_FALSE(MenuBarLabel::statusColor(State::Idle).has_value());
}

TEST_F(MenuBarLabelTest, DrawsGlyphDotAndBadgeInTheirCorners)
{
    KV_REQUIRE(test::displayProblem());
    ASSERT_FALSE(MenuBarLabel::glyphResource().isEmpty());
    const QString folder = artifactsFolder();
    // All pictures, eight times larger, on one sheet: a row per channel and panel colour.
    QImage sheet(4 * 8 * 28, 4 * 8 * 26, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter sheetPainter(&sheet);
    int row = 0;
    const QColor red(255, 59, 48), green(52, 199, 89), yellow(255, 204, 0), orange(255, 149, 0);

    for (const bool dev : {false, true}) {
        for (const State state : {State::Idle, State::MeetReady, State::InMeeting, State::AttentionNeeded}) {
            for (const bool dark : {false, true}) {
                const QImage image = MenuBarLabel::render(state, dev, dark);
                ASSERT_EQ(image.size(), QSize(24, 22));
                const QString file = QStringLiteral("%1/%2-%3-%4.png")
                                         .arg(folder, dev ? "dev" : "release", name(state), dark ? "dark" : "light");
                // Eight times larger for looking at, on a panel-like background.
                QImage large = MenuBarLabel::render(state, dev, dark, 8.0);
                large.setDevicePixelRatio(1);
                QImage shown(large.size(), QImage::Format_ARGB32);
                shown.fill(dark ? QColor(40, 40, 40) : QColor(236, 236, 236));
                QPainter(&shown).drawImage(0, 0, large);
                ASSERT_TRUE(shown.save(file));
                sheetPainter.drawImage(int(state) * 8 * 28, (row + (dark ? 1 : 0)) * 8 * 26, shown);

                // The bell's body, left of centre and below the dot: the contrast colour.
                EXPECT_TRUE(near(at(image, 8, 11), dark ? Qt::white : Qt::black)) << file.toStdString();
                // Outside the glyph: nothing.
                EXPECT_EQ(at(image, 0, 0).alpha(), 0) << file.toStdString();
                EXPECT_EQ(at(image, 1, 21).alpha(), 0) << file.toStdString();
                // The dot's centre, upper right.
                const QColor dot = at(image, 20, 4);
                switch (state) {
                case State::Idle: EXPECT_FALSE(near(dot, red) || near(dot, green) || near(dot, yellow)); break;
                case State::AttentionNeeded: EXPECT_TRUE(near(dot, red)) << file.toStdString(); break;
                case State::InMeeting: EXPECT_TRUE(near(dot, green)) << file.toStdString(); break;
                case State::MeetReady: EXPECT_TRUE(near(dot, yellow)) << file.toStdString(); break;
                }
                // The badge's left end, lower right: orange on development builds only.
                EXPECT_EQ(near(at(image, 13, 17), orange), dev) << file.toStdString();
                EXPECT_EQ(near(at(image, 22, 20), orange), dev) << file.toStdString();
            }
        }
        row += 2;
    }
    sheetPainter.end();
    EXPECT_TRUE(sheet.save(folder + QStringLiteral("/all.png")));
}

TEST_F(MenuBarLabelTest, IconCarriesSharpPixmapsForHighDensityPanels)
{
    KV_REQUIRE(test::displayProblem());
    const QIcon icon = MenuBarLabel::icon(State::InMeeting, false, true);
    ASSERT_FALSE(icon.isNull());
    const QList<QSize> sizes = icon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(24, 22)));
    EXPECT_TRUE(sizes.contains(QSize(48, 44)));
}
