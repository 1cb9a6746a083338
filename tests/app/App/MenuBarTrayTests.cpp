#include "App/MenuBarTray.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/TestEnvironment.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QMenu>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace std::chrono_literals;

TEST(MenuBarTrayTest, PanelGoesUnderTheIconAndStaysOnScreen)
{
    const QRect screen(0, 0, 1440, 900);
    const QSize panel(360, 480);
    // Centred under an icon in a top panel.
    EXPECT_EQ(MenuBarTray::panelPosition(QRect(700, 0, 24, 24), panel, screen), QPoint(532, 24));
    // Near the right edge: pushed left to fit.
    EXPECT_EQ(MenuBarTray::panelPosition(QRect(1410, 0, 24, 24), panel, screen), QPoint(1080, 24));
    // A bottom panel: above the icon.
    EXPECT_EQ(MenuBarTray::panelPosition(QRect(10, 876, 24, 24), panel, screen), QPoint(0, 396));
    // A screen smaller than the panel: its top left corner.
    EXPECT_EQ(MenuBarTray::panelPosition(QRect(50, 10, 1, 1), panel, QRect(0, 0, 200, 200)), QPoint(0, 0));
}

TEST(MenuBarTrayTest, ClickTogglesThePanelAndTheClosingClickDoesNotReopenIt)
{
    KV_REQUIRE(test::displayProblem());
    int made = 0;
    MenuBarTray tray([&] {
        ++made;
        return new QLabel("panel");
    });
    int ran = 0;
    tray.setCommands({{"One", [&] { ++ran; }}, {"Two", nullptr, true}});
    ASSERT_EQ(tray.menu()->actions().size(), 3);
    tray.menu()->actions().first()->trigger();
    EXPECT_EQ(ran, 1);

    emit tray.trayIcon()->activated(QSystemTrayIcon::Trigger);
    ASSERT_NE(tray.panel(), nullptr);
    EXPECT_TRUE(tray.panel()->isVisible());
    EXPECT_TRUE(tray.panel()->windowFlags().testFlag(Qt::FramelessWindowHint));
    // The click on the icon closes the popup first; its activation follows at once.
    tray.panel()->hide();
    emit tray.trayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(tray.panel()->isVisible());
    // A later click opens it again, with the same content.
    test::spin(350ms);
    emit tray.trayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(tray.panel()->isVisible());
    emit tray.trayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(tray.panel()->isVisible());
    EXPECT_EQ(made, 1);
    // Right clicks belong to the menu.
    test::spin(350ms);
    emit tray.trayIcon()->activated(QSystemTrayIcon::Context);
    EXPECT_FALSE(tray.panel()->isVisible());
}

TEST(MenuBarTrayTest, ThePanelTakesItsContentsSizeAndKeepsItsAnchor)
{
    KV_REQUIRE(test::displayProblem());
    for (const bool compositor : {false, true}) {
        QPointer<QLabel> content;
        MenuBarTray tray([&] {
            content = new QLabel("panel");
            content->setFixedSize(340, 200);
            return content.data();
        });
        tray.setCompositorCheck([compositor] { return compositor; });
        // Without a tray geometry the panel hangs from the pointer: near the bottom, above it.
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QCursor::setPos(screen.center().x(), screen.bottom() - 10);
        test::waitUntil([&] { return QCursor::pos().y() == screen.bottom() - 10; }, 2s);
        tray.showPanel();
        ASSERT_TRUE(tray.panel()->isVisible());
        // Translucent (the content paints rounded corners) only where a compositor blends it.
        EXPECT_EQ(tray.panel()->testAttribute(Qt::WA_TranslucentBackground), compositor);
        EXPECT_EQ(tray.panel()->size(), QSize(340, 200));
        const int bottom = tray.panel()->geometry().bottom();
        EXPECT_LE(bottom, screen.bottom() - 10);

        // The content grows: the panel follows and its bottom edge stays by the anchor.
        content->setFixedSize(340, 320);
        test::waitUntil([&] { return tray.panel()->height() == 320; }, 2s);
        EXPECT_EQ(tray.panel()->size(), QSize(340, 320));
        EXPECT_EQ(tray.panel()->geometry().bottom(), bottom);
        tray.hidePanel();
    }
}
