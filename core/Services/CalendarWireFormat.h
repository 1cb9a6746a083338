#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace kestrivane {

// The user-info document of a Google account ("/oauth2/v2/userinfo").
struct GoogleAccountProfile {
    std::optional<QString> id;
    QString email;
    std::optional<QString> name;

    // Throws DecodingError when "email" is missing or a key has the wrong JSON type.
    static GoogleAccountProfile fromJson(const QByteArray &json);

    friend bool operator==(const GoogleAccountProfile &, const GoogleAccountProfile &) = default;
};

// The Calendar API documents GoogleCalendarClient reads. Only the client and its tests use them.
// Each fromJson() reads strictly (Support/StrictJson.h): a fault anywhere fails the whole document.
namespace calendarwire {

struct CalendarListItem {
    QString id;
    QString summary;
    std::optional<QString> summaryOverride;
    std::optional<bool> primary;
    std::optional<bool> selected;
    std::optional<QString> accessRole;

    // A public-holiday calendar: by its identifier, or by "holiday"/"祝日" in either title.
    bool isHolidayCalendar() const;
};

struct CalendarListResponse {
    QList<CalendarListItem> items;

    static CalendarListResponse fromJson(const QByteArray &json);
};

struct GoogleEventDate {
    std::optional<QString> date;
    std::optional<QString> dateTime;

    // The instant of "dateTime" (RFC 3339 with a zone), else midnight UTC of "date" (yyyy-MM-dd).
    // Throws GoogleCalendarClient::CalendarError::invalidDate with the text that could not be read
    // ("" when neither is present); "date" is not tried when "dateTime" is present.
    QDateTime dateValue() const;
};

struct GoogleConferenceEntryPoint {
    std::optional<QString> uri;
};

struct GoogleConferenceSolutionKey {
    std::optional<QString> type;
};

struct GoogleConferenceSolution {
    std::optional<GoogleConferenceSolutionKey> key;
};

struct GoogleConferenceData {
    std::optional<QList<GoogleConferenceEntryPoint>> entryPoints;
    std::optional<GoogleConferenceSolution> conferenceSolution;
};

struct GoogleEvent {
    QString id;
    std::optional<QString> status;
    std::optional<QString> summary;
    std::optional<QString> description;
    std::optional<QString> location;
    GoogleEventDate start;
    GoogleEventDate end;
    std::optional<QString> hangoutLink;
    std::optional<GoogleConferenceData> conferenceData;
};

struct EventsResponse {
    std::optional<QString> summary;
    QList<GoogleEvent> items;

    static EventsResponse fromJson(const QByteArray &json);
};

// RFC 3339 date-time with a zone ("Z" or ±hh:mm), with or without a fraction of a second
// (kept to the millisecond); nullopt for anything else.
std::optional<QDateTime> parseRfc3339(const QString &text);
// yyyy-MM-dd as midnight UTC of that day; nullopt for anything else.
std::optional<QDateTime> parseAllDayDate(const QString &text);
// `instant` in UTC with milliseconds, e.g. 2026-03-02T00:00:00.000Z.
QString formatRfc3339(const QDateTime &instant);

} // namespace calendarwire

} // namespace kestrivane
