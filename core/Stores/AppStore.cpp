#include "Stores/AppStore.h"

#include "Services/GoogleCalendarClient.h"
#include "Services/GoogleOAuthClient.h"
#include "Services/KeychainTokenStore.h"
#include "Services/NotificationScheduler.h"
#include "Services/OAuthConfigFile.h"
#include "Support/AsyncWaitQueue.h"
#include "Support/DateFormatting.h"
#include "Support/Error.h"
#include "Support/Localization.h"
#include "Support/UserDefaults.h"

#include <QStandardPaths>
#include <QTimer>

#include <cmath>

namespace kestrivane {

QDateTime AppStore::alertInstant(const CalendarEvent &event, double leadTime)
{
    return instantFromSecondsSince1970(secondsSince1970(event.startDate) - leadTime);
}

// MARK: - Statuses

QString AppStore::SyncStatus::label() const
{
    switch (kind_) {
    case Kind::idle:
        return L10n::text(QStringLiteral("sync_status_idle"));
    case Kind::syncing:
        return L10n::text(QStringLiteral("sync_status_syncing"));
    case Kind::synced:
        return L10n::format(QStringLiteral("sync_status_synced"), DateFormatting::shortTime().string(date_));
    case Kind::failed:
        return L10n::format(QStringLiteral("sync_status_failed"), message_);
    }
    return {};
}

QString AppStore::NotificationStatus::label() const
{
    switch (kind_) {
    case Kind::unknown:
        return L10n::text(QStringLiteral("notification_status_unknown"));
    case Kind::allowed:
        return L10n::text(QStringLiteral("notification_status_allowed"));
    case Kind::denied:
        return L10n::text(QStringLiteral("notification_status_denied"));
    case Kind::failed:
        return L10n::format(QStringLiteral("notification_status_failed"), message_);
    }
    return {};
}

QString AppStore::GoogleConnectionStatus::label() const
{
    switch (kind_) {
    case Kind::disconnected:
        return L10n::text(QStringLiteral("google_status_not_connected"));
    case Kind::connecting:
        return L10n::text(QStringLiteral("google_status_connecting"));
    case Kind::connected:
        return L10n::text(QStringLiteral("google_status_connected"));
    case Kind::failed:
        return L10n::format(QStringLiteral("google_status_failed"), message_);
    }
    return {};
}

// MARK: - Construction and settings

QStringList AppStore::defaultOAuthConfigurationFiles()
{
    QStringList files = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                                  QStringLiteral("kestrivane/") + OAuthConfigFile::fileName);
    files.append(QStringLiteral(":/bundle/") + OAuthConfigFile::fileName);
    return files;
}

AppStore::AppStore(Configuration configuration, QObject *parent)
    : QObject(parent)
    , demoMode_(std::move(configuration.demoMode))
    , testCalendarClient_(std::move(configuration.calendarClient))
    , notificationScheduler_(std::move(configuration.notificationScheduler))
    , tokenStore_(std::move(configuration.tokenStore))
    , userDefaults_(std::move(configuration.userDefaults))
    , keychainService_(std::move(configuration.keychainService))
    , now_(std::move(configuration.now))
    , inAppAlertsEnabled_(configuration.inAppAlertsEnabled)
    , endpoints_(std::move(configuration.endpoints))
    , tokenStoreFactory_(std::move(configuration.tokenStoreFactory))
    , network_(configuration.network)
    , authorizationTimeout_(configuration.authorizationTimeout)
    , passFinished_(new AsyncWaitQueue(this))
    , notificationChangeFinished_(new AsyncWaitQueue(this))
{
    Q_ASSERT(notificationScheduler_);
    alertClock_.start();
    alertTimer_ = new QTimer(this);
    alertTimer_->setSingleShot(true);
    alertTimer_->setTimerType(Qt::PreciseTimer);
    connect(alertTimer_, &QTimer::timeout, this, &AppStore::raiseDueAlerts);
    if (!tokenStore_)
        tokenStore_ = std::make_shared<KeychainTokenStore>();
    if (!userDefaults_)
        userDefaults_ = SettingsUserDefaults::open(std::nullopt);
    if (!now_)
        now_ = systemClock();
    if (!tokenStoreFactory_) {
        tokenStoreFactory_ = [](const QString &service, const QString &account) -> std::shared_ptr<OAuthTokenStoring> {
            return std::make_shared<KeychainTokenStore>(service, account);
        };
    }

    const double fallbackLeadTime = isValidLeadTime(configuration.notificationLeadTime) ? configuration.notificationLeadTime : 1800;
    notificationLeadTime_ = loadNotificationLeadTime(*userDefaults_, fallbackLeadTime);

    // A configuration file supplies both values or neither; the stored texts are used as they are.
    if (const std::optional<GoogleOAuthConfiguration> bundled = bundledGoogleOAuthConfiguration(configuration.oauthConfigurationFiles)) {
        googleClientID_ = bundled->clientID;
        googleClientSecret_ = bundled->clientSecret;
    } else {
        googleClientID_ = userDefaults_->string(googleClientIDKey).value_or(QString());
        googleClientSecret_ = userDefaults_->string(googleClientSecretKey).value_or(QString());
    }

    googleAccounts_ = loadGoogleAccounts(*userDefaults_);
    if (const std::optional<QStringList> stored = userDefaults_->stringArray(selectedCalendarIDsKey)) {
        selectedCalendarIDs_ = QSet<QString>(stored->begin(), stored->end());
        hasStoredCalendarSelection_ = true;
    }

    // The demo snapshot sets the connection status itself: the demo reads no keyring.
    if (demoMode_.enabled)
        applyDemoSnapshot(now_(), demoMode_);
    else
        updateGoogleConnectionStatus();
}

// The waits and wait queues are children: ~QObject deletes them after every QPointer to the store
// has been cleared, so the coroutines they resume find the store gone and end.
AppStore::~AppStore() = default;

bool AppStore::isValidLeadTime(double seconds)
{
    return std::isfinite(seconds) && seconds > 0 && seconds < 9223372036854775808.0;
}

double AppStore::loadNotificationLeadTime(const UserDefaults &defaults, double fallback)
{
    const std::optional<double> stored = defaults.number(notificationLeadTimeKey);
    return stored && isValidLeadTime(*stored) ? *stored : fallback;
}

std::optional<GoogleOAuthConfiguration> AppStore::bundledGoogleOAuthConfiguration(const QStringList &files)
{
    const OAuthConfigFile::Loaded loaded = OAuthConfigFile::load(files);
    if (loaded.file.isEmpty())
        return std::nullopt;
    // The windows say only that no client is configured; what is wrong with the file goes to
    // standard error.
    const auto unusable = [&](const QString &fault) -> std::optional<GoogleOAuthConfiguration> {
        reportToStandardError(QStringLiteral("the Google sign-in client file %1 is not used: %2").arg(loaded.file, fault));
        return std::nullopt;
    };
    if (!loaded.entries)
        return unusable(loaded.fault);
    GoogleOAuthConfiguration configuration;
    for (const auto &[key, value] : {std::pair{OAuthConfigFile::clientIDKey, &configuration.clientID},
                                     std::pair{OAuthConfigFile::clientSecretKey, &configuration.clientSecret}}) {
        if (!loaded.entries->contains(key))
            return unusable(QStringLiteral("missing key: it has no %1").arg(key));
        *value = loaded.entries->value(key).trimmed();
        if (value->isEmpty())
            return unusable(QStringLiteral("the value of %1 is empty").arg(key));
    }
    return configuration;
}

QList<GoogleAccount> AppStore::loadGoogleAccounts(const UserDefaults &defaults)
{
    const std::optional<QByteArray> data = defaults.data(googleAccountsKey);
    if (!data)
        return {};
    try {
        return GoogleAccount::decodeList(*data);
    } catch (...) {
        return {};
    }
}

QString AppStore::errorDescription(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Error &e) {
        return e.localizedDescription();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return L10n::text(QStringLiteral("store_error_unknown"));
    }
}

void AppStore::assignGoogleAccounts(QList<GoogleAccount> accounts)
{
    ++accountsGeneration_;
    publish(googleAccounts_, std::move(accounts));
}

void AppStore::updateGoogleConnectionStatus()
{
    bool connected = !googleAccounts_.isEmpty();
    if (!connected) {
        try {
            connected = tokenStore_->loadToken().has_value();
        } catch (...) {
            connected = false;
        }
    }
    publish(googleConnectionStatus_, connected ? GoogleConnectionStatus::connected() : GoogleConnectionStatus::disconnected());
}

void AppStore::setGoogleClientID(const QString &clientID)
{
    publish(googleClientID_, clientID);
    userDefaults_->set(googleClientIDKey, clientID);
    updateGoogleConnectionStatus();
}

void AppStore::setGoogleClientSecret(const QString &clientSecret)
{
    publish(googleClientSecret_, clientSecret);
    userDefaults_->set(googleClientSecretKey, clientSecret);
    updateGoogleConnectionStatus();
}

// MARK: - Derived values

bool AppStore::googleOAuthConfigured() const
{
    return !googleClientID_.trimmed().isEmpty() && !googleClientSecret_.trimmed().isEmpty();
}

QDateTime AppStore::presentationDate() const
{
    const QDateTime now = now_();
    return demoMode_.enabled ? screenshotReferenceDate(now) : now;
}

QDateTime AppStore::screenshotReferenceDate(const QDateTime &date) const
{
    return demoDate(date, 11, 45);
}

bool AppStore::requiresUserAttention() const
{
    return syncStatus_.kind() == SyncStatus::Kind::failed
        || googleConnectionStatus_.kind() == GoogleConnectionStatus::Kind::failed;
}

bool AppStore::requiresGoogleReconnect() const
{
    if (googleConnectionStatus_.kind() == GoogleConnectionStatus::Kind::failed)
        return true;
    if (syncStatus_.kind() == SyncStatus::Kind::failed)
        return syncFailureRequiresGoogleReconnect(syncStatus_.message());
    return false;
}

namespace {

bool isKeyringFailure(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const KeychainError &) {
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace

std::optional<QString> AppStore::keyringFailure() const
{
    if (googleConnectionStatus_.kind() == GoogleConnectionStatus::Kind::failed)
        return connectionFailedAtKeyring_ ? std::optional<QString>(googleConnectionStatus_.message()) : std::nullopt;
    if (syncStatus_.kind() == SyncStatus::Kind::failed && syncFailedAtKeyring_)
        return syncStatus_.message();
    return std::nullopt;
}

void AppStore::publishConnectionFailure(const std::exception_ptr &error)
{
    connectionFailedAtKeyring_ = isKeyringFailure(error);
    publish(googleConnectionStatus_, GoogleConnectionStatus::failed(errorDescription(error)));
}

void AppStore::publishSyncFailure(const std::exception_ptr &error)
{
    syncFailedAtKeyring_ = isKeyringFailure(error);
    publish(syncStatus_, SyncStatus::failed(errorDescription(error)));
}

bool AppStore::syncFailureRequiresGoogleReconnect(const QString &message)
{
    static const QStringList markers = {
        QStringLiteral("invalid_grant"),
        QStringLiteral("invalid_client"),
        QStringLiteral("unauthorized_client"),
    };
    for (const QString &marker : markers) {
        if (message.contains(marker, Qt::CaseSensitive))
            return true;
    }
    return message.contains(L10n::text(QStringLiteral("oauth_error_missing_refresh_token")), Qt::CaseSensitive);
}

std::optional<QDateTime> AppStore::nextNotificationFireDate() const
{
    const QDateTime now = presentationDate();
    std::optional<QDateTime> next;
    for (const CalendarEvent &event : upcomingMeetEvents_) {
        const QDateTime fire = alertInstant(event, notificationLeadTime_);
        if (fire > now && (!next || fire < *next))
            next = fire;
    }
    return next;
}

std::optional<QUrl> AppStore::shortcutJoinURL() const
{
    if (currentMeetEvent_) {
        if (std::optional<QUrl> url = currentMeetEvent_->joinURL())
            return url;
    }
    if (activeMeetEvent_) {
        if (std::optional<QUrl> url = activeMeetEvent_->joinURL())
            return url;
    }
    const QDateTime now = presentationDate();
    for (const CalendarEvent &event : upcomingMeetEvents_) {
        if (event.endDate > now) {
            if (std::optional<QUrl> url = event.joinURL())
                return url;
        }
    }
    return std::nullopt;
}

} // namespace kestrivane
