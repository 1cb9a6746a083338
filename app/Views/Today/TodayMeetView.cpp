#include "Views/Today/TodayMeetView.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVGrouping.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVStates.h"
#include "DesignSystem/KVStatus.h"
#include "DesignSystem/KVViewSupport.h"
#include "DesignSystem/KVWindowChrome.h"
#include "Stores/AppStore.h"
#include "Support/AppL10n.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrivane {

namespace {

QVBoxLayout *addSection(QVBoxLayout *root, int stretch = 0)
{
    auto *section = new QVBoxLayout;
    section->setContentsMargins(0, 0, 0, 0);
    section->setSpacing(0);
    root->addLayout(section, stretch);
    return section;
}

// The footer: surface at 0.6.
class FooterBar : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), withOpacity(kvPalette(this).surface, 0.6));
    }
};

} // namespace

TodayMeetView::TodayMeetView(AppStore &store, MeetingViewActions actions, QWidget *parent)
    : QWidget(parent), store_(&store), actions_(actions.withDefaults()), deferred_(new KVDeferredRefresh(this, [this] { refresh(); }))
{
    setObjectName(QStringLiteral("today-meets-view"));
    setMinimumSize(minimumWindowSize);
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto *chrome = new QWidget;
    auto *chromeRow = new QHBoxLayout(chrome);
    chromeRow->setContentsMargins(0, 0, 0, 0);
    chromeRow->setSpacing(4);
    QPointer<AppStore> target(&store);
    auto *sync = new KVChromeIconButton(QStringLiteral("arrow.clockwise"), AppL10n::text(QStringLiteral("sync_now")), [target] {
        if (target)
            startSync(*target);
    });
    sync->setObjectName(QStringLiteral("title-sync"));
    chromeRow->addWidget(sync);
    auto *settings = new KVChromeIconButton(QStringLiteral("gearshape"), AppL10n::text(QStringLiteral("settings")),
                                            actions_.openSettings);
    settings->setObjectName(QStringLiteral("title-settings"));
    chromeRow->addWidget(settings);
    root->addWidget(new KVTitleBar(AppL10n::text(QStringLiteral("today_meets_title")), chrome));

    content_ = addSection(root, 1);
    root->addWidget(new KVRule(Qt::Horizontal, KVColorRef(&KVPalette::divider), this));
    footer_ = addSection(root);

    deferred_->follow(&store, &AppStore::changed);
    refresh();
}

TodayMeetView::~TodayMeetView() = default;

std::optional<QString> TodayMeetView::nextUpcomingEventID(const QList<CalendarEvent> &events, const QDateTime &now)
{
    for (const CalendarEvent &event : events) {
        if (event.endDate > now)
            return event.id;
    }
    return std::nullopt;
}

void TodayMeetView::refresh()
{
    if (!store_)
        return;
    AppStore &store = *store_;
    const int builds = buildCount_;
    const QDateTime now = store.presentationDate();
    const QTimeZone zone = QTimeZone::systemTimeZone();
    QList<CalendarEvent> events = store.todayMeetEvents();
    std::stable_sort(events.begin(), events.end(),
                     [](const CalendarEvent &a, const CalendarEvent &b) { return a.startDate < b.startDate; });
    const QString count = AppL10n::format(QStringLiteral("meetings_count_short"), events.size());

    ContentKind kind = ContentKind::list;
    std::optional<SyncIssueModel> issue;
    if (!store.hasCompletedInitialSync() && events.isEmpty())
        kind = ContentKind::loading;
    else if (store.requiresUserAttention() && events.isEmpty())
        kind = ContentKind::issue;
    else if (events.isEmpty())
        kind = ContentKind::empty;
    if (kind == ContentKind::issue)
        issue = syncIssueModel(store);
    if (shownKind_ != kind || (kind == ContentKind::issue && shownIssue_ != issue))
        showContent(kind, issue);

    if (kind == ContentKind::list) {
        ListModel list;
        if (store.requiresUserAttention())
            list.banner = syncIssueModel(store);
        list.date = AppL10n::formatDate(now, DateFormatter::Style::Full, DateFormatter::Style::None);
        list.count = AppL10n::format(QStringLiteral("meetings_count_accessibility"), events.size());
        const std::optional<QString> next = nextUpcomingEventID(events, now);
        const std::optional<CalendarEvent> &active = store.activeMeetEvent();
        const std::optional<CalendarEvent> &current = store.currentMeetEvent();
        for (const CalendarEvent &event : std::as_const(events)) {
            list.rows.append(TodayMeetRowModel::derive(event, active && active->id == event.id, current && current->id == event.id,
                                                       next && *next == event.id, now, zone));
        }
        if (shownList_ != list)
            buildList(list);
    }

    const KVStatusTone tone = syncTone(store.syncStatus());
    const FooterModel footer{tone, store.syncStatus().label(), count};
    if (shownFooter_ != footer)
        buildFooter(footer);
    if (buildCount_ != builds)
        orderTabFocusByLayout(this);
}

void TodayMeetView::showContent(ContentKind kind, const std::optional<SyncIssueModel> &issue)
{
    shownKind_ = kind;
    shownIssue_ = issue;
    shownList_.reset();
    ++buildCount_;
    clearLayout(content_);
    scroll_ = nullptr;
    listBanner_ = listStrap_ = listRows_ = nullptr;
    switch (kind) {
    case ContentKind::loading: {
        auto *state = new KVLoadingState(AppL10n::text(QStringLiteral("loading_meet_events")),
                                         AppL10n::text(QStringLiteral("loading_meet_events_description")), this);
        state->setObjectName(QStringLiteral("today-loading"));
        content_->addWidget(state);
        return;
    }
    case ContentKind::issue: {
        auto *holder = new QWidget(this);
        holder->setObjectName(QStringLiteral("today-issue"));
        auto *layout = new QVBoxLayout(holder);
        layout->setContentsMargins(20, 20, 20, 20);
        layout->addStretch(1);
        // Centred at most 360 wide; through stretches, not an alignment, so its wrapped texts
        // keep their height.
        auto *row = new QHBoxLayout;
        row->addStretch(1);
        QWidget *banner = makeSyncIssueBanner(*issue, *store_, actions_);
        banner->setMaximumWidth(360);
        banner->setSizePolicy(QSizePolicy::Expanding, banner->sizePolicy().verticalPolicy());
        row->addWidget(banner, 100);
        row->addStretch(1);
        layout->addLayout(row);
        layout->addStretch(1);
        content_->addWidget(holder);
        return;
    }
    case ContentKind::empty: {
        auto *state = new KVEmptyState(AppL10n::text(QStringLiteral("no_meet_events_today")),
                                       AppL10n::text(QStringLiteral("no_meet_events_today_description")),
                                       QStringLiteral("cup.and.saucer"), this);
        state->setObjectName(QStringLiteral("today-empty"));
        content_->addWidget(state);
        return;
    }
    case ContentKind::list: break;
    }
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("today-list"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(10);
    listBanner_ = addSection(column);
    listStrap_ = addSection(column);
    listRows_ = addSection(column);
    column->addStretch(1);
    scroll->setWidget(page);
    // QScrollArea fills its widget with the application palette; the view paints the window colour.
    page->setAutoFillBackground(false);
    scroll_ = scroll;
    content_->addWidget(scroll);
}

void TodayMeetView::buildList(const ListModel &model)
{
    const std::optional<ListModel> previous = std::move(shownList_);
    shownList_ = model;
    QWidget *page = scroll_ ? scroll_->widget() : nullptr;
    if (!page)
        return;
    if (!previous || previous->banner != model.banner) {
        ++buildCount_;
        clearLayout(listBanner_);
        listBanner_->setContentsMargins(0, 0, 0, 0);
        if (model.banner)
            listBanner_->addWidget(makeSyncIssueBanner(*model.banner, *store_, actions_));
    }
    if (!previous || previous->date != model.date || previous->count != model.count) {
        ++buildCount_;
        clearLayout(listStrap_);
        auto *strap = new QWidget(page);
        strap->setObjectName(QStringLiteral("date-strap"));
        auto *texts = new QVBoxLayout(strap);
        texts->setContentsMargins(4, 0, 4, 0);
        texts->setSpacing(3);
        auto *date = new KVLabel(model.date, KVFont::system(17, KVFont::Weight::semibold), KVColorRef(&KVPalette::text1), strap);
        date->setObjectName(QStringLiteral("strap-date"));
        texts->addWidget(date);
        auto *count = new KVLabel(model.count, KVFont::system(12), KVColorRef(&KVPalette::text3), strap);
        count->setObjectName(QStringLiteral("strap-count"));
        texts->addWidget(count);
        listStrap_->addWidget(strap);
    }
    if (!previous || previous->rows != model.rows)
        buildRows(previous ? previous->rows : QList<TodayMeetRowModel>(), model.rows, page);
}

void TodayMeetView::buildRows(const QList<TodayMeetRowModel> &previous, const QList<TodayMeetRowModel> &rows, QWidget *page)
{
    const int timeWidth = shortTimeColumnWidth(KVFont::system(13, KVFont::Weight::medium), 64);
    // The same meetings in the same order: only the rows that changed are built again.
    auto *group = listRows_->count() == 1 ? qobject_cast<KVGroupBox *>(listRows_->itemAt(0)->widget()) : nullptr;
    const auto sameMeetings = [&] {
        if (previous.size() != rows.size() || !group)
            return false;
        for (qsizetype index = 0; index < rows.size(); ++index) {
            if (previous[index].id != rows[index].id)
                return false;
        }
        return true;
    };
    if (sameMeetings()) {
        for (qsizetype index = 0; index < rows.size(); ++index) {
            if (previous[index] == rows[index])
                continue;
            ++buildCount_;
            // Rows stand at every other place after the first: row, divider, row, ...
            QLayoutItem *item = group->rows()->itemAt(index == 0 ? 0 : int(index) * 2);
            QWidget *old = item ? item->widget() : nullptr;
            if (!old)
                continue;
            auto *replacement = new TodayMeetRow(rows[index], timeWidth, actions_.openURL);
            delete group->rows()->replaceWidget(old, replacement);
            replacement->setParent(group);
            replacement->show();
            old->hide();
            old->deleteLater();
        }
        return;
    }
    ++buildCount_;
    clearLayout(listRows_);
    group = new KVGroupBox(page);
    group->setObjectName(QStringLiteral("today-group"));
    bool first = true;
    for (const TodayMeetRowModel &row : rows) {
        if (!first)
            group->addRow(new KVInsetDivider(timeWidth + 28, 14));
        first = false;
        group->addRow(new TodayMeetRow(row, timeWidth, actions_.openURL));
    }
    listRows_->addWidget(group);
}

void TodayMeetView::buildFooter(const FooterModel &model)
{
    shownFooter_ = model;
    ++buildCount_;
    clearLayout(footer_);
    auto *bar = new FooterBar(this);
    bar->setObjectName(QStringLiteral("today-footer"));
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(8);
    auto *dot = new KVStatusDot(KVColorRef::toneForeground(model.tone), model.tone == KVStatusTone::accent, bar);
    dot->setObjectName(QStringLiteral("status-dot"));
    row->addWidget(dot);
    auto *status = new KVLabel(model.statusText, KVFont::system(11),
                               model.tone == KVStatusTone::danger ? KVColorRef(&KVPalette::danger) : KVColorRef(&KVPalette::text3), bar);
    status->setObjectName(QStringLiteral("status-line"));
    row->addWidget(status, 1);
    auto *count = new KVLabel(model.count, KVFont::system(11), KVColorRef(&KVPalette::text3), bar);
    count->setObjectName(QStringLiteral("footer-count"));
    count->setElideMode(Qt::ElideNone);
    row->addWidget(count);
    footer_->addWidget(bar);
}

void TodayMeetView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), kvPalette(this).window);
}

void TodayMeetView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Once per opening (the view lives as long as its window), not on a later show such as an
    // un-minimise; only when the store is idle.
    if (appeared_)
        return;
    appeared_ = true;
    if (store_ && store_->syncStatus().kind() == AppStore::SyncStatus::Kind::idle)
        startSync(*store_);
}

} // namespace kestrivane
