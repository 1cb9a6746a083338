// The bytes a browser (or anything else on the machine) sends to the sign-in's loopback listener.
#include "FuzzSupport.h"
#include "Services/OAuthLoopbackServer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kestrivane;
    const QByteArray request = fuzz::bytes(data, size).left(OAuthLoopbackServer::maxRequestBytes);
    if (const std::optional<QString> target = OAuthLoopbackServer::requestTarget(request))
        OAuthLoopbackServer::callbackFromTarget(*target);
    return 0;
}
