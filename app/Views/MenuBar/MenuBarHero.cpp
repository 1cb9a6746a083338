#include "Views/MenuBar/MenuBarHero.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVStates.h"
#include "DesignSystem/KVStatus.h"
#include "Stores/AppStore.h"
#include "Support/AppL10n.h"
#include "Support/DateFormatting.h"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrivane {

namespace {

constexpr int heroStateHeight = 118;
constexpr int panelWidth = 340;
const QString separator = QStringLiteral(" \u00B7 ");

// Stable sort by start, strict less-than.
QList<CalendarEvent> sortedByStart(QList<CalendarEvent> events)
{
    std::stable_sort(events.begin(), events.end(),
                     [](const CalendarEvent &a, const CalendarEvent &b) { return a.startDate < b.startDate; });
    return events;
}

// The card's body: its top fades from `tintSoft` to clear over 70 % of its height.
class HeroCard : public QWidget {
public:
    explicit HeroCard(std::optional<KVColorRef> tintSoft, QWidget *parent = nullptr)
        : QWidget(parent), tintSoft_(std::move(tintSoft))
    {
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!tintSoft_)
            return;
        QPainter painter(this);
        const QColor soft = tintSoft_->resolve(this);
        QLinearGradient gradient(0, 0, 0, height());
        gradient.setColorAt(0, soft);
        gradient.setColorAt(0.7, withOpacity(soft, 0));
        gradient.setColorAt(1, withOpacity(soft, 0));
        painter.fillRect(rect(), gradient);
    }

private:
    std::optional<KVColorRef> tintSoft_;
};

KVLabel *namedLabel(const QString &name, const QString &text, const QFont &font, KVColorRef color, QWidget *parent)
{
    auto *label = new KVLabel(text, font, std::move(color), parent);
    label->setObjectName(name);
    return label;
}

QWidget *makeCard(const HeroModel &model, AppStore &store, const MeetingViewActions &actions)
{
    std::optional<KVColorRef> tintSoft;
    KVColorRef tint = KVColorRef::accent();
    if (model.kind == HeroModel::Kind::inMeeting) {
        tintSoft = KVColorRef(&KVPalette::successSoft);
        tint = KVColorRef(&KVPalette::success);
    } else if (model.kind == HeroModel::Kind::alert) {
        tintSoft = KVColorRef(&KVPalette::bellSoft);
    }
    auto *card = new HeroCard(tintSoft);
    card->setObjectName(QStringLiteral("hero-card"));
    auto *column = new QVBoxLayout(card);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(9);

    auto *head = new QHBoxLayout;
    head->setSpacing(7);
    auto *chip = new KVStatusPill(model.chipText, model.chipSymbol, model.chipTone, card);
    chip->setObjectName(QStringLiteral("hero-chip"));
    // The chip keeps its whole text; the title gives way.
    chip->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    head->addWidget(chip);
    auto *subtitle = namedLabel(QStringLiteral("hero-subtitle"), model.subtitle, KVFont::system(11), KVColorRef(&KVPalette::text3), card);
    head->addWidget(subtitle, 1);
    column->addLayout(head);

    column->addWidget(namedLabel(QStringLiteral("hero-title"), model.title, KVFont::system(15, KVFont::Weight::semibold),
                                 KVColorRef(&KVPalette::text1), card));
    column->addWidget(namedLabel(QStringLiteral("hero-detail"), model.detail, KVFont::system(12), KVColorRef(&KVPalette::text3), card));

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    const std::optional<QUrl> link = model.joinURL;
    auto *join = new KVButton(model.buttonTitle, KVButton::Style::borderedProminent, [link, open = actions.openURL] {
        if (link && open)
            open(*link);
    }, card);
    join->setObjectName(QStringLiteral("hero-join"));
    join->setSymbol(QStringLiteral("video.fill"));
    join->setTint(tint);
    join->setExpanding(true);
    join->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    join->setEnabled(link.has_value());
    join->setHelp(AppL10n::text(QStringLiteral("join_account_chooser_help")));
    buttons->addWidget(join, 1);
    if (model.kind == HeroModel::Kind::alert) {
        QPointer<AppStore> target(&store);
        auto *dismiss = new KVButton(QString(), KVButton::Style::bordered, [target] {
            if (target)
                target->dismissActiveMeetEvent();
        }, card);
        dismiss->setObjectName(QStringLiteral("hero-dismiss"));
        dismiss->setSymbol(QStringLiteral("checkmark"));
        dismiss->setHelp(AppL10n::text(QStringLiteral("dismiss")));
        dismiss->setMinimumSize(22, 22);
        buttons->addWidget(dismiss);
    }
    column->addLayout(buttons);
    return card;
}

} // namespace

MenuBarMeetings MenuBarMeetings::derive(const AppStore &store, const QDateTime &now, const QTimeZone &zone)
{
    MenuBarMeetings result;
    QList<CalendarEvent> today;
    for (const CalendarEvent &event : store.todayMeetEvents()) {
        if (event.startsOnSameDayAs(now, zone))
            today.append(event);
    }
    result.menuEvents = sortedByStart(std::move(today));
    QList<CalendarEvent> future;
    for (const CalendarEvent &event : store.upcomingMeetEvents()) {
        if (event.startDate > now && event.startsOnSameDayAs(now, zone))
            future.append(event);
    }
    result.futureEvents = sortedByStart(std::move(future));
    result.isAwaitingInitialSync = !store.hasCompletedInitialSync() && result.menuEvents.isEmpty();
    return result;
}

namespace MenuBarHero {

QString startsInText(const CalendarEvent &event, const QDateTime &now)
{
    const qint64 minutes = std::max<qint64>(0, now.msecsTo(event.startDate) / 1000 / 60);
    const QString text = minutes >= 60
                             ? AppL10n::format(QStringLiteral("starts_in_hours_minutes"), minutes / 60, minutes % 60)
                             : AppL10n::format(QStringLiteral("starts_in_minutes"), minutes);
    return text + separator + event.calendarName;
}

QString currentMeetDetail(const CalendarEvent &event, const QDateTime &now)
{
    const qint64 minutes = std::max<qint64>(1, now.msecsTo(event.endDate) / 1000 / 60);
    return AppL10n::format(QStringLiteral("current_meet_remaining_minutes"), minutes) + separator + event.calendarName;
}

} // namespace MenuBarHero

HeroModel HeroModel::derive(const AppStore &store, const MenuBarMeetings &meetings, const QDateTime &now, const QTimeZone &zone)
{
    HeroModel model;
    std::optional<CalendarEvent> featured;
    if (store.currentMeetEvent()) {
        featured = store.currentMeetEvent();
        model.kind = Kind::inMeeting;
        model.chipText = AppL10n::text(QStringLiteral("in_meeting"));
        model.chipSymbol = QStringLiteral("video.fill");
        model.chipTone = KVStatusTone::success;
        model.detail = MenuBarHero::currentMeetDetail(*featured, now);
        model.buttonTitle = AppL10n::text(QStringLiteral("join_current_meet"));
    } else if (store.activeMeetEvent()) {
        featured = store.activeMeetEvent();
        model.kind = Kind::alert;
        model.chipText = AppL10n::readinessText(*featured, now);
        model.chipSymbol = QStringLiteral("bell.fill");
        model.chipTone = KVStatusTone::bell;
        model.detail = featured->calendarName;
        model.buttonTitle = AppL10n::text(QStringLiteral("join_meet"));
    } else if (!meetings.futureEvents.isEmpty()) {
        featured = meetings.futureEvents.first();
        model.kind = Kind::next;
        model.chipText = AppL10n::text(QStringLiteral("next_meet"));
        model.chipSymbol = QStringLiteral("clock");
        model.chipTone = KVStatusTone::accent;
        model.detail = MenuBarHero::startsInText(*featured, now);
        model.buttonTitle = AppL10n::text(QStringLiteral("join_meet"));
    } else if (meetings.isAwaitingInitialSync) {
        model.kind = Kind::loading;
    } else if (store.requiresUserAttention()) {
        model.kind = Kind::issue;
        model.issue = syncIssueModel(store);
    } else {
        model.kind = Kind::empty;
    }
    if (featured) {
        model.subtitle = DateFormatting::eventTime().string(featured->startDate, zone);
        model.title = featured->title;
        model.joinURL = featured->joinURL();
    }
    return model;
}

void fitStateToHeight(QWidget *state, int width, int height)
{
    // The state gives up its vertical padding first when it is resized; what its texts still
    // need beyond `height` makes it taller instead of cut.
    QLayout *layout = state->layout();
    if (!layout)
        return;
    const QMargins margins = layout->contentsMargins();
    layout->setContentsMargins(margins.left(), 0, margins.right(), 0);
    layout->invalidate();
    const int needed = layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : layout->totalSizeHint().height();
    layout->setContentsMargins(margins);
    state->setFixedHeight(std::max(height, needed));
}

QWidget *makeHeroSection(const HeroModel &model, AppStore &store, const MeetingViewActions &actions)
{
    switch (model.kind) {
    case HeroModel::Kind::inMeeting:
    case HeroModel::Kind::alert:
    case HeroModel::Kind::next:
        return makeCard(model, store, actions);
    case HeroModel::Kind::loading: {
        auto *state = new KVLoadingState(AppL10n::text(QStringLiteral("loading_meet_events")),
                                         AppL10n::text(QStringLiteral("loading_meet_events_description")));
        state->setObjectName(QStringLiteral("hero-loading"));
        fitStateToHeight(state, panelWidth, heroStateHeight);
        return state;
    }
    case HeroModel::Kind::issue: {
        auto *holder = new QWidget;
        holder->setObjectName(QStringLiteral("hero-issue"));
        auto *layout = new QVBoxLayout(holder);
        layout->setContentsMargins(10, 0, 10, 8);
        layout->addWidget(makeSyncIssueBanner(model.issue, store, actions));
        return holder;
    }
    case HeroModel::Kind::empty: break;
    }
    auto *state = new KVEmptyState(AppL10n::text(QStringLiteral("no_more_meets_today")),
                                   AppL10n::text(QStringLiteral("clear_until_tomorrow")), QStringLiteral("cup.and.saucer"));
    state->setObjectName(QStringLiteral("hero-empty"));
    fitStateToHeight(state, panelWidth, heroStateHeight);
    return state;
}

} // namespace kestrivane
