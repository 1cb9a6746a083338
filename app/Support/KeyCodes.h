#pragma once

#include <QString>

#include <optional>

namespace kestrivane::keycodes {

// Stored shortcuts keep the key codes of the other desktop platform's keyboard layer (46 is M,
// 38 is J, 53 is Escape, ...). These functions map them to and from X keysyms.

// The keysym of a stored key code; none for a code without a key here (modifier keys included).
std::optional<quint32> keysymForKeyCode(quint32 keyCode);

// The stored key code of a keysym; letters of either case give the letter's code.
std::optional<quint32> keyCodeForKeysym(quint32 keysym);

// The text a key types without modifiers, as a shortcut shows it: the character for printable
// keys ("m", "1", "/"), a name for function and navigation keys ("F5", "←"), a control character
// for Return, Tab, Escape and the delete keys, and nothing for keys that type nothing.
QString charactersForKeysym(quint32 keysym);

} // namespace kestrivane::keycodes
