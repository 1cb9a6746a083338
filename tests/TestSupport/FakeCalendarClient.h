#pragma once

#include "Services/CalendarClient.h"
#include "Support/AsyncWaitQueue.h"
#include "Support/Error.h"

#include <QList>
#include <QSet>

#include <algorithm>
#include <exception>
#include <optional>

namespace kestrivane::test {

// A calendar source in memory. Records its requests, can fail on demand, and can hold its calls
// until the test releases them (to suspend a sync pass at a request).
class FakeCalendarClient final : public CalendarClient {
public:
    struct EventsRequest {
        QSet<QString> calendarIDs;
        QDateTime from;
        QDateTime to;
    };

    QCoro::Task<QList<CalendarInfo>> fetchCalendars() override
    {
        ++calendarRequests;
        if (holdCalls) {
            const bool released = co_await hold();
            if (!released)
                co_return {};
        }
        if (calendarsFailure)
            std::rethrow_exception(calendarsFailure);
        if (calendarsError)
            throw Error(*calendarsError);
        // A copy: QCoro moves from an lvalue given to co_return.
        co_return QList<CalendarInfo>(calendars);
    }

    // The events of the requested calendars, in the order of `events`.
    QCoro::Task<QList<CalendarEvent>> fetchEvents(QSet<QString> calendarIDs, QDateTime from, QDateTime to) override
    {
        eventRequests.append(EventsRequest{calendarIDs, from, to});
        if (holdCalls) {
            const bool released = co_await hold();
            if (!released)
                co_return {};
        }
        if (eventsError)
            throw Error(*eventsError);
        QList<CalendarEvent> result;
        for (const CalendarEvent &event : std::as_const(events)) {
            if (calendarIDs.contains(event.calendarID))
                result.append(event);
        }
        co_return result;
    }

    // Lets every held call go on (from the event loop).
    void release() { gate_.wakeAll(); }
    int held() const { return gate_.waiting(); }

    QList<CalendarInfo> calendars;
    QList<CalendarEvent> events;
    std::optional<QString> calendarsError;
    // Thrown by fetchCalendars() in place of calendarsError when set.
    std::exception_ptr calendarsFailure;
    std::optional<QString> eventsError;
    // While true, each call waits for release().
    bool holdCalls = false;

    int calendarRequests = 0;
    QList<EventsRequest> eventRequests;
    // Calls waiting at the same time, at most.
    int maxHeld = 0;

private:
    AsyncWaitQueue::Awaiter hold()
    {
        maxHeld = std::max(maxHeld, gate_.waiting() + 1);
        return gate_.wait();
    }

    AsyncWaitQueue gate_;
};

} // namespace kestrivane::test
