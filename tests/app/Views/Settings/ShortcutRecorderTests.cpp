#include "TestSupport/SettingsTestSupport.h"

#include "Support/GlobalHotKeyController.h"
#include "Support/ShortcutRecording.h"
#include "TestSupport/DesktopSession.h"
#include "TestSupport/TestEnvironment.h"
#include "Views/Settings/ShortcutRecorderButton.h"
#include "Views/Settings/ShortcutsPane.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

namespace {

bool run(const QString &program, const QStringList &arguments)
{
    return runProgram(program, arguments).exitCode == 0;
}

// The shortcuts pane in a window of its own with a text field, the shortcut settings and the real
// global hot keys (counting their actions) following them, as the application wires them.
class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KV_REQUIRE(displayProblem());
        LanguageGuard::set(QStringLiteral("en"));
        settings = std::make_unique<ShortcutSettings>(defaults);
        hotKeys = std::make_unique<GlobalHotKeyController>(settings->openTodayMeets(), settings->joinMeet(),
                                                           [this] { ++opened; }, [this] { ++joined; });
        QObject::connect(settings.get(), &ShortcutSettings::changed, [this] {
            ++changes;
            hotKeys->update(settings->openTodayMeets(), settings->joinMeet());
        });
        window.setWindowRole("recorder-test");
        auto *layout = new QVBoxLayout(&window);
        field = new QLineEdit(&window);
        layout->addWidget(field);
        pane = new ShortcutsPane(*settings, [this] { ++beeps; }, &window);
        layout->addWidget(pane);
        window.setGeometry(50, 50, 600, 300);
        window.show();
        ASSERT_TRUE(waitUntil([this] { return window.isVisible() && window.windowHandle()->isExposed(); }));
        ASSERT_TRUE(run("xdotool", {"windowfocus", "--sync", QString::number(window.winId())}));
        field->setFocus();
        spin(100ms);
    }

    void TearDown() override
    {
        hotKeys.reset();
        LanguageGuard::set(std::nullopt);
        spin(20ms);
    }

    void click(QWidget *widget)
    {
        const QPoint centre = widget->mapTo(&window, widget->rect().center());
        ASSERT_TRUE(run("xdotool", {"mousemove", "--window", QString::number(window.winId()), QString::number(centre.x()),
                                    QString::number(centre.y()), "click", "1"}));
        ASSERT_TRUE(waitUntil([&] { return pane->openTodayRecorder()->isRecording() || pane->joinRecorder()->isRecording(); }, 5s));
    }

    void press(const QStringList &keys)
    {
        ASSERT_TRUE(pressKeys(keys));
        spin(150ms);
    }

    InMemoryUserDefaults defaults;
    std::unique_ptr<ShortcutSettings> settings;
    std::unique_ptr<GlobalHotKeyController> hotKeys;
    QWidget window;
    QLineEdit *field = nullptr;
    ShortcutsPane *pane = nullptr;
    int opened = 0;
    int joined = 0;
    int beeps = 0;
    int changes = 0;
};

} // namespace

TEST_F(RecorderTest, RecordingCancellingRefusingReRecordingTheCurrentAndResetting)
{
    ShortcutRecorderButton *open = pane->openTodayRecorder();
    // Named as this desktop names them, in both languages.
    EXPECT_EQ(open->labelText(), "Ctrl+Alt+Super+M");
    EXPECT_EQ(pane->joinRecorder()->labelText(), "Ctrl+Alt+Super+J");
    EXPECT_EQ(pane->joinRecorder()->accessibleName(), "Ctrl+Alt+Super+J");

    // The current combination is grabbed: while recording it is recorded again instead of opening.
    EXPECT_EQ(open->accessibleDescription(), AppL10n::text("settings_shortcut_click_to_record"));
    click(open);
    EXPECT_EQ(open->labelText(), AppL10n::text("settings_shortcut_recording"));
    EXPECT_TRUE(open->accessibleDescription().isEmpty());
    press({"ctrl+alt+super+m"});
    EXPECT_FALSE(open->isRecording());
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(settings->openTodayMeets(), KestrivaneShortcut::openTodayMeetsDefault());

    // A new combination: saved, shown, and the hot keys follow it.
    click(open);
    press({"ctrl+alt+super+k"});
    EXPECT_FALSE(open->isRecording());
    const KestrivaneShortcut recorded{0x28, 0x1900, "K"};
    EXPECT_EQ(settings->openTodayMeets(), recorded);
    EXPECT_EQ(KestrivaneShortcut::fromJson(*defaults.data(ShortcutSettings::openTodayMeetsKey)), recorded);
    EXPECT_EQ(open->labelText(), "Ctrl+Alt+Super+K");
    press({"ctrl+alt+super+k"});
    EXPECT_TRUE(waitUntil([&] { return opened == 1; }, 5s));
    press({"ctrl+alt+super+m"});
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(field->text().isEmpty());

    // Escape cancels; letters alone or with Shift, Return and keypad Enter beep and recording goes
    // on; nothing is typed.
    click(open);
    press({"ctrl+Escape"});
    EXPECT_FALSE(open->isRecording());
    EXPECT_EQ(settings->openTodayMeets(), recorded);
    click(open);
    press({"a"});
    press({"shift+a"});
    press({"Control_L"});
    press({"Return"});
    press({"KP_Enter"});
    EXPECT_EQ(beeps, 4);
    EXPECT_TRUE(open->isRecording());
    EXPECT_TRUE(field->text().isEmpty());
    press({"Escape"});
    EXPECT_FALSE(open->isRecording());
    EXPECT_EQ(settings->openTodayMeets(), recorded);

    // Leaving the screen ends a recording.
    click(pane->joinRecorder());
    pane->hide();
    EXPECT_FALSE(pane->joinRecorder()->isRecording());
    EXPECT_FALSE(ShortcutRecording::shared().isRecording());
    pane->show();
    spin(50ms);

    // Reset: both defaults, saved, and the open hot key is M again.
    QTest::mouseClick(pane->findChild<QAbstractButton *>("resetShortcuts"), Qt::LeftButton);
    spin(50ms);
    EXPECT_EQ(settings->openTodayMeets(), KestrivaneShortcut::openTodayMeetsDefault());
    EXPECT_EQ(settings->joinMeet(), KestrivaneShortcut::joinMeetDefault());
    EXPECT_EQ(open->labelText(), "Ctrl+Alt+Super+M");
    press({"ctrl+alt+super+m"});
    EXPECT_TRUE(waitUntil([&] { return opened == 2; }, 5s));
}

TEST_F(RecorderTest, ACombinationAnotherProgramHoldsIsRefusedAndKeypadKeysAreRecorded)
{
    // Another X client holds Ctrl+Alt+Super+K.
    xcb_connection_t *other = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(other);
    xcb_keycode_t *k = xcb_key_symbols_get_keycode(symbols, 'k');
    const quint16 modifiers = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
    ASSERT_EQ(xcb_request_check(other, xcb_grab_key_checked(other, 1, root, modifiers, k[0], XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)),
              nullptr);
    free(k);
    xcb_key_symbols_free(symbols);

    // It beeps like any refused combination and recording goes on; nothing reaches the field.
    ShortcutRecorderButton *open = pane->openTodayRecorder();
    click(open);
    press({"ctrl+alt+super+k"});
    EXPECT_EQ(beeps, 1);
    EXPECT_TRUE(open->isRecording());
    EXPECT_EQ(changes, 0);

    // A keypad key with modifiers, Num Lock off, is recorded by its digit; the hot key follows it.
    press({"ctrl+alt+KP_1"});
    EXPECT_FALSE(open->isRecording());
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(settings->openTodayMeets(), (KestrivaneShortcut{0x53, 0x1800, "1"}));
    EXPECT_EQ(open->labelText(), "Ctrl+Alt+Num+1");
    EXPECT_TRUE(hotKeys->isRegistered(GlobalHotKeyController::HotKeyID::OpenTodayMeets));
    press({"ctrl+alt+KP_1"});
    EXPECT_TRUE(waitUntil([&] { return opened == 1; }, 5s));
    EXPECT_TRUE(field->text().isEmpty());
    xcb_disconnect(other);
}

TEST_F(RecorderTest, TheHotKeysFollowAChangeOfKeyboardLayout)
{
    ASSERT_TRUE(run("setxkbmap", {"-layout", "us", "-variant", "dvorak"}));
    struct Restore {
        ~Restore() { runProgram("setxkbmap", {"-layout", "us"}); }
    } restore;
    spin(300ms);
    // xdotool presses the key that types "j" now; the key that typed it before types "h".
    press({"ctrl+alt+super+j"});
    EXPECT_TRUE(waitUntil([&] { return joined == 1; }, 5s));
    press({"ctrl+alt+super+h"});
    EXPECT_EQ(joined, 1);
}
