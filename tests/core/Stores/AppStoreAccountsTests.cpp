#include "Stores/AppStore.h"

#include "Services/GoogleOAuthClient.h"
#include "Services/KeychainTokenStore.h"
#include "Support/UserDefaults.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/FakeGoogleServer.h"
#include "TestSupport/RecordingNotificationScheduler.h"
#include "TestSupport/SecretTool.h"
#include "TestSupport/StoreTestSupport.h"
#include "TestSupport/TestEnvironment.h"

#include <QCoro/QCoroTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

namespace {

// One person signing in on the stand-in: the tokens the token endpoint issues for them, their
// profile and their calendar list, answered to their access token only.
struct Person {
    QString email;
    std::optional<QString> name;
    QString accessToken;
    QString refreshToken;
    // Own calendar identifiers; each has one meeting from 10:00 to 10:30 on the test day.
    QStringList calendarIDs;

    QString id() const { return email.toLower(); }
    GoogleAccount account() const { return GoogleAccount{id(), email, name}; }
    QString tokenItem() const { return QStringLiteral("oauth:") + id(); }
};

// A token store on a real keyring item that logs its writes ("save <account>", "delete <account>")
// and can be told to refuse deleting.
class LoggingTokenStore final : public OAuthTokenStoring {
public:
    LoggingTokenStore(const QString &service, QString account, QStringList &log, const QSet<QString> &refuseDelete)
        : inner_(service, account), account_(std::move(account)), log_(log), refuseDelete_(refuseDelete)
    {
    }

    std::optional<OAuthToken> loadToken() override { return inner_.loadToken(); }
    void saveToken(const OAuthToken &token) override
    {
        log_ << QStringLiteral("save ") + account_;
        inner_.saveToken(token);
    }
    void deleteToken() override
    {
        log_ << QStringLiteral("delete ") + account_;
        if (refuseDelete_.contains(account_))
            throw KeychainError(-25, QStringLiteral("The keyring refused."));
        inner_.deleteToken();
    }

private:
    KeychainTokenStore inner_;
    QString account_;
    QStringList &log_;
    const QSet<QString> &refuseDelete_;
};

class AppStoreAccountsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KV_REQUIRE(keyringProblem());
        server.route("GET", FakeGoogleCalendar::userInfoPath, [this](const RecordedRequest &request) {
            const Person *person = personOf(request);
            if (!person)
                return FakeResponse::json(401, FakeGoogleCalendar::unauthorizedBody);
            pendingWhenProfileAsked << keyringSecret(service, AppStore::googlePendingTokenAccount).has_value();
            QJsonObject profile{{QStringLiteral("id"), QStringLiteral("1234")}, {QStringLiteral("email"), person->email}};
            if (person->name)
                profile.insert(QStringLiteral("name"), *person->name);
            return FakeResponse::json(200, QJsonDocument(profile).toJson(QJsonDocument::Compact));
        });
        server.route("GET", FakeGoogleCalendar::calendarListPath, [this](const RecordedRequest &request) {
            const Person *person = personOf(request);
            if (!person)
                return FakeResponse::json(401, FakeGoogleCalendar::unauthorizedBody);
            QStringList items;
            for (const QString &id : person->calendarIDs)
                items << QStringLiteral(R"({"id": "%1", "summary": "Cal %1", "primary": true, "accessRole": "owner"})").arg(id);
            return FakeResponse::json(200, (QStringLiteral(R"({"items": [)") + items.join(u',') + QStringLiteral("]}")).toUtf8());
        });
    }

    void TearDown() override
    {
        store.reset();
        clearKeyringService(service);
    }

    const Person *personOf(const RecordedRequest &request) const
    {
        for (const Person &person : people) {
            if (request.header("authorization") == "Bearer " + person.accessToken.toUtf8())
                return &person;
        }
        return nullptr;
    }

    // Adds a person to the stand-in, with one meeting in each of their calendars.
    Person addPerson(const QString &email, std::optional<QString> name, QStringList calendarIDs)
    {
        const int n = int(people.size()) + 1;
        Person person{email, std::move(name), QStringLiteral("ya29.access-%1").arg(n),
                      QStringLiteral("1//refresh-%1").arg(n), std::move(calendarIDs)};
        for (const QString &calendarID : person.calendarIDs) {
            google.setEvents(calendarID, QStringLiteral(R"({"summary": "Cal %1", "items": [
                {"id": "m-%1", "summary": "Meeting %1", "hangoutLink": "https://meet.google.com/kvx-%1",
                 "start": {"dateTime": "2026-03-02T10:00:00Z"}, "end": {"dateTime": "2026-03-02T10:30:00Z"}}]})")
                                             .arg(calendarID)
                                             .toUtf8());
        }
        people.push_back(person);
        return person;
    }

    AppStore &makeStore(bool logKeyring = false)
    {
        AppStore::Configuration c;
        c.notificationScheduler = scheduler;
        c.tokenStore = std::make_shared<KeychainTokenStore>(service, KeychainTokenStore::defaultAccount);
        c.userDefaults = defaults;
        c.keychainService = service;
        c.now = clock.clock();
        c.endpoints = server.endpoints();
        c.oauthConfigurationFiles = {};
        if (logKeyring) {
            c.tokenStoreFactory = [this](const QString &service, const QString &account) -> std::shared_ptr<OAuthTokenStoring> {
                return std::make_shared<LoggingTokenStore>(service, account, keyringLog, refuseDelete);
            };
        }
        store = std::make_unique<AppStore>(std::move(c));
        store->setGoogleClientID(oauth.clientID);
        store->setGoogleClientSecret(oauth.clientSecret);
        return *store;
    }

    // A browser that loads the authorisation page (which signs `person` in) before it answers.
    AppStore::OpenURL browserSigningIn(const Person &person)
    {
        return [this, person](QUrl url) -> QCoro::Task<bool> {
            oauth.accessToken = person.accessToken;
            oauth.refreshToken = person.refreshToken;
            openedURLs << url;
            co_await openLikeBrowser(url);
            co_return true;
        };
    }

    void connect(const Person &person) { runTask(store->connectGoogle(browserSigningIn(person))); }
    void connectAndSync(const Person &person) { runTask(store->connectGoogleAndSync(browserSigningIn(person))); }

    std::optional<OAuthToken> itemToken(const QString &account) const
    {
        const std::optional<QByteArray> secret = keyringSecret(service, account);
        if (!secret)
            return std::nullopt;
        return OAuthToken::fromJson(secret->trimmed());
    }

    QList<GoogleAccount> storedAccounts() const
    {
        const std::optional<QByteArray> data = defaults->data(AppStore::googleAccountsKey);
        return data ? GoogleAccount::decodeList(*data) : QList<GoogleAccount>{};
    }

    QStringList calendarIDs() const
    {
        QStringList ids;
        for (const CalendarInfo &calendar : store->calendars())
            ids << calendar.id;
        ids.sort();
        return ids;
    }

    QStringList sorted(const QSet<QString> &set) const
    {
        QStringList list(set.cbegin(), set.cend());
        list.sort();
        return list;
    }

    QStringList upcomingIDs() const
    {
        QStringList ids;
        for (const CalendarEvent &event : store->upcomingMeetEvents())
            ids << event.id;
        return ids;
    }

    QStringList pendingNotificationMeetings() const
    {
        QStringList ids;
        for (const ScheduledNotification &notification : std::as_const(scheduler->pending))
            ids << notification.eventID;
        ids.sort();
        return ids;
    }

    const QString service = QStringLiteral("app.kestrivane.tests.") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    FakeGoogleServer server;
    FakeGoogleOAuth oauth{server};
    FakeGoogleCalendar google{server};
    std::vector<Person> people;
    std::shared_ptr<RecordingNotificationScheduler> scheduler = std::make_shared<RecordingNotificationScheduler>();
    std::shared_ptr<UserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    ManualClock clock{utc(2026, 3, 2, 9, 0)};
    std::unique_ptr<AppStore> store;
    QList<QUrl> openedURLs;
    QList<bool> pendingWhenProfileAsked;
    QStringList keyringLog;
    QSet<QString> refuseDelete;
};

} // namespace

TEST_F(AppStoreAccountsTest, ConnectsThroughThePendingItemAndSyncs)
{
    const Person ada = addPerson(QStringLiteral("Ada.Lovelace@Example.COM"), QStringLiteral("Ada"), {QStringLiteral("ada-work")});
    makeStore();
    ASSERT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::disconnected());
    // A pending item left over from an interrupted connection goes first.
    KeychainTokenStore(service, AppStore::googlePendingTokenAccount)
        .saveToken(OAuthToken{QStringLiteral("stale"), QStringLiteral("stale"), clock.now()});

    connectAndSync(ada);

    ASSERT_EQ(openedURLs.size(), 1);
    EXPECT_EQ(pendingWhenProfileAsked, QList<bool>{true}); // the profile was read over the pending item
    EXPECT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::connected());
    const GoogleAccount account{QStringLiteral("ada.lovelace@example.com"), ada.email, QStringLiteral("Ada")};
    EXPECT_EQ(store->googleAccounts(), QList<GoogleAccount>{account});
    EXPECT_EQ(storedAccounts(), QList<GoogleAccount>{account});

    // Only the account's own item is left, holding the issued token.
    EXPECT_EQ(keyringAccounts(service), QStringList{QStringLiteral("oauth:ada.lovelace@example.com")});
    const std::optional<OAuthToken> token = itemToken(ada.tokenItem());
    ASSERT_TRUE(token);
    EXPECT_EQ(token->accessToken, ada.accessToken);
    EXPECT_EQ(token->refreshToken, ada.refreshToken);

    // The sync that followed used the new account.
    EXPECT_EQ(store->syncStatus(), AppStore::SyncStatus::synced(clock.now()));
    EXPECT_EQ(calendarIDs(), QStringList{QStringLiteral("ada.lovelace@example.com::ada-work")});
    EXPECT_EQ(upcomingIDs(), QStringList{QStringLiteral("ada.lovelace@example.com-m-ada-work")});
}

TEST_F(AppStoreAccountsTest, AnotherAccountIsSortedInAndResetsTheMeetingsUntilTheNextSync)
{
    const Person bob = addPerson(QStringLiteral("bob@example.com"), std::nullopt, {QStringLiteral("bob-work")});
    const Person alice = addPerson(QStringLiteral("Alice@Example.com"), QStringLiteral("Alice"), {QStringLiteral("alice-work")});
    makeStore();
    connectAndSync(bob);
    ASSERT_EQ(upcomingIDs(), QStringList{QStringLiteral("bob@example.com-m-bob-work")});
    ASSERT_TRUE(defaults->contains(AppStore::selectedCalendarIDsKey));

    connect(alice);

    // Upper-case A before lower-case b: case does not decide the order.
    EXPECT_EQ(store->googleAccounts(), (QList<GoogleAccount>{alice.account(), bob.account()}));
    EXPECT_EQ(storedAccounts(), store->googleAccounts());
    EXPECT_TRUE(store->calendars().isEmpty());
    EXPECT_TRUE(store->selectedCalendarIDs().isEmpty());
    EXPECT_FALSE(defaults->contains(AppStore::selectedCalendarIDsKey));
    EXPECT_TRUE(store->todayMeetEvents().isEmpty());
    EXPECT_TRUE(store->upcomingMeetEvents().isEmpty());
    EXPECT_EQ(store->syncStatus(), AppStore::SyncStatus::idle());

    runTask(store->sync());
    EXPECT_EQ(calendarIDs(), (QStringList{QStringLiteral("alice@example.com::alice-work"),
                                          QStringLiteral("bob@example.com::bob-work")}));
    EXPECT_EQ(upcomingIDs().size(), 2);

    // Signing in again with the same address in another case keeps one entry, with the new form,
    // name and token.
    Person again = addPerson(QStringLiteral("ALICE@example.com"), QStringLiteral("Alice Again"), {QStringLiteral("alice-work")});
    connect(again);
    EXPECT_EQ(store->googleAccounts(), (QList<GoogleAccount>{again.account(), bob.account()}));
    EXPECT_EQ(store->googleAccounts().first().id, QStringLiteral("alice@example.com"));
    const std::optional<OAuthToken> token = itemToken(QStringLiteral("oauth:alice@example.com"));
    ASSERT_TRUE(token);
    EXPECT_EQ(token->accessToken, again.accessToken);
    EXPECT_EQ(keyringAccounts(service),
              (QStringList{QStringLiteral("oauth:alice@example.com"), QStringLiteral("oauth:bob@example.com")}));
}

TEST_F(AppStoreAccountsTest, DisconnectingOneAccountDropsItsCalendarsSelectionMeetingsAndItem)
{
    const Person ann = addPerson(QStringLiteral("ann@example.com"), std::nullopt,
                                 {QStringLiteral("ann-work"), QStringLiteral("ann::odd")});
    const Person ben = addPerson(QStringLiteral("ben@example.com"), std::nullopt, {QStringLiteral("ben-work")});
    makeStore();
    connect(ann);
    connectAndSync(ben);
    ASSERT_EQ(upcomingIDs().size(), 3);
    ASSERT_EQ(pendingNotificationMeetings().size(), 3);
    // An identifier without the separator belongs to no account.
    store->setCalendarSelection(QStringLiteral("plain"), true);

    store->disconnectGoogleAccount(ann.account());

    EXPECT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::connected());
    EXPECT_EQ(store->googleAccounts(), QList<GoogleAccount>{ben.account()});
    EXPECT_EQ(storedAccounts(), QList<GoogleAccount>{ben.account()});
    EXPECT_EQ(calendarIDs(), QStringList{QStringLiteral("ben@example.com::ben-work")});
    const QStringList remaining{QStringLiteral("ben@example.com::ben-work"), QStringLiteral("plain")};
    EXPECT_EQ(sorted(store->selectedCalendarIDs()), remaining);
    EXPECT_EQ(defaults->stringArray(AppStore::selectedCalendarIDsKey), remaining);
    EXPECT_EQ(upcomingIDs(), QStringList{QStringLiteral("ben@example.com-m-ben-work")});
    EXPECT_EQ(keyringAccounts(service), QStringList{ben.tokenItem()});
    EXPECT_TRUE(waitUntil([&] { return pendingNotificationMeetings() == QStringList{QStringLiteral("ben@example.com-m-ben-work")}; }));

    store->disconnectGoogleAccount(ben.account());
    EXPECT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::disconnected());
    EXPECT_TRUE(store->googleAccounts().isEmpty());
    EXPECT_EQ(defaults->stringArray(AppStore::selectedCalendarIDsKey), QStringList{QStringLiteral("plain")});
    EXPECT_TRUE(store->upcomingMeetEvents().isEmpty());
    EXPECT_TRUE(keyringAccounts(service).isEmpty());
    EXPECT_TRUE(waitUntil([&] { return scheduler->pending.isEmpty(); }));
}

TEST_F(AppStoreAccountsTest, DisconnectingAllRemovesEveryItemAndWithdrawsEveryMeetNotification)
{
    const Person ann = addPerson(QStringLiteral("ann@example.com"), std::nullopt, {QStringLiteral("ann-work")});
    const Person ben = addPerson(QStringLiteral("ben@example.com"), std::nullopt, {QStringLiteral("ben-work")});
    makeStore();
    connect(ann);
    connectAndSync(ben);
    ASSERT_EQ(pendingNotificationMeetings().size(), 2);
    // Left by an earlier run: unknown to the store, yet a meeting notification.
    scheduler->pending.insert(QStringLiteral("meet-earlier"), scheduler->pending.first());
    KeychainTokenStore(service, KeychainTokenStore::defaultAccount)
        .saveToken(OAuthToken{QStringLiteral("legacy"), QStringLiteral("legacy"), clock.now()});
    KeychainTokenStore(service, AppStore::googlePendingTokenAccount)
        .saveToken(OAuthToken{QStringLiteral("pending"), QStringLiteral("pending"), clock.now()});

    store->disconnectGoogle();

    EXPECT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::disconnected());
    EXPECT_TRUE(store->googleAccounts().isEmpty());
    EXPECT_EQ(defaults->data(AppStore::googleAccountsKey), QByteArray("[]"));
    EXPECT_TRUE(store->calendars().isEmpty());
    EXPECT_TRUE(store->selectedCalendarIDs().isEmpty());
    EXPECT_FALSE(defaults->contains(AppStore::selectedCalendarIDsKey));
    EXPECT_TRUE(store->todayMeetEvents().isEmpty());
    EXPECT_TRUE(store->upcomingMeetEvents().isEmpty());
    EXPECT_FALSE(store->currentMeetEvent());
    EXPECT_FALSE(store->activeMeetEvent());
    EXPECT_TRUE(keyringAccounts(service).isEmpty());

    EXPECT_TRUE(waitUntil([&] { return scheduler->pending.isEmpty(); }));
    // The listed identifiers, then every "meet-" notification.
    ASSERT_GE(scheduler->calls.size(), 2);
    EXPECT_TRUE(scheduler->calls.at(scheduler->calls.size() - 2).startsWith(QStringLiteral("cancel meet-")));
    EXPECT_EQ(scheduler->calls.last(), QStringLiteral("cancelMeet"));
    EXPECT_EQ(scheduler->cancelledIdentifiers.back().size(), 2);

    // Nothing is left to sync.
    runTask(store->sync());
    EXPECT_EQ(store->syncStatus(), AppStore::SyncStatus::idle());
    EXPECT_TRUE(store->googleAccounts().isEmpty());
}

TEST_F(AppStoreAccountsTest, KeyringFailuresWhileDisconnectingKeepWhatStillHasAToken)
{
    const Person ann = addPerson(QStringLiteral("ann@example.com"), std::nullopt, {QStringLiteral("ann-work")});
    const Person ben = addPerson(QStringLiteral("ben@example.com"), std::nullopt, {QStringLiteral("ben-work")});
    const Person cy = addPerson(QStringLiteral("cy@example.com"), std::nullopt, {QStringLiteral("cy-work")});
    makeStore(/*logKeyring=*/true);
    connect(ann);
    connect(ben);
    connectAndSync(cy);
    ASSERT_EQ(upcomingIDs().size(), 3);
    refuseDelete.insert(ben.tokenItem());

    // One account: it stays, with everything of it.
    store->disconnectGoogleAccount(ben.account());
    EXPECT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::failed(QStringLiteral("The keyring refused.")));
    EXPECT_EQ(store->keyringFailure(), QStringLiteral("The keyring refused."));
    EXPECT_EQ(store->googleAccounts().size(), 3);
    EXPECT_EQ(upcomingIDs().size(), 3);

    // All: ann's token goes and so does ann; ben failed and cy was not reached, so both stay.
    keyringLog.clear();
    store->disconnectGoogle();
    EXPECT_EQ(keyringLog, (QStringList{QStringLiteral("delete ") + ann.tokenItem(), QStringLiteral("delete ") + ben.tokenItem()}));
    EXPECT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::failed(QStringLiteral("The keyring refused.")));
    EXPECT_EQ(store->googleAccounts(), (QList<GoogleAccount>{ben.account(), cy.account()}));
    EXPECT_EQ(storedAccounts(), store->googleAccounts());
    EXPECT_EQ(calendarIDs(), (QStringList{QStringLiteral("ben@example.com::ben-work"), QStringLiteral("cy@example.com::cy-work")}));
    EXPECT_EQ(defaults->stringArray(AppStore::selectedCalendarIDsKey), calendarIDs());
    EXPECT_EQ(upcomingIDs(), (QStringList{QStringLiteral("ben@example.com-m-ben-work"), QStringLiteral("cy@example.com-m-cy-work")}));
    EXPECT_EQ(keyringAccounts(service), (QStringList{ben.tokenItem(), cy.tokenItem()}));
    EXPECT_TRUE(waitUntil([&] { return pendingNotificationMeetings().size() == 2; }));

    // Once the keyring gives way, the rest goes.
    refuseDelete.clear();
    store->disconnectGoogle();
    EXPECT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::disconnected());
    EXPECT_EQ(store->keyringFailure(), std::nullopt);
    EXPECT_TRUE(store->googleAccounts().isEmpty());
    EXPECT_TRUE(keyringAccounts(service).isEmpty());
}

TEST_F(AppStoreAccountsTest, FailedConnectionsChangeNothingButTheStatusAndDropThePendingItem)
{
    const Person ann = addPerson(QStringLiteral("ann@example.com"), std::nullopt, {QStringLiteral("ann-work")});
    const Person ben = addPerson(QStringLiteral("ben@example.com"), std::nullopt, {QStringLiteral("ben-work")});
    makeStore();
    connectAndSync(ann);
    const QList<GoogleAccount> accounts = store->googleAccounts();
    const int authorizationRequests = scheduler->authorizationRequests;
    const auto leaveStalePendingItem = [&] {
        KeychainTokenStore(service, AppStore::googlePendingTokenAccount)
            .saveToken(OAuthToken{QStringLiteral("stale"), QStringLiteral("stale"), clock.now()});
    };

    // The browser could not be opened.
    leaveStalePendingItem();
    runTask(store->connectGoogleAndSync([](QUrl) -> QCoro::Task<bool> { co_return false; }));
    EXPECT_EQ(store->googleConnectionStatus(),
              AppStore::GoogleConnectionStatus::failed(
                  GoogleOAuthClient::OAuthError(GoogleOAuthClient::OAuthError::browserOpenFailed).localizedDescription()));
    EXPECT_EQ(scheduler->authorizationRequests, authorizationRequests); // no sync after a failure
    EXPECT_EQ(store->googleAccounts(), accounts);
    EXPECT_EQ(upcomingIDs(), QStringList{QStringLiteral("ann@example.com-m-ann-work")});
    EXPECT_EQ(keyringAccounts(service), QStringList{ann.tokenItem()});

    // The profile could not be read, after the token had been stored in the pending item.
    leaveStalePendingItem();
    pendingWhenProfileAsked.clear();
    server.route("GET", FakeGoogleCalendar::userInfoPath, [this](const RecordedRequest &) {
        pendingWhenProfileAsked << keyringSecret(service, AppStore::googlePendingTokenAccount).has_value();
        return FakeResponse::json(500, R"({"error": {"code": 500, "message": "Backend Error"}})");
    });
    connectAndSync(ben);
    EXPECT_EQ(pendingWhenProfileAsked, QList<bool>{true});
    EXPECT_EQ(store->googleConnectionStatus().kind(), AppStore::GoogleConnectionStatus::Kind::failed);
    EXPECT_TRUE(store->googleConnectionStatus().message().contains(QStringLiteral("Backend Error")))
        << store->googleConnectionStatus().message().toStdString();
    EXPECT_EQ(store->googleAccounts(), accounts);
    EXPECT_EQ(upcomingIDs(), QStringList{QStringLiteral("ann@example.com-m-ann-work")});
    EXPECT_EQ(keyringAccounts(service), QStringList{ann.tokenItem()});
}

TEST_F(AppStoreAccountsTest, ASecondConnectionSupersedesAWaitingOneWhichEndsQuietly)
{
    const Person ann = addPerson(QStringLiteral("ann@example.com"), std::nullopt, {QStringLiteral("ann-work")});
    makeStore(/*logKeyring=*/true);

    // The first browser never comes back.
    bool firstEnded = false;
    auto first = [&]() -> QCoro::Task<void> {
        co_await store->connectGoogleAndSync([](QUrl) -> QCoro::Task<bool> { co_return true; });
        firstEnded = true;
    };
    auto firstTask = first();
    ASSERT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::connecting());
    ASSERT_FALSE(firstEnded);

    // The second one's browser finishes only after the first connection has ended, so whatever
    // the first does to the pending item on its way out comes before the second stores its token.
    const AppStore::OpenURL signIn = browserSigningIn(ann);
    runTask(store->connectGoogleAndSync([&](QUrl url) -> QCoro::Task<bool> {
        while (!firstEnded)
            co_await QCoro::sleepFor(5ms);
        co_return co_await signIn(url);
    }));

    EXPECT_TRUE(firstEnded);
    const QString pending = AppStore::googlePendingTokenAccount;
    EXPECT_EQ(keyringLog, (QStringList{QStringLiteral("delete ") + pending, QStringLiteral("delete ") + pending,
                                       QStringLiteral("save ") + pending, QStringLiteral("save ") + ann.tokenItem(),
                                       QStringLiteral("delete ") + pending}));
    EXPECT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::connected());
    EXPECT_EQ(store->googleAccounts(), QList<GoogleAccount>{ann.account()});
    EXPECT_EQ(store->syncStatus(), AppStore::SyncStatus::synced(clock.now()));
    EXPECT_EQ(keyringAccounts(service), QStringList{ann.tokenItem()});
    runTask(std::move(firstTask));
}

TEST_F(AppStoreAccountsTest, TheLegacyItemIsMigratedBeforeASync)
{
    // The legacy token has expired: reading the profile refreshes it first.
    Person old = addPerson(QStringLiteral("Old.Timer@Example.com"), QStringLiteral("Old"), {QStringLiteral("old-work")});
    people.back().accessToken = oauth.refreshedAccessToken;
    old = people.back();
    oauth.refreshToken = old.refreshToken;
    KeychainTokenStore legacy(service, KeychainTokenStore::defaultAccount);
    legacy.saveToken(OAuthToken{QStringLiteral("ya29.expired"), old.refreshToken, clock.now().addSecs(-3600)});
    makeStore();
    EXPECT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::connected());

    runTask(store->sync());

    EXPECT_EQ(store->googleAccounts(), QList<GoogleAccount>{old.account()});
    EXPECT_EQ(storedAccounts(), QList<GoogleAccount>{old.account()});
    EXPECT_EQ(keyringAccounts(service), QStringList{QStringLiteral("oauth:old.timer@example.com")});
    const std::optional<OAuthToken> token = itemToken(old.tokenItem());
    ASSERT_TRUE(token);
    EXPECT_EQ(token->accessToken, oauth.refreshedAccessToken);
    EXPECT_EQ(token->refreshToken, old.refreshToken);
    EXPECT_EQ(store->syncStatus(), AppStore::SyncStatus::synced(clock.now()));
    EXPECT_EQ(calendarIDs(), QStringList{QStringLiteral("old.timer@example.com::old-work")});

    // With an account listed, a legacy token is left alone.
    legacy.saveToken(OAuthToken{QStringLiteral("ya29.other"), QStringLiteral("1//other"), clock.now()});
    runTask(store->sync());
    EXPECT_TRUE(legacy.loadToken());
    EXPECT_EQ(store->googleAccounts(), QList<GoogleAccount>{old.account()});
}

TEST_F(AppStoreAccountsTest, DisconnectingAllDuringTheMigrationBringsNothingBack)
{
    // The legacy token has expired; while its refresh is under way the user disconnects all.
    Person old = addPerson(QStringLiteral("old@example.com"), std::nullopt, {QStringLiteral("old-work")});
    people.back().accessToken = oauth.refreshedAccessToken;
    old = people.back();
    oauth.refreshToken = old.refreshToken;
    KeychainTokenStore legacy(service, KeychainTokenStore::defaultAccount);
    legacy.saveToken(OAuthToken{QStringLiteral("ya29.expired"), old.refreshToken, clock.now().addSecs(-3600)});
    makeStore();
    oauth.onTokenRequest = [this](const RecordedRequest &) {
        oauth.onTokenRequest = nullptr;
        store->disconnectGoogle();
    };

    runTask(store->sync());

    EXPECT_TRUE(store->googleAccounts().isEmpty());
    EXPECT_TRUE(keyringAccounts(service).isEmpty()); // neither the legacy item nor an account item
    EXPECT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::disconnected());
    EXPECT_EQ(store->syncStatus(), AppStore::SyncStatus::idle());
}

TEST(AppStoreCompositeIDTest, SplitsAtTheFirstSeparator)
{
    using Parts = std::optional<std::pair<QString, QString>>;
    EXPECT_EQ(AppStore::compositeGoogleCalendarID(QStringLiteral("a@x.example::team::b")),
              (Parts{{QStringLiteral("a@x.example"), QStringLiteral("team::b")}}));
    EXPECT_EQ(AppStore::compositeGoogleCalendarID(QStringLiteral("::")), (Parts{{QString(), QString()}}));
    EXPECT_EQ(AppStore::compositeGoogleCalendarID(QStringLiteral("a:b")), Parts{});
}
