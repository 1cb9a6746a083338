#include "Services/GoogleOAuthClient.h"
#include "Services/KeychainTokenStore.h"
#include "Stores/AppStore.h"
#include "Support/DateFormatting.h"
#include "Support/Localization.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/FakeGoogleServer.h"
#include "TestSupport/StoreTestSupport.h"
#include "TestSupport/TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::test;

// The whole sync road: the store, the OAuth and Calendar clients it builds per account, and the
// stand-in Google server on 127.0.0.1 answering each account by its bearer token.

namespace {

using SyncStatus = AppStore::SyncStatus;
using ConnectionStatus = AppStore::GoogleConnectionStatus;

const GoogleAccount ann{QStringLiteral("ann@example.com"), QStringLiteral("Ann@Example.com"), QStringLiteral("Ann")};
const GoogleAccount bo{QStringLiteral("bo@example.com"), QStringLiteral("bo@example.com"), std::nullopt};
const QString annPrimary = QStringLiteral("ann@example.com");
const QString boPrimary = QStringLiteral("bo@example.com");
const QString team = QStringLiteral("team#1@group.calendar.google.com");
const QString shared = QStringLiteral("shared@group.calendar.google.com");

QByteArray json(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject calendarItem(const QString &id, const QString &summary, QJsonObject extra = {})
{
    extra.insert(QStringLiteral("id"), id);
    extra.insert(QStringLiteral("summary"), summary);
    return extra;
}

QJsonObject timed(const QString &dateTime)
{
    return QJsonObject{{QStringLiteral("dateTime"), dateTime}};
}

QJsonObject event(const QString &id, const QJsonObject &start, const QJsonObject &end, QJsonObject extra = {})
{
    extra.insert(QStringLiteral("id"), id);
    extra.insert(QStringLiteral("start"), start);
    extra.insert(QStringLiteral("end"), end);
    if (!extra.contains(QStringLiteral("summary")))
        extra.insert(QStringLiteral("summary"), QStringLiteral("Meeting ") + id);
    return extra;
}

QJsonObject withLink(const QString &code)
{
    return QJsonObject{{QStringLiteral("hangoutLink"), QStringLiteral("https://meet.google.com/") + code}};
}

QByteArray eventsPage(const QString &summary, const QJsonArray &items)
{
    return json(QJsonObject{{QStringLiteral("summary"), summary}, {QStringLiteral("items"), items}});
}

class AppStoreGoogleSyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        L10n::configure(QStringLiteral("en"));
        parts.clock.set(now);
        parts.defaults->set(AppStore::googleClientIDKey, oauth.clientID);
        parts.defaults->set(AppStore::googleClientSecretKey, oauth.clientSecret);
        parts.defaults->set(AppStore::googleAccountsKey, GoogleAccount::encodeList({ann, bo}));
        parts.accountTokenStore(QStringLiteral("oauth:ann@example.com"))->token = fresh(QStringLiteral("ann-token"));
        parts.accountTokenStore(QStringLiteral("oauth:bo@example.com"))->token = fresh(QStringLiteral("bo-token"));
        owners = {{"ann-token", "ann"}, {"bo-token", "bo"}, {oauth.refreshedAccessToken.toUtf8(), "ann"}};

        lists["ann"] = FakeResponse::json(200, json(QJsonObject{{QStringLiteral("items"), QJsonArray{
            calendarItem(annPrimary, QStringLiteral("Ann"), {{QStringLiteral("primary"), true}, {QStringLiteral("accessRole"), QStringLiteral("owner")}}),
            calendarItem(team, QStringLiteral("Team"), {{QStringLiteral("accessRole"), QStringLiteral("reader")}}),
            calendarItem(QStringLiteral("hidden"), QStringLiteral("Hidden"), {{QStringLiteral("selected"), false}}),
            calendarItem(QStringLiteral("busy"), QStringLiteral("Busy"), {{QStringLiteral("accessRole"), QStringLiteral("freeBusyReader")}}),
            calendarItem(QStringLiteral("en.japanese#holiday@group.v.calendar.google.com"), QStringLiteral("Japan")),
            calendarItem(QStringLiteral("jp"), QStringLiteral("日本の祝日")),
            calendarItem(QStringLiteral("us"), QStringLiteral("US Holidays")),
            calendarItem(shared, QStringLiteral("Shared")),
        }}}));
        lists["bo"] = FakeResponse::json(200, json(QJsonObject{{QStringLiteral("items"), QJsonArray{
            calendarItem(boPrimary, QStringLiteral("Bo"), {{QStringLiteral("primary"), true}}),
            calendarItem(shared, QStringLiteral("Shared")),
        }}}));

        setEvents("ann", annPrimary, FakeResponse::json(200, eventsPage(QStringLiteral("Ann"), {
            event(QStringLiteral("a1"), timed("2026-03-02T10:00:00Z"), timed("2026-03-02T10:30:00Z"), withLink("aaa-bbbb-ccc")),
            event(QStringLiteral("gone"), timed("2026-03-02T10:00:00Z"), timed("2026-03-02T10:30:00Z"),
                  QJsonObject{{QStringLiteral("status"), QStringLiteral("cancelled")}, {QStringLiteral("hangoutLink"), QStringLiteral("https://meet.google.com/x")}}),
            event(QStringLiteral("plain"), timed("2026-03-02T13:00:00Z"), timed("2026-03-02T14:00:00Z")),
            event(QStringLiteral("allday"), QJsonObject{{QStringLiteral("date"), QStringLiteral("2026-03-03")}},
                  QJsonObject{{QStringLiteral("date"), QStringLiteral("2026-03-04")}},
                  QJsonObject{{QStringLiteral("conferenceData"), QJsonObject{
                      {QStringLiteral("entryPoints"), QJsonArray{QJsonObject{{QStringLiteral("uri"), QStringLiteral("https://meet.google.com/all-day-xyz")}}}},
                      {QStringLiteral("conferenceSolution"), QJsonObject{{QStringLiteral("key"), QJsonObject{{QStringLiteral("type"), QStringLiteral("hangoutsMeet")}}}}}}}}),
        })));
        setEvents("bo", boPrimary, FakeResponse::json(200, eventsPage(QStringLiteral("Bo"), {
            event(QStringLiteral("b1"), timed("2026-03-02T20:00:00+09:00"), timed("2026-03-02T20:30:00+09:00"), withLink("bbb-cccc-ddd")),
        })));
        const QByteArray sharedPage = eventsPage(QStringLiteral("Shared"), {
            event(QStringLiteral("s1"), timed("2026-03-02T12:00:00Z"), timed("2026-03-02T13:00:00Z"), withLink("sss-tttt-uuu")),
        });
        setEvents("ann", shared, FakeResponse::json(200, sharedPage));
        setEvents("bo", shared, FakeResponse::json(200, sharedPage));

        server.route("GET", FakeGoogleCalendar::calendarListPath, [this](const RecordedRequest &request) {
            const QByteArray owner = ownerOf(request);
            return lists.contains(owner) ? lists.value(owner) : unauthorized();
        });
    }

    void TearDown() override { L10n::configure(std::nullopt); }

    OAuthToken fresh(const QString &accessToken) const
    {
        return OAuthToken{accessToken, QStringLiteral("1//unused"), now.addSecs(3600)};
    }

    QByteArray ownerOf(const RecordedRequest &request) const
    {
        const QByteArray authorization = request.header("authorization");
        if (!authorization.startsWith("Bearer "))
            return {};
        return owners.value(authorization.mid(7));
    }

    static FakeResponse unauthorized() { return FakeResponse::json(401, FakeGoogleCalendar::unauthorizedBody); }

    void setEvents(const QByteArray &owner, const QString &calendarID, FakeResponse response)
    {
        events[{owner, calendarID}] = std::move(response);
        server.route("GET", FakeGoogleCalendar::eventsPath(calendarID), [this, calendarID](const RecordedRequest &request) {
            const std::pair<QByteArray, QString> key{ownerOf(request), calendarID};
            return events.contains(key) ? events.value(key) : unauthorized();
        });
    }

    QList<RecordedRequest> eventRequests(const QString &calendarID, const QByteArray &owner) const
    {
        QList<RecordedRequest> result;
        for (const RecordedRequest &request : server.requestsTo("GET", FakeGoogleCalendar::eventsPath(calendarID))) {
            if (ownerOf(request) == owner)
                result.append(request);
        }
        return result;
    }

    std::unique_ptr<AppStore> makeStore(std::optional<AppStore::TokenStoreFactory> factory = std::nullopt)
    {
        AppStore::Configuration configuration = parts.configuration(false);
        configuration.endpoints = server.endpoints();
        if (factory)
            configuration.tokenStoreFactory = *factory;
        return std::make_unique<AppStore>(configuration);
    }

    TimeZoneGuard zone{"UTC"};
    const QDateTime now = utc(2026, 3, 2, 9, 0);
    StoreParts parts;
    FakeGoogleServer server;
    FakeGoogleOAuth oauth{server};
    QMap<QByteArray, QByteArray> owners;
    QMap<QByteArray, FakeResponse> lists;
    QMap<std::pair<QByteArray, QString>, FakeResponse> events;
};

TEST_F(AppStoreGoogleSyncTest, TwoAccountsWithCompositeIdentifiersAndTheDefaultSelection)
{
    auto store = makeStore();
    runTask(store->sync());
    ASSERT_EQ(store->syncStatus(), SyncStatus::synced(now)) << store->syncStatus().label().toStdString();
    EXPECT_EQ(store->syncStatus().label(), QStringLiteral("Synced at ") + DateFormatting::shortTime().string(now));

    // Calendars of both accounts, in account order, without unselected, free/busy or holiday ones.
    QStringList calendarIDs;
    for (const CalendarInfo &c : store->calendars())
        calendarIDs << c.id;
    EXPECT_EQ(calendarIDs, (QStringList{"ann@example.com::ann@example.com", "ann@example.com::" + team,
                                        "ann@example.com::" + shared, "bo@example.com::bo@example.com",
                                        "bo@example.com::" + shared}));
    EXPECT_EQ(store->calendars()[1].name, QStringLiteral("Team"));
    EXPECT_EQ(store->calendars()[1].accountEmail, QStringLiteral("Ann@Example.com"));
    EXPECT_FALSE(store->calendars()[1].isSelectedByDefault);
    EXPECT_EQ(store->selectedCalendarIDs(), (QSet<QString>{"ann@example.com::ann@example.com", "bo@example.com::bo@example.com"}));

    // Only the selected calendars are asked for events, each with its account's token and the window.
    EXPECT_EQ(eventRequests(annPrimary, "ann").size(), 1);
    EXPECT_EQ(eventRequests(boPrimary, "bo").size(), 1);
    EXPECT_TRUE(server.requestsTo("GET", FakeGoogleCalendar::eventsPath(team)).isEmpty());
    const QUrlQuery query = eventRequests(annPrimary, "ann")[0].query;
    EXPECT_EQ(query.queryItemValue(QStringLiteral("timeMin"), QUrl::FullyDecoded), QStringLiteral("2026-03-02T00:00:00.000Z"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("timeMax"), QUrl::FullyDecoded), QStringLiteral("2026-03-09T09:00:00.000Z"));

    // Meetings with composite identifiers, cancelled and link-less events left out, all-day at midnight UTC.
    EXPECT_EQ(ids(store->upcomingMeetEvents()), (QStringList{"ann@example.com-a1", "bo@example.com-b1", "ann@example.com-allday"}));
    const CalendarEvent &a1 = store->upcomingMeetEvents()[0];
    EXPECT_EQ(a1.calendarID, QStringLiteral("ann@example.com::ann@example.com"));
    EXPECT_EQ(a1.calendarName, QStringLiteral("Ann · Ann@Example.com"));
    EXPECT_EQ(a1.accountEmail, QStringLiteral("Ann@Example.com"));
    EXPECT_TRUE(a1.joinURL()->toString(QUrl::FullyEncoded).contains(QStringLiteral("Email=Ann@Example.com")));
    EXPECT_EQ(store->upcomingMeetEvents()[1].startDate, utc(2026, 3, 2, 11, 0));
    EXPECT_EQ(store->upcomingMeetEvents()[2].startDate, utc(2026, 3, 3, 0, 0));
    EXPECT_EQ(ids(store->todayMeetEvents()), (QStringList{"ann@example.com-a1", "bo@example.com-b1"}));
    EXPECT_EQ(parts.scheduler->pending.size(), 3);
}

TEST_F(AppStoreGoogleSyncTest, OneCalendarOfTwoAccountsGivesTwoMeetingsAndAnAccountWithoutSelectionIsNotAsked)
{
    auto store = makeStore();
    runTask(store->sync());
    store->setCalendarSelection("ann@example.com::" + shared, true);
    store->setCalendarSelection("bo@example.com::" + shared, true);
    runTask(store->sync());
    EXPECT_EQ(ids(store->upcomingMeetEvents()), (QStringList{"ann@example.com-a1", "bo@example.com-b1", "ann@example.com-s1",
                                                             "bo@example.com-s1", "ann@example.com-allday"}));
    EXPECT_EQ(store->upcomingMeetEvents()[2].calendarName, QStringLiteral("Shared · Ann@Example.com"));
    EXPECT_EQ(store->upcomingMeetEvents()[3].calendarName, QStringLiteral("Shared · bo@example.com"));
    EXPECT_NE(store->upcomingMeetEvents()[2].notificationIdentifier(1800), store->upcomingMeetEvents()[3].notificationIdentifier(1800));

    // Bo without a selected calendar: no events request for Bo at all.
    store->setCalendarSelection("bo@example.com::" + shared, false);
    store->setCalendarSelection("bo@example.com::bo@example.com", false);
    const qsizetype boRequests = eventRequests(boPrimary, "bo").size() + eventRequests(shared, "bo").size();
    runTask(store->sync());
    EXPECT_EQ(eventRequests(boPrimary, "bo").size() + eventRequests(shared, "bo").size(), boRequests);
    EXPECT_EQ(ids(store->upcomingMeetEvents()), (QStringList{"ann@example.com-a1", "ann@example.com-s1", "ann@example.com-allday"}));
}

TEST_F(AppStoreGoogleSyncTest, FailingSecondAccountEndsThePassWithTheMeetingsUnchanged)
{
    auto store = makeStore();
    runTask(store->sync());
    const QList<CalendarEvent> before = store->upcomingMeetEvents();
    const QStringList pendingBefore = parts.scheduler->pending.keys();

    setEvents("bo", boPrimary, FakeResponse::json(500, QByteArray("\xff\xfe\x00 broken", 10)));
    QJsonObject list = QJsonDocument::fromJson(lists["ann"].body).object();
    QJsonArray items = list.value(QStringLiteral("items")).toArray();
    items.append(calendarItem(QStringLiteral("new"), QStringLiteral("New")));
    list.insert(QStringLiteral("items"), items);
    lists["ann"] = FakeResponse::json(200, json(list));
    runTask(store->sync());

    EXPECT_EQ(store->syncStatus(), SyncStatus::failed(QStringLiteral("Google Calendar request failed: HTTP 500")));
    EXPECT_EQ(store->syncStatus().label(), QStringLiteral("Sync failed: Google Calendar request failed: HTTP 500"));
    EXPECT_EQ(store->upcomingMeetEvents(), before);
    EXPECT_EQ(parts.scheduler->pending.keys(), pendingBefore);
    EXPECT_EQ(store->calendars().size(), 6); // the calendar phase had finished
    EXPECT_EQ(store->googleConnectionStatus(), ConnectionStatus::connected());
    EXPECT_TRUE(store->requiresUserAttention());
    EXPECT_FALSE(store->requiresGoogleReconnect());
    EXPECT_EQ(store->keyringFailure(), std::nullopt);

    // A keyring that fails is named as the cause, and is no reason to reconnect.
    parts.accountTokenStore(QStringLiteral("oauth:bo@example.com"))->failLoad = true;
    runTask(store->sync());
    EXPECT_EQ(store->syncStatus(), SyncStatus::failed(QStringLiteral("load refused")));
    EXPECT_EQ(store->keyringFailure(), QStringLiteral("load refused"));
    EXPECT_FALSE(store->requiresGoogleReconnect());
    parts.accountTokenStore(QStringLiteral("oauth:bo@example.com"))->failLoad = false;
    setEvents("bo", boPrimary, FakeResponse::json(200, eventsPage(QStringLiteral("Bo"), {})));
    runTask(store->sync());
    EXPECT_EQ(store->syncStatus().kind(), SyncStatus::Kind::synced);
    EXPECT_EQ(store->keyringFailure(), std::nullopt);
}

TEST_F(AppStoreGoogleSyncTest, BadInputFromTheAPIFailsThePassAndLosesNothing)
{
    auto store = makeStore();
    runTask(store->sync());
    const QList<CalendarEvent> before = store->upcomingMeetEvents();
    const QList<CalendarInfo> calendarsBefore = store->calendars();
    const FakeResponse goodEvents = events[{"ann", annPrimary}];
    const FakeResponse goodList = lists["ann"];

    struct Case {
        const char *name;
        std::function<void()> apply;
        QString expected; // part of the failure message
    };
    const QList<Case> cases = {
        {"wrong JSON type", [&] { setEvents("ann", annPrimary, FakeResponse::json(200, R"({"items": {}})")); }, QString()},
        {"missing items", [&] { setEvents("ann", annPrimary, FakeResponse::json(200, R"({"summary": "Ann"})")); }, QString()},
        {"date without zone",
         [&] {
             setEvents("ann", annPrimary, FakeResponse::json(200, eventsPage(QStringLiteral("Ann"), {
                 event(QStringLiteral("a1"), timed("2026-03-02T10:00:00"), timed("2026-03-02T10:30:00Z"), withLink("a")),
             })));
         },
         QStringLiteral("2026-03-02T10:00:00")},
        {"500 with a body that is not UTF-8", [&] { setEvents("ann", annPrimary, FakeResponse::json(500, "\xc3\x28")); },
         QStringLiteral("HTTP 500")},
        {"dropped connection", [&] { setEvents("ann", annPrimary, FakeResponse::drop()); }, QString()},
        {"cut-off body", [&] { setEvents("ann", annPrimary, FakeResponse::dropInBody(200, goodEvents.body)); }, QString()},
        {"calendar list with a number for a text",
         [&] { lists["ann"] = FakeResponse::json(200, R"({"items": [{"id": 5, "summary": "x"}]})"); }, QString()},
    };
    for (const Case &c : cases) {
        c.apply();
        runTask(store->sync());
        EXPECT_EQ(store->syncStatus().kind(), SyncStatus::Kind::failed) << c.name;
        EXPECT_FALSE(store->syncStatus().message().trimmed().isEmpty()) << c.name;
        if (!c.expected.isEmpty()) {
            EXPECT_TRUE(store->syncStatus().message().contains(c.expected)) << c.name << ": " << store->syncStatus().message().toStdString();
        }
        EXPECT_EQ(store->upcomingMeetEvents(), before) << c.name;
        EXPECT_EQ(store->calendars(), calendarsBefore) << c.name;
        setEvents("ann", annPrimary, goodEvents);
        lists["ann"] = goodList;
    }
    runTask(store->sync());
    EXPECT_EQ(store->syncStatus().kind(), SyncStatus::Kind::synced);
}

TEST_F(AppStoreGoogleSyncTest, RevokedOrMissingTokensAskForANewConnection)
{
    auto store = makeStore();
    // A stale token whose refresh the token endpoint refuses.
    parts.accountTokenStore(QStringLiteral("oauth:ann@example.com"))->token =
        OAuthToken{QStringLiteral("ann-token"), QStringLiteral("1//revoked"), now.addSecs(-10)};
    runTask(store->sync());
    EXPECT_EQ(store->syncStatus().kind(), SyncStatus::Kind::failed);
    EXPECT_TRUE(store->syncStatus().message().contains(QStringLiteral("invalid_grant")));
    EXPECT_EQ(store->googleConnectionStatus(), ConnectionStatus::failed(store->syncStatus().message()));
    EXPECT_TRUE(store->requiresGoogleReconnect());
    EXPECT_EQ(store->keyringFailure(), std::nullopt);

    // An account whose item holds no token.
    parts.accountTokenStore(QStringLiteral("oauth:ann@example.com"))->token = fresh(QStringLiteral("ann-token"));
    parts.accountTokenStore(QStringLiteral("oauth:bo@example.com"))->token.reset();
    runTask(store->sync());
    const QString missing = L10n::text(QStringLiteral("oauth_error_missing_refresh_token"));
    EXPECT_EQ(store->syncStatus(), SyncStatus::failed(missing));
    EXPECT_EQ(store->googleConnectionStatus(), ConnectionStatus::failed(missing));

    // The API refusing a token is no reason to reconnect by itself.
    parts.accountTokenStore(QStringLiteral("oauth:bo@example.com"))->token = fresh(QStringLiteral("unknown-token"));
    runTask(store->sync());
    EXPECT_TRUE(store->syncStatus().message().contains(QStringLiteral("UNAUTHENTICATED")));
    EXPECT_EQ(store->googleConnectionStatus(), ConnectionStatus::connected());
    EXPECT_FALSE(store->requiresGoogleReconnect());
}

// Real keyring items: the stale token is refreshed once, written to the account's own item, and
// the event phase reads it from there.
TEST_F(AppStoreGoogleSyncTest, StaleTokenIsRefreshedOnceThroughTheAccountsKeyringItem)
{
    KV_REQUIRE(keyringProblem());
    const QString service = QStringLiteral("app.kestrivane.tests.store.%1").arg(QRandomGenerator::global()->generate());
    KeychainTokenStore annItem(service, QStringLiteral("oauth:ann@example.com"));
    KeychainTokenStore boItem(service, QStringLiteral("oauth:bo@example.com"));
    annItem.saveToken(OAuthToken{QStringLiteral("ann-token"), oauth.refreshToken, now.addSecs(-30)});
    boItem.saveToken(fresh(QStringLiteral("bo-token")));
    const auto cleanup = qScopeGuard([&] {
        annItem.deleteToken();
        boItem.deleteToken();
    });

    AppStore::Configuration configuration = parts.configuration(false);
    configuration.endpoints = server.endpoints();
    configuration.keychainService = service;
    configuration.tokenStoreFactory = nullptr; // the store's own: KeychainTokenStore
    AppStore store(configuration);
    runTask(store.sync());

    ASSERT_EQ(store.syncStatus().kind(), SyncStatus::Kind::synced) << store.syncStatus().message().toStdString();
    EXPECT_EQ(server.requestsTo("POST", FakeGoogleOAuth::tokenPath).size(), 1);
    const std::optional<OAuthToken> stored = annItem.loadToken();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->accessToken, oauth.refreshedAccessToken);
    EXPECT_EQ(stored->refreshToken, oauth.refreshToken);
    const QList<RecordedRequest> annEvents = server.requestsTo("GET", FakeGoogleCalendar::eventsPath(annPrimary));
    ASSERT_EQ(annEvents.size(), 1);
    EXPECT_EQ(annEvents[0].header("authorization"), "Bearer " + oauth.refreshedAccessToken.toUtf8());
    EXPECT_EQ(ids(store.upcomingMeetEvents()).size(), 3);

    // The next pass uses the stored token without a refresh.
    runTask(store.sync());
    EXPECT_EQ(server.requestsTo("POST", FakeGoogleOAuth::tokenPath).size(), 1);
}

// An account disconnected while a pass waits for its answer is not brought back: that pass
// writes nothing, and the pass that follows at once works with the new account list.
TEST_F(AppStoreGoogleSyncTest, PassThatFindsTheAccountListChangedWritesNothing)
{
    auto store = makeStore();
    QList<SyncStatus::Kind> statuses;
    QObject::connect(store.get(), &AppStore::changed, [&] {
        if (statuses.isEmpty() || statuses.last() != store->syncStatus().kind())
            statuses.append(store->syncStatus().kind());
    });
    const FakeResponse boEvents = events[{"bo", boPrimary}];
    server.route("GET", FakeGoogleCalendar::eventsPath(boPrimary), [&](const RecordedRequest &) {
        store->disconnectGoogleAccount(bo);
        return boEvents;
    });

    runTask(store->sync());
    EXPECT_EQ(store->googleAccounts(), QList<GoogleAccount>{ann});
    EXPECT_EQ(store->syncStatus(), SyncStatus::synced(now));
    EXPECT_EQ(statuses, (QList<SyncStatus::Kind>{SyncStatus::Kind::syncing, SyncStatus::Kind::synced}));
    // The follow-up pass asked for Ann's calendars again; nothing of Bo came back.
    EXPECT_EQ(server.requestsTo("GET", FakeGoogleCalendar::calendarListPath).size(), 3);
    for (const CalendarInfo &c : store->calendars())
        EXPECT_TRUE(c.id.startsWith(QStringLiteral("ann@example.com::"))) << c.id.toStdString();
    for (const QString &id : store->selectedCalendarIDs())
        EXPECT_TRUE(id.startsWith(QStringLiteral("ann@example.com::"))) << id.toStdString();
    EXPECT_EQ(ids(store->upcomingMeetEvents()), (QStringList{"ann@example.com-a1", "ann@example.com-allday"}));
    for (const QString &identifier : parts.scheduler->pending.keys())
        EXPECT_FALSE(identifier.contains(QStringLiteral("bo@example.com"))) << identifier.toStdString();
    EXPECT_EQ(parts.scheduler->pending.size(), 2);
}

// A token refresh that ends after its account was disconnected does not write the account's
// keyring item again.
TEST_F(AppStoreGoogleSyncTest, RefreshEndingAfterADisconnectLeavesTheItemDeleted)
{
    auto store = makeStore();
    const std::shared_ptr<InMemoryTokenStore> boStore = parts.accountTokenStore(QStringLiteral("oauth:bo@example.com"));
    boStore->token = OAuthToken{QStringLiteral("bo-token"), QStringLiteral("1//bo-refresh"), now.addSecs(-5)};
    int refreshes = 0;
    server.route("POST", FakeGoogleOAuth::tokenPath, [&](const RecordedRequest &) {
        ++refreshes;
        store->disconnectGoogleAccount(bo);
        return FakeResponse::json(200, R"({"access_token": "bo-token", "expires_in": 3599, "token_type": "Bearer"})");
    });

    runTask(store->sync());
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(boStore->token, std::nullopt);
    EXPECT_EQ(boStore->saves, 0);
    EXPECT_EQ(store->googleAccounts(), QList<GoogleAccount>{ann});
    EXPECT_EQ(store->syncStatus(), SyncStatus::synced(now));
    EXPECT_EQ(store->googleConnectionStatus(), ConnectionStatus::connected());
}

} // namespace
