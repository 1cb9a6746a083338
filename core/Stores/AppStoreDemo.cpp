#include "Stores/AppStore.h"

#include <stdexcept>

namespace kestrivane {

void AppStore::applyDemoSnapshot(const QDateTime &date, const DemoMode &demoMode)
{
    Q_UNUSED(date);
    Q_UNUSED(demoMode);
    throw std::logic_error("not built yet");
}

AppStore::DemoData AppStore::demoData(const QString &localeIdentifier)
{
    Q_UNUSED(localeIdentifier);
    throw std::logic_error("not built yet");
}

QDateTime AppStore::demoDate(const QDateTime &date, int hour, int minute)
{
    Q_UNUSED(date);
    Q_UNUSED(hour);
    Q_UNUSED(minute);
    throw std::logic_error("not built yet");
}

CalendarEvent AppStore::demoMeetEvent(const QString &id, const QString &calendarID, const QString &calendarName,
                                      const QString &title, const QDateTime &startDate, const QDateTime &endDate,
                                      const QString &accountEmail)
{
    Q_UNUSED(id);
    Q_UNUSED(calendarID);
    Q_UNUSED(calendarName);
    Q_UNUSED(title);
    Q_UNUSED(startDate);
    Q_UNUSED(endDate);
    Q_UNUSED(accountEmail);
    throw std::logic_error("not built yet");
}

} // namespace kestrivane
