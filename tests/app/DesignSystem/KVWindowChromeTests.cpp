#include "DesignSystem/KVCompositor.h"
#include "DesignSystem/KVWindowChrome.h"
#include "Support/WindowRegistry.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/TestEnvironment.h"
#include "TestSupport/X11Windows.h"

#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>
#include <QVBoxLayout>

#include <xcb/xcb.h>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace std::chrono_literals;

namespace {

bool xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    return process.waitForFinished(5000) && process.exitCode() == 0;
}

// A press at `from`, a move to `to` and a release, on the display, with pauses a person would make.
bool drag(QPoint from, QPoint to)
{
    const auto n = [](int value) { return QString::number(value); };
    return xdotool({"mousemove", n(from.x()), n(from.y()), "sleep", "0.1", "mousedown", "1", "sleep", "0.1", "mousemove",
                    n((from.x() + to.x()) / 2), n((from.y() + to.y()) / 2), "sleep", "0.1", "mousemove", n(to.x()), n(to.y()),
                    "sleep", "0.1", "mouseup", "1"});
}

} // namespace

// Under a window manager (openbox), which moves the window itself once the strip hands a drag over:
// the window moves by exactly the pointer's travel, the part below the drag threshold included, so
// the grabbed point stays under the pointer; afterwards the window takes clicks as before.
TEST(KVWindowChromeTest, UnderAWindowManagerTheGrabbedPointStaysUnderThePointer)
{
    KV_REQUIRE(test::displayProblem());
    test::X11WindowManager openbox;
    KV_REQUIRE(openbox.problem());
    KVWindow window(QStringLiteral("drag-test"));
    auto *root = new QWidget;
    auto *layout = new QVBoxLayout(root);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *titleBar = new KVTitleBar(QStringLiteral("Drag"));
    layout->addWidget(titleBar);
    layout->addStretch(1);
    window.setContent(root);
    window.setGeometry(300, 200, 400, 300);
    window.show();
    ASSERT_TRUE(test::waitUntil([&] { return window.isVisible() && window.windowHandle()->isExposed(); }));
    test::spin(300ms);
    const auto placed = [&] { return test::x11ScreenPosition(window.winId()); };
    const QPoint before = placed();
    const QPoint grabAt = titleBar->mapToGlobal(QPoint(titleBar->width() / 2, titleBar->height() / 2));

    // Step by step, each step handled before the next, as a hand moves.
    const auto n = [](int value) { return QString::number(value); };
    ASSERT_TRUE(xdotool({"mousemove", n(grabAt.x()), n(grabAt.y()), "mousedown", "1"}));
    test::spin(100ms);
    for (int step = 1; step <= 8; ++step) {
        ASSERT_TRUE(xdotool({"mousemove", n(grabAt.x() + 10 * step), n(grabAt.y() + 60 * step / 8)}));
        test::spin(50ms);
    }
    ASSERT_TRUE(xdotool({"mouseup", "1"}));
    EXPECT_TRUE(test::waitUntil([&] { return placed() == before + QPoint(80, 60); }, 3s))
        << before.x() << "," << before.y() << " -> " << placed().x() << "," << placed().y();

    // The press the window manager took over has ended for the window too: the next click works.
    ASSERT_TRUE(test::waitUntil([&] { return window.geometry().topLeft() == placed(); }, 3s));
    const QPoint zoom = titleBar->controls()->zoomButton()->mapToGlobal(QPoint(6, 6));
    ASSERT_TRUE(xdotool({"mousemove", n(zoom.x()), n(zoom.y()), "click", "1"}));
    EXPECT_TRUE(test::waitUntil([&] { return window.isMaximized(); }, 3s));
}

// The frameless Today window under Xvfb (no window manager): its own chrome moves, resizes,
// zooms, minimises and closes it, and it keeps its title and its role for the window system.
TEST(KVWindowChromeTest, TheFramelessTodayWindowIsDrivenByItsOwnChrome)
{
    KV_REQUIRE(test::displayProblem());
    WindowRegistry registry;
    registry.declare({WindowRegistry::todayMeets, [] { return QStringLiteral("Today's Meetings"); }, QSize(560, 520), [] {
                          auto *root = new QWidget;
                          auto *layout = new QVBoxLayout(root);
                          layout->setContentsMargins(0, 0, 0, 0);
                          layout->addWidget(new KVTitleBar(QStringLiteral("Today's Meetings")));
                          layout->addStretch(1);
                          return root;
                      }});
    QWidget *window = registry.open(WindowRegistry::todayMeets);
    ASSERT_TRUE(window);
    window->move(100, 100);
    ASSERT_TRUE(test::waitUntil([&] { return test::x11TopLevels(WindowRegistry::todayMeets).size() == 1; }));
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Today's Meetings"));
    auto *titleBar = window->findChild<KVTitleBar *>();
    ASSERT_TRUE(titleBar);
    KVWindowControls *controls = titleBar->controls();
    EXPECT_LE(controls->geometry().right(), 78);
    QCoreApplication::processEvents();

    // Dragging the strip moves the window; dragging the lower right corner resizes it.
    const QPoint grabAt = titleBar->mapToGlobal(QPoint(titleBar->width() / 2, titleBar->height() / 2));
    ASSERT_TRUE(drag(grabAt, grabAt + QPoint(40, 30)));
    EXPECT_TRUE(test::waitUntil([&] { return window->pos() == QPoint(140, 130); })) << window->pos().x() << "," << window->pos().y();
    const QPoint corner = window->mapToGlobal(QPoint(window->width() - 2, window->height() - 2));
    ASSERT_TRUE(drag(corner, corner + QPoint(50, 20)));
    EXPECT_TRUE(test::waitUntil([&] { return window->size() == QSize(610, 540); }))
        << window->width() << "x" << window->height();

    // A double click on the strip zooms, a second one puts it back; so does the zoom control.
    QTest::mouseDClick(titleBar, Qt::LeftButton, {}, QPoint(titleBar->width() / 2, 10));
    EXPECT_TRUE(window->isMaximized());
    QTest::mouseDClick(titleBar, Qt::LeftButton, {}, QPoint(titleBar->width() / 2, 10));
    EXPECT_FALSE(window->isMaximized());
    QTest::mouseClick(controls->zoomButton(), Qt::LeftButton);
    EXPECT_TRUE(window->isMaximized());
    QTest::mouseClick(controls->zoomButton(), Qt::LeftButton);
    EXPECT_FALSE(window->isMaximized());

    // Minimised, and fronted again by its identifier.
    QTest::mouseClick(controls->minimizeButton(), Qt::LeftButton);
    EXPECT_TRUE(window->isMinimized());
    EXPECT_EQ(registry.open(WindowRegistry::todayMeets), window);
    EXPECT_FALSE(window->isMinimized());
    EXPECT_EQ(test::x11TopLevels(WindowRegistry::todayMeets).size(), 1);

    // Closed: gone from the display.
    QTest::mouseClick(controls->closeButton(), Qt::LeftButton);
    EXPECT_TRUE(test::waitUntil([&] { return test::x11TopLevels(WindowRegistry::todayMeets).isEmpty(); }));
    // Deletion is deferred; nested test loops leave it to the main loop, so it is run here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(registry.window(WindowRegistry::todayMeets), nullptr);
}

// A compositor is running exactly while someone owns the display's _NET_WM_CM_S<screen> selection.
TEST(KVWindowChromeTest, ACompositorRunsWhileItsSelectionHasAnOwner)
{
    KV_REQUIRE(test::displayProblem());
    EXPECT_FALSE(compositorRunning());
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_TRUE(x11);
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(connection));
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t owner = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, owner, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    const QByteArray name = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, name.size(), name.data()), nullptr);
    ASSERT_TRUE(atom);
    xcb_set_selection_owner(connection, owner, atom->atom, XCB_CURRENT_TIME);
    free(atom);
    xcb_flush(connection);
    EXPECT_TRUE(test::waitUntil([] { return compositorRunning(); }, 2s));
    xcb_disconnect(connection);
    EXPECT_TRUE(test::waitUntil([] { return !compositorRunning(); }, 2s));
}
