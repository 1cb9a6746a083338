#include "Support/GlobalHotKeyController.h"
#include "Support/KeyCodes.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/TestEnvironment.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QLineEdit>
#include <QProcess>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace std::chrono_literals;
using HotKeyID = GlobalHotKeyController::HotKeyID;

namespace {

// Runs xdotool with the arguments against the test display.
void xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    ASSERT_TRUE(process.waitForFinished(5000)) << arguments.join(' ').toStdString();
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

// Counts root-window presses of one X key code, whoever handles them after.
class PressCounter : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        auto *event = static_cast<xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) == XCB_KEY_PRESS)
            ++presses;
        return false;
    }
    int presses = 0;
};

class GlobalHotKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KV_REQUIRE(test::displayProblem());
        ASSERT_NE(qApp->nativeInterface<QNativeInterface::QX11Application>(), nullptr);
        controller = std::make_unique<GlobalHotKeyController>(
            KestrivaneShortcut::openTodayMeetsDefault(), KestrivaneShortcut::joinMeetDefault(),
            [this] { ++opened; }, [this] { ++joined; });
    }

    void TearDown() override
    {
        controller.reset();
        test::spin(20ms);
    }

    // Presses the combination and lets the events arrive.
    void press(const QString &combination)
    {
        xdotool({QStringLiteral("key"), combination});
        test::spin(150ms);
    }

    std::unique_ptr<GlobalHotKeyController> controller;
    int opened = 0;
    int joined = 0;
};

} // namespace

TEST(KeyCodeMappingTest, StoredKeyCodesMapToKeysymsAndBack)
{
    EXPECT_EQ(keycodes::keysymForKeyCode(46), quint32('m'));
    EXPECT_EQ(keycodes::keysymForKeyCode(38), quint32('j'));
    EXPECT_EQ(keycodes::keysymForKeyCode(53), 0xff1bu);  // Escape
    EXPECT_EQ(keycodes::keysymForKeyCode(0x00), quint32('a'));
    EXPECT_EQ(keycodes::keysymForKeyCode(0x12), quint32('1'));
    EXPECT_EQ(keycodes::keysymForKeyCode(0x7A), 0xffbeu); // F1
    EXPECT_EQ(keycodes::keysymForKeyCode(0x7E), 0xff52u); // Up
    EXPECT_FALSE(keycodes::keysymForKeyCode(0x37));       // the Command key itself
    EXPECT_FALSE(keycodes::keysymForKeyCode(500));

    EXPECT_EQ(keycodes::keyCodeForKeysym('m'), 46u);
    EXPECT_EQ(keycodes::keyCodeForKeysym('M'), 46u);
    EXPECT_EQ(keycodes::keyCodeForKeysym(0xffb5), 0x57u); // KP_5
    EXPECT_FALSE(keycodes::keyCodeForKeysym(0xffe3));     // Control_L
    // Every stored key code maps back to itself.
    for (quint32 code = 0; code < 0x80; ++code) {
        if (const auto keysym = keycodes::keysymForKeyCode(code)) {
            EXPECT_EQ(keycodes::keyCodeForKeysym(*keysym), code) << code;
        }
    }

    EXPECT_EQ(keycodes::charactersForKeysym('m'), "m");
    EXPECT_EQ(keycodes::charactersForKeysym(0xffc2), "F5");
    EXPECT_EQ(keycodes::charactersForKeysym(0xff0d), "\r");
    EXPECT_EQ(keycodes::charactersForKeysym(0x1008ff13), "");
    EXPECT_EQ(keycodes::charactersForKeysym(0x010030a2), QString::fromUtf8("ア"));
}

TEST(KeyCodeMappingTest, ModifierFlagsMapToXModifiers)
{
    EXPECT_EQ(x11ModifiersForMask(0x1900, XCB_MOD_MASK_4), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4);
    EXPECT_EQ(x11ModifiersForMask(0x0200 | 0x0100, XCB_MOD_MASK_3), XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_3);
    EXPECT_EQ(x11ModifiersForMask(0, XCB_MOD_MASK_4), 0);
    // Bits outside the four are not modifiers here.
    EXPECT_EQ(x11ModifiersForMask(0x0001 | 0x0400, XCB_MOD_MASK_4), 0);
}

TEST_F(GlobalHotKeyTest, EachShortcutRunsItsOwnActionAndOthersNothing)
{
    EXPECT_TRUE(controller->isRegistered(HotKeyID::OpenTodayMeets));
    EXPECT_TRUE(controller->isRegistered(HotKeyID::JoinMeet));

    press("ctrl+alt+super+m");
    EXPECT_TRUE(test::waitUntil([&] { return opened == 1; }, 2s));
    EXPECT_EQ(joined, 0);
    press("ctrl+alt+super+j");
    EXPECT_TRUE(test::waitUntil([&] { return joined == 1; }, 2s));
    EXPECT_EQ(opened, 1);

    press("ctrl+alt+super+l");
    press("ctrl+alt+super+a");
    press("ctrl+alt+m");
    press("ctrl+alt+shift+super+m");
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(joined, 1);
}

TEST_F(GlobalHotKeyTest, WorksWithNumLockAndCapsLockOn)
{
    for (const char *lock : {"Num_Lock", "Caps_Lock"}) {
        xdotool({"key", lock});
        press("ctrl+alt+super+m");
        press("ctrl+alt+super+j");
        xdotool({"key", lock});
    }
    EXPECT_TRUE(test::waitUntil([&] { return opened == 2 && joined == 2; }, 2s)) << opened << " " << joined;
}

TEST_F(GlobalHotKeyTest, AutoRepeatRunsTheActionOnce)
{
    PressCounter counter;
    qApp->installNativeEventFilter(&counter);
    xdotool({"keydown", "ctrl+alt+super+m"});
    test::spin(1200ms);
    xdotool({"keyup", "ctrl+alt+super+m"});
    test::spin(150ms);
    qApp->removeNativeEventFilter(&counter);
    // The server repeated the held key (the counter runs before the controller sees the presses).
    EXPECT_GT(counter.presses, 5);
    EXPECT_EQ(opened, 1);
    press("ctrl+alt+super+m");
    EXPECT_TRUE(test::waitUntil([&] { return opened == 2; }, 2s));
}

TEST_F(GlobalHotKeyTest, UpdateMovesTheGrabs)
{
    controller->update({0x0E, 0x1000 | 0x0100, "E"}, KestrivaneShortcut::joinMeetDefault());
    press("ctrl+alt+super+m");
    press("ctrl+super+e");
    press("ctrl+alt+super+j");
    EXPECT_TRUE(test::waitUntil([&] { return opened == 1 && joined == 1; }, 2s)) << opened << " " << joined;

    // The same shortcuts again: released and grabbed anew, still working.
    controller->update({0x0E, 0x1000 | 0x0100, "E"}, KestrivaneShortcut::joinMeetDefault());
    press("ctrl+super+e");
    EXPECT_TRUE(test::waitUntil([&] { return opened == 2; }, 2s));

    // A stored key code without a key here stays unregistered.
    controller->update({0x37, 0x1000, "?"}, KestrivaneShortcut::joinMeetDefault());
    EXPECT_FALSE(controller->isRegistered(HotKeyID::OpenTodayMeets));
    EXPECT_TRUE(controller->isRegistered(HotKeyID::JoinMeet));
}

TEST_F(GlobalHotKeyTest, ACombinationAnotherClientHoldsStaysUnregistered)
{
    controller.reset();
    // Another X client takes Control-Alt-Super-M first.
    xcb_connection_t *other = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(other);
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, 'm');
    const xcb_keycode_t m = codes[0];
    free(codes);
    xcb_key_symbols_free(symbols);
    const quint16 modifiers = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
    ASSERT_EQ(xcb_request_check(other, xcb_grab_key_checked(other, 1, root, modifiers, m, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)), nullptr);

    controller = std::make_unique<GlobalHotKeyController>(
        KestrivaneShortcut::openTodayMeetsDefault(), KestrivaneShortcut::joinMeetDefault(), [this] { ++opened; }, [this] { ++joined; });
    EXPECT_FALSE(controller->isRegistered(HotKeyID::OpenTodayMeets));
    EXPECT_TRUE(controller->isRegistered(HotKeyID::JoinMeet));

    // Held by another client: the other's; this application's own grab and a free combination
    // are not, and asking takes nothing and leaves nothing behind.
    EXPECT_TRUE(GlobalHotKeyController::heldByAnotherClient(KestrivaneShortcut::openTodayMeetsDefault()));
    EXPECT_FALSE(GlobalHotKeyController::heldByAnotherClient(KestrivaneShortcut::joinMeetDefault()));
    EXPECT_FALSE(GlobalHotKeyController::heldByAnotherClient(KestrivaneShortcut{0x28, 0x1900, "K"}));
    xcb_key_symbols_t *keys = xcb_key_symbols_alloc(other);
    xcb_keycode_t *k = xcb_key_symbols_get_keycode(keys, 'k');
    xcb_generic_error_t *error =
        xcb_request_check(other, xcb_grab_key_checked(other, 1, root, modifiers, k[0], XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    EXPECT_EQ(error, nullptr);
    free(error);
    free(k);
    xcb_key_symbols_free(keys);

    press("ctrl+alt+super+m");
    press("ctrl+alt+super+j");
    EXPECT_TRUE(test::waitUntil([&] { return joined == 1; }, 2s));
    EXPECT_EQ(opened, 0);
    xcb_disconnect(other);
}

TEST_F(GlobalHotKeyTest, ReleasingTheControllerReleasesTheKeys)
{
    controller.reset();
    press("ctrl+alt+super+m");
    EXPECT_EQ(opened, 0);
    // Now free, another client can take the combination.
    xcb_connection_t *other = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(other);
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, 'j');
    const xcb_keycode_t j = codes[0];
    free(codes);
    xcb_key_symbols_free(symbols);
    EXPECT_EQ(xcb_request_check(other, xcb_grab_key_checked(other, 1, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4, j,
                                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)),
              nullptr);
    xcb_disconnect(other);
}

TEST_F(GlobalHotKeyTest, TypingInTheApplicationsOwnWindowIsNotEaten)
{
    QLineEdit edit;
    edit.setWindowTitle("typing");
    edit.show();
    ASSERT_TRUE(test::waitUntil([&] { return edit.isVisible(); }, 2s));
    xdotool({"windowfocus", "--sync", QString::number(edit.winId())});
    edit.activateWindow();
    edit.setFocus();
    ASSERT_TRUE(test::waitUntil([&] { return QApplication::focusWidget() == &edit; }, 2s));
    xdotool({"type", "--delay", "20", "mjM"});
    EXPECT_TRUE(test::waitUntil([&] { return edit.text() == "mjM"; }, 2s)) << edit.text().toStdString();
    press("ctrl+alt+super+m");
    EXPECT_TRUE(test::waitUntil([&] { return opened == 1; }, 2s));
    // The release went to the focused window of the application; the next press still counts.
    press("ctrl+alt+super+m");
    EXPECT_TRUE(test::waitUntil([&] { return opened == 2; }, 2s)) << opened;
    EXPECT_EQ(edit.text(), "mjM");
}
