#include "Stores/AppStore.h"

#include "Services/GoogleCalendarClient.h"
#include "Services/GoogleOAuthClient.h"

#include <stdexcept>

namespace kestrivane {

// MARK: - Keyring items and clients of the accounts

QString AppStore::googleTokenAccountName(const QString &accountID)
{
    return QStringLiteral("oauth:") + accountID;
}

std::shared_ptr<OAuthTokenStoring> AppStore::makeTokenStore(const QString &account) const
{
    return tokenStoreFactory_(keychainService_, account);
}

std::shared_ptr<OAuthTokenStoring> AppStore::googleTokenStore(const GoogleAccount &account) const
{
    return makeTokenStore(googleTokenAccountName(account.id));
}

GoogleOAuthConfiguration AppStore::googleOAuthConfiguration() const
{
    GoogleOAuthConfiguration configuration;
    configuration.clientID = googleClientID_;
    configuration.clientSecret = googleClientSecret_;
    return configuration;
}

std::shared_ptr<GoogleOAuthClient> AppStore::makeGoogleOAuthClient(std::shared_ptr<OAuthTokenStoring> tokenStore) const
{
    return std::make_shared<GoogleOAuthClient>(googleOAuthConfiguration(), std::move(tokenStore), network_, endpoints_, now_);
}

std::shared_ptr<GoogleOAuthClient> AppStore::googleOAuthClient(const GoogleAccount &account) const
{
    return makeGoogleOAuthClient(googleTokenStore(account));
}

std::shared_ptr<GoogleOAuthClient> AppStore::googleOAuthClient() const
{
    return makeGoogleOAuthClient(tokenStore_);
}

std::shared_ptr<GoogleCalendarClient> AppStore::makeGoogleCalendarClient(std::shared_ptr<GoogleOAuthClient> oauthClient) const
{
    return std::make_shared<GoogleCalendarClient>(std::move(oauthClient), network_, endpoints_);
}

std::optional<std::pair<QString, QString>> AppStore::compositeGoogleCalendarID(const QString &text)
{
    const qsizetype separator = text.indexOf(googleCalendarIDSeparator);
    if (separator < 0)
        return std::nullopt;
    return std::pair(text.left(separator), text.mid(separator + googleCalendarIDSeparator.size()));
}

void AppStore::cancelCalendarSelectionSync()
{
    cancelTask(calendarSelectionSyncTask_);
}

// MARK: - Account operations

QCoro::Task<void> AppStore::connectGoogle(OpenURL openURL)
{
    Q_UNUSED(openURL);
    throw std::logic_error("not built yet");
    co_return;
}

QCoro::Task<void> AppStore::connectGoogleAndSync(OpenURL openURL)
{
    Q_UNUSED(openURL);
    throw std::logic_error("not built yet");
    co_return;
}

void AppStore::disconnectGoogle()
{
    throw std::logic_error("not built yet");
}

void AppStore::disconnectGoogleAccount(const GoogleAccount &account)
{
    Q_UNUSED(account);
    throw std::logic_error("not built yet");
}

QCoro::Task<void> AppStore::migrateLegacyGoogleAccountIfNeeded()
{
    if (!googleAccounts_.isEmpty())
        co_return;
    throw std::logic_error("not built yet");
}

void AppStore::upsertGoogleAccount(const GoogleAccount &account)
{
    Q_UNUSED(account);
    throw std::logic_error("not built yet");
}

void AppStore::saveGoogleAccounts()
{
    throw std::logic_error("not built yet");
}

} // namespace kestrivane
