#include "Support/KeyCodes.h"

#include <array>

namespace kestrivane::keycodes {

namespace {

struct Key {
    quint32 keyCode;
    quint32 keysym;
    const char16_t *name; // shown instead of the keysym's character; nullptr: the character
};

// Key codes by position on the ANSI layout (with the ISO and JIS extras) and their X keysyms.
constexpr std::array keys{
    Key{0x00, 'a', nullptr},   Key{0x01, 's', nullptr},   Key{0x02, 'd', nullptr},
    Key{0x03, 'f', nullptr},   Key{0x04, 'h', nullptr},   Key{0x05, 'g', nullptr},
    Key{0x06, 'z', nullptr},   Key{0x07, 'x', nullptr},   Key{0x08, 'c', nullptr},
    Key{0x09, 'v', nullptr},   Key{0x0A, 0xa7, nullptr},  Key{0x0B, 'b', nullptr},
    Key{0x0C, 'q', nullptr},   Key{0x0D, 'w', nullptr},   Key{0x0E, 'e', nullptr},
    Key{0x0F, 'r', nullptr},   Key{0x10, 'y', nullptr},   Key{0x11, 't', nullptr},
    Key{0x12, '1', nullptr},   Key{0x13, '2', nullptr},   Key{0x14, '3', nullptr},
    Key{0x15, '4', nullptr},   Key{0x16, '6', nullptr},   Key{0x17, '5', nullptr},
    Key{0x18, '=', nullptr},   Key{0x19, '9', nullptr},   Key{0x1A, '7', nullptr},
    Key{0x1B, '-', nullptr},   Key{0x1C, '8', nullptr},   Key{0x1D, '0', nullptr},
    Key{0x1E, ']', nullptr},   Key{0x1F, 'o', nullptr},   Key{0x20, 'u', nullptr},
    Key{0x21, '[', nullptr},   Key{0x22, 'i', nullptr},   Key{0x23, 'p', nullptr},
    Key{0x24, 0xff0d, nullptr}, // Return
    Key{0x25, 'l', nullptr},   Key{0x26, 'j', nullptr},   Key{0x27, '\'', nullptr},
    Key{0x28, 'k', nullptr},   Key{0x29, ';', nullptr},   Key{0x2A, '\\', nullptr},
    Key{0x2B, ',', nullptr},   Key{0x2C, '/', nullptr},   Key{0x2D, 'n', nullptr},
    Key{0x2E, 'm', nullptr},   Key{0x2F, '.', nullptr},
    Key{0x30, 0xff09, nullptr}, // Tab
    Key{0x31, ' ', nullptr},
    Key{0x32, '`', nullptr},
    Key{0x33, 0xff08, nullptr}, // BackSpace
    Key{0x35, 0xff1b, nullptr}, // Escape
    Key{0x40, 0xffce, u"F17"},
    Key{0x41, 0xffae, u"."},    // KP_Decimal
    Key{0x43, 0xffaa, u"*"},    // KP_Multiply
    Key{0x45, 0xffab, u"+"},    // KP_Add
    Key{0x47, 0xff0b, u"Clear"},
    Key{0x48, 0x1008ff13, u""}, // XF86AudioRaiseVolume
    Key{0x49, 0x1008ff11, u""}, // XF86AudioLowerVolume
    Key{0x4A, 0x1008ff12, u""}, // XF86AudioMute
    Key{0x4B, 0xffaf, u"/"},    // KP_Divide
    Key{0x4C, 0xff8d, u"\x03"}, // KP_Enter
    Key{0x4E, 0xffad, u"-"},    // KP_Subtract
    Key{0x4F, 0xffcf, u"F18"},
    Key{0x50, 0xffd0, u"F19"},
    Key{0x51, 0xffbd, u"="},    // KP_Equal
    Key{0x52, 0xffb0, u"0"},   Key{0x53, 0xffb1, u"1"},   Key{0x54, 0xffb2, u"2"},
    Key{0x55, 0xffb3, u"3"},   Key{0x56, 0xffb4, u"4"},   Key{0x57, 0xffb5, u"5"},
    Key{0x58, 0xffb6, u"6"},   Key{0x59, 0xffb7, u"7"},
    Key{0x5A, 0xffd1, u"F20"},
    Key{0x5B, 0xffb8, u"8"},   Key{0x5C, 0xffb9, u"9"},
    Key{0x5D, 0xa5, nullptr},   // JIS Yen
    Key{0x5E, '_', nullptr},    // JIS underscore
    Key{0x5F, 0xffac, u","},    // JIS keypad comma (KP_Separator)
    Key{0x60, 0xffc2, u"F5"},  Key{0x61, 0xffc3, u"F6"},  Key{0x62, 0xffc4, u"F7"},
    Key{0x63, 0xffc0, u"F3"},  Key{0x64, 0xffc5, u"F8"},  Key{0x65, 0xffc6, u"F9"},
    Key{0x66, 0xff30, u""},     // JIS Eisu (Eisu_toggle)
    Key{0x67, 0xffc8, u"F11"},
    Key{0x68, 0xff27, u""},     // JIS Kana (Hiragana_Katakana)
    Key{0x69, 0xffca, u"F13"}, Key{0x6A, 0xffcd, u"F16"}, Key{0x6B, 0xffcb, u"F14"},
    Key{0x6D, 0xffc7, u"F10"}, Key{0x6F, 0xffc9, u"F12"}, Key{0x71, 0xffcc, u"F15"},
    Key{0x72, 0xff6a, u"Help"},
    Key{0x73, 0xff50, u"↖"},    // Home
    Key{0x74, 0xff55, u"⇞"},    // Prior (page up)
    Key{0x75, 0xffff, u"⌦"},    // Delete (forward delete)
    Key{0x76, 0xffc1, u"F4"},
    Key{0x77, 0xff57, u"↘"},    // End
    Key{0x78, 0xffbf, u"F2"},
    Key{0x79, 0xff56, u"⇟"},    // Next (page down)
    Key{0x7A, 0xffbe, u"F1"},
    Key{0x7B, 0xff51, u"←"},   Key{0x7C, 0xff53, u"→"},
    Key{0x7D, 0xff54, u"↓"},   Key{0x7E, 0xff52, u"↑"},
};

quint32 foldLetter(quint32 keysym)
{
    // Latin letters: the upper-case keysyms mirror the code points of the letters.
    if ((keysym >= 'A' && keysym <= 'Z'))
        return keysym + ('a' - 'A');
    return keysym;
}

} // namespace

std::optional<quint32> keysymForKeyCode(quint32 keyCode)
{
    for (const Key &key : keys) {
        if (key.keyCode == keyCode)
            return key.keysym;
    }
    return std::nullopt;
}

std::optional<quint32> keyCodeForKeysym(quint32 keysym)
{
    const quint32 folded = foldLetter(keysym);
    for (const Key &key : keys) {
        if (key.keysym == folded)
            return key.keyCode;
    }
    return std::nullopt;
}

QString charactersForKeysym(quint32 keysym)
{
    for (const Key &key : keys) {
        if (key.keysym == keysym && key.name)
            return QString::fromUtf16(key.name);
    }
    switch (keysym) {
    case 0xff0d: return QStringLiteral("\r");
    case 0xff09: return QStringLiteral("\t");
    case 0xff08: return QStringLiteral("\x08");
    case 0xff1b: return QStringLiteral("\x1b");
    default: break;
    }
    // Latin-1 keysyms are their code points; Unicode keysyms carry theirs below 0x01000000.
    if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff))
        return QString(QChar(static_cast<char16_t>(keysym)));
    if (keysym >= 0x01000100 && keysym <= 0x0110ffff) {
        const char32_t code = keysym - 0x01000000;
        return QString::fromUcs4(&code, 1);
    }
    return {};
}

} // namespace kestrivane::keycodes
