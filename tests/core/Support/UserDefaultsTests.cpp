#include "Support/UserDefaults.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrivane;

namespace {

void checkKinds(UserDefaults &defaults)
{
    defaults.set("text", QStringLiteral("600"));
    defaults.set("number", 600.5);
    defaults.set("integer", 7);
    defaults.set("flag", true);
    defaults.set("data", QByteArray("\x00\x01json", 6));
    defaults.setStringArray("empty", {});
    defaults.setStringArray("ids", {"b", "a"});
    defaults.set("mixed", QVariantList{QStringLiteral("a"), 1.0});

    EXPECT_EQ(defaults.string("text"), "600");
    EXPECT_EQ(defaults.number("text"), std::nullopt);
    EXPECT_EQ(defaults.number("number"), 600.5);
    EXPECT_EQ(defaults.number("integer"), 7.0);
    EXPECT_EQ(defaults.string("number"), std::nullopt);
    EXPECT_EQ(defaults.object("flag").toBool(), true);
    EXPECT_EQ(defaults.number("flag"), std::nullopt);
    EXPECT_EQ(defaults.data("data"), QByteArray("\x00\x01json", 6));
    EXPECT_EQ(defaults.string("data"), std::nullopt);
    EXPECT_EQ(defaults.stringArray("empty"), QStringList());
    EXPECT_TRUE(defaults.contains("empty"));
    EXPECT_EQ(defaults.stringArray("ids"), (QStringList{"b", "a"}));
    EXPECT_EQ(defaults.stringArray("mixed"), std::nullopt);
    EXPECT_EQ(defaults.stringArray("text"), std::nullopt);
    EXPECT_FALSE(defaults.contains("absent"));
    EXPECT_EQ(defaults.stringArray("absent"), std::nullopt);

    defaults.remove("ids");
    EXPECT_FALSE(defaults.contains("ids"));
}

} // namespace

TEST(UserDefaultsTest, InMemoryDomainKeepsTheKindOfEveryValue)
{
    InMemoryUserDefaults defaults;
    checkKinds(defaults);
}

TEST(UserDefaultsTest, FileDomainKeepsKindsAcrossReopening)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("domain.json");
    {
        auto defaults = SettingsUserDefaults::atPath(path);
        checkKinds(*defaults);
        defaults->set("shortcut.openTodayMeets", 46);
    }
    ASSERT_TRUE(QFile::exists(path));
    auto reopened = SettingsUserDefaults::atPath(path);
    EXPECT_EQ(reopened->string("text"), "600");
    EXPECT_EQ(reopened->number("number"), 600.5);
    EXPECT_EQ(reopened->number("integer"), 7.0);
    EXPECT_EQ(reopened->object("flag").toBool(), true);
    EXPECT_EQ(reopened->number("flag"), std::nullopt);
    EXPECT_EQ(reopened->data("data"), QByteArray("\x00\x01json", 6));
    EXPECT_EQ(reopened->stringArray("empty"), QStringList());
    EXPECT_FALSE(reopened->contains("ids"));
    EXPECT_EQ(reopened->number("shortcut.openTodayMeets"), 46.0);
}

TEST(UserDefaultsTest, TwoDomainsOnOneFileSeeEachOthersWrites)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("shared.json");
    auto first = SettingsUserDefaults::atPath(path);
    auto second = SettingsUserDefaults::atPath(path);
    first->set("googleClientID", QStringLiteral("client"));
    second->set("notificationLeadTime", 600.0);
    auto third = SettingsUserDefaults::atPath(path);
    EXPECT_EQ(third->string("googleClientID"), "client");
    EXPECT_EQ(third->number("notificationLeadTime"), 600.0);
}

TEST(UserDefaultsTest, UnreadableFileGivesAnEmptyDomainAndIsNotOverwrittenByReading)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("broken.json");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{ not json");
    }
    {
        auto defaults = SettingsUserDefaults::atPath(path);
        EXPECT_FALSE(defaults->contains("anything"));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("{ not json"));
}
