#pragma once

#include "Models/CalendarModels.h"
#include "Stores/AppStore.h"
#include "Support/Clock.h"
#include "Support/UserDefaults.h"
#include "TestSupport/FakeCalendarClient.h"
#include "TestSupport/InMemoryTokenStore.h"
#include "TestSupport/RecordingNotificationScheduler.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QTimeZone>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>

namespace kestrivane::test {

// The identifiers of events or calendars, in order.
inline QStringList ids(const QList<CalendarEvent> &events)
{
    QStringList result;
    for (const CalendarEvent &event : events)
        result << event.id;
    return result;
}

inline QStringList calendarIDs(const QList<CalendarInfo> &calendars)
{
    QStringList result;
    for (const CalendarInfo &calendar : calendars)
        result << calendar.id;
    return result;
}

// A clock the test moves by hand; copies share the time.
class ManualClock {
public:
    explicit ManualClock(QDateTime start) : now_(std::make_shared<QDateTime>(std::move(start))) {}

    Clock clock() const
    {
        return [now = now_] { return *now; };
    }
    QDateTime now() const { return *now_; }
    void set(QDateTime instant) { *now_ = std::move(instant); }
    void advance(std::chrono::milliseconds duration) { *now_ = now_->addMSecs(duration.count()); }

private:
    std::shared_ptr<QDateTime> now_;
};

inline QDateTime utc(int year, int month, int day, int hour, int minute, int second = 0, int msec = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, msec), QTimeZone::utc());
}

// A meeting with its own Meet link.
inline CalendarEvent meeting(const QString &id, const QString &calendarID, const QDateTime &start, const QDateTime &end,
                             const QString &title = QStringLiteral("Meeting"))
{
    CalendarEvent event;
    event.id = id;
    event.calendarID = calendarID;
    event.calendarName = QStringLiteral("Calendar ") + calendarID;
    event.title = title;
    event.startDate = start;
    event.endDate = end;
    event.hangoutLink = QUrl(QStringLiteral("https://meet.google.com/kvx-") + id);
    return event;
}

inline CalendarInfo calendar(const QString &id, bool selectedByDefault = true)
{
    return CalendarInfo{id, QStringLiteral("Calendar ") + id, selectedByDefault, std::nullopt};
}

// Sets the process time zone (TZ) for the scope of the guard.
class TimeZoneGuard {
public:
    explicit TimeZoneGuard(const char *zone)
    {
        if (const char *old = std::getenv("TZ"))
            previous_ = QByteArray(old);
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZoneGuard()
    {
        if (previous_)
            setenv("TZ", previous_->constData(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    TimeZoneGuard(const TimeZoneGuard &) = delete;
    TimeZoneGuard &operator=(const TimeZoneGuard &) = delete;

private:
    std::optional<QByteArray> previous_;
};

// The parts of a store under test: an injected calendar client (unless `google` is set), a
// recording notification scheduler, an in-memory legacy token store and user-defaults domain,
// and a manual clock. No OAuth configuration file is read.
struct StoreParts {
    std::shared_ptr<FakeCalendarClient> calendarClient = std::make_shared<FakeCalendarClient>();
    std::shared_ptr<RecordingNotificationScheduler> scheduler = std::make_shared<RecordingNotificationScheduler>();
    std::shared_ptr<InMemoryTokenStore> legacyTokenStore = std::make_shared<InMemoryTokenStore>();
    std::shared_ptr<UserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    // Per-account token stores by keyring account name, built on first use.
    QMap<QString, std::shared_ptr<InMemoryTokenStore>> accountTokenStores;
    ManualClock clock{utc(2026, 3, 2, 9, 0)};

    AppStore::Configuration configuration(bool injectCalendarClient = true)
    {
        AppStore::Configuration c;
        if (injectCalendarClient)
            c.calendarClient = calendarClient;
        c.notificationScheduler = scheduler;
        c.tokenStore = legacyTokenStore;
        c.userDefaults = defaults;
        c.keychainService = QStringLiteral("app.kestrivane.tests.store");
        c.now = clock.clock();
        c.oauthConfigurationFiles = {};
        c.tokenStoreFactory = [this](const QString &, const QString &account) -> std::shared_ptr<OAuthTokenStoring> {
            std::shared_ptr<InMemoryTokenStore> &store = accountTokenStores[account];
            if (!store)
                store = std::make_shared<InMemoryTokenStore>();
            return store;
        };
        return c;
    }

    std::unique_ptr<AppStore> makeStore(bool injectCalendarClient = true)
    {
        return std::make_unique<AppStore>(configuration(injectCalendarClient));
    }

    std::shared_ptr<InMemoryTokenStore> accountTokenStore(const QString &accountName)
    {
        std::shared_ptr<InMemoryTokenStore> &store = accountTokenStores[accountName];
        if (!store)
            store = std::make_shared<InMemoryTokenStore>();
        return store;
    }
};

} // namespace kestrivane::test
