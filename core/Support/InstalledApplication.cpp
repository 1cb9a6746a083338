#include "Support/InstalledApplication.h"

#include "Support/BundleInfo.h"

namespace kestrivane {

QString InstalledApplication::applicationID(AppBuildChannel channel)
{
    QString identifier = BundleInfo::main().bundleIdentifier();
    if (!channel.isRelease())
        identifier += QStringLiteral(".dev");
    return identifier;
}

QString InstalledApplication::desktopEntryName(AppBuildChannel channel)
{
    return applicationID(channel) + QStringLiteral(".desktop");
}

QString InstalledApplication::iconName(AppBuildChannel channel)
{
    return applicationID(channel);
}

} // namespace kestrivane
