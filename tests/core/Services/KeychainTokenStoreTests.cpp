#include "Services/KeychainTokenStore.h"

#include "Support/Clock.h"
#include "Support/Localization.h"
#include "TestSupport/SecretTool.h"
#include "TestSupport/TestEnvironment.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::test;

namespace {

const QDateTime epoch2001 = QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);

OAuthToken token(const QString &access, std::optional<QString> refresh = QStringLiteral("refresh-1"))
{
    return OAuthToken{access, std::move(refresh), epoch2001.addMSecs(800'000'000'500)};
}

class KeychainTokenStoreTest : public ::testing::Test {
protected:
    void SetUp() override { KV_REQUIRE(keyringProblem()); }
    void TearDown() override { secretTool({QStringLiteral("clear"), QStringLiteral("service"), service}); }

    // The items with this test's service and `account`, whoever wrote them.
    int itemCount(const QString &account) const
    {
        const SecretToolResult result = secretTool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("service"),
                                              service, QStringLiteral("account"), account});
        // One "[<item path>]" line per item.
        return int(('\n' + result.output).count("\n["));
    }

    const QString service = QStringLiteral("app.kestrivane.tests.") + QUuid::createUuid().toString(QUuid::WithoutBraces);
};

} // namespace

TEST(OAuthTokenTest, JsonRoundTripsAndLeavesOutAnAbsentRefreshToken)
{
    const OAuthToken withRefresh = token(QStringLiteral("access"));
    EXPECT_EQ(OAuthToken::fromJson(withRefresh.toJson()), withRefresh);

    const OAuthToken withoutRefresh = token(QStringLiteral("access"), std::nullopt);
    const QJsonObject written = QJsonDocument::fromJson(withoutRefresh.toJson()).object();
    EXPECT_EQ(written.keys(), (QStringList{QStringLiteral("accessToken"), QStringLiteral("expiresAt")}));
    EXPECT_EQ(written.value(QStringLiteral("expiresAt")).toDouble(), 800'000'000.5);
    EXPECT_EQ(OAuthToken::fromJson(withoutRefresh.toJson()), withoutRefresh);

    const OAuthToken read = OAuthToken::fromJson(R"({"accessToken":"a","refreshToken":null,"expiresAt":-1.25,"x":1})");
    EXPECT_EQ(read.refreshToken, std::nullopt);
    EXPECT_EQ(read.expiresAt, epoch2001.addMSecs(-1250));
    EXPECT_NE(read, OAuthToken({QStringLiteral("a"), QString(), read.expiresAt}));
}

TEST(OAuthTokenTest, MalformedJsonIsADecodingError)
{
    for (const char *json : {R"({"accessToken":"a","expiresAt":"2024-01-01T00:00:00Z"})", R"({"expiresAt":1})",
                             R"({"accessToken":7,"expiresAt":1})", R"({"accessToken":"a","refreshToken":2,"expiresAt":1})",
                             R"(["accessToken"])", "{\"accessToken\":", ""}) {
        EXPECT_THROW(OAuthToken::fromJson(json), DecodingError) << json;
    }
}

TEST(OAuthTokenTest, FreshOnlyWithMoreThanSixtySecondsLeft)
{
    const QDateTime now = epoch2001.addDays(8000);
    EXPECT_FALSE((OAuthToken{QStringLiteral("a"), std::nullopt, now.addSecs(60)}.isFresh(now)));
    EXPECT_TRUE((OAuthToken{QStringLiteral("a"), std::nullopt, now.addMSecs(60'500)}.isFresh(now)));
    EXPECT_FALSE((OAuthToken{QStringLiteral("a"), std::nullopt, now.addSecs(-1)}.isFresh(now)));
    EXPECT_TRUE((OAuthToken{QStringLiteral("a"), std::nullopt, QDateTime::currentDateTimeUtc().addSecs(120)}.isFresh()));
}

TEST(KeychainErrorTest, DescriptionIsTheServiceMessageOrTheStatus)
{
    EXPECT_EQ(KeychainError(-25300).localizedDescription(), "Keychain error -25300");
    EXPECT_STREQ(KeychainError(4).what(), "Keychain error 4");
    const KeychainError withMessage(2, QStringLiteral("Cannot create an item in a locked collection"));
    EXPECT_EQ(withMessage.localizedDescription(), "Cannot create an item in a locked collection");
    EXPECT_EQ(withMessage.status(), 2);
}

TEST_F(KeychainTokenStoreTest, EmptySlotLoadsNothingAndDeletesCleanly)
{
    KeychainTokenStore store(service);
    EXPECT_EQ(store.account(), "oauth");
    EXPECT_EQ(store.loadToken(), std::nullopt);
    EXPECT_NO_THROW(store.deleteToken());
    EXPECT_EQ(itemCount(QStringLiteral("oauth")), 0);
}

TEST_F(KeychainTokenStoreTest, SavingAgainReplacesTheOneItem)
{
    KeychainTokenStore store(service);
    store.saveToken(token(QStringLiteral("first")));
    store.saveToken(token(QStringLiteral("second"), std::nullopt));
    EXPECT_EQ(itemCount(QStringLiteral("oauth")), 1);
    EXPECT_EQ(store.loadToken(), token(QStringLiteral("second"), std::nullopt));

    store.deleteToken();
    EXPECT_EQ(itemCount(QStringLiteral("oauth")), 0);
    EXPECT_EQ(store.loadToken(), std::nullopt);
}

TEST_F(KeychainTokenStoreTest, StoresShareAnItemExactlyWhenServiceAndAccountMatch)
{
    KeychainTokenStore first(service);
    KeychainTokenStore second(service);
    KeychainTokenStore pending(service, QStringLiteral("oauth:pending"));

    first.saveToken(token(QStringLiteral("one")));
    EXPECT_EQ(second.loadToken(), token(QStringLiteral("one")));
    EXPECT_EQ(pending.loadToken(), std::nullopt);

    pending.saveToken(token(QStringLiteral("pending")));
    second.saveToken(token(QStringLiteral("two")));
    EXPECT_EQ(first.loadToken(), token(QStringLiteral("two")));
    EXPECT_EQ(pending.loadToken(), token(QStringLiteral("pending")));

    second.deleteToken();
    EXPECT_EQ(first.loadToken(), std::nullopt);
    EXPECT_EQ(pending.loadToken(), token(QStringLiteral("pending")));
}

TEST_F(KeychainTokenStoreTest, SavedTokenIsInTheKeyringAsItsJson)
{
    const OAuthToken saved = token(QStringLiteral("outside"));
    KeychainTokenStore(service, QStringLiteral("someone@example.com")).saveToken(saved);

    const SecretToolResult lookup = secretTool({QStringLiteral("lookup"), QStringLiteral("service"), service,
                                          QStringLiteral("account"), QStringLiteral("someone@example.com")});
    EXPECT_EQ(lookup.exitCode, 0);
    EXPECT_EQ(lookup.output, saved.toJson());

    const SecretToolResult search = secretTool({QStringLiteral("search"), QStringLiteral("service"), service});
    EXPECT_TRUE(search.output.contains(
        "label = " + L10n::format(QStringLiteral("keychain_item_label"), QStringLiteral("someone@example.com")).toUtf8()))
        << search.output.constData();
    EXPECT_TRUE(search.output.contains("schema = " + KeychainTokenStore::schemaName.toUtf8())) << search.output.constData();
}

TEST_F(KeychainTokenStoreTest, CorruptItemFailsEveryLoadAndIsKept)
{
    KeychainTokenStore store(service);
    for (const QByteArray &garbage : {QByteArray("not a token"), QByteArray("\0\xff{", 3)}) {
        ASSERT_EQ(secretTool({QStringLiteral("store"), QStringLiteral("--label=corrupt"), QStringLiteral("service"), service,
                              QStringLiteral("account"), QStringLiteral("oauth"), QStringLiteral("xdg:schema"),
                              KeychainTokenStore::schemaName},
                             garbage)
                      .exitCode,
                  0);
        EXPECT_THROW(store.loadToken(), DecodingError);
        EXPECT_THROW(store.loadToken(), DecodingError);
        EXPECT_EQ(secretTool({QStringLiteral("lookup"), QStringLiteral("service"), service, QStringLiteral("account"),
                              QStringLiteral("oauth")})
                      .output,
                  garbage);
        EXPECT_EQ(itemCount(QStringLiteral("oauth")), 1);
    }

    try {
        store.loadToken();
        ADD_FAILURE() << "a corrupt item loaded";
    } catch (const DecodingError &error) {
        EXPECT_TRUE(error.localizedDescription().startsWith(L10n::format(QStringLiteral("error_data_corrupted"), QString())))
            << error.what();
    }

    // Saving is the way out: it overwrites the corrupt item.
    store.saveToken(token(QStringLiteral("repaired")));
    EXPECT_EQ(store.loadToken(), token(QStringLiteral("repaired")));
    EXPECT_EQ(itemCount(QStringLiteral("oauth")), 1);
}
