#include "App/MenuBarTray.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVStatus.h"
#include "Support/AppNotificationCenter.h"
#include "Support/UpdateStatusStore.h"
#include "TestSupport/TestEnvironment.h"
#include "Views/MenuBar/MenuBarView.h"
#include "app/Views/ViewTestSupport.h"

#include <QGraphicsEffect>
#include <QLayout>
#include <QPointer>

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

namespace {

class MenuBarViewTest : public ViewTest {
protected:
    std::unique_ptr<MenuBarView> makeView(AppStore &store)
    {
        auto view = std::make_unique<MenuBarView>(store, updates, recorded.actions());
        view->show();
        settle();
        return view;
    }

    QString heroKind(const MenuBarView &view)
    {
        for (const QString name : {"hero-card", "hero-loading", "hero-issue", "hero-empty"}) {
            if (one(&view, name))
                return name;
        }
        return QStringLiteral("none");
    }

    UpdateStatusStore updates;
};

const QDateTime nine = utc(2026, 3, 2, 9, 0);

} // namespace

TEST_F(MenuBarViewTest, HeroShowsTheFirstCaseThatHolds)
{
    // In meeting: the current meeting wins over an active alert, without a dismiss button.
    parts.clock.set(nine.addSecs(5 * 60));
    auto store = makeStore({at("current", 0, 30, "Standup"), at("later", 60)});
    store->markMeetEventActive(store->upcomingMeetEvents().last());
    auto view = makeView(*store);
    ASSERT_EQ(heroKind(*view), "hero-card");
    EXPECT_EQ(textOf(view.get(), "hero-chip"), "In meeting");
    EXPECT_EQ(textOf(view.get(), "hero-title"), "Standup");
    EXPECT_EQ(textOf(view.get(), "hero-detail"), "25 min left \u00B7 Calendar work");
    EXPECT_EQ(textOf(view.get(), "hero-join"), "Join Now");
    EXPECT_TRUE(textOf(view.get(), "hero-subtitle").startsWith("Mar 2, 2026 at 9:00"));
    EXPECT_FALSE(one(view.get(), "hero-dismiss"));

    // Alert: the active meeting with its readiness and the dismiss button.
    parts.clock.set(nine.addSecs(-10 * 60));
    store->refreshPresentationState();
    store->markMeetEventActive(store->upcomingMeetEvents().first());
    settle();
    EXPECT_EQ(textOf(view.get(), "hero-chip"), "Get ready");
    EXPECT_EQ(textOf(view.get(), "hero-detail"), "Calendar work");
    EXPECT_EQ(textOf(view.get(), "hero-join"), "Join Meeting");
    EXPECT_TRUE(one(view.get(), "hero-dismiss"));

    // Next: the first meeting that starts later today.
    store->dismissActiveMeetEvent();
    settle();
    EXPECT_EQ(textOf(view.get(), "hero-chip"), "Next");
    EXPECT_EQ(textOf(view.get(), "hero-title"), "Standup");
    EXPECT_EQ(textOf(view.get(), "hero-detail"), "Starts in 10 min \u00B7 Calendar work");
    EXPECT_FALSE(one(view.get(), "hero-dismiss"));

    // Loading before the first sync, even when the store needs attention.
    auto fresh = makeStore({}, false);
    auto loading = makeView(*fresh);
    EXPECT_EQ(heroKind(*loading), "hero-loading");
    EXPECT_FALSE(one(loading.get(), "today-list"));

    // Issue after a failed sync without meetings; no panel banner then.
    parts.calendarClient->eventsError = QStringLiteral("boom");
    auto failing = makeStore({});
    auto issue = makeView(*failing);
    EXPECT_EQ(heroKind(*issue), "hero-issue");
    EXPECT_EQ(named(issue.get(), "sync-issue-banner").size(), 1);

    // Empty after a good sync; only later days' meetings count for nothing.
    parts.calendarClient->eventsError.reset();
    auto quiet = makeStore({meeting("tomorrow", "work", nine.addDays(1), nine.addDays(1).addSecs(1800))});
    auto empty = makeView(*quiet);
    EXPECT_EQ(heroKind(*empty), "hero-empty");
    EXPECT_FALSE(one(empty.get(), "today-list"));
}

TEST_F(MenuBarViewTest, StartsInAndRemainingTextsAtTheirBoundaries)
{
    const CalendarEvent event = at("m", 0);
    const auto startsIn = [&](qint64 seconds) { return MenuBarHero::startsInText(event, nine.addSecs(-seconds)); };
    EXPECT_EQ(startsIn(59 * 60 + 59), "Starts in 59 min \u00B7 Calendar work");
    EXPECT_EQ(startsIn(60 * 60), "Starts in 1 h 0 min \u00B7 Calendar work");
    EXPECT_EQ(startsIn(125 * 60 + 30), "Starts in 2 h 5 min \u00B7 Calendar work");
    EXPECT_EQ(startsIn(30), "Starts in 0 min \u00B7 Calendar work");
    EXPECT_EQ(startsIn(-3 * 3600), "Starts in 0 min \u00B7 Calendar work");

    const auto remaining = [&](qint64 seconds) { return MenuBarHero::currentMeetDetail(event, event.endDate.addSecs(-seconds)); };
    EXPECT_EQ(remaining(40), "1 min left \u00B7 Calendar work");
    EXPECT_EQ(remaining(-5 * 3600), "1 min left \u00B7 Calendar work");
    EXPECT_EQ(remaining(90 * 60 + 59), "90 min left \u00B7 Calendar work");
    EXPECT_EQ(remaining(60 * 60), "60 min left \u00B7 Calendar work");

    useLanguage(QStringLiteral("ja_JP"));
    EXPECT_EQ(startsIn(60 * 60), AppL10n::format(QStringLiteral("starts_in_hours_minutes"), 1, 0) + " \u00B7 Calendar work");
}

TEST_F(MenuBarViewTest, TodayListShowsFiveRowsWithTheDaysCountAndTheirStates)
{
    parts.clock.set(nine.addSecs(65 * 60));
    auto store = makeStore({at("a", 0), at("b", 60, 30, "Launch checklist review with the whole team"), at("c", 120), at("d", 180), at("e", 240), at("f", 270), at("g", 300),
                            meeting("tomorrow", "work", nine.addDays(1), nine.addDays(1).addSecs(600))});
    auto view = makeView(*store);
    EXPECT_EQ(textOf(view.get(), "today-count"), "7 meetings");
    EXPECT_EQ(one<KVLabel>(view.get(), "today-label")->displayText(), "TODAY");
    const QList<QWidget *> rows = named(view.get(), "menu-row");
    ASSERT_EQ(rows.size(), 5);
    QStringList order;
    for (QWidget *row : rows)
        order << row->property("eventID").toString();
    EXPECT_EQ(order, (QStringList{"a", "b", "c", "d", "e"}));

    // Ended: struck through, faded, no join button, no chip.
    QWidget *ended = rows[0];
    EXPECT_TRUE(one<QLabel>(ended, "row-title")->font().strikeOut());
    EXPECT_DOUBLE_EQ(ended->property("contentOpacity").toDouble(), 0.55);
    // Faded by its colours: graphics effects do not nest inside other effects.
    EXPECT_TRUE(view->findChildren<QGraphicsEffect *>().isEmpty());
    EXPECT_FALSE(one(ended, "row-join"));
    // Current: green title, the in-meeting chip, an enabled join button.
    QWidget *current = rows[1];
    EXPECT_FALSE(one<QLabel>(current, "row-title")->font().strikeOut());
    EXPECT_EQ(textOf(current, "row-chip"), "In meeting");
    // The chip keeps its whole text beside a long title.
    EXPECT_GE(one(current, "row-chip")->width(), one(current, "row-chip")->sizeHint().width());
    EXPECT_DOUBLE_EQ(current->property("contentOpacity").toDouble(), 1);
    auto *join = one<QAbstractButton>(current, "row-join");
    ASSERT_TRUE(join);
    EXPECT_TRUE(join->isEnabled());
    EXPECT_EQ(join->toolTip(), AppL10n::text("join_account_chooser_help"));
    join->click();
    ASSERT_EQ(recorded.opened.size(), 1);
    EXPECT_EQ(recorded.opened.first(), store->todayMeetEvents()[1].joinURL());
    // Upcoming: no chip, join button.
    EXPECT_FALSE(one(rows[2], "row-chip"));
    EXPECT_TRUE(one(rows[2], "row-join"));
    // Times stand in one column wide enough for every short time.
    auto *time = one<QLabel>(rows[0], "row-time");
    EXPECT_EQ(time->text().replace(QChar(0x202F), u' '), "9:00 AM");
    EXPECT_GE(time->width(), QFontMetrics(time->font()).horizontalAdvance("12:58\u202FPM"));
}

TEST_F(MenuBarViewTest, ARowWithoutALinkHasADisabledJoinButtonWithItsHelp)
{
    CalendarEvent event = at("plain", 60);
    auto store = makeStore({event});
    // The store keeps Meet meetings only: take away the link after the sync.
    CalendarEvent linkless = store->todayMeetEvents().first();
    linkless.hangoutLink.reset();
    const MenuMeetRowModel model = MenuMeetRowModel::derive(linkless, nine, QTimeZone::utc());
    MenuMeetRow row(model, 44, recorded.actions().openURL);
    auto *join = one<QAbstractButton>(&row, "row-join");
    ASSERT_TRUE(join);
    EXPECT_FALSE(join->isEnabled());
    EXPECT_EQ(join->toolTip(), AppL10n::text("join_account_chooser_help"));
    // Start equal to end equal to now: ended, not current.
    CalendarEvent instant = at("instant", 0, 0);
    const MenuMeetRowModel zero = MenuMeetRowModel::derive(instant, nine, QTimeZone::utc());
    EXPECT_TRUE(zero.isEnded);
    EXPECT_FALSE(zero.isCurrent);
    const MenuMeetRowModel starting = MenuMeetRowModel::derive(at("s", 0), nine, QTimeZone::utc());
    EXPECT_TRUE(starting.isCurrent);
    EXPECT_FALSE(starting.isEnded);
}

TEST_F(MenuBarViewTest, HeaderBannersAndReconnectFollowTheStatuses)
{
    auto store = makeStore({at("m", 60)});
    auto view = makeView(*store);
    // Synced: success dot, the first account's e-mail is absent (no account), no banner.
    EXPECT_TRUE(textOf(view.get(), "status-line").startsWith("Synced"));
    EXPECT_FALSE(one(view.get(), "status-retry"));
    EXPECT_TRUE(named(view.get(), "sync-issue-banner").isEmpty());

    // A failed sync with meetings: retry in the header, the banner above the hero, no reconnect.
    parts.calendarClient->eventsError = QStringLiteral("network down");
    runTask(store->sync());
    settle();
    ASSERT_TRUE(one(view.get(), "status-retry"));
    ASSERT_EQ(named(view.get(), "sync-issue-banner").size(), 1);
    QWidget *banner = named(view.get(), "sync-issue-banner").first();
    QStringList buttons;
    for (auto *button : banner->findChildren<QAbstractButton *>())
        buttons << button->text();
    EXPECT_EQ(buttons, (QStringList{"Retry", "Send Feedback…"}));
    EXPECT_EQ(textOf(view.get(), "hero-chip"), "Next");

    // Reconnect required, but no OAuth client: the reconnect description without its button.
    parts.calendarClient->eventsError = QStringLiteral("invalid_grant: Token has been expired or revoked.");
    runTask(store->sync());
    settle();
    banner = named(view.get(), "sync-issue-banner").first();
    EXPECT_TRUE(banner->findChildren<QLabel *>().size() >= 2);
    QStringList labels;
    for (auto *label : banner->findChildren<QLabel *>())
        labels << label->text();
    EXPECT_TRUE(labels.contains(AppL10n::text("google_reconnect_description")));
    EXPECT_EQ(banner->findChildren<QAbstractButton *>().size(), 2);

    // With the client configured: retry, reconnect, feedback; each does its part.
    store->setGoogleClientID(QStringLiteral("client"));
    store->setGoogleClientSecret(QStringLiteral("secret"));
    settle();
    banner = named(view.get(), "sync-issue-banner").first();
    buttons.clear();
    for (auto *button : banner->findChildren<QAbstractButton *>())
        buttons << button->text();
    EXPECT_EQ(buttons, (QStringList{"Retry", "Reconnect Google", "Send Feedback…"}));
    banner->findChildren<QAbstractButton *>()[1]->click();
    banner->findChildren<QAbstractButton *>()[2]->click();
    EXPECT_EQ(recorded.reconnect, 1);
    EXPECT_EQ(recorded.feedback, 1);

    // Retry from the banner: the next sync succeeds and everything goes.
    parts.calendarClient->eventsError.reset();
    const int before = parts.calendarClient->calendarRequests;
    banner->findChildren<QAbstractButton *>()[0]->click();
    ASSERT_TRUE(waitUntil([&] { return store->syncStatus().kind() == AppStore::SyncStatus::Kind::synced; }));
    settle();
    EXPECT_GT(parts.calendarClient->calendarRequests, before);
    EXPECT_TRUE(named(view.get(), "sync-issue-banner").isEmpty());
    EXPECT_FALSE(one(view.get(), "status-retry"));
}

// A revoked sign-in in the panel's popup, 340 wide, in both languages: the hero's banner on a day
// without meetings and the panel's own banner above a card (on a day of one meeting) show their
// whole description and their three whole buttons.
TEST_F(MenuBarViewTest, TheReconnectBannerShowsAllOfItselfInThePopup)
{
    KV_REQUIRE(displayProblem());
    for (const QString language : {"en_US", "ja_JP"}) {
        useLanguage(language);
        for (const bool withMeetings : {false, true}) {
            const QString context = language + (withMeetings ? QStringLiteral(" above a card") : QStringLiteral(" in the hero"));
            parts.calendarClient->eventsError.reset();
            auto store = makeStore(withMeetings ? QList<CalendarEvent>{at("m", 60)} : QList<CalendarEvent>{});
            store->setGoogleClientID(QStringLiteral("client"));
            store->setGoogleClientSecret(QStringLiteral("secret"));
            parts.calendarClient->eventsError = QStringLiteral("invalid_grant: Token has been expired or revoked.");
            runTask(store->sync());
            ASSERT_TRUE(store->requiresGoogleReconnect());
            QPointer<MenuBarView> view;
            MenuBarTray tray([&] {
                view = new MenuBarView(*store, updates, recorded.actions());
                return view.data();
            });
            tray.showPanel();
            settle();
            ASSERT_TRUE(view);
            EXPECT_EQ(tray.panel()->width(), MenuBarView::panelWidth);
            EXPECT_EQ(tray.panel()->height(), tray.panel()->layout()->totalHeightForWidth(MenuBarView::panelWidth));
            EXPECT_EQ(view->height(), tray.panel()->height());
            const QList<QWidget *> banners = named(view.data(), "sync-issue-banner");
            ASSERT_EQ(banners.size(), 1) << context.toStdString();
            EXPECT_EQ(!one(view.data(), "hero-issue"), withMeetings);
            QStringList buttons;
            for (auto *button : banners.first()->findChildren<QAbstractButton *>())
                buttons << button->text();
            EXPECT_EQ(buttons, (QStringList{AppL10n::text("retry"), AppL10n::text("reconnect_google"), AppL10n::text("send_feedback")}));
            expectWholeBanner(tray.panel(), banners.first(), context);
            // The day's one meeting counts in the singular.
            if (withMeetings) {
                EXPECT_EQ(textOf(view.data(), "today-count"), language == u"en_US" ? QStringLiteral("1 meeting") : QStringLiteral("1 件の会議"));
            }
            tray.panel()->grab().save(artifact(QStringLiteral("panel-reconnect-") + language + (withMeetings ? "-card" : "")));
            tray.hidePanel();
        }
    }
}

TEST_F(MenuBarViewTest, UpdateBannerShowsTheVersionAsItsOneArgumentAndAsksForACheck)
{
    auto store = makeStore({});
    auto view = makeView(*store);
    EXPECT_FALSE(one(view.get(), "update-banner"));
    // A version that looks like a placeholder stays as it is.
    updates.setAvailableVersion(QStringLiteral("2.0 %1 <b>"));
    settle();
    EXPECT_EQ(textOf(view.get(), "update-title"), "Kestrivane 2.0 %1 <b> is available");
    EXPECT_EQ(one<QLabel>(view.get(), "update-title")->textFormat(), Qt::PlainText);
    int checks = 0;
    QObject context;
    AppNotificationCenter::defaultCenter().observe(AppNotificationCenter::checkForUpdates, &context, [&] { ++checks; });
    one<QAbstractButton>(view.get(), "update-banner")->click();
    EXPECT_EQ(checks, 1);
    updates.clearAvailableUpdate();
    settle();
    EXPECT_FALSE(one(view.get(), "update-banner"));

    // At the panel's width a usual version number and the second line fit whole in both languages.
    for (const QString language : {"en_US", "ja_JP"}) {
        useLanguage(language);
        auto panel = makeView(*store);
        panel->resize(MenuBarView::panelWidth, panel->heightForWidth(MenuBarView::panelWidth));
        updates.setAvailableVersion(QStringLiteral("2.10.1"));
        settle();
        QWidget *banner = one(panel.get(), "update-banner");
        ASSERT_TRUE(banner) << language.toStdString();
        for (auto *label : banner->findChildren<KVLabel *>())
            EXPECT_EQ(label->visibleLines(), QStringList{label->displayText()}) << language.toStdString();
        updates.clearAvailableUpdate();
    }
}

TEST_F(MenuBarViewTest, DismissingTheAlertRemovesTheCardUntilANewLeadTime)
{
    auto store = makeStore({at("m", 10)}, true, true);
    ASSERT_TRUE(waitUntil([&] { return store->activeMeetEvent().has_value(); }));
    auto view = makeView(*store);
    QPointer<QAbstractButton> dismiss = one<QAbstractButton>(view.get(), "hero-dismiss");
    ASSERT_TRUE(dismiss);
    // The store changes inside the click; the button outlives its own handler.
    dismiss->click();
    EXPECT_FALSE(store->activeMeetEvent());
    EXPECT_TRUE(dismiss);
    settle();
    EXPECT_FALSE(dismiss);
    EXPECT_EQ(textOf(view.get(), "hero-chip"), "Next");
    EXPECT_FALSE(one(view.get(), "hero-dismiss"));

    runTask(store->setNotificationLeadTime(900));
    ASSERT_TRUE(waitUntil([&] { return store->activeMeetEvent().has_value(); }));
    settle();
    EXPECT_EQ(textOf(view.get(), "hero-chip"), "Get ready");
    EXPECT_TRUE(one(view.get(), "hero-dismiss"));
}

TEST_F(MenuBarViewTest, FooterButtonsAndIdleRefreshes)
{
    auto store = makeStore({at("m", 60)});
    auto view = makeView(*store);
    one<QAbstractButton>(view.get(), "footer_today")->click();
    one<QAbstractButton>(view.get(), "footer_settings")->click();
    one<QAbstractButton>(view.get(), "footer_quit")->click();
    EXPECT_EQ(recorded.today, 1);
    EXPECT_EQ(recorded.settings, 1);
    EXPECT_EQ(recorded.quit, 1);
    const int before = parts.calendarClient->calendarRequests;
    one<QAbstractButton>(view.get(), "footer_sync")->click();
    ASSERT_TRUE(waitUntil([&] { return parts.calendarClient->calendarRequests == before + 1; }));
    ASSERT_TRUE(waitUntil([&] { return store->syncStatus().kind() == AppStore::SyncStatus::Kind::synced; }));
    settle();

    // A refresh that changes nothing rebuilds nothing: focus and hover survive.
    QWidget *join = one(view.get(), "hero-join");
    join->setFocus();
    const int builds = view->buildCount();
    store->refreshPresentationState();
    settle();
    EXPECT_EQ(view->buildCount(), builds);
    EXPECT_EQ(one(view.get(), "hero-join"), join);
    // A burst of changes is one refresh.
    parts.clock.advance(60s);
    for (int i = 0; i < 5; ++i)
        store->refreshPresentationState();
    settle();
    EXPECT_EQ(view->buildCount(), builds + 1); // the hero's minutes only
    EXPECT_EQ(textOf(view.get(), "hero-detail"), "Starts in 59 min \u00B7 Calendar work");
}

TEST_F(MenuBarViewTest, OpensWithNoButtonFocusedAndTabGoesDownTheScreen)
{
    auto store = makeStore({at("a", 60), at("b", 120), at("c", 180)});
    auto view = makeView(*store);
    view->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return view->isActiveWindow(); }));
    EXPECT_EQ(QApplication::focusWidget(), view.get());
    QList<QWidget *> order = tabSequence(view.get());
    ASSERT_GE(order.size(), 5);
    order.removeFirst();
    for (qsizetype i = 1; i < order.size(); ++i) {
        const QRect before(order[i - 1]->mapTo(view.get(), QPoint(0, 0)), order[i - 1]->size());
        const QRect after(order[i]->mapTo(view.get(), QPoint(0, 0)), order[i]->size());
        // Down the screen, or along the same line towards the trailing end.
        EXPECT_TRUE(after.top() > before.bottom() || (after.top() <= before.bottom() && after.left() > before.left()))
            << order[i - 1]->objectName().toStdString() << " before " << order[i]->objectName().toStdString();
    }
}

TEST_F(MenuBarViewTest, HostileCalendarTextsStayPlainAndInsideThePanel)
{
    const QString html = QStringLiteral("<b>Bold</b><img src=\"http://example.invalid/x.png\">&amp;");
    const QString longTitle = QString(2000, u'W');
    const QString rtl = QStringLiteral("اجتماع الفريق الأسبوعي \u202Eevil");
    const QString emoji = QStringLiteral("👩‍👩‍👧‍👦 Family sync 🎉");
    CalendarEvent hostile = at("a", 30, 30, html);
    hostile.calendarName = QStringLiteral("<i>cal</i>");
    auto store = makeStore({hostile, at("b", 60, 30, longTitle), at("c", 90, 30, rtl), at("d", 120, 30, emoji), at("e", 150, 30, " ")});
    store->setGoogleClientID(QString());
    auto view = makeView(*store);
    EXPECT_EQ(textOf(view.get(), "hero-title"), html);
    for (auto *label : view->findChildren<QLabel *>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    EXPECT_EQ(view->width(), MenuBarView::panelWidth);
    for (QWidget *row : named(view.get(), "menu-row")) {
        EXPECT_LE(row->geometry().right(), view->width());
        if (auto *join = one(row, "row-join")) {
            EXPECT_LE(join->mapTo(view.get(), QPoint(join->width(), 0)).x(), view->width());
        }
    }
    const QList<QWidget *> rows = named(view.get(), "menu-row");
    ASSERT_EQ(rows.size(), 5);
    auto *longLabel = one<KVLabel>(rows[1], "row-title");
    ASSERT_EQ(longLabel->visibleLines().size(), 1);
    EXPECT_TRUE(longLabel->visibleLines().first().endsWith(u'…'));
    view->grab().save(artifact("panel-hostile"));
}

TEST_F(MenuBarViewTest, LoadingAndEmptyStatesKeepTheirWholeTextInJapanese)
{
    useLanguage(QStringLiteral("ja_JP"));
    auto fresh = makeStore({}, false);
    auto loading = makeView(*fresh);
    auto quiet = makeStore({});
    auto empty = makeView(*quiet);
    for (QWidget *state : {one(loading.get(), "hero-loading"), one(empty.get(), "hero-empty")}) {
        ASSERT_TRUE(state);
        EXPECT_GE(state->height(), 118);
        for (auto *label : state->findChildren<KVLabel *>()) {
            EXPECT_EQ(label->visibleLines().join(QString()).remove(u' '), label->displayText().remove(u' '))
                << label->text().toStdString();
            EXPECT_LE(label->mapTo(state, QPoint(0, label->height())).y(), state->height());
        }
    }
}
