#include "Services/KeychainTokenStore.h"

#include "Support/BundleInfo.h"

namespace kestrivane {

QString KeychainTokenStore::defaultService()
{
    return BundleInfo::main().bundleIdentifier() + QStringLiteral(".google");
}

} // namespace kestrivane
