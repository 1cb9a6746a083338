// Decoding and mapping of a large day: a calendar list of 20 calendars that count and their event
// pages, 5,000 events in all, from the JSON documents as the Calendar API sends them.

#include "Services/CalendarWireFormat.h"
#include "Services/GoogleCalendarClient.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <benchmark/benchmark.h>

using namespace kestrivane;
using namespace kestrivane::calendarwire;

namespace {

constexpr int kCalendars = 20;
constexpr int kEventsPerCalendar = 250;

QString calendarID(int c)
{
    return QStringLiteral("team-%1@group.calendar.google.com").arg(c);
}

QByteArray calendarListDocument()
{
    QJsonArray items;
    for (int c = 0; c < kCalendars; ++c) {
        items.append(QJsonObject{
            {QStringLiteral("kind"), QStringLiteral("calendar#calendarListEntry")},
            {QStringLiteral("etag"), QStringLiteral("\"1700000000000000\"")},
            {QStringLiteral("id"), calendarID(c)},
            {QStringLiteral("summary"), QStringLiteral("Team %1").arg(c)},
            {QStringLiteral("timeZone"), QStringLiteral("Asia/Tokyo")},
            {QStringLiteral("backgroundColor"), QStringLiteral("#9fe1e7")},
            {QStringLiteral("selected"), true},
            {QStringLiteral("accessRole"), QStringLiteral("owner")},
            {QStringLiteral("primary"), c == 0},
            {QStringLiteral("defaultReminders"), QJsonArray{QJsonObject{{QStringLiteral("method"), QStringLiteral("popup")},
                                                                        {QStringLiteral("minutes"), 10}}}},
        });
    }
    // Entries the filters drop.
    items.append(QJsonObject{{QStringLiteral("id"), QStringLiteral("ja.japanese#holiday@group.v.calendar.google.com")},
                             {QStringLiteral("summary"), QStringLiteral("日本の祝日")}});
    items.append(QJsonObject{{QStringLiteral("id"), QStringLiteral("busy@example.com")},
                             {QStringLiteral("summary"), QStringLiteral("Busy")},
                             {QStringLiteral("accessRole"), QStringLiteral("freeBusyReader")}});
    return QJsonDocument(QJsonObject{{QStringLiteral("kind"), QStringLiteral("calendar#calendarList")},
                                     {QStringLiteral("items"), items}})
        .toJson(QJsonDocument::Compact);
}

QJsonObject eventObject(int c, int e, const QDateTime &dayStart)
{
    const QDateTime start = dayStart.addSecs(static_cast<qint64>(e) * 60);
    QJsonObject event{
        {QStringLiteral("kind"), QStringLiteral("calendar#event")},
        {QStringLiteral("etag"), QStringLiteral("\"3400000000000000\"")},
        {QStringLiteral("id"), QStringLiteral("ev%1x%2abcdefghijklmnop").arg(c).arg(e)},
        {QStringLiteral("status"), e % 50 == 0 ? QStringLiteral("cancelled") : QStringLiteral("confirmed")},
        {QStringLiteral("htmlLink"), QStringLiteral("https://www.google.com/calendar/event?eid=ZXYx")},
        {QStringLiteral("summary"), QStringLiteral("Meeting %1 of team %2").arg(e).arg(c)},
        {QStringLiteral("description"),
         QStringLiteral("Agenda: review the plan, decide the next steps and assign owners. Notes in the shared folder.")},
        {QStringLiteral("location"), QStringLiteral("Room %1, 4th floor").arg(e % 12)},
        {QStringLiteral("creator"), QJsonObject{{QStringLiteral("email"), QStringLiteral("ann@example.com")}}},
        {QStringLiteral("attendees"), QJsonArray{QJsonObject{{QStringLiteral("email"), QStringLiteral("ann@example.com")},
                                                             {QStringLiteral("responseStatus"), QStringLiteral("accepted")}},
                                                 QJsonObject{{QStringLiteral("email"), QStringLiteral("bob@example.com")},
                                                             {QStringLiteral("responseStatus"), QStringLiteral("needsAction")}}}},
    };
    if (e % 25 == 0) {
        event.insert(QStringLiteral("start"), QJsonObject{{QStringLiteral("date"), start.toString(QStringLiteral("yyyy-MM-dd"))}});
        event.insert(QStringLiteral("end"), QJsonObject{{QStringLiteral("date"), start.addDays(1).toString(QStringLiteral("yyyy-MM-dd"))}});
    } else {
        const QTimeZone tokyo(QByteArrayLiteral("Asia/Tokyo"));
        event.insert(QStringLiteral("start"), QJsonObject{{QStringLiteral("dateTime"), start.toTimeZone(tokyo).toString(Qt::ISODate)},
                                                          {QStringLiteral("timeZone"), QStringLiteral("Asia/Tokyo")}});
        event.insert(QStringLiteral("end"), QJsonObject{{QStringLiteral("dateTime"), start.addSecs(1800).toString(Qt::ISODateWithMs)}});
    }
    if (e % 2 == 0) {
        const QString link = QStringLiteral("https://meet.google.com/abc-%1-xyz").arg(e, 4, 10, QLatin1Char('0'));
        event.insert(QStringLiteral("hangoutLink"), link);
        event.insert(QStringLiteral("conferenceData"), QJsonObject{
            {QStringLiteral("entryPoints"), QJsonArray{
                QJsonObject{{QStringLiteral("entryPointType"), QStringLiteral("video")}, {QStringLiteral("uri"), link}},
                QJsonObject{{QStringLiteral("entryPointType"), QStringLiteral("phone")}, {QStringLiteral("uri"), QStringLiteral("tel:+81-3-1234-5678")}},
            }},
            {QStringLiteral("conferenceSolution"), QJsonObject{{QStringLiteral("key"), QJsonObject{{QStringLiteral("type"), QStringLiteral("hangoutsMeet")}}},
                                                               {QStringLiteral("name"), QStringLiteral("Google Meet")}}},
            {QStringLiteral("conferenceId"), QStringLiteral("abc-defg-hij")},
        });
    }
    return event;
}

QList<QByteArray> eventPageDocuments()
{
    const QDateTime dayStart(QDate(2026, 3, 2), QTime(0, 0), Qt::UTC);
    QList<QByteArray> pages;
    for (int c = 0; c < kCalendars; ++c) {
        QJsonArray items;
        for (int e = 0; e < kEventsPerCalendar; ++e)
            items.append(eventObject(c, e, dayStart));
        pages.append(QJsonDocument(QJsonObject{{QStringLiteral("kind"), QStringLiteral("calendar#events")},
                                               {QStringLiteral("summary"), QStringLiteral("Team %1").arg(c)},
                                               {QStringLiteral("timeZone"), QStringLiteral("Asia/Tokyo")},
                                               {QStringLiteral("items"), items}})
                         .toJson(QJsonDocument::Compact));
    }
    return pages;
}

void BM_LargeDayDecodeAndMap(benchmark::State &state)
{
    const QByteArray list = calendarListDocument();
    const QList<QByteArray> pages = eventPageDocuments();
    qsizetype bytes = list.size();
    for (const QByteArray &page : pages)
        bytes += page.size();

    for (auto _ : state) {
        const QList<CalendarInfo> calendars = GoogleCalendarClient::calendars(CalendarListResponse::fromJson(list));
        QList<CalendarEvent> events;
        for (qsizetype c = 0; c < calendars.size(); ++c)
            events.append(GoogleCalendarClient::events(EventsResponse::fromJson(pages[c]), calendars[c].id));
        benchmark::DoNotOptimize(events.data());
        if (calendars.size() != kCalendars || events.size() != kCalendars * (kEventsPerCalendar - kEventsPerCalendar / 50))
            state.SkipWithError("unexpected result size");
    }
    state.counters["events"] = kCalendars * kEventsPerCalendar;
    state.counters["JSON bytes"] = static_cast<double>(bytes);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
}
BENCHMARK(BM_LargeDayDecodeAndMap)->Unit(benchmark::kMillisecond);

// The two halves of the events' share: strict decoding, then mapping the decoded pages.
void BM_EventPagesDecodeOnly(benchmark::State &state)
{
    const QList<QByteArray> pages = eventPageDocuments();
    for (auto _ : state) {
        for (const QByteArray &page : pages)
            benchmark::DoNotOptimize(EventsResponse::fromJson(page).items.size());
    }
}
BENCHMARK(BM_EventPagesDecodeOnly)->Unit(benchmark::kMillisecond);

void BM_EventPagesMapOnly(benchmark::State &state)
{
    QList<EventsResponse> decoded;
    for (const QByteArray &page : eventPageDocuments())
        decoded.append(EventsResponse::fromJson(page));
    for (auto _ : state) {
        for (qsizetype c = 0; c < decoded.size(); ++c)
            benchmark::DoNotOptimize(GoogleCalendarClient::events(decoded[c], calendarID(static_cast<int>(c))).size());
    }
}
BENCHMARK(BM_EventPagesMapOnly)->Unit(benchmark::kMillisecond);

} // namespace
