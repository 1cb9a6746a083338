// The token item read from the keyring: decoded, and a decoded token survives being written back.
#include "FuzzSupport.h"
#include "Support/Error.h"
#include "Services/KeychainTokenStore.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kestrivane;
    std::optional<OAuthToken> token;
    try {
        token = OAuthToken::fromJson(fuzz::bytes(data, size));
    } catch (const Error &) {
        return 0;
    }
    token->isFresh(QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC));
    if (!token->expiresAt.isValid())
        return 0;
    // Written back, it reads the same (to the millisecond the expiry is kept at).
    const OAuthToken again = OAuthToken::fromJson(token->toJson());
    if (again.accessToken != token->accessToken || again.refreshToken != token->refreshToken
        || std::llabs(again.expiresAt.toMSecsSinceEpoch() - token->expiresAt.toMSecsSinceEpoch()) > 1)
        std::abort();
    return 0;
}
