#include "Stores/AppStore.h"

#include "Services/GoogleCalendarClient.h"
#include "Services/GoogleOAuthClient.h"
#include "Support/Error.h"
#include "Support/UserDefaults.h"

#include <QCollator>

#include <algorithm>

namespace kestrivane {

namespace {

// Cleanup deletes: a failure changes nothing for the caller.
void deleteTokenQuietly(OAuthTokenStoring &store)
{
    try {
        store.deleteToken();
    } catch (...) {
    }
}

// Whoever signed in: the e-mail address, lower-cased, is the account's identity.
GoogleAccount accountFromProfile(const GoogleAccountProfile &profile)
{
    return GoogleAccount{profile.email.toLower(), profile.email, profile.name};
}

} // namespace

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
    auto client = std::make_shared<GoogleOAuthClient>(googleOAuthConfiguration(), std::move(tokenStore), network_, endpoints_, now_);
    if (authorizationTimeout_)
        client->setRedirectTimeout(*authorizationTimeout_);
    return client;
}

std::shared_ptr<GoogleOAuthClient> AppStore::googleOAuthClient(const GoogleAccount &account) const
{
    return makeGoogleOAuthClient(googleTokenStore(account));
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

// MARK: - The account list

void AppStore::upsertGoogleAccount(const GoogleAccount &account)
{
    QList<GoogleAccount> accounts;
    for (const GoogleAccount &existing : std::as_const(googleAccounts_)) {
        if (existing.id != account.id)
            accounts.append(existing);
    }
    accounts.append(account);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(accounts.begin(), accounts.end(), [&collator](const GoogleAccount &a, const GoogleAccount &b) {
        return collator.compare(a.email, b.email) < 0;
    });
    assignGoogleAccounts(std::move(accounts));
    saveGoogleAccounts();
}

void AppStore::saveGoogleAccounts()
{
    userDefaults_->set(googleAccountsKey, GoogleAccount::encodeList(googleAccounts_));
}

void AppStore::forgetGoogleAccounts(const QSet<QString> &accountIDs)
{
    const auto belongsToForgotten = [&accountIDs](const QString &identifier) {
        const auto parts = compositeGoogleCalendarID(identifier);
        return parts && accountIDs.contains(parts->first);
    };

    QList<GoogleAccount> accounts;
    for (const GoogleAccount &account : std::as_const(googleAccounts_)) {
        if (!accountIDs.contains(account.id))
            accounts.append(account);
    }
    assignGoogleAccounts(std::move(accounts));
    saveGoogleAccounts();

    QSet<QString> selection;
    for (const QString &identifier : std::as_const(selectedCalendarIDs_)) {
        if (!belongsToForgotten(identifier))
            selection.insert(identifier);
    }
    publish(selectedCalendarIDs_, std::move(selection));
    hasStoredCalendarSelection_ = true;
    saveSelectedCalendarIDs();

    QList<CalendarInfo> calendars;
    for (const CalendarInfo &calendar : std::as_const(calendars_)) {
        if (!belongsToForgotten(calendar.id))
            calendars.append(calendar);
    }
    publish(calendars_, std::move(calendars));

    // A list of its own, so the forgotten accounts' meetings go with the old one.
    QList<CalendarEvent> meetings;
    for (const CalendarEvent &event : cachedMeetEvents_) {
        if (!belongsToForgotten(event.calendarID))
            meetings.append(event);
    }
    cachedMeetEvents_ = MeetEventSubset(std::move(meetings));

    applyCachedMeetEvents(presentationDate());
    // Runs on its own; it holds the store weakly and reports its failure in the notification status.
    rescheduleSystemNotificationsAfterSelectionChange(upcomingMeetEvents_);
}

// MARK: - Connecting

QCoro::Task<void> AppStore::connectGoogle(OpenURL openURL)
{
    if (demoMode_.enabled) {
        publish(googleConnectionStatus_, GoogleConnectionStatus::connected());
        co_return;
    }

    QPointer<AppStore> self(this);
    // A connection started later supersedes this one: this one then ends without touching the
    // pending item (the later one uses it) or the status.
    const quint64 connection = ++connectionGeneration_;
    const auto superseded = [&self, connection] { return !self || self->connectionGeneration_ != connection; };

    publish(googleConnectionStatus_, GoogleConnectionStatus::connecting());
    const std::shared_ptr<OAuthTokenStoring> pendingStore = makeTokenStore(googlePendingTokenAccount);
    deleteTokenQuietly(*pendingStore);
    const std::shared_ptr<GoogleOAuthClient> oauthClient = makeGoogleOAuthClient(pendingStore);

    std::optional<GoogleAccount> account;
    bool cancelled = false;
    std::exception_ptr failure;
    try {
        const OAuthToken token = co_await oauthClient->authorize(std::move(openURL));
        if (!superseded()) {
            // The profile request reads the token through the client's store.
            pendingStore->saveToken(token);
            const std::shared_ptr<GoogleCalendarClient> calendarClient = makeGoogleCalendarClient(oauthClient);
            const GoogleAccountProfile profile = co_await calendarClient->fetchProfile();
            if (!superseded()) {
                const GoogleAccount signedIn = accountFromProfile(profile);
                googleTokenStore(signedIn)->saveToken(token);
                account = signedIn;
            }
        }
    } catch (const CancellationError &) {
        cancelled = true;
    } catch (...) {
        failure = std::current_exception();
    }

    if (!self) {
        deleteTokenQuietly(*pendingStore);
        co_return;
    }
    if (superseded())
        co_return;
    if (cancelled) {
        // Abandoned from outside (another sign-in in this process took over): no failure to
        // report, and the pending item may be that sign-in's.
        updateGoogleConnectionStatus();
        co_return;
    }
    deleteTokenQuietly(*pendingStore);
    if (failure) {
        publishConnectionFailure(failure);
        co_return;
    }

    upsertGoogleAccount(*account);
    publish(googleConnectionStatus_, GoogleConnectionStatus::connected());
    publish(syncStatus_, SyncStatus::idle());

    // Nothing of the earlier accounts' calendars and meetings is kept until the next sync.
    clearCalendarsAndMeetings();
}

void AppStore::clearCalendarsAndMeetings()
{
    publish(calendars_, QList<CalendarInfo>());
    publish(selectedCalendarIDs_, QSet<QString>());
    hasStoredCalendarSelection_ = false;
    saveSelectedCalendarIDs();
    publish(todayMeetEvents_, QList<CalendarEvent>());
    publish(upcomingMeetEvents_, QList<CalendarEvent>());
    publish(activeMeetEvent_, std::nullopt);
    publish(currentMeetEvent_, std::nullopt);
    cachedMeetEvents_ = MeetEventSubset();
    cancelAlertTasks();
    cancelCalendarSelectionSync();
}

QCoro::Task<void> AppStore::connectGoogleAndSync(OpenURL openURL)
{
    QPointer<AppStore> self(this);
    co_await connectGoogle(std::move(openURL));
    if (!self || googleConnectionStatus_.kind() != GoogleConnectionStatus::Kind::connected)
        co_return;
    co_await sync();
}

// MARK: - Disconnecting

void AppStore::disconnectGoogle()
{
    if (demoMode_.enabled)
        return;

    QSet<QString> deleted;
    std::exception_ptr failure;
    for (const GoogleAccount &account : std::as_const(googleAccounts_)) {
        try {
            googleTokenStore(account)->deleteToken();
        } catch (...) {
            failure = std::current_exception();
            break;
        }
        deleted.insert(account.id);
    }
    if (!failure) {
        try {
            tokenStore_->deleteToken();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (failure) {
        // Accounts without a token can no longer sync: they go, with their calendars and
        // meetings. The one that failed and those not reached stay.
        if (!deleted.isEmpty())
            forgetGoogleAccounts(deleted);
        publishConnectionFailure(failure);
        return;
    }

    deleteTokenQuietly(*makeTokenStore(googlePendingTokenAccount));
    assignGoogleAccounts({});
    saveGoogleAccounts();
    publish(googleConnectionStatus_, GoogleConnectionStatus::disconnected());

    clearCalendarsAndMeetings();

    // Runs on its own: the listed notifications, then every pending "meet-" one, so nothing of a
    // disconnected account still fires.
    withdrawAllSystemNotifications(std::exchange(scheduledNotificationIDs_, {}));
}

void AppStore::disconnectGoogleAccount(const GoogleAccount &account)
{
    if (demoMode_.enabled)
        return;
    try {
        googleTokenStore(account)->deleteToken();
    } catch (...) {
        publishConnectionFailure(std::current_exception());
        return;
    }
    forgetGoogleAccounts({account.id});
    publish(googleConnectionStatus_,
            googleAccounts_.isEmpty() ? GoogleConnectionStatus::disconnected() : GoogleConnectionStatus::connected());
}

// MARK: - The single-account layout

QCoro::Task<void> AppStore::migrateLegacyGoogleAccountIfNeeded()
{
    if (!googleAccounts_.isEmpty())
        co_return;
    std::optional<OAuthToken> legacy;
    try {
        legacy = tokenStore_->loadToken();
    } catch (...) {
        co_return;
    }
    if (!legacy)
        co_return;

    QPointer<AppStore> self(this);
    // The profile request may refresh the legacy token and store it in the legacy item, unless the
    // account list changed meanwhile (a disconnect deleted that item).
    const quint64 generation = accountsGeneration_;
    const std::shared_ptr<GoogleCalendarClient> calendarClient =
        makeGoogleCalendarClient(makeGoogleOAuthClient(generationGuardedTokenStore(tokenStore_, generation)));
    const GoogleAccountProfile profile = co_await calendarClient->fetchProfile();
    if (!self)
        co_return;
    if (accountsGeneration_ != generation)
        throw CancellationError(); // the pass is stale: its outcome is left to the next one
    const GoogleAccount account = accountFromProfile(profile);

    const std::optional<OAuthToken> token = tokenStore_->loadToken();
    if (!token)
        co_return;
    googleTokenStore(account)->saveToken(*token);
    // Deleted only once the copy is saved.
    tokenStore_->deleteToken();
    upsertGoogleAccount(account);
}

} // namespace kestrivane
