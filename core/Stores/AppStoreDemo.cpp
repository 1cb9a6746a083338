#include "Stores/AppStore.h"

#include <QTimeZone>

namespace kestrivane {

namespace {

const QString primaryEmail = QStringLiteral("emma.collins@northwind.example");
const QString secondaryEmail = QStringLiteral("kenji.sato@harborlight.example");

} // namespace

AppStore::DemoData AppStore::demoData(const QString &localeIdentifier)
{
    if (localeIdentifier.toLower().startsWith(QStringLiteral("ja"))) {
        return DemoData{
            QStringLiteral("エマ・コリンズ"),
            QStringLiteral("佐藤 健二"),
            QStringLiteral("プロダクトデザイン"),
            QStringLiteral("チーム定例"),
            QStringLiteral("顧客ミーティング"),
            QStringLiteral("デザインレビュー"),
            QStringLiteral("リリース確認"),
            QStringLiteral("週次プランニング"),
            QStringLiteral("導入ミーティング"),
        };
    }
    return DemoData{
        QStringLiteral("Emma Collins"),
        QStringLiteral("Kenji Sato"),
        QStringLiteral("Product Design"),
        QStringLiteral("Leadership Sync"),
        QStringLiteral("Partner Meetings"),
        QStringLiteral("Design critique"),
        QStringLiteral("Launch checklist review"),
        QStringLiteral("Weekly planning"),
        QStringLiteral("Customer onboarding"),
    };
}

QDateTime AppStore::demoDate(const QDateTime &date, int hour, int minute)
{
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDateTime wallClock(date.toTimeZone(zone).date(), QTime(hour, minute, 0), zone);
    if (!wallClock.isValid())
        return date;
    return wallClock.toUTC();
}

CalendarEvent AppStore::demoMeetEvent(const QString &id, const QString &calendarID, const QString &calendarName,
                                      const QString &title, const QDateTime &startDate, const QDateTime &endDate,
                                      const QString &accountEmail)
{
    CalendarEvent event;
    event.id = id;
    event.calendarID = calendarID;
    event.calendarName = calendarName;
    event.title = title;
    event.startDate = startDate;
    event.endDate = endDate;
    event.hangoutLink = QUrl(QStringLiteral("https://") + GoogleHosts::meet + QStringLiteral("/kvx-demo-") + id.right(4));
    event.accountEmail = accountEmail;
    return event;
}

void AppStore::applyDemoSnapshot(const QDateTime &date, const DemoMode &demoMode)
{
    publish(hasCompletedInitialSync_, true);
    const QDateTime reference = screenshotReferenceDate(date);

    if (demoMode.state == DemoMode::State::setup) {
        assignGoogleAccounts({});
        publish(calendars_, QList<CalendarInfo>());
        publish(todayMeetEvents_, QList<CalendarEvent>());
        publish(upcomingMeetEvents_, QList<CalendarEvent>());
        publish(selectedCalendarIDs_, QSet<QString>());
        publish(currentMeetEvent_, std::nullopt);
        publish(activeMeetEvent_, std::nullopt);
        publish(syncStatus_, SyncStatus::idle());
        publish(notificationPermissionGranted_, true);
        publish(notificationStatus_, NotificationStatus::allowed());
        publish(googleConnectionStatus_, GoogleConnectionStatus::disconnected());
        publish(testNotificationStatus_, std::nullopt);
        cancelAlertTasks();
        return;
    }

    const DemoData texts = demoData(demoMode.localeIdentifier);
    const GoogleAccount primary{primaryEmail, primaryEmail, texts.primaryName};
    const GoogleAccount secondary{secondaryEmail, secondaryEmail, texts.secondaryName};
    assignGoogleAccounts({primary, secondary});

    const CalendarInfo product{googleCalendarID(primary.id, QStringLiteral("product-design")), texts.productCalendar, true,
                               primary.email};
    const CalendarInfo leadership{googleCalendarID(primary.id, QStringLiteral("leadership")), texts.leadershipCalendar,
                                  true, primary.email};
    const CalendarInfo partners{googleCalendarID(secondary.id, QStringLiteral("partners")), texts.partnerCalendar, true,
                                secondary.email};
    publish(calendars_, QList<CalendarInfo>{product, leadership, partners});
    QSet<QString> selection;
    for (const CalendarInfo &calendar : std::as_const(calendars_))
        selection.insert(calendar.id);
    publish(selectedCalendarIDs_, std::move(selection));

    const auto meeting = [&reference](const QString &id, const CalendarInfo &calendar, const QString &title, int startHour,
                                      int startMinute, int endHour, int endMinute) {
        const QString email = calendar.accountEmail.value_or(QString());
        return demoMeetEvent(id, calendar.id, calendar.name + QStringLiteral(" \u00B7 ") + email, title,
                             demoDate(reference, startHour, startMinute), demoDate(reference, endHour, endMinute), email);
    };
    const QList<CalendarEvent> today = {
        meeting(QStringLiteral("demo-ended"), product, texts.endedTitle, 9, 30, 10, 15),
        meeting(QStringLiteral("demo-current"), product, texts.currentTitle, 11, 30, 12, 0),
        meeting(QStringLiteral("demo-ready"), leadership, texts.readyTitle, 12, 10, 12, 40),
        meeting(QStringLiteral("demo-next"), partners, texts.nextTitle, 14, 0, 14, 45),
    };
    publish(todayMeetEvents_, today);

    QList<CalendarEvent> upcoming;
    for (const CalendarEvent &event : today) {
        if (event.endDate > reference)
            upcoming.append(event);
    }
    publish(upcomingMeetEvents_, std::move(upcoming));

    const auto find = [&today](const QString &id) -> std::optional<CalendarEvent> {
        for (const CalendarEvent &event : today) {
            if (event.id == id)
                return event;
        }
        return std::nullopt;
    };
    publish(currentMeetEvent_, demoMode.state == DemoMode::State::current ? find(QStringLiteral("demo-current")) : std::nullopt);
    publish(activeMeetEvent_, demoMode.state == DemoMode::State::ready ? find(QStringLiteral("demo-ready")) : std::nullopt);

    publish(syncStatus_, SyncStatus::synced(reference));
    publish(notificationPermissionGranted_, true);
    publish(notificationStatus_, NotificationStatus::allowed());
    publish(googleConnectionStatus_, GoogleConnectionStatus::connected());
    publish(testNotificationStatus_, std::nullopt);
    cancelAlertTasks();
}

} // namespace kestrivane
