// A string table (.strings) and the placeholders of its texts.
#include "FuzzSupport.h"
#include "Support/Localization.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kestrivane;
    const QHash<QString, QString> table = parseStringsTable(QString::fromUtf8(fuzz::bytes(data, size)));
    for (const QString &text : table)
        fillPlaceholders(text, {QStringLiteral("first"), QStringLiteral("second")});
    return 0;
}
