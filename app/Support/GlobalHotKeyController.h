#pragma once

#include "Support/ShortcutSettings.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <functional>
#include <optional>

namespace kestrivane {

// The X modifier bits of a stored modifier mask: Control, Alt (Mod1), Shift and Super (the
// modifier that holds Super_L in the server's modifier map, usually Mod4).
quint16 x11ModifiersForMask(quint32 mask, quint16 superModifier);

// The level-one keysym of an X key code in the current keymap; none without an X11 connection or
// for a key code without symbols.
std::optional<quint32> x11BaseKeysym(quint32 xKeyCode);

// The keysym of an X key code's first level that has a stored key code (see Support/KeyCodes.h):
// level one for most keys, the digit of a keypad key whose level one is a navigation symbol
// (KP_1 of KP_End). None when no level has one.
std::optional<quint32> x11StoredKeysym(quint32 xKeyCode);

// The two system-wide shortcuts as passive key grabs on the X root window. A press of a grabbed
// combination (also with Caps Lock or Num Lock on) runs its action on the next turn of the event
// loop; auto-repeat does not run it again until the key is released. Only root-window presses of
// the grabbed combinations are consumed. A combination the server refuses (for example one another
// client holds) stays unregistered without a report. Without an X11 connection nothing is grabbed.
// While a shortcut recorder records (ShortcutRecording), a press goes to it instead of the action.
// A new keymap (another keyboard layout) re-grabs both combinations on the keys that now type them.
class GlobalHotKeyController : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    enum class HotKeyID : quint32 { OpenTodayMeets = 1, JoinMeet = 2 };

    GlobalHotKeyController(const KestrivaneShortcut &openTodayMeetsShortcut, const KestrivaneShortcut &joinMeetShortcut,
                           std::function<void()> openTodayMeets, std::function<void()> joinMeet, QObject *parent = nullptr);
    ~GlobalHotKeyController() override;

    // Releases both grabs, then grabs both new combinations.
    void update(const KestrivaneShortcut &openTodayMeetsShortcut, const KestrivaneShortcut &joinMeetShortcut);

    bool isRegistered(HotKeyID id) const;

    // Whether another X client holds the combination that registering `shortcut` would grab, so
    // it could not be registered. The application's own hot keys do not count. False without an
    // X11 connection.
    static bool heldByAnotherClient(const KestrivaneShortcut &shortcut);

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    struct Grab {
        quint8 keyCode = 0;
        quint16 modifiers = 0;
        bool held = false;
        quint32 releasedAt = 0;
    };

    void unregisterHotKeys();
    std::optional<Grab> registerHotKey(const KestrivaneShortcut &shortcut);
    void ungrab(const Grab &grab);
    void handle(HotKeyID id);
    void followKeymapChange();
    // Whether the grabs sit on the keys that type their shortcuts in the current keymap.
    bool grabsFollowKeymap();
    std::optional<Grab> &grab(HotKeyID id) { return id == HotKeyID::OpenTodayMeets ? openTodayHotKey_ : joinMeetHotKey_; }

    struct X11;
    X11 *x11_ = nullptr;
    std::optional<Grab> openTodayHotKey_;
    std::optional<Grab> joinMeetHotKey_;
    KestrivaneShortcut openTodayShortcut_;
    KestrivaneShortcut joinMeetShortcut_;
    std::function<void()> openTodayMeets_;
    std::function<void()> joinMeet_;
    bool regrabPending_ = false;
};

} // namespace kestrivane
