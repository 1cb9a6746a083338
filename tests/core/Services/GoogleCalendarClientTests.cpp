#include "Services/GoogleCalendarClient.h"
#include "Support/Error.h"
#include "Support/HTTP.h"
#include "Support/Localization.h"

#include "TestSupport/Coroutines.h"
#include "TestSupport/FakeAccessTokenProvider.h"
#include "TestSupport/FakeGoogleServer.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::test;
using CalendarError = GoogleCalendarClient::CalendarError;

namespace {

const QDateTime kFrom(QDate(2026, 3, 2), QTime(0, 0), Qt::UTC);
const QDateTime kTo = kFrom.addSecs(604800);

QDateTime utc(int y, int mo, int d, int h = 0, int mi = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi), Qt::UTC);
}

// Keeps the requests it is asked to send, as built, before sending them.
class RecordingNetworkAccessManager : public QNetworkAccessManager {
public:
    QList<QNetworkRequest> sent;

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request, QIODevice *data) override
    {
        sent.append(request);
        return QNetworkAccessManager::createRequest(op, request, data);
    }
};

class GoogleCalendarClientTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        L10n::configure(QStringLiteral("en"));
        google.acceptedToken = tokens->token;
    }
    void TearDown() override { L10n::configure(std::nullopt); }

    GoogleCalendarClient client() { return GoogleCalendarClient(tokens, &network, server.endpoints()); }

    // The error `task` fails with; a test failure when it succeeds or throws something else.
    template<typename ErrorType, typename T>
    ErrorType failure(QCoro::Task<T> &&task)
    {
        try {
            runTask(std::move(task));
        } catch (const ErrorType &error) {
            return error;
        } catch (const std::exception &other) {
            ADD_FAILURE() << "unexpected error: " << other.what();
            throw;
        }
        ADD_FAILURE() << "no error";
        throw std::runtime_error("no error");
    }

    // The request target up to its query, still encoded.
    static QByteArray encodedPath(const RecordedRequest &request)
    {
        return request.target.left(request.target.indexOf('?') < 0 ? request.target.size() : request.target.indexOf('?'));
    }

    FakeGoogleServer server;
    FakeGoogleCalendar google{server};
    RecordingNetworkAccessManager network;
    std::shared_ptr<FakeAccessTokenProvider> tokens = std::make_shared<FakeAccessTokenProvider>();
};

} // namespace

TEST_F(GoogleCalendarClientTest, FetchCalendarsKeepsTheCalendarsThatCount)
{
    google.calendarList = FakeResponse::json(200, R"({"items": [
        {"id": "ann@example.com", "summary": "Ann", "primary": true, "accessRole": "owner"},
        {"id": "hidden", "summary": "Hidden", "selected": false},
        {"id": "shown", "summary": "Shown", "selected": true, "primary": false},
        {"id": "busy", "summary": "Busy", "accessRole": "freeBusyReader"},
        {"id": "reader", "summary": "Reader", "accessRole": "reader"},
        {"id": "en.japanese#holiday@group.v.calendar.google.com", "summary": "Work"},
        {"id": "team-off", "summary": "Team Holidays"},
        {"id": "jp", "summary": "日本の祝日"},
        {"id": "renamed-off", "summary": "Plain", "summaryOverride": "My holiday list"},
        {"id": "blank", "summary": "Blank", "summaryOverride": ""},
        {"id": "own", "summary": "Original", "summaryOverride": "Mine"}
    ]})");

    auto c = client();
    const QList<CalendarInfo> calendars = runTask(c.fetchCalendars());

    const QList<CalendarInfo> expected{
        {QStringLiteral("ann@example.com"), QStringLiteral("Ann"), true, std::nullopt},
        {QStringLiteral("shown"), QStringLiteral("Shown"), false, std::nullopt},
        {QStringLiteral("reader"), QStringLiteral("Reader"), false, std::nullopt},
        {QStringLiteral("blank"), QString(), false, std::nullopt},
        {QStringLiteral("own"), QStringLiteral("Mine"), false, std::nullopt},
    };
    EXPECT_EQ(calendars, expected);

    ASSERT_EQ(server.requests.size(), 1);
    const RecordedRequest &request = server.requests[0];
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/calendar/v3/users/me/calendarList");
    EXPECT_EQ(request.header("Authorization"), "Bearer test-access-token");
    EXPECT_TRUE(request.body.isEmpty());
    EXPECT_EQ(tokens->calls, 1);
}

TEST_F(GoogleCalendarClientTest, RequestsCarryOnlyTheBearerHeaderAndTheTransferTimeout)
{
    google.profile = FakeResponse::json(200, R"({"email": "a@b.c"})");
    auto c = client();
    runTask(c.fetchProfile());

    ASSERT_EQ(network.sent.size(), 1);
    const QNetworkRequest &request = network.sent[0];
    EXPECT_EQ(request.rawHeaderList(), QList<QByteArray>{"Authorization"});
    EXPECT_EQ(request.rawHeader("Authorization"), "Bearer test-access-token");
    EXPECT_EQ(request.transferTimeout(), 60'000);
    EXPECT_EQ(request.attribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferNetwork).toInt(),
              QNetworkRequest::PreferNetwork);
}

TEST_F(GoogleCalendarClientTest, EventsRequestEncodesTheIdentifierAndSendsTheQueryInOrder)
{
    const QString holidays = QStringLiteral("en.japanese#holiday@group.v.calendar.google.com");
    google.setEvents(holidays, R"({"items": [
        {"id": "d1", "summary": "Day", "start": {"date": "2026-03-02"}, "end": {"date": "2026-03-03"}}]})");

    // The window is given in Tokyo time; the query carries it in UTC with milliseconds.
    const QTimeZone tokyo(QByteArrayLiteral("Asia/Tokyo"));
    auto c = client();
    const auto events = runTask(c.fetchEvents({holidays}, kFrom.toTimeZone(tokyo), kTo.addMSecs(7).toTimeZone(tokyo)));

    ASSERT_EQ(server.requests.size(), 1);
    EXPECT_EQ(server.requests[0].target,
              "/calendar/v3/calendars/en.japanese%23holiday@group.v.calendar.google.com/events?singleEvents=true&orderBy=startTime&timeMin=2026-03-02T00:00:00.000Z"
                     "&timeMax=2026-03-09T00:00:00.007Z&conferenceDataVersion=1&maxResults=2500");
    EXPECT_EQ(server.requests[0].header("Authorization"), "Bearer test-access-token");
    ASSERT_EQ(events.size(), 1);
    EXPECT_EQ(events[0].calendarID, holidays);
    // No summary on the page: the events are named after the identifier, unencoded.
    EXPECT_EQ(events[0].calendarName, holidays);
    EXPECT_EQ(events[0].startDate, utc(2026, 3, 2));
    EXPECT_EQ(events[0].endDate, utc(2026, 3, 3));
}

TEST_F(GoogleCalendarClientTest, IdentifierIsOnePercentEncodedPathSegment)
{
    EXPECT_EQ(GoogleCalendarClient::encodedPathSegment(QStringLiteral("ann@example.com")), "ann@example.com");
    EXPECT_EQ(GoogleCalendarClient::encodedPathSegment(QStringLiteral("a#b c/d?e%f;g")), "a%23b%20c%2Fd%3Fe%25f%3Bg");
    EXPECT_EQ(GoogleCalendarClient::encodedPathSegment(QStringLiteral("é日")), "%C3%A9%E6%97%A5");
    EXPECT_EQ(GoogleCalendarClient::encodedPathSegment(QStringLiteral("-._~!$&'()*+,=:@")), "-._~!$&'()*+,=:@");

    // What is sent on the wire is exactly that encoding.
    const QString odd = QStringLiteral("team/a b#é");
    google.setEvents(odd, R"({"summary": "Odd", "items": []})");
    auto c = client();
    EXPECT_TRUE(runTask(c.fetchEvents({odd}, kFrom, kTo)).isEmpty());
    ASSERT_EQ(server.requests.size(), 1);
    EXPECT_EQ(encodedPath(server.requests[0]), "/calendar/v3/calendars/team%2Fa%20b%23%C3%A9/events");
}

TEST_F(GoogleCalendarClientTest, EventsAreMappedInResponseOrder)
{
    google.setEvents(QStringLiteral("team"), R"({"summary": "Team", "items": [
        {"id": "gone", "status": "cancelled", "summary": "Cancelled", "hangoutLink": "https://meet.google.com/aaa-bbbb-ccc",
         "start": {"dateTime": "2026-03-02T08:00:00Z"}, "end": {"dateTime": "2026-03-02T09:00:00Z"}},
        {"id": "e1", "status": "confirmed", "summary": "Standup", "location": "Room 4", "description": "Notes",
         "start": {"dateTime": "2026-03-02T18:00:00+09:00"}, "end": {"dateTime": "2026-03-02T09:30:00.250Z"},
         "hangoutLink": "https://meet.google.com/abc-defg-hij",
         "conferenceData": {
           "entryPoints": [{"entryPointType": "phone", "uri": "tel:+1-555-0100"},
                           {"uri": "not a url meet.google.com/x"},
                           {"uri": "https://MEET.GOOGLE.COM/upper-case"},
                           {"entryPointType": "more"},
                           {"entryPointType": "video", "uri": "https://meet.google.com/abc-defg-hij?pli=1"},
                           {"uri": "https://meet.google.com/second"}],
           "conferenceSolution": {"key": {"type": "hangoutsMeet"}}}},
        {"id": "e2", "status": "tentative", "start": {"date": "2026-03-02"}, "end": {"date": "2026-03-03"}},
        {"id": "e3", "summary": "", "hangoutLink": "not a link",
         "start": {"dateTime": "2026-03-02T10:00:00Z"}, "end": {"dateTime": "2026-03-02T11:00:00Z"},
         "conferenceData": {"entryPoints": [{"uri": "https://zoom.example.com/j/1"}], "conferenceSolution": {"key": {}}}}
    ]})");

    auto c = client();
    const QList<CalendarEvent> events = runTask(c.fetchEvents({QStringLiteral("team")}, kFrom, kTo));
    ASSERT_EQ(events.size(), 3);

    const CalendarEvent expectedFirst{
        .id = QStringLiteral("e1"),
        .calendarID = QStringLiteral("team"),
        .calendarName = QStringLiteral("Team"),
        .title = QStringLiteral("Standup"),
        .startDate = utc(2026, 3, 2, 9, 0),
        .endDate = utc(2026, 3, 2, 9, 30).addMSecs(250),
        .hangoutLink = QUrl(QStringLiteral("https://meet.google.com/abc-defg-hij")),
        .conferenceData = ConferenceData{QUrl(QStringLiteral("https://meet.google.com/abc-defg-hij?pli=1")),
                                         QStringLiteral("hangoutsMeet")},
        .location = QStringLiteral("Room 4"),
        .description = QStringLiteral("Notes"),
        .accountEmail = std::nullopt,
    };
    EXPECT_EQ(events[0], expectedFirst);

    // No summary: the localised untitled text; no conference data: an empty one, still present.
    EXPECT_EQ(events[1].id, "e2");
    EXPECT_EQ(events[1].title, "Untitled meeting");
    EXPECT_EQ(events[1].startDate, utc(2026, 3, 2));
    EXPECT_EQ(events[1].conferenceData, ConferenceData{});
    EXPECT_FALSE(events[1].hangoutLink || events[1].location || events[1].description);

    // An empty summary stays empty; an unparsable hangout link and non-Meet entry points give no link.
    EXPECT_EQ(events[2].title, "");
    EXPECT_FALSE(events[2].hangoutLink);
    EXPECT_EQ(events[2].conferenceData, ConferenceData{});
}

TEST_F(GoogleCalendarClientTest, NoCalendarsMeansNoRequest)
{
    auto c = client();
    EXPECT_TRUE(runTask(c.fetchEvents({}, kFrom, kTo)).isEmpty());
    EXPECT_TRUE(server.requests.isEmpty());
    EXPECT_EQ(tokens->calls, 0);
}

TEST_F(GoogleCalendarClientTest, EveryRequestAsksForAFreshToken)
{
    for (const char *id : {"a", "b", "c"})
        google.setEvents(QString::fromLatin1(id), R"({"items": [
            {"id": "x", "start": {"date": "2026-03-02"}, "end": {"date": "2026-03-03"}}]})");
    auto c = client();
    const auto events = runTask(c.fetchEvents({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}, kFrom, kTo));
    EXPECT_EQ(events.size(), 3);
    EXPECT_EQ(server.requests.size(), 3);
    EXPECT_EQ(tokens->calls, 3);
}

TEST_F(GoogleCalendarClientTest, TokenFailureEndsTheRequestUnchanged)
{
    struct TokenRevoked : Error {
        TokenRevoked() : Error(QStringLiteral("revoked")) {}
    };
    tokens->failure = std::make_exception_ptr(TokenRevoked());
    auto c = client();
    EXPECT_EQ(failure<TokenRevoked>(c.fetchCalendars()).localizedDescription(), "revoked");
    EXPECT_TRUE(server.requests.isEmpty());
}

TEST_F(GoogleCalendarClientTest, HttpErrorsCarryTheBodyText)
{
    const QByteArray unauthorized = R"({"error": {"code": 401, "message": "Invalid Credentials", "status": "UNAUTHENTICATED"}})";
    google.calendarList = FakeResponse::json(401, unauthorized);
    google.profile = FakeResponse::json(500, {});
    google.setEvents(QStringLiteral("bad-bytes"), FakeResponse::json(503, "caf\xc3 \xff\xfe"));
    google.setEvents(QStringLiteral("cut-short"), FakeResponse::json(500, "Server \xe6\x97"));
    google.setEvents(QStringLiteral("japanese"), FakeResponse::json(503, "メンテナンス中"));
    auto c = client();

    const CalendarError denied = failure<CalendarError>(c.fetchCalendars());
    EXPECT_EQ(denied.kind(), CalendarError::Kind::requestFailed);
    EXPECT_EQ(denied.text(), QString::fromUtf8(unauthorized));
    EXPECT_EQ(denied.localizedDescription(), "Google Calendar request failed: " + QString::fromUtf8(unauthorized));

    const CalendarError empty = failure<CalendarError>(c.fetchProfile());
    EXPECT_EQ(empty.kind(), CalendarError::Kind::requestFailed);
    EXPECT_EQ(empty.text(), "");

    EXPECT_EQ(failure<CalendarError>(c.fetchEvents({QStringLiteral("bad-bytes")}, kFrom, kTo)).text(), "HTTP 503");
    EXPECT_EQ(failure<CalendarError>(c.fetchEvents({QStringLiteral("cut-short")}, kFrom, kTo)).text(), "HTTP 500");
    EXPECT_EQ(failure<CalendarError>(c.fetchEvents({QStringLiteral("japanese")}, kFrom, kTo)).text(), "メンテナンス中");
}

TEST_F(GoogleCalendarClientTest, UnreadableSuccessBodiesFailWithADecodingError)
{
    google.setEvents(QStringLiteral("no-items"), R"({"summary": "Team"})");
    google.setEvents(QStringLiteral("not-json"), "<html>Service</html>");
    google.setEvents(QStringLiteral("bad-date"), R"({"items": [
        {"id": "x", "start": {"dateTime": "2026-03-02T09:00:00"}, "end": {"date": "2026-03-03"}}]})");
    auto c = client();

    const DecodingError missing = failure<DecodingError>(c.fetchEvents({QStringLiteral("no-items")}, kFrom, kTo));
    EXPECT_EQ(missing.localizedDescription(), "The server's answer could not be read: \"items\": required key is missing");
    failure<DecodingError>(c.fetchEvents({QStringLiteral("not-json")}, kFrom, kTo));

    const CalendarError date = failure<CalendarError>(c.fetchEvents({QStringLiteral("bad-date")}, kFrom, kTo));
    EXPECT_EQ(date.kind(), CalendarError::Kind::invalidDate);
    EXPECT_EQ(date.text(), "2026-03-02T09:00:00");
}

TEST_F(GoogleCalendarClientTest, TransportFailuresAreTransportErrors)
{
    google.calendarList = FakeResponse::drop();
    // A 200 whose body is cut off must not pass as an answer.
    google.profile = FakeResponse::dropInBody(200, R"({"email": "a@b.c", "padding": "..............................."})");
    auto c = client();

    const TransportError dropped = failure<TransportError>(c.fetchCalendars());
    EXPECT_TRUE(dropped.localizedDescription().startsWith("The network request failed: "))
        << dropped.localizedDescription().toStdString();
    failure<TransportError>(c.fetchProfile());

    // Nothing listens on the port any more: connection refused.
    auto closed = std::make_unique<FakeGoogleServer>();
    const GoogleEndpoints gone = closed->endpoints();
    closed.reset();
    GoogleCalendarClient refused(tokens, &network, gone);
    EXPECT_EQ(failure<TransportError>(refused.fetchCalendars()).code(), QNetworkReply::ConnectionRefusedError);
}

TEST_F(GoogleCalendarClientTest, AFailingCalendarDiscardsTheEventsOfEarlierOnes)
{
    const QSet<QString> ids{QStringLiteral("first"), QStringLiteral("second")};
    // Whichever the set visits first answers; the other fails.
    const QString visitedFirst = *ids.cbegin();
    const QString visitedSecond = visitedFirst == QStringLiteral("first") ? QStringLiteral("second") : QStringLiteral("first");
    google.setEvents(visitedFirst, R"({"items": [
        {"id": "x", "start": {"date": "2026-03-02"}, "end": {"date": "2026-03-03"}}]})");
    google.setEvents(visitedSecond, FakeResponse::json(500, R"({"error": "backend"})"));

    auto c = client();
    EXPECT_EQ(failure<CalendarError>(c.fetchEvents(ids, kFrom, kTo)).text(), R"({"error": "backend"})");
    ASSERT_EQ(server.requests.size(), 2);
    EXPECT_EQ(server.requests[0].path, FakeGoogleCalendar::eventsPath(visitedFirst));
}

TEST_F(GoogleCalendarClientTest, FetchProfileReadsTheUserInfo)
{
    google.profile = FakeResponse::json(200, R"({"id": "1", "email": "Ann@Example.com", "name": "Ann"})");
    auto c = client();
    EXPECT_EQ(runTask(c.fetchProfile()),
              (GoogleAccountProfile{QStringLiteral("1"), QStringLiteral("Ann@Example.com"), QStringLiteral("Ann")}));
    EXPECT_EQ(server.requests[0].target, "/oauth2/v2/userinfo");
}

TEST_F(GoogleCalendarClientTest, SharedNetworkManagerIsTheDefault)
{
    google.profile = FakeResponse::json(200, R"({"email": "a@b.c"})");
    GoogleCalendarClient c(tokens, nullptr, server.endpoints());
    EXPECT_EQ(runTask(c.fetchProfile()).email, "a@b.c");
    EXPECT_TRUE(network.sent.isEmpty());
}
