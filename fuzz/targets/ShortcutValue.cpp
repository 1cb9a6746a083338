// A global shortcut read from the settings file: decoded, and a decoded shortcut survives a save.
#include "FuzzSupport.h"
#include "Support/ShortcutSettings.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kestrivane;
    const std::optional<KestrivaneShortcut> shortcut = KestrivaneShortcut::fromJson(fuzz::bytes(data, size));
    if (!shortcut)
        return 0;
    shortcut->displayText();
    if (KestrivaneShortcut::fromJson(shortcut->toJson()) != shortcut)
        std::abort();
    return 0;
}
