// The account list read from the settings file: decoded, and a decoded list survives a save.
#include "FuzzSupport.h"
#include "Models/CalendarModels.h"
#include "Support/Error.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kestrivane;
    QList<GoogleAccount> accounts;
    try {
        accounts = GoogleAccount::decodeList(fuzz::bytes(data, size));
    } catch (const Error &) {
        return 0;
    }
    for (const GoogleAccount &account : accounts)
        account.displayName();
    if (GoogleAccount::decodeList(GoogleAccount::encodeList(accounts)) != accounts)
        std::abort();
    return 0;
}
