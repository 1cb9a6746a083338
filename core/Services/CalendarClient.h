#pragma once

#include "Models/CalendarModels.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>

namespace kestrivane {

// A source of calendars and their events. Operations may throw (kestrivane::Error or a subclass).
class CalendarClient {
public:
    virtual ~CalendarClient() = default;

    virtual QCoro::Task<QList<CalendarInfo>> fetchCalendars() = 0;
    // The events of `calendarIDs` between `from` and `to`.
    virtual QCoro::Task<QList<CalendarEvent>> fetchEvents(QSet<QString> calendarIDs, QDateTime from, QDateTime to) = 0;
};

} // namespace kestrivane
