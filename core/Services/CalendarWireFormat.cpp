#include "Services/CalendarWireFormat.h"

#include "Services/GoogleCalendarClient.h"
#include "Services/GoogleEndpoints.h"
#include "Support/StrictJson.h"


namespace kestrivane {

using json::ObjectReader;

GoogleAccountProfile GoogleAccountProfile::fromJson(const QByteArray &data)
{
    return json::readDocument(data, [](const ObjectReader &r) {
        GoogleAccountProfile profile;
        profile.id = r.optionalString(QLatin1String("id"));
        profile.email = r.string(QLatin1String("email"));
        profile.name = r.optionalString(QLatin1String("name"));
        return profile;
    });
}

namespace calendarwire {

namespace {

CalendarListItem readCalendarListItem(const ObjectReader &r)
{
    CalendarListItem item;
    item.id = r.string(QLatin1String("id"));
    item.summary = r.string(QLatin1String("summary"));
    item.summaryOverride = r.optionalString(QLatin1String("summaryOverride"));
    item.primary = r.optionalBool(QLatin1String("primary"));
    item.selected = r.optionalBool(QLatin1String("selected"));
    item.accessRole = r.optionalString(QLatin1String("accessRole"));
    return item;
}

GoogleEventDate readEventDate(const ObjectReader &r)
{
    return {r.optionalString(QLatin1String("date")), r.optionalString(QLatin1String("dateTime"))};
}

GoogleConferenceData readConferenceData(const ObjectReader &r)
{
    GoogleConferenceData data;
    data.entryPoints = r.optionalObjectArray(QLatin1String("entryPoints"), [](const ObjectReader &entry) {
        return GoogleConferenceEntryPoint{entry.optionalString(QLatin1String("uri"))};
    });
    data.conferenceSolution = r.optionalObject(QLatin1String("conferenceSolution"), [](const ObjectReader &solution) {
        return GoogleConferenceSolution{solution.optionalObject(QLatin1String("key"), [](const ObjectReader &key) {
            return GoogleConferenceSolutionKey{key.optionalString(QLatin1String("type"))};
        })};
    });
    return data;
}

GoogleEvent readEvent(const ObjectReader &r)
{
    GoogleEvent event;
    event.id = r.string(QLatin1String("id"));
    event.status = r.optionalString(QLatin1String("status"));
    event.summary = r.optionalString(QLatin1String("summary"));
    event.description = r.optionalString(QLatin1String("description"));
    event.location = r.optionalString(QLatin1String("location"));
    event.start = r.object(QLatin1String("start"), readEventDate);
    event.end = r.object(QLatin1String("end"), readEventDate);
    event.hangoutLink = r.optionalString(QLatin1String("hangoutLink"));
    event.conferenceData = r.optionalObject(QLatin1String("conferenceData"), readConferenceData);
    return event;
}

bool containsHolidayWord(const QString &title)
{
    const QString lower = title.toLower();
    return lower.contains(QLatin1String("holiday")) || lower.contains(QStringView(u"祝日"));
}

} // namespace

bool CalendarListItem::isHolidayCalendar() const
{
    if (id.contains(QStringLiteral("#holiday@") + GoogleHosts::groupCalendarDomain, Qt::CaseSensitive))
        return true;
    if (containsHolidayWord(summary))
        return true;
    return summaryOverride && containsHolidayWord(*summaryOverride);
}

CalendarListResponse CalendarListResponse::fromJson(const QByteArray &data)
{
    return json::readDocument(data, [](const ObjectReader &r) {
        return CalendarListResponse{r.objectArray(QLatin1String("items"), readCalendarListItem)};
    });
}

EventsResponse EventsResponse::fromJson(const QByteArray &data)
{
    return json::readDocument(data, [](const ObjectReader &r) {
        EventsResponse response;
        response.summary = r.optionalString(QLatin1String("summary"));
        response.items = r.objectArray(QLatin1String("items"), readEvent);
        return response;
    });
}

QDateTime GoogleEventDate::dateValue() const
{
    if (dateTime) {
        if (const auto instant = parseRfc3339(*dateTime))
            return *instant;
        throw GoogleCalendarClient::CalendarError::invalidDate(*dateTime);
    }
    if (date) {
        if (const auto day = parseAllDayDate(*date))
            return *day;
        throw GoogleCalendarClient::CalendarError::invalidDate(*date);
    }
    throw GoogleCalendarClient::CalendarError::invalidDate(QString());
}

namespace {

// The decimal number of the `count` ASCII digits at `at`, or -1.
int digits(QStringView text, qsizetype at, qsizetype count)
{
    if (at + count > text.size())
        return -1;
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

bool charAt(QStringView text, qsizetype at, char16_t c)
{
    return at < text.size() && text[at].unicode() == c;
}

// yyyy-MM-dd at the start of `text`.
std::optional<QDate> datePart(QStringView text)
{
    const int year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
    if (year < 0 || month < 0 || day < 0 || !charAt(text, 4, u'-') || !charAt(text, 7, u'-'))
        return std::nullopt;
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

} // namespace

// Checked position by position rather than by Qt's ISO parser, which takes a missing zone as local time.
std::optional<QDateTime> parseRfc3339(const QString &text)
{
    // yyyy-MM-ddTHH:mm:ss[.fraction](Z|+hh:mm|-hh:mm); "T" and "Z" may be lower case.
    const QStringView s(text);
    const auto date = datePart(s);
    if (!date || !(charAt(s, 10, u'T') || charAt(s, 10, u't')))
        return std::nullopt;
    const int hour = digits(s, 11, 2), minute = digits(s, 14, 2), second = digits(s, 17, 2);
    if (hour < 0 || minute < 0 || second < 0 || !charAt(s, 13, u':') || !charAt(s, 16, u':'))
        return std::nullopt;

    qsizetype i = 19;
    int milliseconds = 0;
    if (charAt(s, i, u'.')) {
        const qsizetype first = ++i;
        while (digits(s, i, 1) >= 0) {
            if (i - first < 3)
                milliseconds = milliseconds * 10 + digits(s, i, 1);
            ++i;
        }
        if (i == first)
            return std::nullopt;
        for (qsizetype kept = i - first; kept < 3; ++kept)
            milliseconds *= 10;
    }

    int offsetSeconds = 0;
    if (charAt(s, i, u'Z') || charAt(s, i, u'z')) {
        ++i;
    } else if (charAt(s, i, u'+') || charAt(s, i, u'-')) {
        const int offsetHours = digits(s, i + 1, 2), offsetMinutes = digits(s, i + 4, 2);
        if (offsetHours < 0 || offsetHours > 23 || offsetMinutes < 0 || offsetMinutes > 59 || !charAt(s, i + 3, u':'))
            return std::nullopt;
        offsetSeconds = (offsetHours * 60 + offsetMinutes) * 60;
        if (s[i] == u'-')
            offsetSeconds = -offsetSeconds;
        i += 6;
    } else {
        return std::nullopt;
    }
    if (i != s.size() || !QTime::isValid(hour, minute, second, milliseconds))
        return std::nullopt;
    return QDateTime(*date, QTime(hour, minute, second, milliseconds), Qt::UTC).addSecs(-offsetSeconds);
}

std::optional<QDateTime> parseAllDayDate(const QString &text)
{
    const auto date = datePart(text);
    if (!date || text.size() != 10)
        return std::nullopt;
    return QDateTime(*date, QTime(0, 0), Qt::UTC);
}

QString formatRfc3339(const QDateTime &instant)
{
    return instant.toUTC().toString(Qt::ISODateWithMs);
}

} // namespace calendarwire

} // namespace kestrivane
