#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVGrouping.h"
#include "DesignSystem/KVStatus.h"
#include "DesignSystem/KVWindowChrome.h"
#include "Views/Today/TodayMeetView.h"
#include "app/Views/ViewTestSupport.h"

#include <QGraphicsEffect>
#include <QPointer>

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

namespace {

class TodayMeetViewTest : public ViewTest {
protected:
    std::unique_ptr<TodayMeetView> makeView(AppStore &store, bool show = true)
    {
        auto view = std::make_unique<TodayMeetView>(store, recorded.actions());
        if (show)
            view->show();
        settle();
        return view;
    }

    static QWidget *row(const QWidget *view, const QString &id)
    {
        for (QWidget *candidate : named(view, "today-row")) {
            if (candidate->property("eventID").toString() == id)
                return candidate;
        }
        return nullptr;
    }
};

const QDateTime nine = utc(2026, 3, 2, 9, 0);

} // namespace

TEST_F(TodayMeetViewTest, ContentFollowsTheFirstCaseThatHolds)
{
    // Loading before the first sync; the footer still counts 0.
    auto fresh = makeStore({}, false);
    auto loading = makeView(*fresh, false);
    EXPECT_EQ(loading->contentKind(), TodayMeetView::ContentKind::loading);
    EXPECT_EQ(textOf(loading.get(), "footer-count"), "0 meetings");

    // A failed sync without meetings: only the centred banner, at most 360 wide.
    parts.calendarClient->eventsError = QStringLiteral("boom");
    auto failing = makeStore({});
    auto issue = makeView(*failing);
    issue->resize(TodayMeetView::minimumWindowSize);
    settle();
    EXPECT_EQ(issue->contentKind(), TodayMeetView::ContentKind::issue);
    ASSERT_EQ(named(issue.get(), "sync-issue-banner").size(), 1);
    QWidget *centred = named(issue.get(), "sync-issue-banner").first();
    EXPECT_EQ(centred->width(), 360);
    // Its wrapped description keeps its whole height.
    for (auto *label : centred->findChildren<KVLabel *>())
        EXPECT_EQ(label->visibleLines().join(u' '), label->displayText()) << label->text().toStdString();
    EXPECT_GE(centred->height(), centred->heightForWidth(360));
    EXPECT_FALSE(one(issue.get(), "date-strap"));
    EXPECT_EQ(one<QLabel>(issue.get(), "status-line")->text(), failing->syncStatus().label());
    // Retry once Google answers again: the empty state.
    parts.calendarClient->eventsError.reset();
    named<QAbstractButton>(issue.get(), "sync-issue-banner").isEmpty();
    named(issue.get(), "sync-issue-banner").first()->findChildren<QAbstractButton *>().first()->click();
    ASSERT_TRUE(waitUntil([&] { return failing->syncStatus().kind() == AppStore::SyncStatus::Kind::synced; }));
    settle();
    EXPECT_EQ(issue->contentKind(), TodayMeetView::ContentKind::empty);
    // The empty state's description wraps within its 280 and keeps every line.
    for (auto *label : one(issue.get(), "today-empty")->findChildren<KVLabel *>()) {
        EXPECT_EQ(label->visibleLines().join(u' '), label->displayText()) << label->text().toStdString();
        EXPECT_GE(label->height(), label->heightForWidth(label->width()));
    }
    EXPECT_TRUE(named(issue.get(), "sync-issue-banner").isEmpty());

    // A failed sync with meetings: the banner above the strap and the whole list.
    auto store = makeStore({at("a", 0), at("b", 60)});
    auto view = makeView(*store);
    EXPECT_EQ(view->contentKind(), TodayMeetView::ContentKind::list);
    parts.calendarClient->eventsError = QStringLiteral("boom");
    runTask(store->sync());
    settle();
    EXPECT_EQ(named(view.get(), "sync-issue-banner").size(), 1);
    EXPECT_EQ(textOf(view.get(), "strap-date"), "Monday, March 2, 2026");
    EXPECT_EQ(textOf(view.get(), "strap-count"), "2 meetings with a Meet link");
    EXPECT_EQ(named(view.get(), "today-row").size(), 2);
    EXPECT_EQ(textOf(view.get(), "footer-count"), "2 meetings");
}

TEST_F(TodayMeetViewTest, RowsMarkTheCurrentAlertedAndNextMeetings)
{
    parts.clock.set(nine.addSecs(10 * 60));
    auto store = makeStore({at("ended", -60), at("current", 0), at("ready", 40), at("later", 120)});
    store->markMeetEventActive(store->todayMeetEvents()[2]);
    auto view = makeView(*store);
    // The meeting in progress is also the next one; the one after it is not.
    EXPECT_EQ(TodayMeetView::nextUpcomingEventID(store->todayMeetEvents(), store->presentationDate()), "current");
    EXPECT_EQ(row(view.get(), "current")->property("background").toString(), "successSoft");
    EXPECT_EQ(row(view.get(), "ready")->property("background").toString(), "bellSoft");
    EXPECT_EQ(row(view.get(), "later")->property("background").toString(), "");
    EXPECT_EQ(row(view.get(), "ended")->property("background").toString(), "");
    // Dividers between rows only.
    EXPECT_EQ(named<KVInsetDivider>(view.get(), QString()).size(), 3);

    // Trailing controls by state.
    QWidget *ended = row(view.get(), "ended");
    EXPECT_EQ(textOf(ended, "row-ended"), "Ended");
    EXPECT_FALSE(one(ended, "row-join"));
    EXPECT_TRUE(one<QLabel>(ended, "row-start")->font().strikeOut());
    EXPECT_TRUE(one<QLabel>(ended, "row-title")->font().strikeOut());
    EXPECT_FALSE(one<QLabel>(ended, "row-end")->font().strikeOut());
    EXPECT_DOUBLE_EQ(ended->property("contentOpacity").toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(one<KVStatusPill>(ended, "row-ended")->opacity(), 0.5);
    EXPECT_DOUBLE_EQ(row(view.get(), "current")->property("contentOpacity").toDouble(), 1);
    // Faded by its colours: a graphics effect inside the group box's own would draw nothing.
    for (QWidget *each : named(view.get(), "today-row"))
        EXPECT_TRUE(each->findChildren<QGraphicsEffect *>().isEmpty() && !each->graphicsEffect());

    auto *currentJoin = one<KVButton>(row(view.get(), "current"), "row-join");
    EXPECT_EQ(currentJoin->text(), "Join Now");
    EXPECT_EQ(currentJoin->style(), KVButton::Style::borderedProminent);
    EXPECT_EQ(textOf(row(view.get(), "current"), "row-chip"), "In meeting");
    auto *readyJoin = one<KVButton>(row(view.get(), "ready"), "row-join");
    EXPECT_EQ(readyJoin->text(), "Join");
    EXPECT_EQ(readyJoin->style(), KVButton::Style::borderedProminent);
    EXPECT_EQ(textOf(row(view.get(), "ready"), "row-chip"), "Coming up");
    auto *laterJoin = one<KVButton>(row(view.get(), "later"), "row-join");
    EXPECT_EQ(laterJoin->style(), KVButton::Style::bordered);
    EXPECT_FALSE(one(row(view.get(), "later"), "row-chip"));
    EXPECT_EQ(laterJoin->toolTip(), AppL10n::text("join_account_chooser_help"));
    laterJoin->click();
    ASSERT_EQ(recorded.opened.size(), 1);
    EXPECT_EQ(recorded.opened.first(), store->todayMeetEvents()[3].joinURL());

    // Once the current meeting is over the next one is the alerted one.
    parts.clock.set(nine.addSecs(35 * 60));
    store->refreshPresentationState();
    settle();
    EXPECT_EQ(row(view.get(), "ready")->property("background").toString(), "bellSoft");
    EXPECT_EQ(TodayMeetView::nextUpcomingEventID(store->todayMeetEvents(), store->presentationDate()), "ready");
    // A renamed meeting rebuilds its own row only; the others keep their widgets (focus, hover).
    QPointer<QWidget> kept = row(view.get(), "later");
    QPointer<QWidget> renamed = row(view.get(), "ended");
    parts.calendarClient->events[0].title = QStringLiteral("Renamed");
    runTask(store->sync());
    settle();
    EXPECT_EQ(row(view.get(), "later"), kept.data());
    EXPECT_FALSE(renamed);
    EXPECT_EQ(textOf(row(view.get(), "ended"), "row-title"), "Renamed");
    EXPECT_EQ(named(view.get(), "today-row").size(), 4);
    // When every meeting has ended none is next.
    EXPECT_FALSE(TodayMeetView::nextUpcomingEventID(store->todayMeetEvents(), nine.addDays(1)));
}

TEST_F(TodayMeetViewTest, RowFlagsCombineAsTheRowDecides)
{
    const CalendarEvent event = at("m", 0);
    const auto make = [&](bool ready, bool current, bool next, const QDateTime &now) {
        return TodayMeetRow(TodayMeetRowModel::derive(event, ready, current, next, now, QTimeZone::utc()), 64, {});
    };
    // Flagged current but already over: chip and tint stay, the trailing control is the ended chip.
    {
        auto row = make(false, true, false, event.endDate);
        EXPECT_EQ(row.property("background").toString(), "successSoft");
        EXPECT_EQ(textOf(&row, "row-chip"), "In meeting");
        EXPECT_TRUE(one(&row, "row-ended"));
    }
    // Current and ready: the in-meeting chip and "Join Now".
    {
        auto row = make(true, true, false, nine);
        EXPECT_EQ(textOf(&row, "row-chip"), "In meeting");
        EXPECT_EQ(textOf(&row, "row-join"), "Join Now");
    }
    // Next alone: tinted brandSoft, plain bordered join.
    {
        auto row = make(false, false, true, nine.addSecs(-3600));
        EXPECT_EQ(row.property("background").toString(), "brandSoft");
        EXPECT_EQ(one<KVButton>(&row, "row-join")->style(), KVButton::Style::bordered);
    }
    // A link-less meeting keeps its disabled button with the help.
    CalendarEvent linkless = event;
    linkless.hangoutLink.reset();
    TodayMeetRow row(TodayMeetRowModel::derive(linkless, false, false, false, nine.addSecs(-60), QTimeZone::utc()), 64, {});
    EXPECT_FALSE(one(&row, "row-join")->isEnabled());
    EXPECT_EQ(one(&row, "row-join")->toolTip(), AppL10n::text("join_account_chooser_help"));
}

TEST_F(TodayMeetViewTest, FirstShowSyncsOnceWhenIdleAndClosingNeverCancels)
{
    auto store = makeStore({at("m", 60)}, false);
    parts.calendarClient->holdCalls = true;
    auto view = makeView(*store, false);
    EXPECT_EQ(parts.calendarClient->calendarRequests, 0);
    view->show();
    settle();
    ASSERT_TRUE(waitUntil([&] { return parts.calendarClient->held() == 1; }));
    // Hidden and shown again (an un-minimise): no second sync.
    view->hide();
    view->show();
    settle();
    EXPECT_EQ(parts.calendarClient->calendarRequests, 1);
    // The window closes while the sync runs: the store finishes the pass.
    view.reset();
    parts.calendarClient->holdCalls = false;
    parts.calendarClient->release();
    ASSERT_TRUE(waitUntil([&] { return parts.calendarClient->held() == 0 && parts.calendarClient->eventRequests.size() == 1; }));
    parts.calendarClient->release();
    ASSERT_TRUE(waitUntil([&] { return store->syncStatus().kind() == AppStore::SyncStatus::Kind::synced; }));
    EXPECT_EQ(store->todayMeetEvents().size(), 1);

    // A new opening with the store synced starts none.
    auto again = makeView(*store);
    spin(50ms);
    EXPECT_EQ(parts.calendarClient->calendarRequests, 1);
    EXPECT_EQ(again->minimumSize(), TodayMeetView::minimumWindowSize);

    // Title bar: sync starts one more pass, settings asks for the window.
    one<QAbstractButton>(again.get(), "title-sync")->click();
    ASSERT_TRUE(waitUntil([&] { return parts.calendarClient->calendarRequests == 2; }));
    one<QAbstractButton>(again.get(), "title-settings")->click();
    EXPECT_EQ(recorded.settings, 1);
}

TEST_F(TodayMeetViewTest, HostileTitlesStayPlainInOneLine)
{
    const QString html = QStringLiteral("<script>alert(1)</script><b>x</b>");
    auto store = makeStore({at("a", 0, 30, html), at("b", 30, 30, QString(2000, u'x')), at("c", 60, 30, QStringLiteral("مرحبا 👋🏽")),
                            at("d", 90, 30, QString()), at("e", 120, 30, QStringLiteral("Line one\nLine two"))});
    auto view = makeView(*store);
    view->resize(TodayMeetView::minimumWindowSize);
    settle();
    EXPECT_EQ(textOf(row(view.get(), "a"), "row-title"), html);
    for (auto *label : view->findChildren<QLabel *>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    auto *longTitle = one<KVLabel>(row(view.get(), "b"), "row-title");
    EXPECT_EQ(longTitle->visibleLines().size(), 1);
    auto *join = one(row(view.get(), "b"), "row-join");
    EXPECT_LE(join->mapTo(view.get(), QPoint(join->width(), 0)).x(), view->width());
    // Line breaks: one line with spaces, whole where it fits.
    EXPECT_EQ(one<KVLabel>(row(view.get(), "e"), "row-title")->visibleLines(), QStringList{"Line one Line two"});
    view->grab().save(artifact("today-hostile"));
}

TEST_F(TodayMeetViewTest, TabGoesDownTheScreenFromTheTitleBar)
{
    auto store = makeStore({at("a", 60), at("b", 120)});
    auto view = makeView(*store);
    view->activateWindow();
    ASSERT_TRUE(waitUntil([&] { return view->isActiveWindow(); }));
    const QList<QWidget *> order = tabSequence(view.get());
    const QList<KVChromeIconButton *> chrome = view->findChildren<KVChromeIconButton *>();
    ASSERT_EQ(chrome.size(), 2);
    const qsizetype sync = order.indexOf(chrome[0]);
    const qsizetype settings = order.indexOf(chrome[1]);
    const qsizetype joinA = order.indexOf(one(row(view.get(), "a"), "row-join"));
    const qsizetype joinB = order.indexOf(one(row(view.get(), "b"), "row-join"));
    EXPECT_GE(sync, 0);
    EXPECT_LT(sync, settings);
    EXPECT_LT(settings, joinA);
    EXPECT_LT(joinA, joinB);
}
