#include "Services/GoogleCalendarClient.h"

#include "Support/HTTP.h"
#include "Support/Localization.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QUrlQuery>

namespace kestrivane {

using namespace calendarwire;

namespace {

std::optional<QUrl> parsedURL(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

} // namespace

QString GoogleCalendarClient::CalendarError::localizedDescription() const
{
    switch (kind_) {
    case Kind::requestFailed:
        return L10n::format(QStringLiteral("google_calendar_error_request_failed"), text_);
    case Kind::invalidDate:
        return L10n::format(QStringLiteral("google_calendar_error_invalid_date"), text_);
    }
    return text_;
}

GoogleCalendarClient::GoogleCalendarClient(std::shared_ptr<AccessTokenProvider> tokens,
                                           QNetworkAccessManager *network, GoogleEndpoints endpoints)
    : tokens_(std::move(tokens))
    , network_(network ? network : &sharedNetworkAccessManager())
    , endpoints_(std::move(endpoints))
{
}

QCoro::Task<QByteArray> GoogleCalendarClient::get(QUrl url)
{
    const QString token = co_await tokens_->accessToken();

    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(transferTimeout.count()));
    request.setRawHeader(QByteArrayLiteral("Authorization"), QByteArrayLiteral("Bearer ") + token.toUtf8());
    const HTTPResponse response = co_await sendHTTPRequest(*network_, request, QByteArrayLiteral("GET"));

    if (!response.statusCode)
        throw CalendarError::requestFailed(L10n::text(QStringLiteral("error_no_http_response")));
    if (!response.isSuccess())
        throw CalendarError::requestFailed(response.errorMessage());
    co_return response.body;
}

QCoro::Task<QList<CalendarInfo>> GoogleCalendarClient::fetchCalendars()
{
    const QByteArray body = co_await get(endpoints_.calendarListURL());
    co_return calendars(CalendarListResponse::fromJson(body));
}

QCoro::Task<QList<CalendarEvent>> GoogleCalendarClient::fetchEvents(QSet<QString> calendarIDs, QDateTime from, QDateTime to)
{
    QList<CalendarEvent> result;
    for (const QString &calendarID : std::as_const(calendarIDs)) {
        const QUrl url = eventsURL(calendarID, from, to);
        if (!url.isValid())
            continue;
        const QByteArray body = co_await get(url);
        result.append(events(EventsResponse::fromJson(body), calendarID));
    }
    co_return result;
}

QCoro::Task<GoogleAccountProfile> GoogleCalendarClient::fetchProfile()
{
    const QByteArray body = co_await get(endpoints_.userInfoURL());
    co_return GoogleAccountProfile::fromJson(body);
}

QString GoogleCalendarClient::encodedPathSegment(const QString &calendarID)
{
    // The unreserved characters and the sub-delimiters, ":" and "@" that a path segment may hold,
    // less ";" (left encoded, as parameters' separator for some servers). "/" is encoded too: the
    // identifier is one segment.
    return QString::fromLatin1(calendarID.toUtf8().toPercentEncoding(QByteArrayLiteral("!$&'()*+,=:@")));
}

QUrl GoogleCalendarClient::eventsURL(const QString &calendarID, const QDateTime &from, const QDateTime &to) const
{
    QUrl url = endpoints_.apiURL(QStringLiteral("/calendar/v3/calendars/") + encodedPathSegment(calendarID)
                                 + QStringLiteral("/events"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("singleEvents"), QStringLiteral("true"));
    query.addQueryItem(QStringLiteral("orderBy"), QStringLiteral("startTime"));
    query.addQueryItem(QStringLiteral("timeMin"), formatRfc3339(from));
    query.addQueryItem(QStringLiteral("timeMax"), formatRfc3339(to));
    query.addQueryItem(QStringLiteral("conferenceDataVersion"), QStringLiteral("1"));
    query.addQueryItem(QStringLiteral("maxResults"), QStringLiteral("2500"));
    url.setQuery(query);
    return url;
}

QList<CalendarInfo> GoogleCalendarClient::calendars(const CalendarListResponse &list)
{
    QList<CalendarInfo> result;
    for (const CalendarListItem &item : list.items) {
        if (item.selected == false || item.accessRole == QStringLiteral("freeBusyReader"))
            continue;
        if (item.isHolidayCalendar())
            continue;
        result.append(CalendarInfo{item.id, item.summaryOverride.value_or(item.summary), item.primary == true, std::nullopt});
    }
    return result;
}

QList<CalendarEvent> GoogleCalendarClient::events(const EventsResponse &page, const QString &calendarID)
{
    const QString calendarName = page.summary.value_or(calendarID);
    const QString untitled = L10n::text(QStringLiteral("event_untitled"));
    QList<CalendarEvent> result;
    result.reserve(page.items.size());
    for (const GoogleEvent &item : page.items) {
        if (item.status == QStringLiteral("cancelled"))
            continue;
        QDateTime startDate = item.start.dateValue();
        QDateTime endDate = item.end.dateValue();

        ConferenceData conference;
        if (item.conferenceData) {
            if (const auto &entryPoints = item.conferenceData->entryPoints) {
                // The first URI that names the Meet host (as written, case-sensitive) and parses.
                for (const GoogleConferenceEntryPoint &entry : *entryPoints) {
                    if (!entry.uri || !entry.uri->contains(GoogleHosts::meet, Qt::CaseSensitive))
                        continue;
                    if (const auto url = parsedURL(entry.uri)) {
                        conference.uri = url;
                        break;
                    }
                }
            }
            if (const auto &solution = item.conferenceData->conferenceSolution; solution && solution->key)
                conference.solutionType = solution->key->type;
        }

        result.append(CalendarEvent{
            item.id,
            calendarID,
            calendarName,
            item.summary.value_or(untitled),
            std::move(startDate),
            std::move(endDate),
            parsedURL(item.hangoutLink),
            std::move(conference),
            item.location,
            item.description,
            std::nullopt,
        });
    }
    return result;
}

} // namespace kestrivane
