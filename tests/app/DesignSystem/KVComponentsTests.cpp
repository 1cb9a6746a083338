#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVGrouping.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVStates.h"
#include "DesignSystem/KVStatus.h"
#include "DesignSystem/KVSymbols.h"
#include "DesignSystem/KVWindowChrome.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/TestEnvironment.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <QTimeZone>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace std::chrono_literals;

namespace {

// `widget` drawn on its own, laid out at its size (transparent where it draws nothing).
QImage render(QWidget *widget, ColorScheme scheme)
{
    setColorSchemeOverride(widget, scheme);
    widget->setAttribute(Qt::WA_DontShowOnScreen);
    widget->show();
    if (widget->layout())
        widget->layout()->activate();
    if (widget->size().isEmpty() || !widget->testAttribute(Qt::WA_Resized))
        widget->adjustSize();
    QImage picture(widget->size(), QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    widget->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    return picture.convertToFormat(QImage::Format_ARGB32);
}

// The colour a translucent `color` shows on transparent paper, as grab() returns it.
void expectColour(const QColor &seen, const QColor &expected, int tolerance = 4)
{
    EXPECT_NEAR(seen.alpha(), expected.alpha(), tolerance) << "alpha";
    if (expected.alpha() > 16) {
        EXPECT_NEAR(seen.red(), expected.red(), tolerance + 255 * 2 / expected.alpha()) << "red";
        EXPECT_NEAR(seen.green(), expected.green(), tolerance + 255 * 2 / expected.alpha()) << "green";
        EXPECT_NEAR(seen.blue(), expected.blue(), tolerance + 255 * 2 / expected.alpha()) << "blue";
    }
}

QList<KVButton *> buttonsOf(QWidget *widget)
{
    return widget->findChildren<KVButton *>();
}

} // namespace

TEST(KVComponentsTest, PillsDrawTheirTonesBackgroundAndHugTheirText)
{
    for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
        for (const int tone : {0, 1, 2, 3, 4, 5, 42}) {
            SCOPED_TRACE(tone);
            KVStatusPill pill(QStringLiteral("Next"), QStringLiteral("clock"), static_cast<KVStatusTone>(tone));
            const QImage picture = render(&pill, scheme);
            // The padding at the leading edge, mid-height: the tone's background (an unknown tone
            // falls back to the neutral one).
            const KVStatusTone shown = tone == 42 ? KVStatusTone::neutral : static_cast<KVStatusTone>(tone);
            expectColour(picture.pixelColor(3, picture.height() / 2), background(shown, KVDesign::palette(scheme)));
            // The corners are rounded: the very corner pixel is (nearly) empty.
            EXPECT_LT(picture.pixelColor(0, 0).alpha(), background(shown, KVDesign::palette(scheme)).alpha());
        }
    }
    // In a wide row the pill keeps its own width.
    QWidget row;
    auto *layout = new QVBoxLayout(&row);
    auto *pill = new KVStatusPill(QStringLiteral("Connected"), KVStatusTone::success);
    layout->addWidget(pill);
    row.resize(400, 60);
    layout->activate();
    EXPECT_EQ(pill->width(), pill->sizeHint().width());
}

TEST(KVComponentsTest, ButtonsShowPressedDisabledAndKeyboardFocusLooks)
{
    KV_REQUIRE(test::displayProblem());
    for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
        const QColor tint = KVDesign::accent(scheme);
        KVButton enabled(QStringLiteral("Join"), KVButton::Style::borderedProminent);
        const QColor fill = render(&enabled, scheme).pixelColor(3, 11);
        expectColour(fill, tint);

        KVButton pressed(QStringLiteral("Join"), KVButton::Style::borderedProminent);
        pressed.setDown(true);
        const QColor pressedFill = render(&pressed, scheme).pixelColor(3, 11);
        EXPECT_NE(pressedFill, fill);
        // Darker in light, lighter in dark.
        EXPECT_EQ(pressedFill.lightness() < fill.lightness(), scheme == ColorScheme::light);

        KVButton disabled(QStringLiteral("Join"), KVButton::Style::borderedProminent);
        disabled.setEnabled(false);
        const QColor dimmed = render(&disabled, scheme).pixelColor(3, 11);
        EXPECT_NEAR(dimmed.alpha(), 0.4 * 255, 3);
        EXPECT_NE(dimmed.rgba(), fill.rgba());

        KVButton bordered(QStringLiteral("Join"), KVButton::Style::bordered);
        KVButton borderedDown(QStringLiteral("Join"), KVButton::Style::bordered);
        borderedDown.setDown(true);
        EXPECT_GT(render(&borderedDown, scheme).pixelColor(3, 11).alpha(), render(&bordered, scheme).pixelColor(3, 11).alpha());
    }
    // Sizes: regular 22 high, small 19.
    KVButton small(QStringLiteral("Join"), KVButton::Style::bordered);
    small.setControlSize(KVButton::ControlSize::small);
    EXPECT_EQ(small.sizeHint().height(), 19);
    KVButton regular(QStringLiteral("Join"), KVButton::Style::bordered);
    EXPECT_EQ(regular.sizeHint().height(), 22);

    // A disabled button still shows its tooltip.
    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    auto *help = new KVButton(QStringLiteral("Join"), KVButton::Style::borderedProminent, [] {});
    help->setHelp(QStringLiteral("Opens the meeting"));
    help->setEnabled(false);
    auto *other = new KVButton(QStringLiteral("Other"), KVButton::Style::bordered, [] {});
    auto *footer = new KVFooterIconButton(QStringLiteral("Sync"), QStringLiteral("arrow.clockwise"), false, [] {});
    // A plain button in a container of its own size.
    auto *tight = new QWidget;
    auto *tightLayout = new QHBoxLayout(tight);
    tightLayout->setContentsMargins(0, 0, 0, 0);
    auto *plain = new KVButton(QStringLiteral("Disconnect All"), KVButton::Style::plain, [] {});
    tightLayout->addWidget(plain);
    tight->setFixedSize(plain->sizeHint());
    layout->addWidget(help);
    layout->addWidget(other);
    layout->addWidget(footer);
    layout->addWidget(tight);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(test::waitUntil([&] { return window.isActiveWindow(); }));
    QHelpEvent tip(QEvent::ToolTip, QPoint(4, 4), help->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(help, &tip);
    EXPECT_TRUE(test::waitUntil([] { return QToolTip::isVisible(); }, 2s));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Opens the meeting"));
    QToolTip::hideText();

    // The focus ring: after Tab, not after a click.
    other->setFocus(Qt::MouseFocusReason);
    QCoreApplication::processEvents();
    EXPECT_TRUE(other->hasFocus());
    EXPECT_FALSE(showsKeyboardFocusRing(other));
    footer->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    EXPECT_TRUE(showsKeyboardFocusRing(footer));
    EXPECT_FALSE(showsKeyboardFocusRing(other));
    other->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    EXPECT_TRUE(showsKeyboardFocusRing(other));
    EXPECT_FALSE(showsKeyboardFocusRing(footer));
    // The ring lies outside the button: its pixels beside the button are the accent's.
    const QImage shot = window.grab().toImage();
    const QPoint beside = other->geometry().topLeft() + QPoint(-2, other->height() / 2);
    const QColor ring = shot.pixelColor(beside);
    const QColor paper = shot.pixelColor(other->geometry().topLeft() + QPoint(-8, other->height() / 2));
    EXPECT_NE(ring, paper);

    // Neither the control's parent nor its own bounds cut the ring: it shows above and beside.
    const QImage unfocused = window.grab().toImage();
    plain->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    const QImage focused = window.grab().toImage();
    const QRect area(plain->mapTo(&window, QPoint(0, 0)), plain->size());
    for (const QPoint outside : {QPoint(area.center().x(), area.top() - 2), QPoint(area.center().x(), area.bottom() + 2),
                                 QPoint(area.left() - 2, area.center().y()), QPoint(area.right() + 2, area.center().y())})
        EXPECT_NE(focused.pixelColor(outside), unfocused.pixelColor(outside)) << outside.x() << "," << outside.y();

    // Focus that moves on because the focused control hides came from no key: no ring.
    other->setFocus(Qt::MouseFocusReason);
    other->hide();
    QCoreApplication::processEvents();
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_NE(QApplication::focusWidget(), other);
    EXPECT_FALSE(showsKeyboardFocusRing(QApplication::focusWidget()));
}

TEST(KVComponentsTest, GroupBoxClipsItsRowsToItsCornersAndDividersKeepTheirInsets)
{
    // Rows of an opaque colour: inside the box they show, at the rounded corners they do not.
    QWidget holder;
    auto *box = new KVGroupBox(&holder);
    class Solid : public QWidget {
    protected:
        void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), QColor(255, 0, 0)); }
    };
    auto *top = new Solid;
    top->setFixedHeight(30);
    box->addRow(top);
    auto *divider = new KVInsetDivider;
    box->addRow(divider);
    auto *bottom = new Solid;
    bottom->setFixedHeight(30);
    box->addRow(bottom);
    box->setGeometry(0, 0, 200, 61);
    holder.resize(200, 61);
    const QImage picture = render(&holder, ColorScheme::light);
    EXPECT_EQ(picture.pixelColor(100, 15), QColor(255, 0, 0));
    EXPECT_EQ(picture.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(picture.pixelColor(199, 60).alpha(), 0);
    EXPECT_LT(picture.pixelColor(1, 1).alpha(), 60);
    EXPECT_EQ(picture.pixelColor(10, 2), QColor(255, 0, 0));
    // Rows touch: spacing 0.
    EXPECT_EQ(divider->geometry().top(), top->geometry().bottom() + 1);

    // On screen, over a window of another colour: the corners show the window, the rows the rest.
    {
        class Paper : public QWidget {
        protected:
            void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), QColor(0, 0, 255)); }
        };
        Paper window;
        window.resize(240, 100);
        auto *onScreen = new KVGroupBox(&window);
        auto *row = new Solid;
        row->setFixedHeight(60);
        onScreen->addRow(row);
        onScreen->setGeometry(20, 20, 200, 60);
        window.show();
        ASSERT_TRUE(test::waitUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
        test::spin(200ms);
        const QImage screen = window.screen()->grabWindow(window.winId()).toImage();
        ASSERT_FALSE(screen.isNull());
        EXPECT_EQ(screen.pixelColor(20, 20).rgb(), QColor(0, 0, 255).rgb());
        EXPECT_EQ(screen.pixelColor(219, 79).rgb(), QColor(0, 0, 255).rgb());
        EXPECT_EQ(screen.pixelColor(120, 50).rgb(), QColor(255, 0, 0).rgb());
        EXPECT_EQ(screen.pixelColor(19, 50).rgb(), QColor(0, 0, 255).rgb());
        EXPECT_EQ(screen.pixelColor(30, 22).rgb(), QColor(255, 0, 0).rgb());

        // A row with a graphics effect of its own draws too, through the effect.
        row->setFixedHeight(30);
        auto *faded = new Solid;
        faded->setFixedHeight(30);
        auto *effect = new QGraphicsOpacityEffect(faded);
        effect->setOpacity(0.5);
        faded->setGraphicsEffect(effect);
        onScreen->addRow(faded);
        test::spin(200ms);
        const QImage withEffect = window.screen()->grabWindow(window.winId()).toImage();
        EXPECT_EQ(withEffect.pixelColor(120, 35).rgb(), QColor(255, 0, 0).rgb());
        const QColor half = withEffect.pixelColor(120, 65);
        EXPECT_NEAR(half.red(), 255, 3);
        EXPECT_NEAR(half.green(), 128, 4);
        EXPECT_NEAR(half.blue(), 128, 4);
    }

    // A row whose text wraps in a narrow column makes the box taller.
    {
        QWidget column;
        auto *stack = new QVBoxLayout(&column);
        auto *wrapping = new KVGroupBox;
        auto *text = new KVLabel(QString(40, u'w').replace(u'w', QStringLiteral("word ")), KVFont::system(13),
                                 KVColorRef(&KVPalette::text1));
        text->setMaxLines(0);
        wrapping->addRow(text);
        stack->addWidget(wrapping);
        stack->addStretch(1);
        column.resize(160, 600);
        column.setAttribute(Qt::WA_DontShowOnScreen);
        column.show();
        stack->activate();
        EXPECT_GT(text->visibleLines().size(), 3);
        EXPECT_GE(wrapping->height(), text->heightForWidth(text->width()));
    }

    // The inset divider: a hairline from 14 to width - 14 in dividerSoft at half its alpha.
    KVInsetDivider rule;
    rule.resize(100, 1);
    const QImage line = render(&rule, ColorScheme::dark);
    EXPECT_EQ(line.pixelColor(13, 0).alpha(), 0);
    expectColour(line.pixelColor(14, 0), withOpacity(KVPalette::dark().dividerSoft, 0.5), 2);
    expectColour(line.pixelColor(85, 0), withOpacity(KVPalette::dark().dividerSoft, 0.5), 2);
    EXPECT_EQ(line.pixelColor(86, 0).alpha(), 0);
    KVInsetDivider full(0, 0);
    full.resize(100, 1);
    EXPECT_GT(render(&full, ColorScheme::dark).pixelColor(0, 0).alpha(), 0);
}

TEST(KVComponentsTest, StatesStayCentredAndBannersShowOnlyCompleteActions)
{
    // An empty state in the panel's 118 points: tile centred, texts not cut.
    QWidget parent;
    parent.resize(320, 118);
    auto *layout = new QVBoxLayout(&parent);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *empty = new KVEmptyState(QStringLiteral("No more meetings today"),
                                   QStringLiteral("Your calendar is clear until tomorrow, and the day after that as well."),
                                   QStringLiteral("cup.and.saucer"));
    layout->addWidget(empty);
    parent.show();
    layout->activate();
    QCoreApplication::processEvents();
    const QList<KVLabel *> labels = empty->findChildren<KVLabel *>();
    ASSERT_EQ(labels.size(), 2);
    const KVSymbol *symbol = empty->findChild<KVSymbol *>();
    ASSERT_TRUE(symbol);
    const QRect tile = symbol->parentWidget()->geometry();
    EXPECT_EQ(tile.size(), QSize(36, 36));
    EXPECT_NEAR(tile.center().x(), empty->width() / 2, 1);
    const KVLabel *description = labels.at(1);
    EXPECT_LE(description->width(), 280);
    EXPECT_NEAR(description->geometry().center().x(), empty->width() / 2, 1);
    EXPECT_LE(description->geometry().bottom(), empty->height());
    EXPECT_GE(tile.top(), 0);
    // Centred vertically: as much room above the tile as below the description.
    EXPECT_NEAR(tile.top(), empty->height() - 1 - description->geometry().bottom(), 2);

    // A banner: a slot shows a button only when both its title and its action are given.
    QStringList ran;
    KVIssueBanner banner(QStringLiteral("Meetings could not be updated"), QStringLiteral("Check your connection."),
                         {QStringLiteral("Retry"), {}}, {QStringLiteral("Reconnect Google"), [&] { ran << "reconnect"; }},
                         {QStringLiteral("Send Feedback"), [&] { ran << "feedback"; }});
    QList<KVButton *> buttons = buttonsOf(&banner);
    ASSERT_EQ(buttons.size(), 2);
    EXPECT_EQ(buttons.at(0)->text(), QStringLiteral("Reconnect Google"));
    EXPECT_EQ(buttons.at(1)->text(), QStringLiteral("Send Feedback"));
    buttons.at(0)->click();
    EXPECT_EQ(ran, QStringList{"reconnect"});
    KVIssueBanner bare(QStringLiteral("Title"), QStringLiteral("Description"));
    EXPECT_TRUE(buttonsOf(&bare).isEmpty());
    // A long description wraps and the banner grows; the tile stays at the top.
    KVIssueBanner wrapped(QStringLiteral("Title"), QString(QStringLiteral("A long description. ")).repeated(20));
    wrapped.setFixedWidth(300);
    EXPECT_GT(wrapped.heightForWidth(300), bare.heightForWidth(300) + 20);
}

TEST(KVComponentsTest, AnimationTimersRunOnlyWhileSomethingAnimatesOnScreen)
{
    KV_REQUIRE(test::displayProblem());
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *dot = new KVStatusDot(KVColorRef(&KVPalette::success));
    auto *loading = new KVLoadingState(QStringLiteral("Loading"), QStringLiteral("Reading your calendars."));
    layout->addWidget(dot);
    layout->addWidget(loading);
    auto *spinner = loading->findChild<KVSpinner *>();
    ASSERT_TRUE(spinner);
    const auto timers = [&] { return window.findChildren<QTimer *>(); };
    const auto running = [&] {
        int count = 0;
        for (QTimer *timer : timers())
            count += timer->isActive();
        return count;
    };

    // Built but not shown: nothing runs.
    dot->setPulsing(true);
    EXPECT_FALSE(dot->isAnimating());
    EXPECT_FALSE(spinner->isAnimating());
    EXPECT_EQ(running(), 0);

    window.show();
    ASSERT_TRUE(test::waitUntil([&] { return window.isVisible(); }));
    EXPECT_TRUE(dot->isAnimating());
    EXPECT_TRUE(spinner->isAnimating());
    // A dot that stops pulsing stops its timer and stays at full opacity.
    dot->setPulsing(false);
    EXPECT_FALSE(dot->isAnimating());
    EXPECT_EQ(KVStatusDot::opacity(false, QDateTime::currentDateTimeUtc()), 1.0);
    // The pulse follows the wall clock: 0.7 on a whole period (1.4 s) since 2001, 1.0 a quarter
    // period later, 0.4 three quarters later.
    const QDateTime period = QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc()).addMSecs(1400 * 1000);
    EXPECT_NEAR(KVStatusDot::opacity(true, period), 0.7, 1e-9);
    EXPECT_NEAR(KVStatusDot::opacity(true, period.addMSecs(350)), 1.0, 1e-9);
    EXPECT_NEAR(KVStatusDot::opacity(true, period.addMSecs(1050)), 0.4, 1e-9);
    dot->setPulsing(true);
    // A hidden loading state stops its spinner; a hidden window stops everything.
    loading->hide();
    EXPECT_FALSE(spinner->isAnimating());
    loading->show();
    EXPECT_TRUE(spinner->isAnimating());
    window.hide();
    EXPECT_EQ(running(), 0);
    window.show();
    EXPECT_TRUE(dot->isAnimating());
    // Minimised: spontaneous hide events stop them as well.
    window.showMinimized();
    test::waitUntil([&] { return !dot->isAnimating(); }, 2s);
    if (window.isMinimized()) {
        EXPECT_EQ(running(), 0);
    }
}
