#include "Support/AppBuildChannel.h"

#include "Services/KeychainTokenStore.h"

namespace kestrivane {

std::optional<AppBuildChannel> AppBuildChannel::fromRawValue(const QString &rawValue)
{
    if (rawValue == QLatin1String("release"))
        return AppBuildChannel(release);
    if (rawValue == QLatin1String("dev"))
        return AppBuildChannel(dev);
    return std::nullopt;
}

AppBuildChannel AppBuildChannel::current()
{
    return current(BundleInfo::main());
}

AppBuildChannel AppBuildChannel::current(const BundleInfo &info)
{
    const QVariant entry = info.value(infoPlistKey);
    if (entry.typeId() != QMetaType::QString)
        return release;
    return fromRawValue(entry.toString()).value_or(release);
}

QString AppBuildChannel::rawValue() const
{
    return value_ == dev ? QStringLiteral("dev") : QStringLiteral("release");
}

QString AppBuildChannel::displayName() const
{
    return value_ == dev ? QStringLiteral("Kestrivane Dev") : QStringLiteral("Kestrivane");
}

std::optional<QString> AppBuildChannel::badgeText() const
{
    if (value_ == dev)
        return QStringLiteral("DEV");
    return std::nullopt;
}

std::optional<QString> AppBuildChannel::userDefaultsSuiteName() const
{
    if (value_ == dev)
        return BundleInfo::main().bundleIdentifier() + QStringLiteral(".dev");
    return std::nullopt;
}

QString AppBuildChannel::keychainService() const
{
    if (value_ == dev)
        return BundleInfo::main().bundleIdentifier() + QStringLiteral(".dev.google");
    return KeychainTokenStore::defaultService();
}

} // namespace kestrivane
