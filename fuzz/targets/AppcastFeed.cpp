// The update feed fetched from the network, and the version comparison over what it lists.
#include "FuzzSupport.h"
#include "Support/Error.h"
#include "Support/Appcast.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kestrivane;
    fuzz::ensureApplication();
    QList<AppcastItem> items;
    try {
        items = parseAppcast(fuzz::bytes(data, size));
    } catch (const Error &) {
        return 0;
    }
    newestUpdate(items, QStringLiteral("1.2.0"));
    // A three-way comparison: antisymmetric.
    for (qsizetype i = 0; i + 1 < items.size() && i < 8; ++i) {
        const int forward = compareVersions(items[i].version, items[i + 1].version);
        const int backward = compareVersions(items[i + 1].version, items[i].version);
        if ((forward > 0) != (backward < 0) || (forward == 0) != (backward == 0))
            std::abort();
    }
    return 0;
}
