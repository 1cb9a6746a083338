#include "Stores/AppStore.h"
#include "Support/DateFormatting.h"
#include "Support/Localization.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/StoreTestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kestrivane;
using namespace kestrivane::test;

namespace {

using SyncStatus = AppStore::SyncStatus;
using NotificationStatus = AppStore::NotificationStatus;
using ConnectionStatus = AppStore::GoogleConnectionStatus;

const OAuthToken someToken{QStringLiteral("access"), QStringLiteral("refresh"), utc(2030, 1, 1, 0, 0)};

QByteArray plist(const QString &dictionaryBody)
{
    return QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
%1
</dict>
</plist>
)")
        .arg(dictionaryBody)
        .toUtf8();
}

class AppStoreStateTest : public ::testing::Test {
protected:
    void SetUp() override { L10n::configure(QStringLiteral("en")); }
    void TearDown() override { L10n::configure(std::nullopt); }

    QString writeFile(const QString &name, const QByteArray &contents)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return path;
    }

    std::unique_ptr<AppStore> storeWithConfigFiles(const QStringList &files)
    {
        AppStore::Configuration configuration = parts.configuration();
        configuration.oauthConfigurationFiles = files;
        return std::make_unique<AppStore>(configuration);
    }

    QTemporaryDir dir;
    StoreParts parts;
};

TEST_F(AppStoreStateTest, StartsEmptyWithTheDefaultLeadTimeAndNoTask)
{
    auto store = parts.makeStore();
    EXPECT_TRUE(store->calendars().isEmpty());
    EXPECT_TRUE(store->selectedCalendarIDs().isEmpty());
    EXPECT_TRUE(store->todayMeetEvents().isEmpty());
    EXPECT_FALSE(store->activeMeetEvent());
    EXPECT_EQ(store->syncStatus(), SyncStatus::idle());
    EXPECT_EQ(store->notificationStatus(), NotificationStatus::unknown());
    EXPECT_EQ(store->googleConnectionStatus(), ConnectionStatus::disconnected());
    EXPECT_FALSE(store->hasCompletedInitialSync());
    EXPECT_EQ(store->notificationLeadTime(), 1800);
    EXPECT_EQ(store->googleClientID(), QString());
    EXPECT_FALSE(store->googleOAuthConfigured());
    // Construction asks nothing of the scheduler and starts no sync.
    EXPECT_TRUE(parts.scheduler->calls.isEmpty());
    EXPECT_EQ(parts.calendarClient->calendarRequests, 0);
}

TEST_F(AppStoreStateTest, StoredLeadTimeIsUsedOnlyWhenItIsAUsableNumberOfSeconds)
{
    parts.defaults->set(AppStore::notificationLeadTimeKey, 600.0);
    EXPECT_EQ(parts.makeStore()->notificationLeadTime(), 600);

    const QList<QVariant> unusable = {0.0,
                                      -300.0,
                                      QStringLiteral("600"),
                                      std::numeric_limits<double>::quiet_NaN(),
                                      std::numeric_limits<double>::infinity(),
                                      1e19, // whole seconds beyond a signed 64-bit integer
                                      true};
    for (const QVariant &value : unusable) {
        parts.defaults->set(AppStore::notificationLeadTimeKey, value);
        EXPECT_EQ(parts.makeStore()->notificationLeadTime(), 1800) << value.toString().toStdString();
    }

    AppStore::Configuration configuration = parts.configuration();
    configuration.notificationLeadTime = 900;
    EXPECT_EQ(AppStore(configuration).notificationLeadTime(), 900);
}

TEST_F(AppStoreStateTest, LeadTimeArgumentIsTheFallbackAndAnInvalidOneCountsAsTheDefault)
{
    AppStore::Configuration configuration = parts.configuration();
    configuration.notificationLeadTime = 900;
    EXPECT_EQ(AppStore(configuration).notificationLeadTime(), 900);
    configuration.notificationLeadTime = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(AppStore(configuration).notificationLeadTime(), 1800);
    configuration.notificationLeadTime = -5;
    EXPECT_EQ(AppStore(configuration).notificationLeadTime(), 1800);
}

TEST_F(AppStoreStateTest, RestoresTheSelectionAndWhetherOneWasStored)
{
    auto fresh = parts.makeStore();
    EXPECT_TRUE(fresh->selectedCalendarIDs().isEmpty());

    parts.defaults->setStringArray(AppStore::selectedCalendarIDsKey, {QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("a")});
    EXPECT_EQ(parts.makeStore()->selectedCalendarIDs(), (QSet<QString>{QStringLiteral("a"), QStringLiteral("b")}));

    // A stored empty selection is a choice: a first sync adopts no default calendar.
    parts.defaults->setStringArray(AppStore::selectedCalendarIDsKey, {});
    parts.calendarClient->calendars = {calendar(QStringLiteral("work"))};
    auto store = parts.makeStore();
    runTask(store->sync());
    EXPECT_TRUE(store->selectedCalendarIDs().isEmpty());

    // Without a stored selection the same sync adopts the default calendars.
    parts.defaults->remove(AppStore::selectedCalendarIDsKey);
    auto other = parts.makeStore();
    runTask(other->sync());
    EXPECT_EQ(other->selectedCalendarIDs(), QSet<QString>{QStringLiteral("work")});
}

TEST_F(AppStoreStateTest, CorruptAccountListStartsWithNoAccountsAndIsKept)
{
    const QByteArray corrupt = R"([{"id": "a@example.com"}])"; // no "email"
    parts.defaults->set(AppStore::googleAccountsKey, corrupt);

    auto store = parts.makeStore();
    EXPECT_TRUE(store->googleAccounts().isEmpty());
    EXPECT_EQ(store->googleConnectionStatus(), ConnectionStatus::disconnected());
    runTask(store->sync());
    store->setCalendarSelection(QStringLiteral("x"), true);
    EXPECT_EQ(parts.defaults->data(AppStore::googleAccountsKey), corrupt);

    // With the list unreadable, the connection status follows the legacy token alone.
    parts.legacyTokenStore->token = someToken;
    EXPECT_EQ(parts.makeStore()->googleConnectionStatus(), ConnectionStatus::connected());
    parts.legacyTokenStore->failLoad = true;
    EXPECT_EQ(parts.makeStore()->googleConnectionStatus(), ConnectionStatus::disconnected());
}

TEST_F(AppStoreStateTest, ListedAccountsMeanConnected)
{
    const QList<GoogleAccount> accounts = {{QStringLiteral("ann@example.com"), QStringLiteral("Ann@Example.com"), QStringLiteral("Ann")}};
    parts.defaults->set(AppStore::googleAccountsKey, GoogleAccount::encodeList(accounts));
    parts.legacyTokenStore->failLoad = true;
    auto store = parts.makeStore();
    EXPECT_EQ(store->googleAccounts(), accounts);
    EXPECT_EQ(store->googleConnectionStatus(), ConnectionStatus::connected());
}

TEST_F(AppStoreStateTest, ConfigurationFileSuppliesTrimmedCredentialsAndLeavesTheDomainAlone)
{
    parts.defaults->set(AppStore::googleClientIDKey, QStringLiteral("stored-id"));
    parts.defaults->set(AppStore::googleClientSecretKey, QStringLiteral("stored-secret"));
    const QString file = writeFile(QStringLiteral("OAuthConfig.plist"), plist(QStringLiteral(
        "<key>GOOGLE_OAUTH_CLIENT_ID</key><string>\n  file-id.apps.example \n</string>\n"
        "<key>GOOGLE_OAUTH_CLIENT_SECRET</key><string> file-secret</string>\n"
        "<key>OTHER</key><string>ignored</string>")));

    auto store = storeWithConfigFiles({file});
    EXPECT_EQ(store->googleClientID(), QStringLiteral("file-id.apps.example"));
    EXPECT_EQ(store->googleClientSecret(), QStringLiteral("file-secret"));
    EXPECT_TRUE(store->googleOAuthConfigured());
    EXPECT_EQ(parts.defaults->string(AppStore::googleClientIDKey), QStringLiteral("stored-id"));
    EXPECT_EQ(parts.defaults->string(AppStore::googleClientSecretKey), QStringLiteral("stored-secret"));
}

TEST_F(AppStoreStateTest, IncompleteOrForeignConfigurationFilesGiveWayToTheDomainUntrimmed)
{
    parts.defaults->set(AppStore::googleClientIDKey, QStringLiteral(" stored-id "));
    parts.defaults->set(AppStore::googleClientSecretKey, QStringLiteral("stored-secret\n"));

    // Each with the fault that standard error names.
    const QList<std::pair<QByteArray, QString>> unusable = {
        // A blank secret voids the whole file, and so does a missing one.
        {plist(QStringLiteral("<key>GOOGLE_OAUTH_CLIENT_ID</key><string>id</string>"
                              "<key>GOOGLE_OAUTH_CLIENT_SECRET</key><string> \n </string>")),
         QStringLiteral("the value of GOOGLE_OAUTH_CLIENT_SECRET is empty")},
        {plist(QStringLiteral("<key>GOOGLE_OAUTH_CLIENT_ID</key><string>id</string>")),
         QStringLiteral("missing key: it has no GOOGLE_OAUTH_CLIENT_SECRET")},
        // One value that is not a text, under any key.
        {plist(QStringLiteral("<key>GOOGLE_OAUTH_CLIENT_ID</key><string>id</string>"
                              "<key>GOOGLE_OAUTH_CLIENT_SECRET</key><string>secret</string>"
                              "<key>Version</key><integer>2</integer>")),
         QStringLiteral("wrong type: the value of Version is <integer>, not a <string>")},
        {plist(QStringLiteral("<key>GOOGLE_OAUTH_CLIENT_ID</key><string>id</string>"
                              "<key>GOOGLE_OAUTH_CLIENT_SECRET</key><string>secret</string>"
                              "<key>Flag</key><true/>")),
         QStringLiteral("wrong type: the value of Flag is <true>")},
        // A key without a value, a nested dictionary, another root, not XML at all.
        {plist(QStringLiteral("<key>GOOGLE_OAUTH_CLIENT_ID</key><string>id</string><key>GOOGLE_OAUTH_CLIENT_SECRET</key>")),
         QStringLiteral("missing value: GOOGLE_OAUTH_CLIENT_SECRET has no value")},
        {plist(QStringLiteral("<key>GOOGLE_OAUTH_CLIENT_ID</key><dict><key>a</key><string>b</string></dict>")),
         QStringLiteral("wrong type: the value of GOOGLE_OAUTH_CLIENT_ID is <dict>")},
        {QByteArray(R"(<?xml version="1.0"?><plist version="1.0"><array><string>id</string></array></plist>)"),
         QStringLiteral("wrong type: the property list holds <array>, not a <dict>")},
        {QByteArray("bplist00\x01\x02", 10), QStringLiteral("not well-formed XML (line 1: ")},
        {QByteArray(R"(<plist><dict><key>GOOGLE_OAUTH_CLIENT_ID</key><string>id</string>)"),
         QStringLiteral("not well-formed XML (line 1: ")},
    };
    int index = 0;
    for (const auto &[contents, fault] : unusable) {
        const QString file = writeFile(QStringLiteral("config-%1.plist").arg(index++), contents);
        testing::internal::CaptureStderr();
        auto store = storeWithConfigFiles({file});
        const QString reported = QString::fromStdString(testing::internal::GetCapturedStderr());
        EXPECT_EQ(store->googleClientID(), QStringLiteral(" stored-id ")) << contents.toStdString();
        EXPECT_EQ(store->googleClientSecret(), QStringLiteral("stored-secret\n"));
        // One line that names the file and its fault.
        EXPECT_EQ(reported.count(u'\n'), 1) << reported.toStdString();
        EXPECT_TRUE(reported.startsWith(QStringLiteral("kestrivane: the Google sign-in client file ") + file + QStringLiteral(" is not used: ") + fault))
            << reported.toStdString();
    }
    // A missing file, and no file at all.
    EXPECT_EQ(storeWithConfigFiles({dir.filePath(QStringLiteral("missing.plist"))})->googleClientID(), QStringLiteral(" stored-id "));
    parts.defaults->remove(AppStore::googleClientIDKey);
    EXPECT_EQ(storeWithConfigFiles({})->googleClientID(), QString());
}

TEST_F(AppStoreStateTest, FirstExistingConfigurationFileDecides)
{
    const QString own = writeFile(QStringLiteral("own.plist"), plist(QStringLiteral(
        "<key>GOOGLE_OAUTH_CLIENT_ID</key><string>own-id</string><key>GOOGLE_OAUTH_CLIENT_SECRET</key><string>own &amp; secret</string>")));
    const QString bundled = writeFile(QStringLiteral("bundled.plist"), plist(QStringLiteral(
        "<key>GOOGLE_OAUTH_CLIENT_ID</key><string>bundled-id</string><key>GOOGLE_OAUTH_CLIENT_SECRET</key><string>s</string>")));
    const QString broken = writeFile(QStringLiteral("broken.plist"), "<plist>");

    auto store = storeWithConfigFiles({dir.filePath(QStringLiteral("absent.plist")), own, bundled});
    EXPECT_EQ(store->googleClientID(), QStringLiteral("own-id"));
    EXPECT_EQ(store->googleClientSecret(), QStringLiteral("own & secret"));
    // An existing file that cannot be read is no configuration; later files are not tried.
    EXPECT_EQ(storeWithConfigFiles({broken, bundled})->googleClientID(), QString());
}

TEST_F(AppStoreStateTest, DefaultConfigurationFilesEndWithTheBundledResource)
{
    const QStringList files = AppStore::defaultOAuthConfigurationFiles();
    ASSERT_FALSE(files.isEmpty());
    EXPECT_EQ(files.last(), QStringLiteral(":/bundle/OAuthConfig.plist"));
}

TEST_F(AppStoreStateTest, AssigningCredentialsStoresThemAndRecomputesTheConnection)
{
    auto store = parts.makeStore();
    std::vector<std::pair<QString, ConnectionStatus>> seen;
    QObject::connect(store.get(), &AppStore::changed, [&] { seen.emplace_back(store->googleClientID(), store->googleConnectionStatus()); });

    store->setGoogleClientID(QStringLiteral(" id "));
    EXPECT_EQ(parts.defaults->string(AppStore::googleClientIDKey), QStringLiteral(" id "));
    // The change signal comes after the assignment, once per assigned field.
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].first, QStringLiteral(" id "));
    EXPECT_FALSE(store->googleOAuthConfigured());

    store->setGoogleClientSecret(QStringLiteral("\tsecret\n"));
    EXPECT_EQ(parts.defaults->string(AppStore::googleClientSecretKey), QStringLiteral("\tsecret\n"));
    EXPECT_TRUE(store->googleOAuthConfigured());

    // Unchanged text: still assigned, stored and announced.
    seen.clear();
    store->setGoogleClientID(QStringLiteral(" id "));
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(AppStoreStateTest, AssigningCredentialsReplacesAFailedConnectionStatus)
{
    parts.calendarClient->calendarsError = QStringLiteral("Token has been revoked: invalid_grant");
    auto store = parts.makeStore();
    runTask(store->sync());
    ASSERT_EQ(store->googleConnectionStatus().kind(), ConnectionStatus::Kind::failed);

    parts.legacyTokenStore->token = someToken;
    store->setGoogleClientID(store->googleClientID());
    EXPECT_EQ(store->googleConnectionStatus(), ConnectionStatus::connected());
}

TEST_F(AppStoreStateTest, StatusesCompareByCaseAndPayloadAndHaveLabels)
{
    const QDateTime at = utc(2026, 3, 2, 9, 30);
    EXPECT_EQ(SyncStatus::synced(at), SyncStatus::synced(utc(2026, 3, 2, 9, 30)));
    EXPECT_NE(SyncStatus::failed(QStringLiteral("a")), SyncStatus::failed(QStringLiteral("b")));
    EXPECT_NE(SyncStatus::idle(), SyncStatus::syncing());
    EXPECT_EQ(ConnectionStatus::failed(QStringLiteral("x")), ConnectionStatus::failed(QStringLiteral("x")));

    EXPECT_EQ(SyncStatus::idle().label(), QStringLiteral("Not synced yet"));
    EXPECT_EQ(SyncStatus::synced(at).label(), QStringLiteral("Synced at ") + DateFormatting::shortTime().string(at));
    EXPECT_EQ(SyncStatus::failed(QStringLiteral("boom")).label(), QStringLiteral("Sync failed: boom"));
    EXPECT_EQ(NotificationStatus::denied().label(), L10n::text(QStringLiteral("notification_status_denied")));
    EXPECT_EQ(NotificationStatus::failed(QStringLiteral("bus")).label(), QStringLiteral("Notifications failed: bus"));
    EXPECT_EQ(ConnectionStatus::connecting().label(), QStringLiteral("Connecting…"));
    EXPECT_EQ(ConnectionStatus::failed(QStringLiteral("no")).label(), QStringLiteral("Connection failed: no"));

    L10n::configure(QStringLiteral("ja"));
    EXPECT_NE(ConnectionStatus::connected().label(), QStringLiteral("Connected"));
    EXPECT_NE(ConnectionStatus::connected().label(), QStringLiteral("google_status_connected"));
}

TEST_F(AppStoreStateTest, LeadTimeValidity)
{
    EXPECT_TRUE(AppStore::isValidLeadTime(0.001));
    EXPECT_TRUE(AppStore::isValidLeadTime(1800));
    EXPECT_TRUE(AppStore::isValidLeadTime(9.2e18));
    EXPECT_FALSE(AppStore::isValidLeadTime(0));
    EXPECT_FALSE(AppStore::isValidLeadTime(-1));
    EXPECT_FALSE(AppStore::isValidLeadTime(9223372036854775808.0));
    EXPECT_FALSE(AppStore::isValidLeadTime(std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(AppStore::isValidLeadTime(std::nan("")));
}

// The settings survive a restart on one settings file.
TEST_F(AppStoreStateTest, RestartOnTheSameDomainRestoresLeadTimeAccountsAndSelection)
{
    const QString path = dir.filePath(QStringLiteral("domain.json"));
    const QList<GoogleAccount> accounts = {
        {QStringLiteral("ann@example.com"), QStringLiteral("Ann@example.com"), QStringLiteral("Ann Example")},
        {QStringLiteral("bo@example.com"), QStringLiteral("bo@example.com"), std::nullopt},
    };
    parts.calendarClient->calendars = {calendar(QStringLiteral("zeta")), calendar(QStringLiteral("alpha")),
                                       calendar(QStringLiteral("mid")), calendar(QStringLiteral("off"), false)};
    {
        std::shared_ptr<UserDefaults> domain = SettingsUserDefaults::atPath(path);
        domain->set(AppStore::googleAccountsKey, GoogleAccount::encodeList(accounts));
        parts.defaults = domain;
        auto store = parts.makeStore();
        runTask(store->sync());
        store->setCalendarSelection(QStringLiteral("off"), true);
        store->setCalendarSelection(QStringLiteral("mid"), false);
        runTask(store->setNotificationLeadTime(600));
        runTask(store->prepareForUserQuit());
    }

    parts.defaults = SettingsUserDefaults::atPath(path);
    auto restarted = parts.makeStore();
    EXPECT_EQ(restarted->notificationLeadTime(), 600);
    EXPECT_EQ(restarted->googleAccounts(), accounts);
    EXPECT_EQ(restarted->selectedCalendarIDs(),
              (QSet<QString>{QStringLiteral("alpha"), QStringLiteral("off"), QStringLiteral("zeta")}));
    // The selection is kept as a sorted array of texts.
    EXPECT_EQ(parts.defaults->stringArray(AppStore::selectedCalendarIDsKey),
              (QStringList{QStringLiteral("alpha"), QStringLiteral("off"), QStringLiteral("zeta")}));
    EXPECT_EQ(parts.defaults->object(AppStore::notificationLeadTimeKey).typeId(), QMetaType::Double);
}

} // namespace
