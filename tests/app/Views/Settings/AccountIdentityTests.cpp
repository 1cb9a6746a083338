#include "Views/Settings/AccountIdentity.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace kestrivane;

namespace {

GoogleAccount account(std::optional<QString> name, QString email = QStringLiteral("someone@example.com"))
{
    return GoogleAccount{email.toLower(), email, std::move(name)};
}

QString initials(std::optional<QString> name, QString email = QStringLiteral("someone@example.com"))
{
    return AccountIdentity::initials(account(std::move(name), std::move(email)));
}

} // namespace

TEST(AccountIdentityTest, InitialsTakeTheFirstCharacterOfTheFirstTwoPieces)
{
    EXPECT_EQ(initials(QStringLiteral("river stone")), "RS");
    EXPECT_EQ(initials(QStringLiteral("harbour")), "H");
    EXPECT_EQ(initials(QStringLiteral("blue-green sea")), "BG");
    EXPECT_EQ(initials(QStringLiteral("o'neil smith")), "OS");
    EXPECT_EQ(initials(QStringLiteral("(red) fox")), "(F");
    EXPECT_EQ(initials(QStringLiteral("42 team")), "4T");
    EXPECT_EQ(initials(QStringLiteral("  __anna..-@bell  ")), "AB");
    EXPECT_EQ(initials(QStringLiteral("佐藤 健二")), "佐健");
    // Without a name, or with an empty one: the address.
    EXPECT_EQ(initials(std::nullopt, QStringLiteral("first.last@example.com")), "FL");
    EXPECT_EQ(initials(QString(), QStringLiteral("kenji@harborlight.example")), "KH");
    // Separators only: a name that counts, but no piece.
    EXPECT_EQ(initials(QStringLiteral(" "), QStringLiteral("first.last@example.com")), "G");
    EXPECT_EQ(initials(QString(), QString()), "G");
}

TEST(AccountIdentityTest, InitialsAreWholeCharactersUpperCasedWithoutTheLocale)
{
    // A letter with a combining accent, an emoji family and a flag stay whole.
    EXPECT_EQ(initials(QStringLiteral("e\u0301mile zola")), QStringLiteral("E\u0301Z"));
    EXPECT_EQ(initials(QStringLiteral("👨‍👩‍👧 team")), QStringLiteral("👨‍👩‍👧T"));
    EXPECT_EQ(initials(QStringLiteral("🇯🇵 japan")), QStringLiteral("🇯🇵J"));
    // One character may become two.
    EXPECT_EQ(initials(QStringLiteral("ßen weiß")), "SSW");
    // The Turkish locale would give a dotted capital I.
    const QLocale previous;
    QLocale::setDefault(QLocale(QStringLiteral("tr_TR")));
    EXPECT_EQ(initials(QStringLiteral("ilker irmak")), "II");
    QLocale::setDefault(previous);
}

TEST(AccountIdentityTest, TheDisplayNameIsTheNameOrTheAddressNeverBoth)
{
    EXPECT_EQ(AccountIdentity::displayName(account(QStringLiteral("Emma"))), "Emma");
    EXPECT_TRUE(AccountIdentity::hasName(account(QStringLiteral("Emma"))));
    EXPECT_EQ(AccountIdentity::displayName(account(QString())), "someone@example.com");
    EXPECT_FALSE(AccountIdentity::hasName(account(QString())));
    EXPECT_EQ(AccountIdentity::displayName(account(std::nullopt)), "someone@example.com");
    // A blank name is a name: it is shown, with the address under it.
    EXPECT_EQ(AccountIdentity::displayName(account(QStringLiteral(" "))), " ");
    EXPECT_TRUE(AccountIdentity::hasName(account(QStringLiteral(" "))));
}
