#pragma once

#include "Models/CalendarModels.h"
#include "Views/Shared/MeetingViewSupport.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimeZone>
#include <QUrl>

#include <optional>

class QWidget;

namespace kestrivane {

class AppStore;

// What the panel derives from the store at one instant: the meetings of the day it lists and
// the meetings that start later today.
struct MenuBarMeetings {
    // The today list's meetings: store.todayMeetEvents() that start on the day of `now`, in start order.
    QList<CalendarEvent> menuEvents;
    // store.upcomingMeetEvents() that start after `now` on the same day, in start order.
    QList<CalendarEvent> futureEvents;
    bool isAwaitingInitialSync = false;

    static MenuBarMeetings derive(const AppStore &store, const QDateTime &now, const QTimeZone &zone);
};

namespace MenuBarHero {

// "Starts in …" for a meeting `now`, in whole minutes (hours and minutes from 60 on), then the calendar.
QString startsInText(const CalendarEvent &event, const QDateTime &now);
// "… min left" for the meeting in progress (at least 1), then the calendar.
QString currentMeetDetail(const CalendarEvent &event, const QDateTime &now);

} // namespace MenuBarHero

// The hero section's content as plain values, compared to decide whether to rebuild it.
struct HeroModel {
    enum class Kind { inMeeting, alert, next, loading, issue, empty };
    Kind kind = Kind::empty;
    QString chipText;
    QString chipSymbol;
    KVStatusTone chipTone = KVStatusTone::neutral;
    QString subtitle;
    QString title;
    QString detail;
    QString buttonTitle;
    std::optional<QUrl> joinURL;
    SyncIssueModel issue;

    bool isCard() const { return kind == Kind::inMeeting || kind == Kind::alert || kind == Kind::next; }
    friend bool operator==(const HeroModel &, const HeroModel &) = default;

    // The first case that holds: in meeting, alert, next, loading, issue, empty.
    static HeroModel derive(const AppStore &store, const MenuBarMeetings &meetings, const QDateTime &now, const QTimeZone &zone);
};

// The hero section of `model`: a card, or the loading, issue or empty state (118 high, never cut).
QWidget *makeHeroSection(const HeroModel &model, AppStore &store, const MeetingViewActions &actions);

// Gives a loading or empty state the height `height` at `width`, or more when its texts need more
// without padding: a text is never cut.
void fitStateToHeight(QWidget *state, int width, int height);

} // namespace kestrivane
