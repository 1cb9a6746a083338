#include "Views/MenuBar/MenuBarView.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVGrouping.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVStatus.h"
#include "DesignSystem/KVSymbols.h"
#include "DesignSystem/KVViewSupport.h"
#include "Stores/AppStore.h"
#include "Support/AppL10n.h"
#include "Support/AppNotificationCenter.h"
#include "Support/UpdateStatusStore.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace kestrivane {

namespace {

QVBoxLayout *addSection(QVBoxLayout *root)
{
    auto *section = new QVBoxLayout;
    section->setContentsMargins(0, 0, 0, 0);
    section->setSpacing(0);
    root->addLayout(section);
    return section;
}

// The update card: the whole card is one button that asks for an update check.
class UpdateBannerButton : public QAbstractButton {
public:
    UpdateBannerButton(const QString &title, QWidget *parent = nullptr) : QAbstractButton(parent)
    {
        setObjectName(QStringLiteral("update-banner"));
        setText(title);
        setAccessibleName(title);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::TabFocus);
        attachKeyboardFocusRing(this, 10);
        pressOnReturn(this);
        auto *row = new QHBoxLayout(this);
        row->setContentsMargins(12, 10, 12, 10);
        row->setSpacing(10);
        auto *icon = new KVSymbol(QStringLiteral("sparkles"), 13, KVColorRef::accent(), KVFont::Weight::semibold, this);
        icon->setBoxSize(QSize(22, 22));
        icon->setObjectName(QStringLiteral("update-icon"));
        row->addWidget(icon);
        auto *texts = new QVBoxLayout;
        texts->setSpacing(2);
        auto *titleLabel = new KVLabel(title, KVFont::system(12, KVFont::Weight::semibold), KVColorRef(&KVPalette::text1), this);
        titleLabel->setObjectName(QStringLiteral("update-title"));
        texts->addWidget(titleLabel);
        texts->addWidget(new KVLabel(AppL10n::text(QStringLiteral("update_available_body")), KVFont::system(10),
                                     KVColorRef(&KVPalette::text3), this));
        row->addLayout(texts, 1);
        auto *action = new KVLabel(AppL10n::text(QStringLiteral("update_action")), KVFont::system(11, KVFont::Weight::semibold),
                                   KVColorRef::accent(), this);
        action->setElideMode(Qt::ElideNone);
        row->addWidget(action);
        for (QWidget *child : findChildren<QWidget *>())
            child->setAttribute(Qt::WA_TransparentForMouseEvents);
    }

    QSize sizeHint() const override { return layout()->sizeHint(); }
    QSize minimumSizeHint() const override { return layout()->minimumSize(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const KVPalette &colors = kvPalette(this);
        QPainterPath card;
        card.addRoundedRect(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), 10, 10);
        painter.fillPath(card, withOpacity(isDown() ? pressedColor(colors.brandSoft, colorScheme(this)) : colors.brandSoft, 0.85));
        painter.setPen(QPen(withOpacity(colors.accent(), 0.18), 0.5));
        painter.drawPath(card);
        if (auto *icon = findChild<QWidget *>(QStringLiteral("update-icon"))) {
            QPainterPath tile;
            tile.addRoundedRect(QRectF(icon->geometry()), 6, 6);
            painter.fillPath(tile, colors.brandSoft);
        }
    }
};

// The footer: the buttons on surface at 0.6 under a hairline.
class Footer : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const KVPalette &colors = kvPalette(this);
        QPainterPath area;
        area.addRect(QRectF(rect()));
        // Inside the panel's rounded corners when it is translucent.
        if (QWidget *panel = parentWidget(); panel && window()->testAttribute(Qt::WA_TranslucentBackground)) {
            QPainterPath rounded;
            rounded.addRoundedRect(QRectF(QRect(mapFrom(panel, QPoint(0, 0)), panel->size())), KVDesign::popoverCornerRadius,
                                   KVDesign::popoverCornerRadius);
            area = area.intersected(rounded);
            painter.setRenderHint(QPainter::Antialiasing);
        }
        painter.fillPath(area, withOpacity(colors.surface, 0.6));
        painter.fillRect(QRect(0, 0, width(), 1), withOpacity(colors.divider, 0.5));
    }
};

} // namespace

MenuBarView::MenuBarView(AppStore &store, UpdateStatusStore &updateStatus, MeetingViewActions actions, QWidget *parent)
    : QWidget(parent)
    , store_(&store)
    , updateStatus_(&updateStatus)
    , actions_(actions.withDefaults())
    , deferred_(new KVDeferredRefresh(this, [this] { refresh(); }))
{
    setObjectName(QStringLiteral("menu-bar-view"));
    setFixedWidth(panelWidth);
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    header_ = addSection(root);
    issueBanner_ = addSection(root);
    hero_ = addSection(root);
    list_ = addSection(root);
    updateBanner_ = addSection(root);
    root->addWidget(makeFooter());
    keepChildrenInLayoutOrder(this);

    deferred_->follow(&store, &AppStore::changed);
    deferred_->follow(&updateStatus, &UpdateStatusStore::changed);
    refresh();
}

MenuBarView::~MenuBarView() = default;

QSize MenuBarView::sizeHint() const
{
    return {panelWidth, hasHeightForWidth() ? heightForWidth(panelWidth) : QWidget::sizeHint().height()};
}

void MenuBarView::refresh()
{
    if (!store_ || !updateStatus_)
        return;
    AppStore &store = *store_;
    const int builds = buildCount_;
    const QDateTime now = store.presentationDate();
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const MenuBarMeetings meetings = MenuBarMeetings::derive(store, now, zone);

    HeaderModel header;
    header.tone = syncTone(store.syncStatus());
    header.statusText = store.syncStatus().label();
    header.failed = header.tone == KVStatusTone::danger;
    if (!header.failed && !store.googleAccounts().isEmpty())
        header.email = store.googleAccounts().first().email;
    if (shownHeader_ != header)
        buildHeader(header);

    std::optional<SyncIssueModel> banner;
    if (store.requiresUserAttention() && !meetings.menuEvents.isEmpty())
        banner = syncIssueModel(store);
    if (shownIssueBanner_ != banner)
        buildIssueBanner(banner);

    const HeroModel hero = HeroModel::derive(store, meetings, now, zone);
    if (shownHero_ != hero)
        buildHero(hero);

    // The list only under a featured meeting, and only with meetings of the day.
    std::optional<ListModel> list;
    if (hero.isCard() && !meetings.isAwaitingInitialSync && !meetings.menuEvents.isEmpty()) {
        list = ListModel{meetings.menuEvents.size(), {}};
        for (qsizetype index = 0; index < std::min<qsizetype>(listedMeetings, meetings.menuEvents.size()); ++index)
            list->rows.append(MenuMeetRowModel::derive(meetings.menuEvents.at(index), now, zone));
    }
    if (shownList_ != list)
        buildList(list);

    std::optional<QString> update;
    if (const std::optional<QString> version = updateStatus_->availableVersion())
        update = AppL10n::format(QStringLiteral("update_available_version"), *version);
    if (shownUpdateBanner_ != update)
        buildUpdateBanner(update);
    if (buildCount_ != builds)
        orderTabFocusByLayout(this);
}

void MenuBarView::buildHeader(const HeaderModel &model)
{
    shownHeader_ = model;
    ++buildCount_;
    clearLayout(header_);
    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("status-header"));
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(14, 9, 14, 5);
    row->setSpacing(8);
    auto *dot = new KVStatusDot(KVColorRef::toneForeground(model.tone), model.tone == KVStatusTone::accent, bar);
    dot->setObjectName(QStringLiteral("status-dot"));
    row->addWidget(dot);
    auto *status = new KVLabel(model.statusText, KVFont::system(11),
                               model.failed ? KVColorRef(&KVPalette::danger) : KVColorRef(&KVPalette::text3), bar);
    status->setObjectName(QStringLiteral("status-line"));
    row->addWidget(status, 1);
    if (model.failed) {
        QPointer<AppStore> target = store_;
        auto *retry = new KVButton(AppL10n::text(QStringLiteral("retry")), KVButton::Style::plain, [target] {
            if (target)
                startSync(*target);
        }, bar);
        retry->setObjectName(QStringLiteral("status-retry"));
        retry->setLabelFont(KVFont::system(11, KVFont::Weight::medium));
        row->addWidget(retry);
    } else if (model.email) {
        auto *email = new KVLabel(*model.email, KVFont::system(11), KVColorRef(&KVPalette::text4), bar);
        email->setObjectName(QStringLiteral("status-email"));
        email->setElideMode(Qt::ElideMiddle);
        email->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        email->setMaximumWidth(160);
        row->addWidget(email);
    }
    header_->addWidget(bar);
}

void MenuBarView::buildIssueBanner(const std::optional<SyncIssueModel> &model)
{
    shownIssueBanner_ = model;
    ++buildCount_;
    clearLayout(issueBanner_);
    if (!model)
        return;
    auto *holder = new QWidget(this);
    auto *layout = new QVBoxLayout(holder);
    layout->setContentsMargins(10, 0, 10, 8);
    layout->addWidget(makeSyncIssueBanner(*model, *store_, actions_));
    issueBanner_->addWidget(holder);
}

void MenuBarView::buildHero(const HeroModel &model)
{
    shownHero_ = model;
    ++buildCount_;
    clearLayout(hero_);
    QWidget *section = makeHeroSection(model, *store_, actions_);
    section->setParent(this);
    hero_->addWidget(section);
}

void MenuBarView::buildList(const std::optional<ListModel> &model)
{
    shownList_ = model;
    ++buildCount_;
    clearLayout(list_);
    if (!model)
        return;
    auto *rule = new QWidget(this);
    auto *ruleLayout = new QHBoxLayout(rule);
    ruleLayout->setContentsMargins(12, 0, 12, 0);
    ruleLayout->addWidget(new KVRule(Qt::Horizontal, KVColorRef(&KVPalette::divider), rule));
    list_->addWidget(rule);

    auto *list = new QWidget(this);
    list->setObjectName(QStringLiteral("today-list"));
    auto *column = new QVBoxLayout(list);
    column->setContentsMargins(0, 0, 0, 4);
    column->setSpacing(0);
    auto *head = new QHBoxLayout;
    head->setContentsMargins(14, 8, 14, 4);
    auto *label = new KVLabel(AppL10n::text(QStringLiteral("today_section_label")), KVFont::system(10, KVFont::Weight::medium),
                              KVColorRef(&KVPalette::text3), list);
    label->setUpperCase(true);
    label->setObjectName(QStringLiteral("today-label"));
    head->addWidget(label, 1);
    auto *count = new KVLabel(AppL10n::format(QStringLiteral("meetings_count_short"), model->count), KVFont::system(11),
                              KVColorRef(&KVPalette::text4), list);
    count->setObjectName(QStringLiteral("today-count"));
    count->setElideMode(Qt::ElideNone);
    head->addWidget(count);
    column->addLayout(head);
    const int timeWidth = shortTimeColumnWidth(KVFont::system(11, KVFont::Weight::medium), 44);
    for (const MenuMeetRowModel &row : model->rows)
        column->addWidget(new MenuMeetRow(row, timeWidth, actions_.openURL, list));
    list_->addWidget(list);
}

void MenuBarView::buildUpdateBanner(const std::optional<QString> &title)
{
    shownUpdateBanner_ = title;
    ++buildCount_;
    clearLayout(updateBanner_);
    if (!title)
        return;
    auto *holder = new QWidget(this);
    auto *layout = new QVBoxLayout(holder);
    layout->setContentsMargins(10, 8, 10, 8);
    auto *button = new UpdateBannerButton(*title, holder);
    connect(button, &QAbstractButton::clicked, this,
            [] { AppNotificationCenter::defaultCenter().post(AppNotificationCenter::checkForUpdates); });
    layout->addWidget(button);
    updateBanner_->addWidget(holder);
}

QWidget *MenuBarView::makeFooter()
{
    auto *footer = new Footer(this);
    footer->setObjectName(QStringLiteral("footer"));
    auto *row = new QHBoxLayout(footer);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(0);
    QPointer<AppStore> target = store_;
    const MeetingViewActions &actions = actions_;
    const auto add = [&](const QString &key, const QString &symbol, bool destructive, std::function<void()> action) {
        auto *button = new KVFooterIconButton(AppL10n::text(key), symbol, destructive, std::move(action), footer);
        button->setObjectName(key);
        row->addWidget(button, 1);
    };
    add(QStringLiteral("footer_today"), QStringLiteral("calendar"), false, actions.openToday);
    add(QStringLiteral("footer_sync"), QStringLiteral("arrow.clockwise"), false, [target] {
        if (target)
            startSync(*target);
    });
    add(QStringLiteral("footer_settings"), QStringLiteral("gearshape"), false, actions.openSettings);
    add(QStringLiteral("footer_quit"), QStringLiteral("power"), true, actions.quit);
    return footer;
}

void MenuBarView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The panel opens with no button focused: the view itself holds the focus, Tab goes on to
    // the first button.
    setFocus(Qt::OtherFocusReason);
}

void MenuBarView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const KVPalette &colors = kvPalette(this);
    // Translucent with rounded corners where a compositor blends the window, else opaque.
    if (window()->testAttribute(Qt::WA_TranslucentBackground)) {
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), KVDesign::popoverCornerRadius, KVDesign::popoverCornerRadius);
        painter.fillPath(shape, colors.popover);
        return;
    }
    painter.fillRect(rect(), colors.window);
    painter.fillRect(rect(), colors.popover);
}

} // namespace kestrivane
