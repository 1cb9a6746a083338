#include "Support/ShortcutSettings.h"

#include "Support/GlobalHotKeyController.h"
#include "Support/KeyCodes.h"

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>

#include <cmath>
#include <limits>

namespace kestrivane {

namespace {

// The X keysyms of the keypad's keys (KP_Space to KP_Equal).
constexpr quint32 keypadFirst = 0xff80;
constexpr quint32 keypadLast = 0xffbd;

constexpr quint32 controlOptionCommand = KestrivaneShortcut::Control | KestrivaneShortcut::Option | KestrivaneShortcut::Command;

std::optional<quint32> unsigned32(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (number < 0 || number > std::numeric_limits<quint32>::max() || std::trunc(number) != number)
        return std::nullopt;
    return static_cast<quint32>(number);
}

} // namespace

const KestrivaneShortcut &KestrivaneShortcut::openTodayMeetsDefault()
{
    static const KestrivaneShortcut value{46, controlOptionCommand, QStringLiteral("M")};
    return value;
}

const KestrivaneShortcut &KestrivaneShortcut::joinMeetDefault()
{
    static const KestrivaneShortcut value{38, controlOptionCommand, QStringLiteral("J")};
    return value;
}

QString KestrivaneShortcut::displayText() const
{
    QString text;
    if (modifiers & Control)
        text += u'⌃';
    if (modifiers & Option)
        text += u'⌥';
    if (modifiers & Shift)
        text += u'⇧';
    if (modifiers & Command)
        text += u'⌘';
    return text + keyEquivalent;
}

QString KestrivaneShortcut::desktopText() const
{
    static const QHash<QString, QString> keyNames{
        {QStringLiteral("↖"), QStringLiteral("Home")},      {QStringLiteral("↘"), QStringLiteral("End")},
        {QStringLiteral("⇞"), QStringLiteral("Page Up")},   {QStringLiteral("⇟"), QStringLiteral("Page Down")},
        {QStringLiteral("⌦"), QStringLiteral("Delete")},
    };
    QStringList parts;
    if (modifiers & Control)
        parts << QStringLiteral("Ctrl");
    if (modifiers & Option)
        parts << QStringLiteral("Alt");
    if (modifiers & Shift)
        parts << QStringLiteral("Shift");
    if (modifiers & Command)
        parts << QStringLiteral("Super");
    // A keypad key is told from the key of the same character as Qt tells it: "Num+1".
    if (const auto keysym = keycodes::keysymForKeyCode(keyCode); keysym && *keysym >= keypadFirst && *keysym <= keypadLast)
        parts << QStringLiteral("Num");
    parts << keyNames.value(keyEquivalent, keyEquivalent);
    return parts.join(u'+');
}

QByteArray KestrivaneShortcut::toJson() const
{
    const QJsonObject object{
        {QStringLiteral("keyCode"), static_cast<qint64>(keyCode)},
        {QStringLiteral("modifiers"), static_cast<qint64>(modifiers)},
        {QStringLiteral("keyEquivalent"), keyEquivalent},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<KestrivaneShortcut> KestrivaneShortcut::fromJson(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const auto keyCode = unsigned32(object.value(QStringLiteral("keyCode")));
    const auto modifiers = unsigned32(object.value(QStringLiteral("modifiers")));
    const QJsonValue keyEquivalent = object.value(QStringLiteral("keyEquivalent"));
    if (!keyCode || !modifiers || !keyEquivalent.isString())
        return std::nullopt;
    return KestrivaneShortcut{*keyCode, *modifiers, keyEquivalent.toString()};
}

std::optional<KestrivaneShortcut> KestrivaneShortcut::fromKeyPress(const KeyPress &press)
{
    const bool control = press.modifiers.testFlag(Qt::ControlModifier);
    const bool option = press.modifiers.testFlag(Qt::AltModifier);
    const bool command = press.modifiers.testFlag(Qt::MetaModifier);
    const bool shift = press.modifiers.testFlag(Qt::ShiftModifier);
    if (!control && !option && !command)
        return std::nullopt;

    const QString text = press.characters.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    for (const char32_t scalar : text.toUcs4()) {
        if (QChar::category(scalar) == QChar::Other_Control)
            return std::nullopt;
    }

    quint32 mask = 0;
    if (command)
        mask |= Command;
    if (option)
        mask |= Option;
    if (control)
        mask |= Control;
    if (shift)
        mask |= Shift;
    return KestrivaneShortcut{press.keyCode, mask, text.toUpper()};
}

std::optional<KestrivaneShortcut> KestrivaneShortcut::fromKeyEvent(const QKeyEvent &event)
{
    // The key's own symbol, without Shift's level, when the X keymap can tell (a keypad key's
    // digit also without Num Lock); else the symbol the event carries.
    quint32 keysym = event.nativeVirtualKey();
    if (const auto stored = x11StoredKeysym(event.nativeScanCode()))
        keysym = *stored;
    const auto keyCode = keycodes::keyCodeForKeysym(keysym);
    if (!keyCode)
        return std::nullopt;
    return fromKeyPress({*keyCode, event.modifiers(), keycodes::charactersForKeysym(keysym)});
}

ShortcutSettings::ShortcutSettings(UserDefaults &userDefaults, QObject *parent)
    : QObject(parent)
    , userDefaults_(userDefaults)
    , openTodayMeets_(load(userDefaults, openTodayMeetsKey, KestrivaneShortcut::openTodayMeetsDefault()))
    , joinMeet_(load(userDefaults, joinMeetKey, KestrivaneShortcut::joinMeetDefault()))
{
}

void ShortcutSettings::setOpenTodayMeets(const KestrivaneShortcut &shortcut)
{
    openTodayMeets_ = shortcut;
    save(shortcut, openTodayMeetsKey);
    emit changed();
}

void ShortcutSettings::setJoinMeet(const KestrivaneShortcut &shortcut)
{
    joinMeet_ = shortcut;
    save(shortcut, joinMeetKey);
    emit changed();
}

void ShortcutSettings::resetToDefaults()
{
    setOpenTodayMeets(KestrivaneShortcut::openTodayMeetsDefault());
    setJoinMeet(KestrivaneShortcut::joinMeetDefault());
}

KestrivaneShortcut ShortcutSettings::load(const UserDefaults &userDefaults, const QString &key, const KestrivaneShortcut &fallback)
{
    const auto data = userDefaults.data(key);
    if (!data)
        return fallback;
    return KestrivaneShortcut::fromJson(*data).value_or(fallback);
}

void ShortcutSettings::save(const KestrivaneShortcut &shortcut, const QString &key)
{
    userDefaults_.set(key, shortcut.toJson());
}

} // namespace kestrivane
