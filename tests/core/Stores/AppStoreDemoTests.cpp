#include "Stores/AppStore.h"

#include "Support/UserDefaults.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/StoreTestSupport.h"

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::test;

namespace {

// A user-defaults domain that records every write.
class RecordingUserDefaults final : public UserDefaults {
public:
    QVariant object(const QString &key) const override { return values.object(key); }
    void set(const QString &key, const QVariant &value) override
    {
        writes << key;
        values.set(key, value);
    }
    void remove(const QString &key) override
    {
        writes << key;
        values.remove(key);
    }

    InMemoryUserDefaults values;
    QStringList writes;
};

struct DemoTexts {
    QString primaryName, secondaryName;
    QString product, leadership, partners;
    QString ended, current, ready, next;
};

const DemoTexts english{
    QStringLiteral("Emma Collins"), QStringLiteral("Kenji Sato"),
    QStringLiteral("Product Design"), QStringLiteral("Leadership Sync"), QStringLiteral("Partner Meetings"),
    QStringLiteral("Design critique"), QStringLiteral("Launch checklist review"), QStringLiteral("Weekly planning"),
    QStringLiteral("Customer onboarding"),
};

const DemoTexts japanese{
    QStringLiteral("エマ・コリンズ"), QStringLiteral("佐藤 健二"),
    QStringLiteral("プロダクトデザイン"), QStringLiteral("チーム定例"), QStringLiteral("顧客ミーティング"),
    QStringLiteral("デザインレビュー"), QStringLiteral("リリース確認"), QStringLiteral("週次プランニング"),
    QStringLiteral("導入ミーティング"),
};

const QString primaryEmail = QStringLiteral("emma.collins@northwind.example");
const QString secondaryEmail = QStringLiteral("kenji.sato@harborlight.example");

// 09:30 in Tokyo on 2 March 2026; the demo's reference instant is 11:45 there.
const QDateTime tokyoMorning = utc(2026, 3, 2, 0, 30);

// The instant of a Tokyo wall-clock time on 2 March 2026.
QDateTime tokyo(int hour, int minute)
{
    return QDateTime(QDate(2026, 3, 2), QTime(hour, minute), QTimeZone("Asia/Tokyo")).toUTC();
}

class AppStoreDemoTest : public ::testing::Test {
protected:
    AppStore &makeStore(DemoMode::State state, const QString &locale)
    {
        parts.clock.set(tokyoMorning);
        AppStore::Configuration c = parts.configuration();
        c.userDefaults = defaults;
        c.demoMode = DemoMode{true, state, locale};
        store = std::make_unique<AppStore>(std::move(c));
        return *store;
    }

    // Nothing outside the store was written: no setting, no keyring item (none was even read), no
    // notification.
    void expectNothingWrittenOutside() const
    {
        EXPECT_EQ(defaults->writes, QStringList{});
        EXPECT_EQ(parts.legacyTokenStore->loads + parts.legacyTokenStore->saves + parts.legacyTokenStore->deletes, 0);
        EXPECT_TRUE(parts.accountTokenStores.isEmpty());
        EXPECT_EQ(parts.scheduler->calls, QStringList{});
    }

    void expectSnapshot(DemoMode::State state, const DemoTexts &texts) const
    {
        const QDateTime reference = tokyo(11, 45);
        EXPECT_TRUE(store->hasCompletedInitialSync());
        EXPECT_TRUE(store->notificationPermissionGranted());
        EXPECT_EQ(store->notificationStatus(), AppStore::NotificationStatus::allowed());
        EXPECT_EQ(store->testNotificationStatus(), std::nullopt);

        if (state == DemoMode::State::setup) {
            EXPECT_TRUE(store->googleAccounts().isEmpty());
            EXPECT_TRUE(store->calendars().isEmpty());
            EXPECT_TRUE(store->selectedCalendarIDs().isEmpty());
            EXPECT_TRUE(store->todayMeetEvents().isEmpty());
            EXPECT_TRUE(store->upcomingMeetEvents().isEmpty());
            EXPECT_FALSE(store->currentMeetEvent());
            EXPECT_FALSE(store->activeMeetEvent());
            EXPECT_EQ(store->syncStatus(), AppStore::SyncStatus::idle());
            EXPECT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::disconnected());
            return;
        }

        EXPECT_EQ(store->googleAccounts(), (QList<GoogleAccount>{{primaryEmail, primaryEmail, texts.primaryName},
                                                                 {secondaryEmail, secondaryEmail, texts.secondaryName}}));
        const QString product = primaryEmail + QStringLiteral("::product-design");
        const QString leadership = primaryEmail + QStringLiteral("::leadership");
        const QString partners = secondaryEmail + QStringLiteral("::partners");
        EXPECT_EQ(store->calendars(), (QList<CalendarInfo>{{product, texts.product, true, primaryEmail},
                                                           {leadership, texts.leadership, true, primaryEmail},
                                                           {partners, texts.partners, true, secondaryEmail}}));
        EXPECT_EQ(store->selectedCalendarIDs(), (QSet<QString>{product, leadership, partners}));

        const auto meeting = [](const QString &id, const QString &calendarID, const QString &calendarName,
                                const QString &title, QDateTime start, QDateTime end, const QString &email) {
            CalendarEvent event;
            event.id = id;
            event.calendarID = calendarID;
            event.calendarName = calendarName + QStringLiteral(" · ") + email;
            event.title = title;
            event.startDate = std::move(start);
            event.endDate = std::move(end);
            event.hangoutLink = QUrl(QStringLiteral("https://meet.google.com/kvx-demo-") + id.right(4));
            event.accountEmail = email;
            return event;
        };
        const CalendarEvent ended = meeting(QStringLiteral("demo-ended"), product, texts.product, texts.ended,
                                            tokyo(9, 30), tokyo(10, 15), primaryEmail);
        const CalendarEvent current = meeting(QStringLiteral("demo-current"), product, texts.product, texts.current,
                                              tokyo(11, 30), tokyo(12, 0), primaryEmail);
        const CalendarEvent ready = meeting(QStringLiteral("demo-ready"), leadership, texts.leadership, texts.ready,
                                            tokyo(12, 10), tokyo(12, 40), primaryEmail);
        const CalendarEvent next = meeting(QStringLiteral("demo-next"), partners, texts.partners, texts.next,
                                           tokyo(14, 0), tokyo(14, 45), secondaryEmail);
        EXPECT_EQ(store->todayMeetEvents(), (QList<CalendarEvent>{ended, current, ready, next}));
        EXPECT_EQ(store->upcomingMeetEvents(), (QList<CalendarEvent>{current, ready, next}));
        EXPECT_EQ(next.hangoutLink, QUrl(QStringLiteral("https://meet.google.com/kvx-demo-next")));
        for (const CalendarEvent &event : store->todayMeetEvents())
            EXPECT_TRUE(event.isMeetEvent() && event.joinURL()) << event.id.toStdString();

        EXPECT_EQ(store->currentMeetEvent(), state == DemoMode::State::current ? std::optional(current) : std::nullopt);
        EXPECT_EQ(store->activeMeetEvent(), state == DemoMode::State::ready ? std::optional(ready) : std::nullopt);
        EXPECT_EQ(store->syncStatus(), AppStore::SyncStatus::synced(reference));
        EXPECT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::connected());
    }

    TimeZoneGuard zone{"Asia/Tokyo"};
    StoreParts parts;
    std::shared_ptr<RecordingUserDefaults> defaults = std::make_shared<RecordingUserDefaults>();
    std::unique_ptr<AppStore> store;
};

} // namespace

TEST_F(AppStoreDemoTest, EachStateInBothLanguagesAtConstructionAndOnEverySync)
{
    const QList<std::pair<QString, const DemoTexts *>> languages = {
        {QStringLiteral("en_US"), &english}, {QStringLiteral("ja_JP"), &japanese},
        {QStringLiteral("JA"), &japanese},   {QStringLiteral("fr_FR"), &english},
    };
    for (const DemoMode::State state :
         {DemoMode::State::setup, DemoMode::State::next, DemoMode::State::ready, DemoMode::State::current}) {
        for (const auto &[locale, texts] : languages) {
            SCOPED_TRACE(DemoMode::rawValue(state).toStdString() + " " + locale.toStdString());
            makeStore(state, locale);
            expectSnapshot(state, *texts);

            // Later in the day a sync gives the same picture, still at 11:45.
            parts.clock.set(tokyo(16, 0));
            runTask(store->sync());
            expectSnapshot(state, *texts);
            expectNothingWrittenOutside();
        }
    }
}

TEST_F(AppStoreDemoTest, AccountOperationsOpenNothingAndRemoveNothing)
{
    makeStore(DemoMode::State::next, QStringLiteral("en_US"));
    const QList<GoogleAccount> accounts = store->googleAccounts();

    int opened = 0;
    runTask(store->connectGoogleAndSync([&opened](QUrl) -> QCoro::Task<bool> {
        ++opened;
        co_return true;
    }));
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::connected());

    store->disconnectGoogleAccount(accounts.first());
    store->disconnectGoogle();
    expectSnapshot(DemoMode::State::next, english);
    expectNothingWrittenOutside();

    // In the setup state the connection says connected until the next sync shows the snapshot again.
    makeStore(DemoMode::State::setup, QStringLiteral("en_US"));
    runTask(store->connectGoogle([](QUrl) -> QCoro::Task<bool> { co_return false; }));
    EXPECT_EQ(store->googleConnectionStatus(), AppStore::GoogleConnectionStatus::connected());
    runTask(store->sync());
    expectSnapshot(DemoMode::State::setup, english);
    expectNothingWrittenOutside();
}
