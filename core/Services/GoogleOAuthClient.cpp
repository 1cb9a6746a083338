#include "Services/GoogleOAuthClient.h"

#include "Services/OAuthLoopbackServer.h"
#include "Support/HTTP.h"
#include "Support/Localization.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QRandomGenerator>

#include <cmath>
#include <cstring>
#include <vector>

namespace kestrivane {

namespace {

// The authorisation of this process still waiting for its redirect; a new one supersedes it.
QPointer<OAuthLoopbackServer> &waitingAuthorization()
{
    static QPointer<OAuthLoopbackServer> listener;
    return listener;
}

QString percentEncodedQueryComponent(const QString &text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text, ":/"));
}

DecodingError unreadableAnswer(const QString &detail)
{
    return DecodingError(L10n::format(QStringLiteral("error_response_unreadable"), detail));
}

} // namespace

TokenResponse TokenResponse::decode(const QByteArray &json)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        throw unreadableAnswer(parseError.errorString());
    if (!document.isObject())
        throw unreadableAnswer(QStringLiteral("the token answer is not a JSON object"));
    const QJsonObject object = document.object();
    const QJsonValue access = object.value(QStringLiteral("access_token"));
    const QJsonValue refresh = object.value(QStringLiteral("refresh_token"));
    const QJsonValue expires = object.value(QStringLiteral("expires_in"));
    if (!access.isString())
        throw unreadableAnswer(QStringLiteral("\"access_token\" is missing or not a string"));
    // A whole number of seconds that a double holds exactly.
    constexpr double maxSeconds = 9007199254740992.0;
    if (!expires.isDouble() || std::trunc(expires.toDouble()) != expires.toDouble()
        || std::fabs(expires.toDouble()) > maxSeconds)
        throw unreadableAnswer(QStringLiteral("\"expires_in\" is missing or not a whole number"));
    if (!refresh.isUndefined() && !refresh.isNull() && !refresh.isString())
        throw unreadableAnswer(QStringLiteral("\"refresh_token\" is not a string"));
    TokenResponse response;
    response.accessToken = access.toString();
    if (refresh.isString())
        response.refreshToken = refresh.toString();
    response.expiresIn = expires.toDouble();
    return response;
}

QString base64URLEncoded(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString urlFormEncoded(const QString &text)
{
    static const char hex[] = "0123456789ABCDEF";
    QString encoded;
    encoded.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        char32_t codePoint = c.unicode();
        qsizetype units = 1;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(c, text.at(i + 1));
            units = 2;
        } else if (c.isSurrogate()) {
            return text; // not valid Unicode
        }
        const bool allowed = QChar::isLetterOrNumber(codePoint) || QChar::isMark(codePoint) || codePoint == U'-'
            || codePoint == U'.' || codePoint == U'_' || codePoint == U'~';
        if (allowed) {
            encoded += text.mid(i, units);
        } else {
            for (const char byte : QString::fromUcs4(&codePoint, 1).toUtf8()) {
                const auto value = static_cast<unsigned char>(byte);
                encoded += u'%';
                encoded += QLatin1Char(hex[value >> 4]);
                encoded += QLatin1Char(hex[value & 0xF]);
            }
        }
        i += units - 1;
    }
    return encoded;
}

QByteArray formURLEncodedData(const FormFields &fields)
{
    QStringList pairs;
    pairs.reserve(fields.size());
    for (const auto &[key, value] : fields)
        pairs << urlFormEncoded(key) + u'=' + urlFormEncoded(value);
    return pairs.join(u'&').toUtf8();
}

QStringList GoogleOAuthConfiguration::defaultScopes()
{
    const QString base = QStringLiteral("https://") + GoogleHosts::api;
    return {
        base + QStringLiteral("/auth/calendar.calendarlist.readonly"),
        base + QStringLiteral("/auth/calendar.events.readonly"),
        base + QStringLiteral("/auth/userinfo.email"),
    };
}

GoogleOAuthClient::OAuthError::OAuthError(Kind kind, std::optional<QString> message)
    : kind_(kind), message_(std::move(message))
{
}

bool GoogleOAuthClient::OAuthError::requiresReconnect() const
{
    switch (kind_) {
    case missingRefreshToken:
        return true;
    case tokenRequestFailed: {
        const QString text = message_.value_or(QString());
        for (const char *code : {"invalid_grant", "invalid_client", "unauthorized_client"}) {
            if (text.contains(QLatin1String(code), Qt::CaseSensitive))
                return true;
        }
        return false;
    }
    default:
        return false;
    }
}

QString GoogleOAuthClient::OAuthError::localizedDescription() const
{
    switch (kind_) {
    case tokenRequestFailed:
        return L10n::format(QStringLiteral("oauth_error_token_request_failed"), message_.value_or(QString()));
    case missingClientID:
        return L10n::text(QStringLiteral("oauth_error_missing_client_id"));
    case missingClientSecret:
        return L10n::text(QStringLiteral("oauth_error_missing_client_secret"));
    case browserOpenFailed:
        return L10n::text(QStringLiteral("oauth_error_browser_open_failed"));
    case invalidAuthorizationResponse:
        return L10n::text(QStringLiteral("oauth_error_invalid_authorization_response"));
    case missingRefreshToken:
        return L10n::text(QStringLiteral("oauth_error_missing_refresh_token"));
    }
    return {};
}

GoogleOAuthClient::GoogleOAuthClient(GoogleOAuthConfiguration configuration,
                                     std::shared_ptr<OAuthTokenStoring> tokenStore, QNetworkAccessManager *network,
                                     GoogleEndpoints endpoints, Clock clock, QObject *parent)
    : QObject(parent)
    , configuration_(std::move(configuration))
    , tokenStore_(std::move(tokenStore))
    , network_(network)
    , endpoints_(std::move(endpoints))
    , clock_(std::move(clock))
    , redirectTimeout_(OAuthLoopbackServer::defaultCallbackTimeout)
{
    Q_ASSERT(tokenStore_);
}

GoogleOAuthClient::~GoogleOAuthClient()
{
    if (waitingListener_)
        waitingListener_->cancel();
}

bool GoogleOAuthClient::hasToken() const
{
    try {
        return tokenStore_->loadToken().has_value();
    } catch (...) {
        return false;
    }
}

void GoogleOAuthClient::disconnect()
{
    tokenStore_->deleteToken();
}

QCoro::Task<void> GoogleOAuthClient::connect(OpenURL openURL)
{
    QPointer<GoogleOAuthClient> self(this);
    const OAuthToken token = co_await authorize(std::move(openURL));
    if (!self)
        throw CancellationError();
    tokenStore_->saveToken(token);
}

QCoro::Task<OAuthToken> GoogleOAuthClient::authorize(OpenURL openURL)
{
    const QString clientID = configuration_.clientID.trimmed();
    if (clientID.isEmpty())
        throw OAuthError(OAuthError::missingClientID);
    if (configuration_.clientSecret.trimmed().isEmpty())
        throw OAuthError(OAuthError::missingClientSecret);

    // Owned by this frame, so every way out of the flow stops the listener.
    auto listener = std::make_unique<OAuthLoopbackServer>();
    listener->start();
    if (QPointer<OAuthLoopbackServer> &earlier = waitingAuthorization())
        earlier->cancel();
    waitingAuthorization() = listener.get();
    waitingListener_ = listener.get();
    const QString redirectURI = listener->redirectURI();

    const QString state = randomString(32);
    const QString verifier = randomString(64);
    const QString challenge = pkceChallenge(verifier);

    const FormFields items = {
        {QStringLiteral("client_id"), clientID},
        {QStringLiteral("redirect_uri"), redirectURI},
        {QStringLiteral("response_type"), QStringLiteral("code")},
        {QStringLiteral("scope"), configuration_.scopes.join(u' ')},
        {QStringLiteral("access_type"), QStringLiteral("offline")},
        {QStringLiteral("prompt"), QStringLiteral("consent")},
        {QStringLiteral("code_challenge"), challenge},
        {QStringLiteral("code_challenge_method"), QStringLiteral("S256")},
        {QStringLiteral("state"), state},
    };
    QStringList query;
    for (const auto &[name, value] : items)
        query << percentEncodedQueryComponent(name) + u'=' + percentEncodedQueryComponent(value);
    QUrl url = endpoints_.authorizationURL();
    if (url.isValid())
        url.setQuery(query.join(u'&'), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        throw OAuthError(OAuthError::invalidAuthorizationResponse);
    if (!openURL)
        throw OAuthError(OAuthError::browserOpenFailed);

    QPointer<GoogleOAuthClient> self(this);
    const std::chrono::milliseconds timeout = redirectTimeout_;
    const bool opened = co_await openURL(url);
    if (!opened)
        throw OAuthError(OAuthError::browserOpenFailed);
    const OAuthLoopbackServer::Callback callback = co_await listener->waitForCallback(timeout);
    listener.reset();
    if (!self)
        throw CancellationError();

    if (!callback.state || *callback.state != state || !callback.code)
        throw OAuthError(OAuthError::invalidAuthorizationResponse);
    OAuthToken token = co_await exchangeCode(*callback.code, verifier, redirectURI);
    if (!token.refreshToken)
        throw OAuthError(OAuthError::missingRefreshToken);
    co_return token;
}

QCoro::Task<QString> GoogleOAuthClient::accessToken()
{
    const std::optional<OAuthToken> stored = tokenStore_->loadToken();
    if (!stored)
        throw OAuthError(OAuthError::missingRefreshToken);
    if (stored->isFresh(clock_()))
        co_return stored->accessToken;
    if (!stored->refreshToken) {
        try {
            tokenStore_->deleteToken();
        } catch (...) {
            // The token is unusable either way; the caller learns that from the error below.
        }
        throw OAuthError(OAuthError::missingRefreshToken);
    }
    QPointer<GoogleOAuthClient> self(this);
    const OAuthToken refreshed = co_await refreshAccessToken(*stored->refreshToken);
    if (!self)
        throw CancellationError();
    tokenStore_->saveToken(refreshed);
    co_return refreshed.accessToken;
}

QCoro::Task<OAuthToken> GoogleOAuthClient::exchangeCode(QString code, QString verifier, QString redirectURI)
{
    FormFields body = {
        {QStringLiteral("client_id"), configuration_.clientID},
        {QStringLiteral("client_secret"), configuration_.clientSecret},
        {QStringLiteral("code"), code},
        {QStringLiteral("code_verifier"), verifier},
        {QStringLiteral("grant_type"), QStringLiteral("authorization_code")},
        {QStringLiteral("redirect_uri"), redirectURI},
    };
    co_return co_await requestToken(std::move(body), std::nullopt);
}

QCoro::Task<OAuthToken> GoogleOAuthClient::refreshAccessToken(QString refreshToken)
{
    FormFields body = {
        {QStringLiteral("client_id"), configuration_.clientID},
        {QStringLiteral("client_secret"), configuration_.clientSecret},
        {QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
        {QStringLiteral("refresh_token"), refreshToken},
    };
    co_return co_await requestToken(std::move(body), refreshToken);
}

QCoro::Task<OAuthToken> GoogleOAuthClient::requestToken(FormFields body, std::optional<QString> fallbackRefreshToken)
{
    QNetworkRequest request(endpoints_.tokenURL());
    request.setRawHeader("Content-Type", "application/x-www-form-urlencoded");
    request.setTransferTimeout(static_cast<int>(std::chrono::milliseconds(httpTransferTimeout).count()));

    QPointer<GoogleOAuthClient> self(this);
    QNetworkAccessManager &network = network_ ? *network_ : sharedNetworkAccessManager();
    const HTTPResponse response =
        co_await sendHTTPRequest(network, std::move(request), QByteArrayLiteral("POST"), formURLEncodedData(body));
    if (!self)
        throw CancellationError();
    const QDateTime arrived = clock_();

    if (!response.statusCode)
        throw OAuthError(OAuthError::tokenRequestFailed, L10n::text(QStringLiteral("error_no_http_response")));
    if (!response.isSuccess())
        throw OAuthError(OAuthError::tokenRequestFailed, response.errorMessage());

    const TokenResponse answer = TokenResponse::decode(response.body);
    OAuthToken token;
    token.accessToken = answer.accessToken;
    token.refreshToken = answer.refreshToken ? answer.refreshToken : fallbackRefreshToken;
    token.expiresAt = instantFromSecondsSince1970(secondsSince1970(arrived) + answer.expiresIn);
    co_return token;
}

QString GoogleOAuthClient::randomString(int length)
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-._~";
    static_assert(sizeof(alphabet) - 1 == 66);
    std::vector<quint32> words((static_cast<size_t>(length) + 3) / 4);
    QRandomGenerator::system()->fillRange(words.data(), static_cast<qsizetype>(words.size()));
    QByteArray bytes(length, Qt::Uninitialized);
    std::memcpy(bytes.data(), words.data(), static_cast<size_t>(length));
    QString text;
    text.reserve(length);
    for (const char byte : bytes)
        text += QLatin1Char(alphabet[static_cast<unsigned char>(byte) % 66]);
    return text;
}

QString GoogleOAuthClient::pkceChallenge(const QString &verifier)
{
    return base64URLEncoded(QCryptographicHash::hash(verifier.toUtf8(), QCryptographicHash::Sha256));
}

} // namespace kestrivane
