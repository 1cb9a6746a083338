#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHashFunctions>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QTimeZone>
#include <QUrl>

#include <optional>

namespace kestrivane {

// One connected Google account. The store uses the lower-cased e-mail address as `id`.
struct GoogleAccount {
    QString id;
    QString email;
    std::optional<QString> name;

    // "Name <email>" when a non-empty name is known (not trimmed), else the e-mail address.
    QString displayName() const;

    // {"id", "email", "name"}; "name" is left out when absent, never written as null.
    QJsonObject toJson() const;
    // Requires "id" and "email" as strings; "name" may be missing or null, else must be a string.
    // Other keys are ignored. Throws DecodingError.
    static GoogleAccount fromJson(const QJsonValue &value);

    // The persisted account list: a compact JSON array of account objects.
    static QByteArray encodeList(const QList<GoogleAccount> &accounts);
    // Fails as a whole (DecodingError) when the data is not a JSON array or any element fails.
    static QList<GoogleAccount> decodeList(const QByteArray &data);

    friend bool operator==(const GoogleAccount &, const GoogleAccount &) = default;
};

// One calendar. Inside the store `id` is the per-account composite identifier.
struct CalendarInfo {
    QString id;
    QString name;
    bool isSelectedByDefault = false;
    std::optional<QString> accountEmail;

    friend bool operator==(const CalendarInfo &, const CalendarInfo &) = default;
};

// The conference attached to an event; `solutionType` "hangoutsMeet" marks Google Meet.
struct ConferenceData {
    std::optional<QUrl> uri;
    std::optional<QString> solutionType;

    friend bool operator==(const ConferenceData &, const ConferenceData &) = default;
};

// The stage of a meeting relative to an instant, from far to near.
enum class MeetReadiness { headsUp, preparing, soon };

inline size_t qHash(MeetReadiness readiness, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(readiness), seed);
}

// One calendar event. Instants are UTC.
struct CalendarEvent {
    QString id;
    QString calendarID;
    QString calendarName;
    QString title;
    QDateTime startDate;
    QDateTime endDate;
    std::optional<QUrl> hangoutLink;
    std::optional<ConferenceData> conferenceData;
    std::optional<QString> location;
    std::optional<QString> description;
    std::optional<QString> accountEmail;

    // The event's Meet link: `hangoutLink`, else the conference URI, else the first Meet link
    // found in the location, then the description.
    std::optional<QUrl> meetURL() const;
    // A Meet link exists, or the conference solution is exactly "hangoutsMeet".
    bool isMeetEvent() const;
    // The Meet link wrapped in the account chooser for `accountEmail`; the bare link when the
    // event has no account e-mail.
    std::optional<QUrl> joinURL() const;

    // "meet-<calendarID>-<id>-<start seconds>-<lead time seconds>", both numbers truncated toward
    // zero. A lead time beyond the 64-bit range saturates to its limit; NaN and an invalid start
    // instant count as 0.
    QString notificationIdentifier(double leadTime) const;

    // Whether the event starts on the same day as `instant` in `calendar`'s time zone.
    bool startsOnSameDayAs(const QDateTime &instant, const QTimeZone &calendar = QTimeZone::systemTimeZone()) const;

    // soon when the start is at most 300 s away (or past), preparing up to 900 s, else headsUp.
    MeetReadiness readiness(const QDateTime &instant) const;

    friend bool operator==(const CalendarEvent &, const CalendarEvent &) = default;

private:
    // The first Meet link in `text`; an unparsable first match ends the search.
    static std::optional<QUrl> firstMeetURL(const std::optional<QString> &text);
};

} // namespace kestrivane
