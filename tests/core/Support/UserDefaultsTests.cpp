#include "Support/UserDefaults.h"

#include <QDir>
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

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// An unreadable file is only read until the first change, which copies it aside and says so;
// later changes neither copy nor report again.
TEST(UserDefaultsTest, UnreadableFileIsKeptAsideOnceBeforeTheFirstChangeReplacesIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("domain.json");
    const QByteArray truncated = R"({"notificationLeadTime": 600, "googleAccounts": {"data": "W3siaWQiOi)";
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(truncated);
    }
    QStringList reports;
    auto defaults = SettingsUserDefaults::atPath(path, [&](const QString &text) { reports << text; });
    EXPECT_FALSE(defaults->contains("notificationLeadTime"));
    EXPECT_EQ(contents(path), truncated);
    EXPECT_TRUE(reports.isEmpty());

    defaults->set("notificationLeadTime", 300.0);
    defaults->set("googleClientID", QStringLiteral("id"));
    const QStringList copies = QDir(dir.path()).entryList({"domain.corrupt-*.json"});
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(contents(dir.filePath(copies.first())), truncated);
    EXPECT_EQ(reports.size(), 1);
    EXPECT_EQ(SettingsUserDefaults::atPath(path)->string("googleClientID"), "id");
}

// A file that cannot be written keeps every change in memory with one report, and the first write
// that works saves them all.
TEST(UserDefaultsTest, ChangesThatCannotBeWrittenAreKeptAndSavedOnceTheFileIsWritable)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("domain.json");
    QStringList reports;
    auto defaults = SettingsUserDefaults::atPath(path, [&](const QString &text) { reports << text; });
    defaults->set("shortcut.joinMeet", QByteArray("{}"));
    const QByteArray saved = contents(path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);

    defaults->set("notificationLeadTime", 300.0);
    defaults->setStringArray("selectedCalendarIDs", {"a"});
    defaults->remove("shortcut.joinMeet");
    EXPECT_EQ(defaults->number("notificationLeadTime"), 300.0);
    EXPECT_FALSE(defaults->contains("shortcut.joinMeet"));
    EXPECT_EQ(contents(path), saved);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports.first().contains(path)) << reports.first().toStdString();

    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    defaults->set("googleClientID", QStringLiteral("id"));
    auto reopened = SettingsUserDefaults::atPath(path);
    EXPECT_EQ(reopened->number("notificationLeadTime"), 300.0);
    EXPECT_EQ(reopened->stringArray("selectedCalendarIDs"), QStringList{"a"});
    EXPECT_FALSE(reopened->contains("shortcut.joinMeet"));
    EXPECT_EQ(reopened->string("googleClientID"), "id");
    EXPECT_EQ(reports.size(), 1);

    // A change left unwritten when the domain ends is written then, if the file allows it.
    QFile::setPermissions(path, QFileDevice::ReadOwner);
    defaults->set("notificationLeadTime", 900.0);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    defaults.reset();
    EXPECT_EQ(SettingsUserDefaults::atPath(path)->number("notificationLeadTime"), 900.0);
    EXPECT_EQ(reports.size(), 2);
}
