// Answers of the Calendar API and the user-info endpoint, decoded strictly and mapped to the
// application's calendars and meetings as a sync does.
#include "FuzzSupport.h"
#include "Support/Error.h"
#include "Services/CalendarWireFormat.h"
#include "Services/GoogleCalendarClient.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace kestrivane;
    fuzz::ensureApplication();
    const QByteArray json = fuzz::bytes(data, size);
    try {
        for (const CalendarEvent &event : GoogleCalendarClient::events(calendarwire::EventsResponse::fromJson(json), "c@example.com")) {
            if (event.isMeetEvent())
                event.joinURL();
            event.notificationIdentifier(1800);
            event.readiness(event.startDate.addSecs(-600));
        }
    } catch (const Error &) {
    }
    try {
        GoogleCalendarClient::calendars(calendarwire::CalendarListResponse::fromJson(json));
    } catch (const Error &) {
    }
    try {
        GoogleAccountProfile::fromJson(json);
    } catch (const Error &) {
    }
    return 0;
}
