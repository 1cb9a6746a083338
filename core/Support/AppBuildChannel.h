#pragma once

#include "Support/BundleInfo.h"

#include <QHashFunctions>
#include <QString>

#include <optional>

namespace kestrivane {

// The channel of the running build. The development build keeps its own settings domain and its
// own keyring items, so release and development builds never share either.
class AppBuildChannel {
public:
    enum Case { release, dev };

    // The bundle information entry that names the channel.
    static inline const QString infoPlistKey = QStringLiteral("KestrivaneBuildChannel");

    constexpr AppBuildChannel(Case value) : value_(value) {}

    // Exact, case-sensitive match of "release" or "dev"; anything else gives none.
    static std::optional<AppBuildChannel> fromRawValue(const QString &rawValue);

    // The running build's channel, read anew from the bundle information at every call.
    static AppBuildChannel current();
    // The channel named by `info`: a text entry matching a raw value, else release.
    static AppBuildChannel current(const BundleInfo &info);

    constexpr Case value() const { return value_; }
    QString rawValue() const;
    constexpr bool isRelease() const { return value_ == release; }
    // The name shown to the user.
    QString displayName() const;
    // The badge on the icons; none for release.
    std::optional<QString> badgeText() const;
    // The settings suite; none for release, which uses the standard domain.
    std::optional<QString> userDefaultsSuiteName() const;
    // The keyring service of the OAuth tokens; release shares KeychainTokenStore's default.
    QString keychainService() const;

    friend constexpr bool operator==(AppBuildChannel, AppBuildChannel) = default;

private:
    Case value_;
};

inline size_t qHash(AppBuildChannel channel, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(channel.value()), seed);
}

} // namespace kestrivane
