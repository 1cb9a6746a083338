#pragma once

#include "Support/UserDefaults.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <optional>

class QKeyEvent;

namespace kestrivane {

// One global shortcut: a stored key code (see Support/KeyCodes.h), a modifier mask and the key as
// the user sees it.
struct KestrivaneShortcut {
    enum Modifier : quint32 {
        Command = 0x0100, // the Super key here
        Shift = 0x0200,
        Option = 0x0800,  // Alt
        Control = 0x1000,
    };

    quint32 keyCode = 0;
    quint32 modifiers = 0;
    QString keyEquivalent; // upper case, for example "M"

    friend bool operator==(const KestrivaneShortcut &, const KestrivaneShortcut &) = default;

    // Control-Option-Command-M and Control-Option-Command-J.
    static const KestrivaneShortcut &openTodayMeetsDefault();
    static const KestrivaneShortcut &joinMeetDefault();

    // Modifier glyphs in the order ⌃ ⌥ ⇧ ⌘, then the key text.
    QString displayText() const;
    // The shortcut as this desktop names it, the same in every language: the modifier names in
    // the order Ctrl, Alt, Shift, Super, then the key, joined by "+" ("Ctrl+Alt+Super+M"); keys
    // stored as glyphs (⇞, ⌦, ...) take their names here ("Page Up", "Delete").
    QString desktopText() const;

    // {"keyCode": n, "modifiers": n, "keyEquivalent": "..."}.
    QByteArray toJson() const;
    // None when the document is not an object with the three members of the right types
    // (unsigned 32-bit integers and a string); other members are ignored.
    static std::optional<KestrivaneShortcut> fromJson(const QByteArray &json);

    // A key press as the settings window records it: the stored key code of the key, the
    // modifiers held, and the text the key types without modifiers.
    struct KeyPress {
        quint32 keyCode = 0;
        Qt::KeyboardModifiers modifiers;
        QString characters;
    };
    // None when no Control, Alt or Super is held, or the key types nothing usable (white space or
    // a control character).
    static std::optional<KestrivaneShortcut> fromKeyPress(const KeyPress &press);
    // The same for a key event of an X11 window; none for a key without a stored key code.
    static std::optional<KestrivaneShortcut> fromKeyEvent(const QKeyEvent &event);
};

// The two global shortcuts, each kept as JSON (a data value) in the user-defaults domain of the
// build channel. Every assignment is saved and announced, also when the value does not change.
class ShortcutSettings : public QObject {
    Q_OBJECT

public:
    static inline const QString openTodayMeetsKey = QStringLiteral("shortcut.openTodayMeets");
    static inline const QString joinMeetKey = QStringLiteral("shortcut.joinMeet");

    // Loads both shortcuts; a missing or unreadable stored value gives the default and is left
    // in place. `userDefaults` must outlive the settings.
    explicit ShortcutSettings(UserDefaults &userDefaults, QObject *parent = nullptr);

    KestrivaneShortcut openTodayMeets() const { return openTodayMeets_; }
    KestrivaneShortcut joinMeet() const { return joinMeet_; }
    void setOpenTodayMeets(const KestrivaneShortcut &shortcut);
    void setJoinMeet(const KestrivaneShortcut &shortcut);

    // Assigns both defaults, one after the other.
    void resetToDefaults();

signals:
    void changed();

private:
    static KestrivaneShortcut load(const UserDefaults &userDefaults, const QString &key, const KestrivaneShortcut &fallback);
    void save(const KestrivaneShortcut &shortcut, const QString &key);

    UserDefaults &userDefaults_;
    KestrivaneShortcut openTodayMeets_;
    KestrivaneShortcut joinMeet_;
};

} // namespace kestrivane
