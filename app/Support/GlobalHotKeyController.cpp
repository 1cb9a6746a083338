#include "Support/GlobalHotKeyController.h"

#include "Support/KeyCodes.h"
#include "Support/ShortcutRecording.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace kestrivane {

namespace {

constexpr quint32 superLeft = 0xffeb;
constexpr quint32 superRight = 0xffec;
constexpr quint32 numLock = 0xff7f;
constexpr quint16 defaultSuper = XCB_MOD_MASK_4;
constexpr quint16 defaultNumLock = XCB_MOD_MASK_2;
// The core modifier bits of an event's state (higher bits carry buttons and the keyboard group).
constexpr quint16 coreModifiers = 0xff;
// The XKB events that announce a new keymap (their xkbType, the byte after the event code).
constexpr quint8 xkbNewKeyboardNotify = 0;
constexpr quint8 xkbMapNotify = 1;
constexpr quint16 xkbNewKeyboardKeycodes = 1;

xcb_connection_t *x11Connection()
{
    auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!gui)
        return nullptr;
    auto *x11 = gui->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// The root window of the display's default screen (the number after the dot in DISPLAY).
xcb_window_t defaultRoot(xcb_connection_t *connection)
{
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.indexOf('.', colon < 0 ? 0 : colon);
    const int screenNumber = dot < 0 ? 0 : display.mid(dot + 1).toInt();
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && it.rem > 1; ++i)
        xcb_screen_next(&it);
    return it.data ? it.data->root : XCB_NONE;
}

struct KeySymbolsDeleter {
    void operator()(xcb_key_symbols_t *symbols) const { xcb_key_symbols_free(symbols); }
};
using KeySymbols = std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter>;

} // namespace

quint16 x11ModifiersForMask(quint32 mask, quint16 superModifier)
{
    quint16 modifiers = 0;
    if (mask & KestrivaneShortcut::Control)
        modifiers |= XCB_MOD_MASK_CONTROL;
    if (mask & KestrivaneShortcut::Option)
        modifiers |= XCB_MOD_MASK_1;
    if (mask & KestrivaneShortcut::Shift)
        modifiers |= XCB_MOD_MASK_SHIFT;
    if (mask & KestrivaneShortcut::Command)
        modifiers |= superModifier;
    return modifiers;
}

namespace {

// The keysym of the first of an X key code's levels (up to `levels`) that `accept` takes.
template<typename Accept>
std::optional<quint32> firstKeysym(quint32 xKeyCode, int levels, Accept accept)
{
    xcb_connection_t *connection = x11Connection();
    if (!connection || xKeyCode == 0 || xKeyCode > 255)
        return std::nullopt;
    const KeySymbols symbols(xcb_key_symbols_alloc(connection));
    if (!symbols)
        return std::nullopt;
    for (int level = 0; level < levels; ++level) {
        const xcb_keysym_t keysym = xcb_key_symbols_get_keysym(symbols.get(), static_cast<xcb_keycode_t>(xKeyCode), level);
        if (keysym != XCB_NO_SYMBOL && accept(keysym))
            return keysym;
    }
    return std::nullopt;
}

} // namespace

std::optional<quint32> x11BaseKeysym(quint32 xKeyCode)
{
    return firstKeysym(xKeyCode, 1, [](xcb_keysym_t) { return true; });
}

std::optional<quint32> x11StoredKeysym(quint32 xKeyCode)
{
    return firstKeysym(xKeyCode, 4, [](xcb_keysym_t keysym) { return keycodes::keyCodeForKeysym(keysym).has_value(); });
}

struct GlobalHotKeyController::X11 {
    xcb_connection_t *connection = nullptr;
    xcb_window_t root = XCB_NONE;
    KeySymbols symbols;

    // The default screen of `connection`; null without its root window or key symbols.
    static std::unique_ptr<X11> attach(xcb_connection_t *connection)
    {
        auto x11 = std::make_unique<X11>();
        x11->connection = connection;
        x11->root = defaultRoot(connection);
        x11->symbols.reset(xcb_key_symbols_alloc(connection));
        if (x11->root == XCB_NONE || !x11->symbols)
            return nullptr;
        return x11;
    }
    // The event code of the XKB extension's events; 0 without the extension.
    quint8 xkbEventBase = 0;

    void readXkbEventBase()
    {
        static const char name[] = "XKEYBOARD";
        xcb_query_extension_reply_t *reply =
            xcb_query_extension_reply(connection, xcb_query_extension(connection, std::strlen(name), name), nullptr);
        if (reply && reply->present)
            xkbEventBase = reply->first_event;
        std::free(reply);
    }

    quint16 superModifier = defaultSuper;
    quint16 numLockModifier = defaultNumLock;

    // Which modifier bits hold Super and Num Lock in the server's current modifier map.
    void readModifierMap()
    {
        superModifier = defaultSuper;
        numLockModifier = defaultNumLock;
        xcb_get_modifier_mapping_reply_t *reply =
            xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
        if (!reply)
            return;
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(reply);
        const int perModifier = reply->keycodes_per_modifier;
        bool foundSuper = false;
        bool foundNumLock = false;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t code = codes[modifier * perModifier + i];
                if (code == 0)
                    continue;
                for (int column = 0; column < 4; ++column) {
                    const xcb_keysym_t sym = xcb_key_symbols_get_keysym(symbols.get(), code, column);
                    if (!foundSuper && (sym == superLeft || sym == superRight) && modifier >= 3) {
                        superModifier = static_cast<quint16>(1u << modifier);
                        foundSuper = true;
                    }
                    if (!foundNumLock && sym == numLock) {
                        numLockModifier = static_cast<quint16>(1u << modifier);
                        foundNumLock = true;
                    }
                }
            }
        }
        std::free(reply);
    }

    // The server's current key symbols and modifier map.
    void reloadKeymap()
    {
        xcb_key_symbols_free(symbols.release());
        symbols.reset(xcb_key_symbols_alloc(connection));
        readModifierMap();
    }

    std::optional<xcb_keycode_t> keyCodeFor(quint32 keysym) const
    {
        xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols.get(), keysym);
        if (!codes)
            return std::nullopt;
        const xcb_keycode_t first = codes[0];
        std::free(codes);
        if (first == XCB_NO_SYMBOL)
            return std::nullopt;
        return first;
    }

    // The key code and the modifiers `shortcut` is grabbed as; none for a key no key code types.
    std::optional<Grab> grabFor(const KestrivaneShortcut &shortcut) const
    {
        const auto keysym = keycodes::keysymForKeyCode(shortcut.keyCode);
        const auto code = keysym ? keyCodeFor(*keysym) : std::nullopt;
        if (!code)
            return std::nullopt;
        Grab grab;
        grab.keyCode = *code;
        grab.modifiers = x11ModifiersForMask(shortcut.modifiers, superModifier);
        return grab;
    }

    // The lock states a grab is repeated for, so the shortcut works with Caps Lock or Num Lock on.
    QList<quint16> lockVariants() const
    {
        return {0, XCB_MOD_MASK_LOCK, numLockModifier, static_cast<quint16>(XCB_MOD_MASK_LOCK | numLockModifier)};
    }

    bool grab(xcb_keycode_t code, quint16 modifiers) const
    {
        const xcb_void_cookie_t cookie = xcb_grab_key_checked(connection, 1, root, modifiers, code,
                                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t *error = xcb_request_check(connection, cookie);
        if (!error)
            return true;
        std::free(error);
        return false;
    }
};

GlobalHotKeyController::GlobalHotKeyController(const KestrivaneShortcut &openTodayMeetsShortcut,
                                               const KestrivaneShortcut &joinMeetShortcut,
                                               std::function<void()> openTodayMeets, std::function<void()> joinMeet,
                                               QObject *parent)
    : QObject(parent), openTodayMeets_(std::move(openTodayMeets)), joinMeet_(std::move(joinMeet))
{
    if (xcb_connection_t *connection = x11Connection()) {
        if (std::unique_ptr<X11> x11 = X11::attach(connection)) {
            x11_ = x11.release();
            x11_->readXkbEventBase();
            QCoreApplication::instance()->installNativeEventFilter(this);
        }
    }
    update(openTodayMeetsShortcut, joinMeetShortcut);
}

GlobalHotKeyController::~GlobalHotKeyController()
{
    unregisterHotKeys();
    if (x11_) {
        if (QCoreApplication *app = QCoreApplication::instance())
            app->removeNativeEventFilter(this);
        xcb_flush(x11_->connection);
        delete x11_;
    }
}

void GlobalHotKeyController::update(const KestrivaneShortcut &openTodayMeetsShortcut, const KestrivaneShortcut &joinMeetShortcut)
{
    unregisterHotKeys();
    openTodayShortcut_ = openTodayMeetsShortcut;
    joinMeetShortcut_ = joinMeetShortcut;
    if (x11_) {
        // The keymap or the modifier map may have changed since the last registration.
        x11_->reloadKeymap();
    }
    openTodayHotKey_ = registerHotKey(openTodayMeetsShortcut);
    joinMeetHotKey_ = registerHotKey(joinMeetShortcut);
}

bool GlobalHotKeyController::isRegistered(HotKeyID id) const
{
    return (id == HotKeyID::OpenTodayMeets ? openTodayHotKey_ : joinMeetHotKey_).has_value();
}

bool GlobalHotKeyController::heldByAnotherClient(const KestrivaneShortcut &shortcut)
{
    xcb_connection_t *connection = x11Connection();
    const std::unique_ptr<X11> x11 = connection ? X11::attach(connection) : nullptr;
    if (!x11)
        return false;
    x11->readModifierMap();
    const std::optional<Grab> wanted = x11->grabFor(shortcut);
    if (!wanted)
        return false;
    const xcb_keycode_t code = wanted->keyCode;
    const quint16 modifiers = wanted->modifiers;

    // A client of its own is refused a combination that any client holds, this application
    // included; it lets go of a grab it got before it disconnects, so nothing of it outlasts
    // the question.
    X11 probe;
    probe.connection = xcb_connect(nullptr, nullptr);
    probe.root = x11->root;
    bool someoneHolds = false;
    if (!xcb_connection_has_error(probe.connection)) {
        someoneHolds = !probe.grab(code, modifiers);
        if (!someoneHolds) {
            const xcb_void_cookie_t ungrab = xcb_ungrab_key_checked(probe.connection, code, probe.root, modifiers);
            std::free(xcb_request_check(probe.connection, ungrab));
        }
    }
    xcb_disconnect(probe.connection);
    if (!someoneHolds)
        return false;
    // The application's own connection is refused only what another client holds; a grab of its
    // own is taken again as it was.
    return !x11->grab(code, modifiers);
}

void GlobalHotKeyController::unregisterHotKeys()
{
    if (openTodayHotKey_) {
        ungrab(*openTodayHotKey_);
        openTodayHotKey_.reset();
    }
    if (joinMeetHotKey_) {
        ungrab(*joinMeetHotKey_);
        joinMeetHotKey_.reset();
    }
}

std::optional<GlobalHotKeyController::Grab> GlobalHotKeyController::registerHotKey(const KestrivaneShortcut &shortcut)
{
    if (!x11_)
        return std::nullopt;
    const std::optional<Grab> wanted = x11_->grabFor(shortcut);
    if (!wanted)
        return std::nullopt;
    Grab grab = *wanted;
    // The plain combination must be ours; the lock variants are taken where the server lets us.
    const auto variants = x11_->lockVariants();
    if (!x11_->grab(grab.keyCode, grab.modifiers))
        return std::nullopt;
    for (qsizetype i = 1; i < variants.size(); ++i)
        x11_->grab(grab.keyCode, grab.modifiers | variants[i]);
    return grab;
}

void GlobalHotKeyController::ungrab(const Grab &grab)
{
    if (!x11_)
        return;
    for (const quint16 lock : x11_->lockVariants())
        xcb_ungrab_key(x11_->connection, grab.keyCode, x11_->root, grab.modifiers | lock);
    xcb_flush(x11_->connection);
}

bool GlobalHotKeyController::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!x11_ || eventType != "xcb_generic_event_t")
        return false;
    auto *event = static_cast<xcb_generic_event_t *>(message);
    const quint8 type = event->response_type & 0x7f;
    // A new keymap (another layout, xmodmap): the grabbed keys are those that now type the keys.
    // (A switch between keyboard devices, xdotool's for one, also announces a new keyboard: only
    // one with new key codes counts.)
    const bool xkb = x11_->xkbEventBase != 0 && type == x11_->xkbEventBase;
    const auto *bytes = static_cast<const quint8 *>(message);
    const quint16 changed = static_cast<quint16>(bytes[16] | (bytes[17] << 8));
    const bool newKeymap = type == XCB_MAPPING_NOTIFY || (xkb && event->pad0 == xkbMapNotify) ||
                           (xkb && event->pad0 == xkbNewKeyboardNotify && (changed & xkbNewKeyboardKeycodes));
    if (newKeymap) {
        followKeymapChange();
        return false;
    }
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    auto *key = reinterpret_cast<xcb_key_press_event_t *>(event);
    // The grab reports events to the application's own focused window when there is one: the
    // press that starts it comes to the root, its release may go to that window.
    const bool atRoot = key->event == x11_->root;
    if (type == XCB_KEY_PRESS && !atRoot)
        return false;
    const quint16 locks = XCB_MOD_MASK_LOCK | x11_->numLockModifier;
    const quint16 modifiers = key->state & coreModifiers & ~locks;

    for (const HotKeyID id : {HotKeyID::OpenTodayMeets, HotKeyID::JoinMeet}) {
        std::optional<Grab> &hotKey = grab(id);
        if (!hotKey || hotKey->keyCode != key->detail)
            continue;
        if (type == XCB_KEY_RELEASE) {
            if (!hotKey->held)
                continue;
            hotKey->held = false;
            hotKey->releasedAt = key->time;
            return atRoot;
        }
        if (hotKey->modifiers != modifiers)
            continue;
        // Auto-repeat: either presses without releases, or a release and a press with one time.
        const bool repeat = hotKey->held || (hotKey->releasedAt != 0 && hotKey->releasedAt == key->time);
        hotKey->held = true;
        if (!repeat)
            QMetaObject::invokeMethod(this, [this, id] { handle(id); }, Qt::QueuedConnection);
        return true;
    }
    return false;
}

void GlobalHotKeyController::followKeymapChange()
{
    // A change of layout arrives as several events: one re-grab on the next turn.
    if (regrabPending_)
        return;
    regrabPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            regrabPending_ = false;
            if (grabsFollowKeymap())
                return;
            update(openTodayShortcut_, joinMeetShortcut_);
        },
        Qt::QueuedConnection);
}

bool GlobalHotKeyController::grabsFollowKeymap()
{
    if (!x11_)
        return true;
    x11_->reloadKeymap();
    const auto held = [](const std::optional<Grab> &grab) -> std::optional<std::pair<quint8, quint16>> {
        if (!grab)
            return std::nullopt;
        return std::pair<quint8, quint16>(grab->keyCode, grab->modifiers);
    };
    const auto wanted = [this, &held](const KestrivaneShortcut &shortcut) { return held(x11_->grabFor(shortcut)); };
    // A grab the server refused earlier is tried again only when the keys moved.
    return wanted(openTodayShortcut_) == held(openTodayHotKey_) && wanted(joinMeetShortcut_) == held(joinMeetHotKey_);
}

void GlobalHotKeyController::handle(HotKeyID id)
{
    // A recorder that records takes the combination instead.
    if (ShortcutRecording::shared().divert(id == HotKeyID::OpenTodayMeets ? openTodayShortcut_ : joinMeetShortcut_))
        return;
    switch (id) {
    case HotKeyID::OpenTodayMeets:
        if (openTodayMeets_)
            openTodayMeets_();
        break;
    case HotKeyID::JoinMeet:
        if (joinMeet_)
            joinMeet_();
        break;
    }
}

} // namespace kestrivane
