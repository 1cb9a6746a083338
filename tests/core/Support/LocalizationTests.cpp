#include "Support/DateFormatting.h"
#include "Support/Localization.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace kestrivane;

namespace {

class L10nTest : public ::testing::Test {
protected:
    void TearDown() override { L10n::configure(std::nullopt); }
};

} // namespace

TEST(StringsTableTest, ParsesEntriesCommentsAndEscapes)
{
    const auto table = parseStringsTable(QStringLiteral(
        "/* block */\n\"a\" = \"one\";\n// line\n\"b\"=\"say \\\"hi\\\"\\n\\u00e9\";\n  \"c\" = \"%1 at %2\" ;"));
    EXPECT_EQ(table.size(), 3);
    EXPECT_EQ(table.value("a"), "one");
    EXPECT_EQ(table.value("b"), QString::fromUtf8("say \"hi\"\n\u00e9"));
    EXPECT_EQ(table.value("c"), "%1 at %2");
}

TEST(StringsTableTest, MalformedInputKeepsEntriesBeforeTheFault)
{
    EXPECT_EQ(parseStringsTable(QStringLiteral("\"a\" = \"1\"; \"b\" = ")).size(), 1);
    EXPECT_TRUE(parseStringsTable(QStringLiteral("\"unterminated")).isEmpty());
    EXPECT_TRUE(parseStringsTable(QString()).isEmpty());
    EXPECT_TRUE(parseStringsTable(QStringLiteral("\"a\" = \"\\u12\";")).isEmpty());
}

TEST_F(L10nTest, OverrideChoosesTheLanguageTable)
{
    L10n::configure(QStringLiteral("EN_GB"));
    EXPECT_EQ(L10n::text("google_status_connected"), "Connected");
    L10n::configure(QStringLiteral("ja_JP"));
    EXPECT_EQ(L10n::text("google_status_connected"), QString::fromUtf8("接続済み"));
    L10n::configure(QStringLiteral("JA"));
    EXPECT_EQ(L10n::text("sync_status_idle"), QString::fromUtf8("未同期"));
}

TEST_F(L10nTest, UnknownKeyShowsTheKeyAndFormatsIt)
{
    L10n::configure(QStringLiteral("en"));
    EXPECT_EQ(L10n::text("no_such_key"), "no_such_key");
    EXPECT_EQ(L10n::format("no_such_key", QStringLiteral("x")), "no_such_key");
    EXPECT_EQ(L10n::text(QString()), QString());
}

TEST_F(L10nTest, FormatFillsPlaceholdersInOnePass)
{
    L10n::configure(QStringLiteral("en"));
    EXPECT_EQ(L10n::format("sync_status_failed", QStringLiteral("%2 boom %1")), "Sync failed: %2 boom %1");
    EXPECT_EQ(L10n::fill(QStringLiteral("%1-%2-%3-%10-%%1"), {"a", "b"}), "a-b-%3-a0-%a");
    EXPECT_EQ(L10n::fill(QStringLiteral("100%"), {"a"}), "100%");
    EXPECT_EQ(L10n::fill(QStringLiteral("%"), {}), "%");
}

TEST_F(L10nTest, FormatUsesTheWholeOverrideLocaleForNumbers)
{
    L10n::configure(QStringLiteral("en_US"));
    EXPECT_EQ(L10n::format("sync_status_synced", 1234.5), "Synced at 1,234.5");
    L10n::configure(QStringLiteral("de_DE")); // no German table: texts stay in the system language
    EXPECT_TRUE(L10n::format("sync_status_synced", 1234.5).contains("1.234,5"));
}

TEST(LocalizedBundleTest, MissingLanguageFallsBackToTheSystemChoice)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("en.lproj"));
    QFile file(dir.path() + "/en.lproj/Localizable.strings");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\"k\" = \"english\";");
    file.close();
    LocalizedBundle bundle(dir.path());
    EXPECT_FALSE(bundle.hasLanguage("ja"));
    EXPECT_EQ(bundle.text("k", QStringLiteral("ja")), "english");
    EXPECT_EQ(bundle.text("k", std::nullopt), "english");
    EXPECT_EQ(bundle.text("other", QStringLiteral("en")), "other");
}

TEST(LocalizedBundleTest, LanguageCodeOfOverrides)
{
    EXPECT_EQ(LocalizedBundle::languageCode(QStringLiteral("EN-us")), "en");
    EXPECT_EQ(LocalizedBundle::languageCode(QStringLiteral("ja_JP")), "ja");
    EXPECT_EQ(LocalizedBundle::languageCode(QStringLiteral("fr")), std::nullopt);
    EXPECT_EQ(LocalizedBundle::languageCode(QStringLiteral("")), std::nullopt);
    EXPECT_EQ(LocalizedBundle::languageCode(std::nullopt), std::nullopt);
}

TEST(LocalizedTablesTest, EnglishAndJapaneseTablesHoldTheSameKeysAndPlaceholders)
{
    QFile en(":/bundle/en.lproj/Localizable.strings");
    QFile ja(":/bundle/ja.lproj/Localizable.strings");
    ASSERT_TRUE(en.open(QIODevice::ReadOnly));
    ASSERT_TRUE(ja.open(QIODevice::ReadOnly));
    const auto enTable = parseStringsTable(QString::fromUtf8(en.readAll()));
    const auto jaTable = parseStringsTable(QString::fromUtf8(ja.readAll()));
    EXPECT_GT(enTable.size(), 30);
    EXPECT_EQ(QSet<QString>(enTable.keyBegin(), enTable.keyEnd()), QSet<QString>(jaTable.keyBegin(), jaTable.keyEnd()));
    const QRegularExpression placeholder("%\\d");
    for (auto it = enTable.begin(); it != enTable.end(); ++it) {
        QStringList enMarks, jaMarks;
        for (const auto &m : placeholder.globalMatch(it.value())) enMarks << m.captured();
        for (const auto &m : placeholder.globalMatch(jaTable.value(it.key()))) jaMarks << m.captured();
        enMarks.sort();
        jaMarks.sort();
        EXPECT_EQ(enMarks, jaMarks) << it.key().toStdString();
    }
}
