#pragma once

#include "Support/Error.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace kestrivane {

// One OAuth token: the unit a token store keeps.
struct OAuthToken {
    QString accessToken;
    std::optional<QString> refreshToken;
    QDateTime expiresAt;

    // More than 60 s of the access token are left at the current time.
    bool isFresh() const;
    bool isFresh(const QDateTime &now) const;

    // Compact JSON: "accessToken", "refreshToken" (only when present), "expiresAt" as seconds
    // since 2001-01-01 UTC.
    QByteArray toJson() const;
    // Throws DecodingError when "accessToken" or "expiresAt" is missing or of the wrong type.
    static OAuthToken fromJson(const QByteArray &json);

    friend bool operator==(const OAuthToken &, const OAuthToken &) = default;
};

// Where tokens are kept. Synchronous; every operation may throw.
class OAuthTokenStoring {
public:
    virtual ~OAuthTokenStoring() = default;
    // The stored token, or nullopt when nothing is stored.
    virtual std::optional<OAuthToken> loadToken() = 0;
    // Stores `token`, replacing whatever was stored.
    virtual void saveToken(const OAuthToken &token) = 0;
    // Removes the stored token; removing nothing succeeds.
    virtual void deleteToken() = 0;
};

// A failure of the keyring other than a missing item.
class KeychainError : public Error {
public:
    KeychainError(qint32 status, QString message = {});
    qint32 status() const { return status_; }
    // The service's message, or "Keychain error <status>" when it gave none.
    QString localizedDescription() const override;

private:
    qint32 status_;
    QString message_;
};

// Keeps one token as JSON in one Secret Service item, addressed by the attributes "service" and
// "account" under the schema below (kept in the item's "xdg:schema" attribute). New items go to
// the default collection. Nothing is cached: every call goes to the keyring and blocks until it
// answers (an unlock prompt included).
class KeychainTokenStore final : public OAuthTokenStoring {
public:
    static inline const QString schemaName = QStringLiteral("app.kestrivane.OAuthToken");
    static inline const QString defaultAccount = QStringLiteral("oauth");
    // The bundle identifier followed by ".google".
    static QString defaultService();

    explicit KeychainTokenStore(QString service = defaultService(), QString account = defaultAccount);

    // Throws KeychainError when the keyring fails or the item stays locked, and the
    // DecodingError of OAuthToken::fromJson when the item holds no token (the item is kept).
    std::optional<OAuthToken> loadToken() override;
    // Creates the item or replaces its data; there is never more than one.
    void saveToken(const OAuthToken &token) override;
    void deleteToken() override;

    const QString &service() const { return service_; }
    const QString &account() const { return account_; }

private:
    QString service_;
    QString account_;
};

} // namespace kestrivane
