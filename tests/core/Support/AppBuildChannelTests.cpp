#include "Services/KeychainTokenStore.h"
#include "Support/AppBuildChannel.h"
#include "Support/BundleInfo.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace kestrivane;

namespace {

BundleInfo infoWithChannel(const QVariant &entry)
{
    return BundleInfo(QVariantMap{{AppBuildChannel::infoPlistKey, entry}});
}

} // namespace

TEST(AppBuildChannelTest, RawValuesMatchExactly)
{
    EXPECT_EQ(AppBuildChannel::fromRawValue("dev"), AppBuildChannel(AppBuildChannel::dev));
    EXPECT_EQ(AppBuildChannel::fromRawValue("release"), AppBuildChannel(AppBuildChannel::release));
    for (const char *text : {"Dev", "DEV", " dev", "dev ", "Release", "beta", ""})
        EXPECT_EQ(AppBuildChannel::fromRawValue(text), std::nullopt) << text;
    EXPECT_EQ(AppBuildChannel(AppBuildChannel::dev).rawValue(), "dev");
    EXPECT_EQ(AppBuildChannel(AppBuildChannel::release).rawValue(), "release");
    EXPECT_EQ((QSet<AppBuildChannel>{AppBuildChannel::dev, AppBuildChannel::release, AppBuildChannel::dev}).size(), 2);
}

TEST(AppBuildChannelTest, OnlyAnExactTextEntryNamesTheDevChannel)
{
    EXPECT_EQ(AppBuildChannel::current(BundleInfo()), AppBuildChannel::release);
    EXPECT_EQ(AppBuildChannel::current(infoWithChannel(QStringLiteral("dev"))), AppBuildChannel::dev);
    EXPECT_EQ(AppBuildChannel::current(infoWithChannel(QStringLiteral("release"))), AppBuildChannel::release);
    for (const QVariant &entry : {QVariant(QStringLiteral("Dev")), QVariant(QStringLiteral(" dev ")),
                                  QVariant(QStringLiteral("nightly")), QVariant(1), QVariant(true),
                                  QVariant(QVariantList{QStringLiteral("dev")}), QVariant(QByteArray("dev"))})
        EXPECT_EQ(AppBuildChannel::current(infoWithChannel(entry)), AppBuildChannel::release) << entry.toString().toStdString();
}

TEST(AppBuildChannelTest, DevKeepsItsOwnSettingsAndKeyringItems)
{
    const QString identifier = BundleInfo::main().bundleIdentifier();
    ASSERT_FALSE(identifier.isEmpty());
    const AppBuildChannel dev = AppBuildChannel::dev;
    EXPECT_FALSE(dev.isRelease());
    EXPECT_EQ(dev.displayName(), "Kestrivane Dev");
    EXPECT_EQ(dev.badgeText(), "DEV");
    EXPECT_EQ(dev.userDefaultsSuiteName(), identifier + ".dev");
    EXPECT_EQ(dev.keychainService(), identifier + ".dev.google");
}

TEST(AppBuildChannelTest, ReleaseUsesTheStandardDomainAndTheTokenStoreDefault)
{
    const AppBuildChannel release = AppBuildChannel::release;
    EXPECT_TRUE(release.isRelease());
    EXPECT_EQ(release.displayName(), "Kestrivane");
    EXPECT_EQ(release.badgeText(), std::nullopt);
    EXPECT_EQ(release.userDefaultsSuiteName(), std::nullopt);
    EXPECT_EQ(release.keychainService(), KeychainTokenStore::defaultService());
    EXPECT_EQ(KeychainTokenStore::defaultService(), BundleInfo::main().bundleIdentifier() + ".google");
}

TEST(AppBuildChannelTest, TheBuildNamesItsChannelInTheBundle)
{
    const QVariant entry = BundleInfo::main().value(AppBuildChannel::infoPlistKey);
    ASSERT_EQ(entry.typeId(), QMetaType::QString);
    const auto named = AppBuildChannel::fromRawValue(entry.toString());
    ASSERT_TRUE(named) << entry.toString().toStdString();
    EXPECT_EQ(AppBuildChannel::current(), *named);
}
