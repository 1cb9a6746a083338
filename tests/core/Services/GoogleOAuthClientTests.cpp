#include "Services/GoogleOAuthClient.h"
#include "Services/OAuthLoopbackServer.h"
#include "Support/HTTP.h"
#include "Support/Localization.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/FakeGoogleServer.h"
#include "TestSupport/InMemoryTokenStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;
using OAuthError = GoogleOAuthClient::OAuthError;

namespace {

const QRegularExpression alphabet66(QStringLiteral("^[A-Za-z0-9._~-]*$"));

QString challengeOf(const QString &verifier)
{
    return QString::fromLatin1(QCryptographicHash::hash(verifier.toUtf8(), QCryptographicHash::Sha256)
                                   .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QStringList keys(const QList<std::pair<QString, QString>> &fields)
{
    QStringList names;
    for (const auto &[key, value] : fields)
        names << key;
    names.sort();
    return names;
}

// Runs `task` and returns the error it ends with; fails the test when it succeeds.
template<typename Exception, typename T>
Exception failure(QCoro::Task<T> &&task)
{
    try {
        runTask(std::move(task));
    } catch (const Exception &error) {
        return error;
    }
    ADD_FAILURE() << "the operation did not fail with the expected error";
    throw std::runtime_error("no failure");
}

// Whether something accepts connections on 127.0.0.1:`port`.
bool accepts(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState || socket.error() != QAbstractSocket::UnknownSocketError; }, 5s);
    return socket.state() == QAbstractSocket::ConnectedState;
}

quint16 portOf(const QUrl &authorizationURL)
{
    const QUrlQuery query(authorizationURL);
    return static_cast<quint16>(QUrl(query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded)).port());
}

class GoogleOAuthClientTest : public ::testing::Test {
protected:
    void TearDown() override { L10n::configure(std::nullopt); }

    GoogleOAuthConfiguration configuration() const { return {oauth.clientID, oauth.clientSecret}; }

    std::unique_ptr<GoogleOAuthClient> makeClient(std::optional<GoogleOAuthConfiguration> config = std::nullopt,
                                                  std::optional<GoogleEndpoints> endpoints = std::nullopt)
    {
        return std::make_unique<GoogleOAuthClient>(config.value_or(configuration()), store, nullptr,
                                                   endpoints.value_or(server.endpoints()), [this] { return now; });
    }

    // A browser that loads the authorisation URL (and so the redirect) before reporting it opened.
    GoogleOAuthClient::OpenURL browserThatFinishesFirst()
    {
        return [this](QUrl url) -> QCoro::Task<bool> {
            openedURLs << url;
            pages << co_await openLikeBrowser(url);
            co_return true;
        };
    }

    // A browser that reports it opened at once and loads the page afterwards.
    GoogleOAuthClient::OpenURL browserInBackground()
    {
        return [this](QUrl url) -> QCoro::Task<bool> {
            openedURLs << url;
            [](GoogleOAuthClientTest *test, QUrl url) -> QCoro::Task<void> {
                test->pages << co_await openLikeBrowser(url);
            }(this, url);
            co_return true;
        };
    }

    // Opens nothing and answers `opened`.
    GoogleOAuthClient::OpenURL browserThatAnswers(bool opened)
    {
        return [this, opened](QUrl url) -> QCoro::Task<bool> {
            openedURLs << url;
            co_return opened;
        };
    }

    OAuthToken storedToken(std::chrono::milliseconds left, std::optional<QString> refreshToken) const
    {
        return {QStringLiteral("ya29.stored"), std::move(refreshToken), now.addMSecs(left.count())};
    }

    FakeGoogleServer server;
    FakeGoogleOAuth oauth{server};
    std::shared_ptr<InMemoryTokenStore> store = std::make_shared<InMemoryTokenStore>();
    QDateTime now = QDateTime(QDate(2026, 3, 2), QTime(9, 0), Qt::UTC);
    QList<QUrl> openedURLs;
    QList<BrowserPage> pages;
};

} // namespace

TEST_F(GoogleOAuthClientTest, AuthorisesThroughTheBrowserAndExchangesTheCodeWithItsVerifier)
{
    const int listening = OAuthLoopbackServer::listeningCount();
    auto client = makeClient();
    EXPECT_EQ(client->redirectTimeout(), std::chrono::minutes(10));
    const OAuthToken token = runTask(client->authorize(browserThatFinishesFirst()));

    EXPECT_EQ(token, (OAuthToken{oauth.accessToken, oauth.refreshToken, now.addSecs(3599)}));
    EXPECT_EQ(store->saves, 0); // the caller decides where the token goes
    EXPECT_EQ(OAuthLoopbackServer::listeningCount(), listening);

    // The authorisation URL: nine items in order, RFC 3986 encoding.
    ASSERT_EQ(openedURLs.size(), 1);
    const QUrl url = openedURLs.first();
    EXPECT_EQ(url.adjusted(QUrl::RemoveQuery), server.endpoints().authorizationURL());
    const QUrlQuery query(url);
    QStringList names;
    for (const auto &[name, value] : query.queryItems())
        names << name;
    EXPECT_EQ(names, (QStringList{"client_id", "redirect_uri", "response_type", "scope", "access_type", "prompt",
                                  "code_challenge", "code_challenge_method", "state"}));
    const QString encodedQuery = url.query(QUrl::FullyEncoded);
    const quint16 port = portOf(url);
    EXPECT_TRUE(encodedQuery.contains(QStringLiteral("&redirect_uri=http://127.0.0.1:%1/oauth2callback&").arg(port)));
    EXPECT_TRUE(encodedQuery.contains(QStringLiteral(
        "&scope=https://www.googleapis.com/auth/calendar.calendarlist.readonly%20"
        "https://www.googleapis.com/auth/calendar.events.readonly%20https://www.googleapis.com/auth/userinfo.email&")));
    EXPECT_EQ(query.queryItemValue("response_type"), "code");
    EXPECT_EQ(query.queryItemValue("access_type"), "offline");
    EXPECT_EQ(query.queryItemValue("prompt"), "consent");
    EXPECT_EQ(query.queryItemValue("code_challenge_method"), "S256");
    const QString state = query.queryItemValue("state");
    const QString challenge = query.queryItemValue("code_challenge");
    EXPECT_EQ(state.size(), 32);
    EXPECT_TRUE(alphabet66.match(state).hasMatch());
    EXPECT_EQ(challenge.size(), 43);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z0-9_-]{43}$")).match(challenge).hasMatch());

    // The exchange, key by key; the verifier matches the challenge that was sent.
    const auto exchanges = server.requestsTo("POST", FakeGoogleOAuth::tokenPath);
    ASSERT_EQ(exchanges.size(), 1);
    const RecordedRequest &exchange = exchanges.first();
    EXPECT_EQ(exchange.header("content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(keys(exchange.formFields()),
              (QStringList{"client_id", "client_secret", "code", "code_verifier", "grant_type", "redirect_uri"}));
    EXPECT_EQ(exchange.formValue("client_id"), oauth.clientID);
    EXPECT_EQ(exchange.formValue("client_secret"), oauth.clientSecret);
    EXPECT_EQ(exchange.formValue("code"), oauth.issuedCode);
    EXPECT_EQ(exchange.formValue("grant_type"), "authorization_code");
    EXPECT_EQ(exchange.formValue("redirect_uri"), QStringLiteral("http://127.0.0.1:%1/oauth2callback").arg(port));
    const QString verifier = exchange.formValue("code_verifier").value_or(QString());
    EXPECT_EQ(verifier.size(), 64);
    EXPECT_TRUE(alphabet66.match(verifier).hasMatch());
    EXPECT_EQ(challengeOf(verifier), challenge);
    // Spaces and pluses of the code travel as %20 and %2B, never as "+".
    EXPECT_TRUE(exchange.body.contains("code=4%2F0A-code%2Bwith%2Fodd%20chars&"));
    EXPECT_FALSE(exchange.body.contains('+'));

    // The browser got the page.
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(pages.first().status, 200);
    EXPECT_EQ(pages.first().body,
              OAuthLoopbackServer::successHTML(L10n::text(QStringLiteral("oauth_callback_success"))).toUtf8());
    EXPECT_FALSE(accepts(port));
}

TEST_F(GoogleOAuthClientTest, RedirectArrivingWhileTheClientWaitsCompletesAndConnectStoresTheToken)
{
    auto client = makeClient();
    runTask(client->connect(browserInBackground()));
    // The background browser takes its page too, before the test (which it writes to) ends.
    ASSERT_TRUE(waitUntil([&] { return pages.size() == 1; }));
    EXPECT_EQ(store->token, (OAuthToken{oauth.accessToken, oauth.refreshToken, now.addSecs(3599)}));
    EXPECT_TRUE(client->hasToken());
    client->disconnect();
    EXPECT_FALSE(store->token);
    EXPECT_FALSE(client->hasToken());
    store->failLoad = true;
    EXPECT_FALSE(client->hasToken());
}

TEST_F(GoogleOAuthClientTest, ClientIDIsTrimmedForTheBrowserButSentAsStoredToTheTokenEndpoint)
{
    oauth.clientID = QStringLiteral("  padded.apps.example \n");
    oauth.clientSecret = QStringLiteral("s&e+c r=t");
    auto client = makeClient();
    runTask(client->authorize(browserThatFinishesFirst()));
    EXPECT_EQ(QUrlQuery(openedURLs.first()).queryItemValue("client_id"), "padded.apps.example");
    const RecordedRequest exchange = server.requestsTo("POST", FakeGoogleOAuth::tokenPath).first();
    EXPECT_TRUE(exchange.body.contains("client_id=%20%20padded.apps.example%20%0A&"));
    EXPECT_TRUE(exchange.body.contains("client_secret=s%26e%2Bc%20r%3Dt&"));
}

TEST_F(GoogleOAuthClientTest, MissingCredentialsFailBeforeAnythingStarts)
{
    const int listening = OAuthLoopbackServer::listeningCount();
    auto noID = makeClient(GoogleOAuthConfiguration{QStringLiteral(" \t\n"), QStringLiteral("secret")});
    EXPECT_EQ(failure<OAuthError>(noID->authorize(browserThatFinishesFirst())).kind(), OAuthError::missingClientID);
    auto noSecret = makeClient(GoogleOAuthConfiguration{QStringLiteral("id"), QStringLiteral("  ")});
    EXPECT_EQ(failure<OAuthError>(noSecret->authorize(browserThatFinishesFirst())).kind(), OAuthError::missingClientSecret);
    EXPECT_TRUE(openedURLs.isEmpty());
    EXPECT_TRUE(server.requests.isEmpty());
    EXPECT_EQ(OAuthLoopbackServer::listeningCount(), listening);
}

TEST_F(GoogleOAuthClientTest, UnusableRedirectsFailWithoutAnExchange)
{
    const QList<std::function<QString(const QUrlQuery &)>> redirects = {
        // the state in other letter case
        [](const QUrlQuery &q) { return QStringLiteral("code=c&state=") + q.queryItemValue("state").toUpper(); },
        [](const QUrlQuery &q) { return QStringLiteral("state=") + q.queryItemValue("state"); },
        [](const QUrlQuery &) { return QStringLiteral("code=c"); },
        // declined in the browser
        [](const QUrlQuery &q) { return QStringLiteral("error=access_denied&state=") + q.queryItemValue("state"); },
    };
    for (const auto &redirect : redirects) {
        oauth.redirectQuery = redirect;
        pages.clear();
        auto client = makeClient();
        EXPECT_EQ(failure<OAuthError>(client->authorize(browserThatFinishesFirst())).kind(),
                  OAuthError::invalidAuthorizationResponse);
        // The page makes no claim of success: it is served to declined sign-ins too.
        ASSERT_EQ(pages.size(), 1);
        EXPECT_EQ(pages.first().body, OAuthLoopbackServer::successHTML(L10n::text("oauth_callback_success")).toUtf8());
    }
    EXPECT_TRUE(server.requestsTo("POST", FakeGoogleOAuth::tokenPath).isEmpty());
    EXPECT_EQ(store->saves, 0);
    for (const char *language : {"en", "ja"}) {
        L10n::configure(QString::fromLatin1(language));
        const QString text = L10n::text("oauth_callback_success");
        for (const char *claim : {"success", "signed in", "connected", "成功", "完了", "接続しました"})
            EXPECT_FALSE(text.contains(QString::fromUtf8(claim), Qt::CaseInsensitive)) << text.toStdString();
    }
}

TEST_F(GoogleOAuthClientTest, ExchangeAnswerWithoutRefreshTokenFails)
{
    oauth.exchangeGivesRefreshToken = false;
    auto client = makeClient();
    const OAuthError error = failure<OAuthError>(client->authorize(browserThatFinishesFirst()));
    EXPECT_EQ(error.kind(), OAuthError::missingRefreshToken);
    EXPECT_TRUE(error.requiresReconnect());
    EXPECT_EQ(store->saves, 0);
}

TEST_F(GoogleOAuthClientTest, ListenerStopsOnEveryEarlyExit)
{
    const int listening = OAuthLoopbackServer::listeningCount();

    auto client = makeClient();
    EXPECT_EQ(failure<OAuthError>(client->authorize(browserThatAnswers(false))).kind(), OAuthError::browserOpenFailed);
    ASSERT_EQ(openedURLs.size(), 1);
    EXPECT_FALSE(accepts(portOf(openedURLs.first())));

    const GoogleOAuthClient::OpenURL throwing = [this](QUrl url) -> QCoro::Task<bool> {
        openedURLs << url;
        throw Error(QStringLiteral("no desktop"));
        co_return true;
    };
    EXPECT_EQ(failure<Error>(client->authorize(throwing)).localizedDescription(), "no desktop");
    EXPECT_FALSE(accepts(portOf(openedURLs.last())));

    // An authorisation URL that cannot be formed.
    GoogleEndpoints broken = server.endpoints();
    broken.accountsBase = QUrl(QStringLiteral("http://[::1"));
    auto brokenClient = makeClient(std::nullopt, broken);
    EXPECT_EQ(failure<OAuthError>(brokenClient->authorize(browserThatFinishesFirst())).kind(),
              OAuthError::invalidAuthorizationResponse);
    EXPECT_EQ(openedURLs.size(), 2);

    // No redirect within the time limit.
    client->setRedirectTimeout(100ms);
    EXPECT_EQ(failure<OAuthError>(client->authorize(browserThatAnswers(true))).kind(),
              OAuthError::invalidAuthorizationResponse);
    EXPECT_FALSE(accepts(portOf(openedURLs.last())));

    EXPECT_EQ(OAuthLoopbackServer::listeningCount(), listening);
    EXPECT_TRUE(server.requests.isEmpty());
}

TEST_F(GoogleOAuthClientTest, NewAuthorisationSupersedesOneStillWaiting)
{
    auto first = makeClient();
    bool firstCancelled = false;
    auto waiting = [&]() -> QCoro::Task<void> {
        try {
            co_await first->authorize(browserThatAnswers(true));
        } catch (const CancellationError &) {
            firstCancelled = true;
        }
    }();
    ASSERT_TRUE(waitUntil([&] { return openedURLs.size() == 1; }));
    const quint16 firstPort = portOf(openedURLs.first());

    auto second = makeClient();
    const OAuthToken token = runTask(second->authorize(browserThatFinishesFirst()));
    EXPECT_EQ(token.accessToken, oauth.accessToken);
    EXPECT_TRUE(waitUntil([&] { return firstCancelled; }));
    EXPECT_FALSE(accepts(firstPort));
    EXPECT_EQ(server.requestsTo("POST", FakeGoogleOAuth::tokenPath).size(), 1);
}

TEST_F(GoogleOAuthClientTest, DestroyingTheClientEndsItsWaitAndStopsTheListener)
{
    auto client = makeClient();
    bool cancelled = false;
    auto waiting = [&]() -> QCoro::Task<void> {
        try {
            co_await client->authorize(browserThatAnswers(true));
        } catch (const CancellationError &) {
            cancelled = true;
        }
    }();
    ASSERT_TRUE(waitUntil([&] { return openedURLs.size() == 1; }));
    client.reset();
    EXPECT_TRUE(waitUntil([&] { return cancelled; }));
    EXPECT_FALSE(accepts(portOf(openedURLs.first())));
}

TEST_F(GoogleOAuthClientTest, AccessTokenIsRefreshedWithSixtySecondsOrLessLeftKeepingTheRefreshToken)
{
    auto client = makeClient();
    store->token = storedToken(61s, oauth.refreshToken);
    EXPECT_EQ(runTask(client->accessToken()), "ya29.stored");
    EXPECT_TRUE(server.requests.isEmpty());
    EXPECT_EQ(store->saves, 0);

    store->token = storedToken(60s, oauth.refreshToken);
    EXPECT_EQ(runTask(client->accessToken()), oauth.refreshedAccessToken);
    EXPECT_EQ(store->token, (OAuthToken{oauth.refreshedAccessToken, oauth.refreshToken, now.addSecs(3599)}));
    const RecordedRequest refresh = server.requestsTo("POST", FakeGoogleOAuth::tokenPath).first();
    EXPECT_EQ(keys(refresh.formFields()), (QStringList{"client_id", "client_secret", "grant_type", "refresh_token"}));
    EXPECT_EQ(refresh.formValue("grant_type"), "refresh_token");
    EXPECT_EQ(refresh.formValue("refresh_token"), oauth.refreshToken);

    // A refresh answer that brings a new refresh token replaces the old one.
    oauth.refreshGivesRefreshToken = QStringLiteral("1//rotated");
    store->token = storedToken(-5min, oauth.refreshToken);
    runTask(client->accessToken());
    EXPECT_EQ(store->token->refreshToken, "1//rotated");
}

TEST_F(GoogleOAuthClientTest, MissingOrUnrefreshableTokensAskForANewConnection)
{
    auto client = makeClient();
    EXPECT_TRUE(failure<OAuthError>(client->accessToken()).requiresReconnect());

    store->token = storedToken(30s, std::nullopt);
    const OAuthError error = failure<OAuthError>(client->accessToken());
    EXPECT_EQ(error.kind(), OAuthError::missingRefreshToken);
    EXPECT_FALSE(store->token);
    EXPECT_EQ(failure<OAuthError>(client->accessToken()).kind(), OAuthError::missingRefreshToken);

    // A failing delete changes nothing in the answer.
    store->token = storedToken(30s, std::nullopt);
    store->failDelete = true;
    EXPECT_EQ(failure<OAuthError>(client->accessToken()).kind(), OAuthError::missingRefreshToken);
    EXPECT_TRUE(server.requests.isEmpty());

    store->failLoad = true;
    EXPECT_EQ(failure<KeychainError>(client->accessToken()).status(), -1);
}

TEST_F(GoogleOAuthClientTest, RevokedRefreshTokenGivesTheEndpointsBodyAndAsksForReconnect)
{
    auto client = makeClient();
    store->token = storedToken(0s, QStringLiteral("1//revoked"));
    const OAuthError error = failure<OAuthError>(client->accessToken());
    EXPECT_EQ(error.kind(), OAuthError::tokenRequestFailed);
    EXPECT_TRUE(error.message()->contains(QStringLiteral("\"error\": \"invalid_grant\"")));
    EXPECT_TRUE(error.requiresReconnect());
    EXPECT_EQ(error.localizedDescription(), L10n::format("oauth_error_token_request_failed", *error.message()));
    EXPECT_EQ(store->token, storedToken(0s, QStringLiteral("1//revoked")));

    oauth.clientSecret = QStringLiteral("rotated-secret");
    store->token = storedToken(0s, oauth.refreshToken);
    EXPECT_TRUE(failure<OAuthError>(client->accessToken()).message()->contains("invalid_client"));
}

TEST(GoogleOAuthErrorTest, ReconnectIsAskedForByTheThreeCodesInTheirExactCase)
{
    const auto failed = [](const char *message) {
        return OAuthError(OAuthError::tokenRequestFailed, QString::fromUtf8(message)).requiresReconnect();
    };
    EXPECT_TRUE(failed(R"({"error":"unauthorized_client"})"));
    EXPECT_TRUE(failed("prefix invalid_client suffix"));
    EXPECT_FALSE(failed(R"({"error":"INVALID_GRANT","x":"Invalid_Client Unauthorized_Client"})"));
    EXPECT_FALSE(failed("HTTP 500"));
    for (auto kind : {OAuthError::missingClientID, OAuthError::missingClientSecret, OAuthError::browserOpenFailed,
                      OAuthError::invalidAuthorizationResponse})
        EXPECT_FALSE(OAuthError(kind).requiresReconnect());
}

TEST_F(GoogleOAuthClientTest, ErrorBodiesBecomeMessagesAndUnreadableAnswersChangeNothing)
{
    auto client = makeClient();
    const OAuthToken stale = storedToken(10s, oauth.refreshToken);
    const auto answerWith = [&](FakeResponse response) {
        server.route("POST", FakeGoogleOAuth::tokenPath, [response](const RecordedRequest &) { return response; });
        store->token = stale;
    };

    answerWith(FakeResponse::json(503, QByteArray("\xff\xfe\x00 busy", 7)));
    EXPECT_EQ(failure<OAuthError>(client->accessToken()).message(), "HTTP 503");
    answerWith(FakeResponse::json(500, QByteArray()));
    EXPECT_EQ(failure<OAuthError>(client->accessToken()).message(), "");
    answerWith(FakeResponse::json(401, QByteArray("Nicht erlaubt: \xc3\xa9")));
    EXPECT_EQ(failure<OAuthError>(client->accessToken()).message(), QString::fromUtf8("Nicht erlaubt: é"));

    for (const QByteArray &body : {QByteArray("<html>not json"), QByteArray("[1]"),
                                  QByteArray(R"({"expires_in": 3600})"),
                                  QByteArray(R"({"access_token": "a", "expires_in": "3600"})"),
                                  QByteArray(R"({"access_token": "a", "expires_in": 3600.5})"),
                                  QByteArray(R"({"access_token": "a", "expires_in": 3600, "refresh_token": 7})")}) {
        answerWith(FakeResponse::json(200, body));
        EXPECT_THROW(runTask(client->accessToken()), DecodingError) << body.toStdString();
        EXPECT_EQ(store->token, stale);
    }

    // A null refresh token reads as absent, so the old one is kept.
    answerWith(FakeResponse::json(200, R"({"access_token": "new", "expires_in": 3600, "refresh_token": null, "id_token": "x"})"));
    EXPECT_EQ(runTask(client->accessToken()), "new");
    EXPECT_EQ(store->token, (OAuthToken{QStringLiteral("new"), oauth.refreshToken, now.addSecs(3600)}));

    // A refreshed token that cannot be saved is dropped; the stored one stays.
    store->token = stale;
    store->failSave = true;
    EXPECT_THROW(runTask(client->accessToken()), KeychainError);
    EXPECT_EQ(store->token, stale);
}

TEST_F(GoogleOAuthClientTest, TransportFailuresPassThroughAndChangeNothing)
{
    const OAuthToken stale = storedToken(10s, oauth.refreshToken);

    // Nothing listens on the token host.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress(QHostAddress::LocalHost), 0));
    GoogleEndpoints unreachable = server.endpoints();
    unreachable.oauthTokenBase = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
    closed.close();
    auto client = makeClient(std::nullopt, unreachable);
    store->token = stale;
    const TransportError refused = failure<TransportError>(client->accessToken());
    EXPECT_EQ(refused.code(), QNetworkReply::ConnectionRefusedError);
    EXPECT_TRUE(refused.localizedDescription().startsWith(L10n::format("error_network_request_failed", QString())));
    EXPECT_EQ(store->token, stale);

    // The connection drops without an answer.
    server.route("POST", FakeGoogleOAuth::tokenPath, [](const RecordedRequest &) { return FakeResponse::drop(); });
    auto dropped = makeClient();
    EXPECT_THROW(runTask(dropped->accessToken()), TransportError);
    EXPECT_EQ(store->token, stale);
}

TEST(OAuthEncodingTest, FormEncodingKeepsLettersMarksAndDigitsOfAnyScript)
{
    EXPECT_EQ(urlFormEncoded(QStringLiteral("a b+c&d=e/f?g%h~i.j_k-l")), "a%20b%2Bc%26d%3De%2Ff%3Fg%25h~i.j_k-l");
    EXPECT_EQ(urlFormEncoded(QString::fromUtf8("café 日本語 e\u0301 ٣")), QString::fromUtf8("café%20日本語%20e\u0301%20٣"));
    EXPECT_EQ(urlFormEncoded(QString::fromUtf8("😀\n")), "%F0%9F%98%80%0A");
    const QString loneSurrogate = QString(QChar(0xD800)) + QStringLiteral(" x");
    EXPECT_EQ(urlFormEncoded(loneSurrogate), loneSurrogate);

    EXPECT_EQ(formURLEncodedData({{"grant_type", "refresh_token"}, {"name é", "a+b"}}),
              QByteArray("grant_type=refresh_token&name%20\xc3\xa9=a%2Bb"));
    EXPECT_TRUE(formURLEncodedData({}).isEmpty());
}

TEST(OAuthEncodingTest, Base64URLMatchesTheS256Example)
{
    EXPECT_EQ(base64URLEncoded(QByteArray("\xfb\xff\xbf", 3)), "-_-_");
    EXPECT_EQ(base64URLEncoded(QByteArray("\xfb\xff", 2)), "-_8");
    EXPECT_EQ(base64URLEncoded(QCryptographicHash::hash("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk",
                                                        QCryptographicHash::Sha256)),
              "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
}

// A real browser follows the authorisation URL to the listener; the rendered page is kept as a
// screenshot next to the test binary (screenshots/).
TEST_F(GoogleOAuthClientTest, HeadlessChromiumCompletesTheFlow)
{
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    ASSERT_FALSE(chromium.isEmpty()) << "chromium is not installed: run scripts/install-deps.sh";
    const QString shots = QCoreApplication::applicationDirPath() + QStringLiteral("/screenshots");
    ASSERT_TRUE(QDir().mkpath(shots));

    for (const char *language : {"en", "ja"}) {
        L10n::configure(QString::fromLatin1(language));
        QTemporaryDir profile;
        ASSERT_TRUE(profile.isValid());
        const QString screenshot = shots + QStringLiteral("/oauth-callback-%1.png").arg(QLatin1String(language));
        QFile::remove(screenshot);
        QProcess browser;
        browser.setProcessChannelMode(QProcess::MergedChannels);
        // Keep the browser off the test session's bus (it would start services there).
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
        browser.setProcessEnvironment(environment);
        const GoogleOAuthClient::OpenURL openInChromium = [&](QUrl url) -> QCoro::Task<bool> {
            browser.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                                     "--disable-background-networking", "--disable-component-update", "--disable-sync",
                                     "--user-data-dir=" + profile.path(), "--window-size=900,700",
                                     "--screenshot=" + screenshot, url.toString(QUrl::FullyEncoded)});
            co_return browser.waitForStarted(10'000);
        };

        auto client = makeClient();
        const OAuthToken token = runTask(client->authorize(openInChromium));
        EXPECT_EQ(token, (OAuthToken{oauth.accessToken, oauth.refreshToken, now.addSecs(3599)}));
        const bool exited = waitUntil([&] { return browser.state() == QProcess::NotRunning; }, 30s);
        if (!exited) {
            browser.kill();
            browser.waitForFinished(5000);
        }
        ASSERT_TRUE(exited) << browser.readAll().toStdString();
        QFile png(screenshot);
        ASSERT_TRUE(png.open(QIODevice::ReadOnly)) << browser.readAll().toStdString();
        const QByteArray image = png.readAll();
        EXPECT_TRUE(image.startsWith("\x89PNG\r\n\x1a\n"));
        EXPECT_GT(image.size(), 10'000); // a rendered card, not an empty page
    }
}
