// The OAuth client's property list, which a user may put in their data folder.
#include "FuzzSupport.h"
#include "Services/OAuthConfigFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    kestrivane::OAuthConfigFile::parseStringDictionary(kestrivane::fuzz::bytes(data, size));
    return 0;
}
