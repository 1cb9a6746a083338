#include "Models/CalendarModels.h"
#include "Services/GoogleEndpoints.h"
#include "Support/Error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kestrivane;

namespace {

const QDateTime kStart = QDateTime(QDate(2026, 3, 2), QTime(9, 30), Qt::UTC);

CalendarEvent event(std::optional<QString> location = std::nullopt, std::optional<QString> description = std::nullopt)
{
    return CalendarEvent{
        .id = QStringLiteral("u1-ev42"),
        .calendarID = QStringLiteral("u1::team"),
        .calendarName = QStringLiteral("Team"),
        .title = QStringLiteral("Standup"),
        .startDate = kStart,
        .endDate = kStart.addSecs(1800),
        .hangoutLink = std::nullopt,
        .conferenceData = std::nullopt,
        .location = std::move(location),
        .description = std::move(description),
        .accountEmail = std::nullopt,
    };
}

CalendarEvent withMeetLink(const QString &link, std::optional<QString> accountEmail)
{
    CalendarEvent e = event();
    e.hangoutLink = QUrl(link);
    e.accountEmail = std::move(accountEmail);
    return e;
}

std::optional<QString> meetText(const CalendarEvent &e)
{
    const auto url = e.meetURL();
    return url ? std::optional(url->toString()) : std::nullopt;
}

} // namespace

// Account label and JSON

TEST(GoogleAccountTest, DisplayNameShowsANonEmptyNameBeforeTheAddress)
{
    const QString email = QStringLiteral("ann@example.com");
    EXPECT_EQ((GoogleAccount{email, email, QStringLiteral("Ann")}).displayName(), "Ann <ann@example.com>");
    EXPECT_EQ((GoogleAccount{email, email, QStringLiteral("  ")}).displayName(), "   <ann@example.com>");
    EXPECT_EQ((GoogleAccount{email, email, QString()}).displayName(), email);
    EXPECT_EQ((GoogleAccount{email, email, std::nullopt}).displayName(), email);
    EXPECT_NE((GoogleAccount{email, email, QString()}), (GoogleAccount{email, email, std::nullopt}));
}

TEST(GoogleAccountTest, EncodingWritesNameOnlyWhenPresent)
{
    const QJsonObject unnamed = GoogleAccount{QStringLiteral("a"), QStringLiteral("A@x.com"), std::nullopt}.toJson();
    EXPECT_EQ(unnamed.keys(), (QStringList{"email", "id"}));
    EXPECT_EQ(unnamed.value("email").toString(), "A@x.com");

    const QJsonObject named = GoogleAccount{QStringLiteral("a"), QStringLiteral("a@x.com"), QString()}.toJson();
    ASSERT_TRUE(named.value("name").isString());
    EXPECT_EQ(named.value("name").toString(), "");
}

TEST(GoogleAccountTest, DecodingAcceptsMissingOrNullNameAndIgnoresOtherKeys)
{
    const auto decode = [](const char *json) { return GoogleAccount::fromJson(QJsonDocument::fromJson(json).object()); };
    EXPECT_EQ(decode(R"({"id":"a","email":"a@x.com"})"), (GoogleAccount{"a", "a@x.com", std::nullopt}));
    EXPECT_EQ(decode(R"({"id":"a","email":"a@x.com","name":null})"), (GoogleAccount{"a", "a@x.com", std::nullopt}));
    EXPECT_EQ(decode(R"({"id":"a","email":"a@x.com","name":"Ann","extra":3})"), (GoogleAccount{"a", "a@x.com", "Ann"}));
}

TEST(GoogleAccountTest, DecodingRejectsMissingKeysAndWrongTypes)
{
    for (const char *json : {R"({"email":"a@x.com"})", R"({"id":"a"})", R"({"id":1,"email":"a@x.com"})",
                             R"({"id":"a","email":null})", R"({"id":"a","email":"a@x.com","name":5})",
                             R"({"id":"a","email":"a@x.com","name":{}})", R"(["a","a@x.com"])"}) {
        const QJsonDocument document = QJsonDocument::fromJson(json);
        const QJsonValue value = document.isObject() ? QJsonValue(document.object()) : QJsonValue(document.array());
        EXPECT_THROW(GoogleAccount::fromJson(value), DecodingError) << json;
    }
    try {
        GoogleAccount::fromJson(QJsonValue(QStringLiteral("a")));
        FAIL() << "a text decoded as an account";
    } catch (const DecodingError &error) {
        EXPECT_FALSE(error.localizedDescription().isEmpty());
    }
}

TEST(GoogleAccountTest, ListRoundTripsAndFailsAsAWhole)
{
    const QList<GoogleAccount> accounts{{"a@x.com", "A@x.com", "Ann"}, {"b@x.com", "b@x.com", std::nullopt}};
    EXPECT_EQ(GoogleAccount::decodeList(GoogleAccount::encodeList(accounts)), accounts);
    EXPECT_TRUE(GoogleAccount::decodeList("[]").isEmpty());
    EXPECT_THROW(GoogleAccount::decodeList(R"([{"id":"a","email":"a"},{"id":"b"}])"), DecodingError);
    EXPECT_THROW(GoogleAccount::decodeList(R"({"id":"a","email":"a"})"), DecodingError);
    EXPECT_THROW(GoogleAccount::decodeList("[{\"id\":"), DecodingError);
    EXPECT_THROW(GoogleAccount::decodeList(QByteArray()), DecodingError);
}

// Meet link search and unwrapping

TEST(MeetLinkTest, EventLinksWinInOrderWithoutHostCheck)
{
    CalendarEvent e = event(std::nullopt, QStringLiteral("https://meet.google.com/desc-link"));
    e.conferenceData = ConferenceData{QUrl(QStringLiteral("https://zoom.example/conf")), QStringLiteral("addOn")};
    EXPECT_EQ(meetText(e), "https://zoom.example/conf");
    e.hangoutLink = QUrl(QStringLiteral("https://elsewhere.example/x"));
    EXPECT_EQ(meetText(e), "https://elsewhere.example/x");
    EXPECT_TRUE(e.isMeetEvent());

    e.hangoutLink.reset();
    e.conferenceData->uri.reset();
    EXPECT_EQ(meetText(e), "https://meet.google.com/desc-link");
}

TEST(MeetLinkTest, MeetSolutionWithoutLinkIsAMeetEventWithoutJoinLink)
{
    CalendarEvent e = event(QStringLiteral("Room 4"));
    e.accountEmail = QStringLiteral("a@x.com");
    e.conferenceData = ConferenceData{std::nullopt, QStringLiteral("hangoutsMeet")};
    EXPECT_TRUE(e.isMeetEvent());
    EXPECT_FALSE(e.meetURL());
    EXPECT_FALSE(e.joinURL());

    e.conferenceData->solutionType = QStringLiteral("hangoutsmeet");
    EXPECT_FALSE(e.isMeetEvent());
    e.conferenceData.reset();
    EXPECT_FALSE(e.isMeetEvent());
}

TEST(MeetLinkTest, TokensAreUnwrappedFromPunctuationAndQuotes)
{
    EXPECT_EQ(meetText(event(QStringLiteral("Room 4 (https://meet.google.com/abc-defg-hij).,"))),
              "https://meet.google.com/abc-defg-hij");
    EXPECT_EQ(meetText(event(QStringLiteral("<https://meet.google.com/abc>"))), "https://meet.google.com/abc");
    EXPECT_EQ(meetText(event(QStringLiteral("\"'https://meet.google.com/abc'\";"))), "https://meet.google.com/abc");
    EXPECT_EQ(meetText(event(QStringLiteral("[{https://meet.google.com/a(b)c}]"))), "https://meet.google.com/a(b)c");
    // Every white-space and line-break character separates tokens.
    EXPECT_EQ(meetText(event(QString::fromUtf8("Join:\u00a0meet.google.com/abc\u3000now"))), "meet.google.com/abc");
    EXPECT_EQ(meetText(event(QStringLiteral("a\n\n\tmeet.google.com/xyz\r\n"))), "meet.google.com/xyz");
}

TEST(MeetLinkTest, SearchIsCaseSensitiveAndTakesTheFirstOccurrence)
{
    EXPECT_FALSE(event(QStringLiteral("https://MEET.GOOGLE.COM/abc")).meetURL());
    EXPECT_EQ(meetText(event(std::nullopt, QStringLiteral("first https://meet.google.com/one then https://meet.google.com/two"))),
              "https://meet.google.com/one");
    EXPECT_EQ(meetText(event(QStringLiteral("Room 4"), QStringLiteral("Link: https://meet.google.com/desc"))),
              "https://meet.google.com/desc");
    EXPECT_EQ(meetText(event(QStringLiteral("https://meet.google.com/loc"), QStringLiteral("https://meet.google.com/desc"))),
              "https://meet.google.com/loc");
    EXPECT_FALSE(event().meetURL());
    EXPECT_FALSE(event().isMeetEvent());
}

TEST(MeetLinkTest, UnparsableFirstMatchEndsOnlyItsOwnText)
{
    const QString broken = QStringLiteral("https://meet.google.com/a{b} https://meet.google.com/later");
    EXPECT_FALSE(event(broken).meetURL());
    EXPECT_EQ(meetText(event(broken, QStringLiteral("https://meet.google.com/desc"))), "https://meet.google.com/desc");
    EXPECT_FALSE(event(QStringLiteral("https://meet.google.com/100%zz")).meetURL());
}

// Join link

TEST(JoinLinkTest, WrapsTheMeetLinkInTheAccountChooserWithEncodedValues)
{
    const QString meet = QStringLiteral("https://meet.google.com/abc-defg-hij?authuser=1&hs=a+b#frag");
    const CalendarEvent e = withMeetLink(meet, QStringLiteral("Ann+work@Example.com"));
    const auto join = e.joinURL();
    ASSERT_TRUE(join);
    EXPECT_EQ(join->toString(QUrl::FullyEncoded),
              GoogleHosts::accountChooserURL
                  + "?Email=Ann%2Bwork@Example.com&continue=https://meet.google.com/abc-defg-hij?authuser%3D1%26hs%3Da%2Bb%23frag");
    EXPECT_FALSE(join->hasFragment());

    const QUrlQuery query(*join);
    EXPECT_EQ(query.queryItems(QUrl::FullyDecoded),
              (QList<QPair<QString, QString>>{{"Email", "Ann+work@Example.com"}, {"continue", meet}}));
}

TEST(JoinLinkTest, EncodesEveryDelimiterAndNonAsciiButKeepsTheQueryCharacters)
{
    const CalendarEvent e = withMeetLink(QStringLiteral("https://meet.google.com/x?a=%20b"),
                                         QString::fromUtf8("o'b&r=i#n t\u00e9@x.com"));
    const auto join = e.joinURL();
    ASSERT_TRUE(join);
    EXPECT_EQ(join->query(QUrl::FullyEncoded),
              "Email=o%27b%26r%3Di%23n%20t%C3%A9@x.com&continue=https://meet.google.com/x?a%3D%2520b");
    EXPECT_EQ(QUrlQuery(*join).queryItemValue("continue", QUrl::FullyDecoded), "https://meet.google.com/x?a=%20b");
}

TEST(JoinLinkTest, WithoutAccountEmailIsTheMeetLinkItself)
{
    const QString meet = QStringLiteral("https://meet.google.com/abc");
    EXPECT_EQ(withMeetLink(meet, std::nullopt).joinURL(), QUrl(meet));
    EXPECT_EQ(withMeetLink(meet, QString()).joinURL(), QUrl(meet));
    EXPECT_FALSE(event().joinURL());
}

// Alert identity

TEST(NotificationIdentifierTest, TruncatesStartAndLeadTimeTowardZero)
{
    CalendarEvent e = event();
    const qint64 s = kStart.toSecsSinceEpoch();
    const QString prefix = QStringLiteral("meet-u1::team-u1-ev42-");
    EXPECT_EQ(e.notificationIdentifier(1800), prefix + QString::number(s) + "-1800");
    e.startDate = kStart.addMSecs(900);
    EXPECT_EQ(e.notificationIdentifier(299.9), prefix + QString::number(s) + "-299");
    EXPECT_EQ(e.notificationIdentifier(-10.7), prefix + QString::number(s) + "--10");

    e.startDate = QDateTime::fromMSecsSinceEpoch(-500, Qt::UTC);
    EXPECT_EQ(e.notificationIdentifier(0), prefix + "0-0");
    e.startDate = QDateTime::fromMSecsSinceEpoch(-1500, Qt::UTC);
    EXPECT_EQ(e.notificationIdentifier(0), prefix + "-1-0");
}

TEST(NotificationIdentifierTest, NonFiniteAndOutOfRangeValuesSaturate)
{
    CalendarEvent e = event();
    const QString prefix = QStringLiteral("meet-u1::team-u1-ev42-") + QString::number(kStart.toSecsSinceEpoch()) + "-";
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(e.notificationIdentifier(std::nan("")), prefix + "0");
    EXPECT_EQ(e.notificationIdentifier(inf), prefix + "9223372036854775807");
    EXPECT_EQ(e.notificationIdentifier(1e300), prefix + "9223372036854775807");
    EXPECT_EQ(e.notificationIdentifier(9223372036854775808.0), prefix + "9223372036854775807");
    EXPECT_EQ(e.notificationIdentifier(-inf), prefix + "-9223372036854775808");
    EXPECT_EQ(e.notificationIdentifier(-9223372036854775808.0), prefix + "-9223372036854775808");
    EXPECT_EQ(e.notificationIdentifier(9223372036854774784.0), prefix + "9223372036854774784");

    e.startDate = QDateTime();
    EXPECT_EQ(e.notificationIdentifier(60), "meet-u1::team-u1-ev42-0-60");
}

// Stages and days

TEST(ReadinessTest, LimitsBelongToTheNearerStage)
{
    const CalendarEvent e = event();
    const auto at = [&](qint64 msecsBeforeStart) { return e.readiness(kStart.addMSecs(-msecsBeforeStart)); };
    EXPECT_EQ(at(901'000), MeetReadiness::headsUp);
    EXPECT_EQ(at(900'001), MeetReadiness::headsUp);
    EXPECT_EQ(at(900'000), MeetReadiness::preparing);
    EXPECT_EQ(at(300'500), MeetReadiness::preparing);
    EXPECT_EQ(at(300'000), MeetReadiness::soon);
    EXPECT_EQ(at(-600'000), MeetReadiness::soon);
    EXPECT_EQ((QSet<MeetReadiness>{MeetReadiness::soon, MeetReadiness::soon}).size(), 1);
}

TEST(SameDayTest, UsesTheGivenCalendarsTimeZoneAndOnlyTheStart)
{
    const QTimeZone tokyo("Asia/Tokyo");
    ASSERT_TRUE(tokyo.isValid());
    CalendarEvent e = event();
    e.startDate = QDateTime(QDate(2026, 3, 2), QTime(23, 30), tokyo).toUTC();
    e.endDate = e.startDate.addSecs(3600);
    const QDateTime afterMidnight = QDateTime(QDate(2026, 3, 3), QTime(0, 10), tokyo).toUTC();
    const QDateTime morning = QDateTime(QDate(2026, 3, 2), QTime(0, 0), tokyo).toUTC();

    EXPECT_FALSE(e.startsOnSameDayAs(afterMidnight, tokyo));
    EXPECT_TRUE(e.startsOnSameDayAs(morning, tokyo));
    // 14:30 and 15:10 UTC: one day in UTC.
    EXPECT_TRUE(e.startsOnSameDayAs(afterMidnight, QTimeZone::utc()));
    EXPECT_FALSE(e.startsOnSameDayAs(morning, QTimeZone::utc()));
}
