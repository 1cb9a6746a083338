// The token endpoint's answer to a code exchange or a refresh.
#include "FuzzSupport.h"
#include "Support/Error.h"
#include "Services/GoogleOAuthClient.h"
#include "Support/Clock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kestrivane;
    try {
        const TokenResponse answer = TokenResponse::decode(fuzz::bytes(data, size));
        // As the client turns it into the stored expiry.
        instantFromSecondsSince1970(1.7e9 + answer.expiresIn);
    } catch (const Error &) {
    }
    return 0;
}
