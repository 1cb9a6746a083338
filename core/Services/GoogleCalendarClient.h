#pragma once

#include "Models/CalendarModels.h"
#include "Services/AccessTokenProvider.h"
#include "Services/CalendarClient.h"
#include "Services/CalendarWireFormat.h"
#include "Services/GoogleEndpoints.h"
#include "Support/Error.h"
#include "Support/HTTP.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>

class QNetworkAccessManager;

namespace kestrivane {

// The read-only Google Calendar client of one account: its calendars that count, the events of
// some of its calendars in a window, and its profile. Every request asks `tokens` for a bearer
// token first. Keeps nothing between calls; no paging, retrying or caching.
//
// Errors: the token provider's errors unchanged; TransportError (Support/HTTP.h) for transport
// failures, the 60 s transfer time-out included; CalendarError for HTTP statuses outside 2xx and
// unreadable event dates; DecodingError for 2xx bodies that do not have the documented shape. Any
// error ends the whole operation without a partial result.
class GoogleCalendarClient final : public CalendarClient {
public:
    class CalendarError : public Error {
    public:
        enum class Kind { requestFailed, invalidDate };

        static CalendarError requestFailed(QString message) { return {Kind::requestFailed, std::move(message)}; }
        static CalendarError invalidDate(QString text) { return {Kind::invalidDate, std::move(text)}; }

        Kind kind() const { return kind_; }
        // The message of requestFailed, the date text of invalidDate.
        const QString &text() const { return text_; }
        QString localizedDescription() const override;

    private:
        CalendarError(Kind kind, QString text) : kind_(kind), text_(std::move(text)) {}

        Kind kind_;
        QString text_;
    };

    static constexpr std::chrono::milliseconds transferTimeout = httpTransferTimeout;

    // `network` defaults to the shared manager (Support/HTTP.h) and must outlive the client's requests.
    explicit GoogleCalendarClient(std::shared_ptr<AccessTokenProvider> tokens,
                                  QNetworkAccessManager *network = nullptr,
                                  GoogleEndpoints endpoints = GoogleEndpoints::google());

    QCoro::Task<QList<CalendarInfo>> fetchCalendars() override;
    // One request per calendar, one after the other, in the set's iteration order; the events of
    // each calendar in the order the API returned them (start time).
    QCoro::Task<QList<CalendarEvent>> fetchEvents(QSet<QString> calendarIDs, QDateTime from, QDateTime to) override;
    QCoro::Task<GoogleAccountProfile> fetchProfile();

    // The request URL of one calendar's events in [from, to], or an invalid URL when none can be formed.
    QUrl eventsURL(const QString &calendarID, const QDateTime &from, const QDateTime &to) const;
    // The calendar identifier percent-encoded as one path segment.
    static QString encodedPathSegment(const QString &calendarID);

    // The mapping behind fetchCalendars() and fetchEvents(), on decoded documents.
    static QList<CalendarInfo> calendars(const calendarwire::CalendarListResponse &list);
    // Throws CalendarError::invalidDate for an event whose start or end cannot be read.
    static QList<CalendarEvent> events(const calendarwire::EventsResponse &page, const QString &calendarID);

private:
    // GET `url` with the bearer token; the body of a 2xx answer.
    QCoro::Task<QByteArray> get(QUrl url);

    std::shared_ptr<AccessTokenProvider> tokens_;
    QNetworkAccessManager *network_;
    GoogleEndpoints endpoints_;
};

} // namespace kestrivane
