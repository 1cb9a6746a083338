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

TEST(LocalizedBundleTest, ACountChoosesThePluralVariantOfItsLanguage)
{
    QTemporaryDir dir;
    for (const char *language : {"en", "ja"}) {
        ASSERT_TRUE(QDir(dir.path()).mkpath(QString::fromLatin1(language) + ".lproj"));
        QFile file(dir.path() + '/' + language + ".lproj/Localizable.strings");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(language == QByteArray("en") ? "\"n\" = \"%1 things\"; \"n.one\" = \"%1 thing\"; \"plain\" = \"%1 x\";"
                                                : "\"n\" = \"%1 \u4EF6\"; \"n.one\" = \"never\";");
    }
    LocalizedBundle bundle(dir.path());
    const auto en = QStringLiteral("en_GB");
    EXPECT_EQ(bundle.text("n", 1, en), "%1 thing");
    EXPECT_EQ(bundle.text("n", 2, en), "%1 things");
    EXPECT_EQ(bundle.text("n", 1.5, en), "%1 things");
    // A text without variants, and a missing key, stay as they are.
    EXPECT_EQ(bundle.text("plain", 1, en), "%1 x");
    EXPECT_EQ(bundle.text("gone", 1, en), "gone");
    // Japanese has no singular: the variant is never taken.
    EXPECT_EQ(bundle.text("n", 1, QStringLiteral("ja")), QString::fromUtf8("%1 件"));
    EXPECT_EQ(pluralBaseKey("meetings_count_short.one"), "meetings_count_short");
    EXPECT_EQ(pluralBaseKey("shortcut.openTodayMeets"), "shortcut.openTodayMeets");
}

TEST_F(L10nTest, FormatTakesThePluralFormOfItsFirstNumber)
{
    L10n::configure(QStringLiteral("en_US"));
    EXPECT_EQ(L10n::format("error_network_timeout", 1), "The server did not answer within 1 second.");
    EXPECT_EQ(L10n::format("error_network_timeout", 0.2), "The server did not answer within 0.2 seconds.");
    // Without a number the key's own text: a "1" given as text is no count.
    EXPECT_EQ(L10n::format("error_network_timeout", QStringLiteral("1")), "The server did not answer within 1 seconds.");
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
    // The same keys; plural variants are each language's own, of a key both have.
    const auto baseKeys = [](const QHash<QString, QString> &table) {
        QSet<QString> keys;
        for (auto it = table.keyBegin(); it != table.keyEnd(); ++it) {
            EXPECT_TRUE(table.contains(pluralBaseKey(*it))) << it->toStdString();
            keys.insert(pluralBaseKey(*it));
        }
        return keys;
    };
    EXPECT_EQ(baseKeys(enTable), baseKeys(jaTable));
    const QRegularExpression placeholder("%\\d");
    const auto marks = [&](const QString &text) {
        QStringList found;
        for (const auto &m : placeholder.globalMatch(text))
            found << m.captured();
        found.sort();
        return found;
    };
    for (const auto *table : {&enTable, &jaTable}) {
        for (auto it = table->begin(); it != table->end(); ++it)
            EXPECT_EQ(marks(it.value()), marks(enTable.value(pluralBaseKey(it.key())))) << it.key().toStdString();
    }
}
