#pragma once

#include "Services/AccessTokenProvider.h"
#include "Services/GoogleEndpoints.h"
#include "Services/KeychainTokenStore.h"
#include "Support/Clock.h"
#include "Support/Error.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QNetworkAccessManager;

namespace kestrivane {

class OAuthLoopbackServer;

// Standard Base64 of `bytes` with "-" for "+", "_" for "/" and no "=" fill (RFC 4648 section 5).
QString base64URLEncoded(const QByteArray &bytes);

// `text` with every character other than Unicode letters, marks, digits and "-._~" written as
// %XX of its UTF-8 bytes (upper-case hex; a space is %20, never "+"). Text that is not valid
// Unicode is returned unchanged.
QString urlFormEncoded(const QString &text);

// Form fields in the order they were added.
using FormFields = QList<std::pair<QString, QString>>;

// "key=value" pairs, both sides urlFormEncoded, joined with "&", as UTF-8 bytes.
QByteArray formURLEncodedData(const FormFields &fields);

// The token endpoint's answer to a code exchange or a refresh.
struct TokenResponse {
    QString accessToken;
    std::optional<QString> refreshToken;
    // Whole seconds, at most 2^53 in magnitude.
    double expiresIn = 0;

    // Reads the JSON answer: "access_token" a text, "expires_in" a whole number, "refresh_token"
    // absent, null or a text. Throws DecodingError otherwise.
    static TokenResponse decode(const QByteArray &json);
};

// The OAuth client's credentials and scopes. Values are taken as given; authorize() checks them.
struct GoogleOAuthConfiguration {
    QString clientID;
    QString clientSecret;
    QStringList scopes = defaultScopes();

    // The calendar-list, event and e-mail read scopes on Google's API host.
    static QStringList defaultScopes();

    friend bool operator==(const GoogleOAuthConfiguration &, const GoogleOAuthConfiguration &) = default;
};

// Connects one Google account by OAuth 2.0 (browser, loopback redirect, PKCE S256, state check)
// and afterwards hands out its access tokens, refreshing them at the token endpoint. The token
// lives only in the token store.
//
// Main-thread object; its operations are coroutines that may overlap at their suspension points.
// Keep the client alive while an operation runs: one still waiting for the browser when the client
// is destroyed ends with CancellationError, any other fails the same way at its next step.
//
// Starting an authorisation supersedes one still waiting for its redirect in this process (any
// client): the earlier one ends with CancellationError, which callers treat as a quiet end.
class GoogleOAuthClient : public QObject, public AccessTokenProvider {
    Q_OBJECT

public:
    class OAuthError : public Error {
    public:
        enum Kind {
            tokenRequestFailed,
            missingClientID,
            missingClientSecret,
            browserOpenFailed,
            invalidAuthorizationResponse,
            missingRefreshToken,
        };

        explicit OAuthError(Kind kind, std::optional<QString> message = std::nullopt);

        Kind kind() const { return kind_; }
        // The text carried by tokenRequestFailed.
        const std::optional<QString> &message() const { return message_; }
        // The account must be connected again: no refresh token, or the token endpoint named
        // "invalid_grant", "invalid_client" or "unauthorized_client".
        bool requiresReconnect() const;
        QString localizedDescription() const override;

    private:
        Kind kind_;
        std::optional<QString> message_;
    };

    // Opens the authorisation URL in the user's browser; the task yields whether that worked.
    // Called once per authorisation that gets that far. It may throw; its error ends the
    // authorisation unchanged.
    using OpenURL = std::function<QCoro::Task<bool>(QUrl)>;

    // `tokenStore` is required (KeychainTokenStore for a real account). Without `network` the
    // process-wide network access manager is used; a given one must outlive the client.
    explicit GoogleOAuthClient(GoogleOAuthConfiguration configuration, std::shared_ptr<OAuthTokenStoring> tokenStore,
                               QNetworkAccessManager *network = nullptr,
                               GoogleEndpoints endpoints = GoogleEndpoints::google(), Clock clock = systemClock(),
                               QObject *parent = nullptr);
    ~GoogleOAuthClient() override;

    // A token is stored; a store failure counts as none.
    bool hasToken() const;
    // Deletes the stored token; the store's error passes through. (Hides QObject::disconnect:
    // use the qualified name for signal connections.)
    void disconnect();
    // authorize(), then stores the token.
    QCoro::Task<void> connect(OpenURL openURL);
    // Runs the browser flow and yields the new token without storing it.
    QCoro::Task<OAuthToken> authorize(OpenURL openURL);
    // An access token valid for one request, refreshed (and stored) when 60 s or less are left.
    QCoro::Task<QString> accessToken() override;

    // How long authorize() waits for the browser's redirect.
    std::chrono::milliseconds redirectTimeout() const { return redirectTimeout_; }
    void setRedirectTimeout(std::chrono::milliseconds timeout) { redirectTimeout_ = timeout; }

private:
    QCoro::Task<OAuthToken> exchangeCode(QString code, QString verifier, QString redirectURI);
    QCoro::Task<OAuthToken> refreshAccessToken(QString refreshToken);
    QCoro::Task<OAuthToken> requestToken(FormFields body, std::optional<QString> fallbackRefreshToken);

    static QString randomString(int length);
    static QString pkceChallenge(const QString &verifier);

    GoogleOAuthConfiguration configuration_;
    std::shared_ptr<OAuthTokenStoring> tokenStore_;
    QNetworkAccessManager *network_;
    GoogleEndpoints endpoints_;
    Clock clock_;
    std::chrono::milliseconds redirectTimeout_;
    // The listener of this client's authorisation still waiting for its redirect.
    QPointer<OAuthLoopbackServer> waitingListener_;
};

} // namespace kestrivane
