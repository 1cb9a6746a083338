#include "Services/CalendarWireFormat.h"
#include "Services/GoogleCalendarClient.h"
#include "Support/Error.h"
#include "Support/Localization.h"

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::calendarwire;

namespace {

QDateTime utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

// The description of the DecodingError that reading `json` as `Document` throws ("" when none).
template<typename Document>
QString decodingFailure(const char *json)
{
    try {
        Document::fromJson(QByteArray(json));
    } catch (const DecodingError &error) {
        return error.localizedDescription();
    }
    return {};
}

QString invalidDateText(const GoogleEventDate &date)
{
    try {
        date.dateValue();
    } catch (const GoogleCalendarClient::CalendarError &error) {
        EXPECT_EQ(error.kind(), GoogleCalendarClient::CalendarError::Kind::invalidDate);
        return error.text();
    }
    ADD_FAILURE() << "no invalidDate error";
    return QStringLiteral("<none>");
}

class WireFormatTest : public ::testing::Test {
protected:
    void SetUp() override { L10n::configure(QStringLiteral("en")); }
    void TearDown() override { L10n::configure(std::nullopt); }
};

} // namespace

TEST_F(WireFormatTest, CalendarListReadsEntriesAndIgnoresUnknownKeys)
{
    const auto list = CalendarListResponse::fromJson(R"({
        "kind": "calendar#calendarList", "etag": "\"p1\"", "nextPageToken": "ignored",
        "items": [
          {"id": "ann@example.com", "summary": " Ann ", "primary": true, "selected": true,
           "accessRole": "owner", "backgroundColor": "#fff", "defaultReminders": [{"method": "popup"}]},
          {"id": "team", "summary": "Team", "summaryOverride": null, "primary": null, "selected": null, "accessRole": null}
        ]})");
    ASSERT_EQ(list.items.size(), 2);
    const CalendarListItem &ann = list.items[0];
    EXPECT_EQ(ann.id, "ann@example.com");
    EXPECT_EQ(ann.summary, " Ann ");
    EXPECT_EQ(ann.primary, true);
    EXPECT_EQ(ann.selected, true);
    EXPECT_EQ(ann.accessRole, "owner");
    EXPECT_FALSE(ann.summaryOverride);
    const CalendarListItem &team = list.items[1];
    EXPECT_FALSE(team.summaryOverride || team.primary || team.selected || team.accessRole);

    EXPECT_TRUE(CalendarListResponse::fromJson(R"({"items": []})").items.isEmpty());
}

TEST_F(WireFormatTest, CalendarListFailsAsAWholeOnAnyFault)
{
    EXPECT_NE(decodingFailure<CalendarListResponse>(R"({})"), "");
    EXPECT_NE(decodingFailure<CalendarListResponse>(R"({"items": null})"), "");
    EXPECT_NE(decodingFailure<CalendarListResponse>(R"({"items": {}})"), "");
    EXPECT_NE(decodingFailure<CalendarListResponse>(R"({"items": ["a"]})"), "");
    // A faulty second entry fails the entries before it too.
    EXPECT_NE(decodingFailure<CalendarListResponse>(R"({"items": [{"id": "a", "summary": "A"}, {"id": "b"}]})"), "");
    // Wrong types, optional keys included; no lenient conversions.
    EXPECT_NE(decodingFailure<CalendarListResponse>(R"({"items": [{"id": "a", "summary": "A", "primary": "true"}]})"), "");
    EXPECT_NE(decodingFailure<CalendarListResponse>(R"({"items": [{"id": "a", "summary": "A", "selected": 0}]})"), "");
    EXPECT_NE(decodingFailure<CalendarListResponse>(R"({"items": [{"id": "a", "summary": "A", "summaryOverride": {}}]})"), "");
    EXPECT_NE(decodingFailure<CalendarListResponse>(R"({"items": [{"id": "a", "summary": "A", "accessRole": true}]})"), "");
    EXPECT_NE(decodingFailure<CalendarListResponse>(R"({"items": [{"id": 7, "summary": "A"}]})"), "");
    // Not JSON, or not an object at the top.
    EXPECT_NE(decodingFailure<CalendarListResponse>(R"({"items": [)"), "");
    EXPECT_NE(decodingFailure<CalendarListResponse>(R"([])"), "");
    EXPECT_NE(decodingFailure<CalendarListResponse>(""), "");
}

TEST_F(WireFormatTest, DecodingErrorsNameThePlaceAndTheFault)
{
    EXPECT_EQ(decodingFailure<CalendarListResponse>(R"({"items": [{"id": "a", "summary": "A"}, {"id": "b"}]})"),
              "The server's answer could not be read: \"items[1].summary\": required key is missing");
    EXPECT_EQ(decodingFailure<CalendarListResponse>(R"({"items": [{"id": "a", "summary": "A", "primary": "true"}]})"),
              "The server's answer could not be read: \"items[0].primary\": expected a boolean, found a string");
    EXPECT_EQ(decodingFailure<EventsResponse>(R"({"items": [{"id": "e", "start": {}, "end": null}]})"),
              "The server's answer could not be read: \"items[0].end\": required value is null");
    EXPECT_EQ(decodingFailure<EventsResponse>(
                  R"({"items": [{"id": "e", "start": {}, "end": {}, "conferenceData": {"entryPoints": [{"uri": 5}]}}]})"),
              "The server's answer could not be read: \"items[0].conferenceData.entryPoints[0].uri\": expected a string, found a number");
    EXPECT_EQ(decodingFailure<EventsResponse>(R"([1])"), "The server's answer could not be read: expected a JSON object at the top level");
}

TEST_F(WireFormatTest, EventsPageReadsEveryField)
{
    const auto page = EventsResponse::fromJson(R"({
        "kind": "calendar#events", "nextPageToken": "x",
        "items": [{
          "id": "ev1", "status": "confirmed", "summary": "Standup", "description": "d", "location": "l",
          "start": {"dateTime": "2026-03-02T09:00:00+09:00", "timeZone": "Asia/Tokyo"},
          "end": {"date": "2026-03-03"},
          "hangoutLink": "https://meet.google.com/abc-defg-hij",
          "attendees": [{"email": "x@example.com"}],
          "conferenceData": {
            "entryPoints": [{"entryPointType": "video", "uri": "https://meet.google.com/abc-defg-hij"}, {}],
            "conferenceSolution": {"key": {"type": "hangoutsMeet"}, "name": "Google Meet"}
          }
        }, {"id": "ev2", "start": {}, "end": {}, "conferenceData": {"conferenceSolution": {}}}]})");
    EXPECT_FALSE(page.summary);
    ASSERT_EQ(page.items.size(), 2);
    const GoogleEvent &e = page.items[0];
    EXPECT_EQ(e.id, "ev1");
    EXPECT_EQ(e.status, "confirmed");
    EXPECT_EQ(e.summary, "Standup");
    EXPECT_EQ(e.description, "d");
    EXPECT_EQ(e.location, "l");
    EXPECT_EQ(e.start.dateTime, "2026-03-02T09:00:00+09:00");
    EXPECT_FALSE(e.start.date);
    EXPECT_EQ(e.end.date, "2026-03-03");
    EXPECT_EQ(e.hangoutLink, "https://meet.google.com/abc-defg-hij");
    ASSERT_TRUE(e.conferenceData && e.conferenceData->entryPoints);
    ASSERT_EQ(e.conferenceData->entryPoints->size(), 2);
    EXPECT_EQ(e.conferenceData->entryPoints->at(0).uri, "https://meet.google.com/abc-defg-hij");
    EXPECT_FALSE(e.conferenceData->entryPoints->at(1).uri);
    EXPECT_EQ(e.conferenceData->conferenceSolution->key->type, "hangoutsMeet");
    const GoogleEvent &bare = page.items[1];
    EXPECT_FALSE(bare.status || bare.summary || bare.hangoutLink || bare.conferenceData->entryPoints);
    EXPECT_FALSE(bare.conferenceData->conferenceSolution->key);
}

TEST_F(WireFormatTest, EventsPageFailsAsAWholeOnAnyFault)
{
    EXPECT_EQ(decodingFailure<EventsResponse>(R"({"summary": "Team", "items": []})"), "");
    EXPECT_NE(decodingFailure<EventsResponse>(R"({"summary": "Team"})"), "");
    EXPECT_NE(decodingFailure<EventsResponse>(R"({"summary": 1, "items": []})"), "");
    // A cancelled event still needs its start and end.
    EXPECT_NE(decodingFailure<EventsResponse>(R"({"items": [{"id": "e", "status": "cancelled", "end": {}}]})"), "");
    EXPECT_NE(decodingFailure<EventsResponse>(R"({"items": [{"id": "e", "start": {}}]})"), "");
    EXPECT_NE(decodingFailure<EventsResponse>(R"({"items": [{"start": {}, "end": {}}]})"), "");
    EXPECT_NE(decodingFailure<EventsResponse>(R"({"items": [{"id": "e", "start": "2026-03-02", "end": {}}]})"), "");
    EXPECT_NE(decodingFailure<EventsResponse>(R"({"items": [{"id": "e", "start": {"dateTime": 1}, "end": {}}]})"), "");
    EXPECT_NE(decodingFailure<EventsResponse>(R"({"items": [{"id": "e", "start": {}, "end": {}, "hangoutLink": false}]})"), "");
    EXPECT_NE(decodingFailure<EventsResponse>(R"({"items": [{"id": "e", "start": {}, "end": {}, "conferenceData": []}]})"), "");
    EXPECT_NE(decodingFailure<EventsResponse>(
                  R"({"items": [{"id": "e", "start": {}, "end": {}, "conferenceData": {"entryPoints": {}}}]})"), "");
    EXPECT_NE(decodingFailure<EventsResponse>(
                  R"({"items": [{"id": "e", "start": {}, "end": {}, "conferenceData": {"conferenceSolution": {"key": {"type": 3}}}}]})"), "");
}

TEST_F(WireFormatTest, DateTimeReadsRfc3339WithAZoneOnly)
{
    const auto at = [](const char *text) { return parseRfc3339(QString::fromUtf8(text)); };
    EXPECT_EQ(at("2026-03-02T09:30:00Z"), utc(2026, 3, 2, 9, 30));
    EXPECT_EQ(at("2026-03-02T09:30:00+09:00"), utc(2026, 3, 2, 0, 30));
    EXPECT_EQ(at("2026-03-01T23:15:00-05:30"), utc(2026, 3, 2, 4, 45));
    EXPECT_EQ(at("2026-03-02T09:30:00.5Z"), utc(2026, 3, 2, 9, 30, 0, 500));
    EXPECT_EQ(at("2026-03-02T09:30:00.123456+01:00"), utc(2026, 3, 2, 8, 30, 0, 123));
    EXPECT_EQ(at("2026-03-02t09:30:00z"), utc(2026, 3, 2, 9, 30));
    EXPECT_EQ(at("2024-02-29T00:00:00Z"), utc(2024, 2, 29));
    EXPECT_EQ(at("2026-03-02T09:30:00Z")->timeSpec(), Qt::UTC);

    for (const char *bad : {"2026-03-02T09:30:00", "2026-03-02T09:30:00.000", "2026-03-02", "2026-03-02T09:30Z",
                            "2026-03-02 09:30:00Z", "2026-03-02T09:30:00+0900", "2026-03-02T09:30:00+09",
                            "2026-03-02T09:30:00.Z", "2026-02-30T00:00:00Z", "2025-02-29T00:00:00Z",
                            "2026-13-01T00:00:00Z", "2026-03-02T24:00:00Z", "2026-03-02T09:60:00Z",
                            "2026-03-02T09:30:60Z", "2026-03-02T09:30:00+24:00", "2026-03-02T09:30:00+09:60",
                            "0000-01-01T00:00:00Z", "2026-03-02T09:30:00Z\n", " 2026-03-02T09:30:00Z",
                            "２０２６-03-02T09:30:00Z", ""}) {
        EXPECT_FALSE(at(bad)) << bad;
    }
}

TEST_F(WireFormatTest, AllDayDatesAreMidnightUtc)
{
    EXPECT_EQ(parseAllDayDate(QStringLiteral("2026-03-02")), utc(2026, 3, 2));
    EXPECT_EQ(parseAllDayDate(QStringLiteral("2026-03-02"))->toMSecsSinceEpoch(), 1772409600000);
    for (const char *bad : {"2026-3-02", "2026-03-2", "2026-02-30", "2026-03-02T00:00:00Z", "2026-03-02 ", "20260302", ""})
        EXPECT_FALSE(parseAllDayDate(QString::fromUtf8(bad))) << bad;
}

TEST_F(WireFormatTest, DateValuePrefersDateTimeAndNamesTheUnreadableText)
{
    EXPECT_EQ((GoogleEventDate{QStringLiteral("2026-03-05"), QStringLiteral("2026-03-02T10:00:00Z")}.dateValue()),
              utc(2026, 3, 2, 10));
    EXPECT_EQ((GoogleEventDate{QStringLiteral("2026-03-02"), std::nullopt}.dateValue()), utc(2026, 3, 2));

    // An unreadable dateTime fails even when a good date stands beside it.
    EXPECT_EQ(invalidDateText({QStringLiteral("2026-03-02"), QStringLiteral("2026-03-02T10:00:00")}), "2026-03-02T10:00:00");
    EXPECT_EQ(invalidDateText({QStringLiteral("03/02/2026"), std::nullopt}), "03/02/2026");
    EXPECT_EQ(invalidDateText({}), "");

    try {
        GoogleEventDate{std::nullopt, QStringLiteral("tomorrow")}.dateValue();
        FAIL();
    } catch (const Error &error) {
        EXPECT_EQ(error.localizedDescription(), "Google Calendar sent an unreadable date: tomorrow");
    }
}

TEST_F(WireFormatTest, Rfc3339WritesUtcWithMilliseconds)
{
    EXPECT_EQ(formatRfc3339(utc(2026, 3, 2)), "2026-03-02T00:00:00.000Z");
    EXPECT_EQ(formatRfc3339(utc(2026, 3, 2, 7, 5, 9, 42)), "2026-03-02T07:05:09.042Z");
    const QDateTime tokyo(QDate(2026, 3, 2), QTime(9, 0), QTimeZone(QByteArrayLiteral("Asia/Tokyo")));
    EXPECT_EQ(formatRfc3339(tokyo), "2026-03-02T00:00:00.000Z");
    const QDateTime offset(QDate(2026, 3, 2), QTime(0, 0), Qt::OffsetFromUTC, -3600);
    EXPECT_EQ(formatRfc3339(offset), "2026-03-02T01:00:00.000Z");
}

TEST_F(WireFormatTest, HolidayCalendarsByIdentifierOrTitle)
{
    const auto item = [](QString id, QString summary, std::optional<QString> override = std::nullopt) {
        return CalendarListItem{std::move(id), std::move(summary), std::move(override), {}, {}, {}};
    };
    const QString marker = QStringLiteral("#holiday@") + GoogleHosts::groupCalendarDomain;
    EXPECT_TRUE(item(QStringLiteral("en.japanese") + marker, QStringLiteral("Work")).isHolidayCalendar());
    // Anywhere in the identifier, not only at its end; case-sensitive.
    EXPECT_TRUE(item(QStringLiteral("x") + marker + QStringLiteral(".extra"), QStringLiteral("Work")).isHolidayCalendar());
    EXPECT_FALSE(item(QStringLiteral("x#HOLIDAY@") + GoogleHosts::groupCalendarDomain, QStringLiteral("Work")).isHolidayCalendar());
    EXPECT_FALSE(item(QStringLiteral("x#holiday@example.com"), QStringLiteral("Work")).isHolidayCalendar());

    EXPECT_TRUE(item(QStringLiteral("a"), QStringLiteral("Team Holidays")).isHolidayCalendar());
    EXPECT_TRUE(item(QStringLiteral("a"), QStringLiteral("TEAM HOLIDAYS")).isHolidayCalendar());
    EXPECT_TRUE(item(QStringLiteral("a"), QStringLiteral("日本の祝日")).isHolidayCalendar());
    EXPECT_TRUE(item(QStringLiteral("a"), QStringLiteral("Team"), QStringLiteral("Office HOLIDAY plan")).isHolidayCalendar());
    EXPECT_TRUE(item(QStringLiteral("a"), QStringLiteral("Team"), QStringLiteral("祝日")).isHolidayCalendar());
    EXPECT_FALSE(item(QStringLiteral("a"), QStringLiteral("Team"), QStringLiteral("")).isHolidayCalendar());
    EXPECT_FALSE(item(QStringLiteral("a"), QStringLiteral("Holi day")).isHolidayCalendar());
}

TEST_F(WireFormatTest, ProfileNeedsAnEmail)
{
    EXPECT_EQ(GoogleAccountProfile::fromJson(R"({"email": "Ann@Example.com"})"),
              (GoogleAccountProfile{std::nullopt, QStringLiteral("Ann@Example.com"), std::nullopt}));
    EXPECT_EQ(GoogleAccountProfile::fromJson(R"({"id": "42", "email": "a@b.c", "name": "Ann", "verified_email": true})"),
              (GoogleAccountProfile{QStringLiteral("42"), QStringLiteral("a@b.c"), QStringLiteral("Ann")}));
    EXPECT_NE((GoogleAccountProfile{QStringLiteral("42"), QStringLiteral("a@b.c"), std::nullopt}),
              (GoogleAccountProfile{QStringLiteral("42"), QStringLiteral("a@b.c"), QStringLiteral("")}));
    EXPECT_NE(decodingFailure<GoogleAccountProfile>(R"({"id": "42", "name": "Ann"})"), "");
    EXPECT_NE(decodingFailure<GoogleAccountProfile>(R"({"email": "a@b.c", "id": 42})"), "");
}
