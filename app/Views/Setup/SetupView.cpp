#include "Views/Setup/SetupView.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVGrouping.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVViewSupport.h"
#include "DesignSystem/KVWindowChrome.h"
#include "DesignSystem/KestrivaneAppIconView.h"
#include "Stores/AppStore.h"
#include "Support/AppL10n.h"
#include "Support/AppNotificationCenter.h"
#include "Support/UpdateStatusStore.h"
#include "Support/WindowRegistry.h"
#include "Views/Setup/SetupConnectionCard.h"
#include "Views/Setup/SetupLabel.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace kestrivane {

namespace {

constexpr int minimumContentWidth = 520;
constexpr int minimumContentHeight = 460;

QString text(const char *key)
{
    return AppL10n::text(QString::fromLatin1(key));
}

} // namespace

SetupView::SetupView(AppStore &store, UpdateStatusStore &updateStatus, OpenWindow openWindow, QWidget *parent)
    : QWidget(parent)
    , store_(&store)
    , updateStatus_(&updateStatus)
    , openWindow_(std::move(openWindow))
    , refresh_(new KVDeferredRefresh(this, [this] { refresh(); }))
{
    setObjectName(QStringLiteral("setup-view"));
    setMinimumSize(minimumContentWidth, minimumContentHeight);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(new KVTitleBar(text("setup_title")));

    auto *column = new QVBoxLayout;
    column->setContentsMargins(40, 24, 40, 20);
    column->setSpacing(20);
    column->addWidget(makeHeader());
    column->addWidget(makeConnectionSection());
    column->addWidget(makePrivacyNote());
    layout->addLayout(column);
    layout->addStretch(1);
    layout->addWidget(new KVRule(Qt::Horizontal, KVColorRef(&KVPalette::divider)));
    layout->addWidget(makeFooter());

    refresh_->follow(&store, &AppStore::changed);
    refresh();
}

QWidget *SetupView::makeHeader()
{
    auto *header = new QWidget;
    auto *layout = new QHBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(14);
    layout->addWidget(new KestrivaneAppIconView, 0, Qt::AlignVCenter);

    auto *texts = new QVBoxLayout;
    texts->setSpacing(4);
    QFont titleFont = KVFont::title2();
    titleFont.setWeight(QFont::DemiBold);
    texts->addWidget(new KVLabel(text("setup_welcome_title"), titleFont, KVColorRef(&KVPalette::text1)));
    // Wraps onto as many lines as the width needs; never cut.
    auto *description = new KVLabel(text("setup_description"), KVFont::body(), KVColorRef(&KVPalette::text2));
    description->setMaxLines(0);
    texts->addWidget(description);
    layout->addLayout(texts, 1);
    return header;
}

QWidget *SetupView::makeConnectionSection()
{
    auto *section = new QWidget;
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto *step = new KVLabel(text("setup_step_one"), KVFont::system(10, KVFont::Weight::medium), KVColorRef(&KVPalette::text3));
    step->setUpperCase(true);
    layout->addWidget(step);

    // The container gives the card its surface, corners and border.
    auto *container = new KVGroupBox;
    card_ = new SetupConnectionCard(*store_);
    container->addRow(card_);
    layout->addWidget(container);
    return section;
}

QWidget *SetupView::makePrivacyNote()
{
    // The symbol keeps the default size; only the text takes the footnote style.
    return new SetupLabel(QStringLiteral("checkmark.circle"), 13, text("setup_privacy_note"), KVFont::footnote(),
                          KVColorRef(&KVPalette::text3));
}

QWidget *SetupView::makeFooter()
{
    auto *footer = new QWidget;
    auto *layout = new QHBoxLayout(footer);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(8);
    auto *note = new KVLabel(text("setup_privacy_short"), KVFont::footnote(), KVColorRef(&KVPalette::text3));
    note->setMaxLines(0);
    layout->addWidget(note, 1);

    auto *settings = new KVButton(text("settings"), KVButton::Style::bordered, [this] { openSettings(); });
    settings->setObjectName(QStringLiteral("settings-button"));
    settings->setSymbol(QStringLiteral("gearshape"));
    settings->setLabelColor(KVColorRef(&KVPalette::text1));
    settingsButton_ = settings;
    layout->addWidget(settings, 0, Qt::AlignVCenter);

    auto *openToday = new KVButton(text("setup_open_today_meets"), KVButton::Style::borderedProminent, [this] { openTodayMeets(); });
    openToday->setObjectName(QStringLiteral("open-today-button"));
    openToday->setSymbol(QStringLiteral("calendar"));
    openTodayButton_ = openToday;
    layout->addWidget(openToday, 0, Qt::AlignVCenter);
    return footer;
}

void SetupView::refresh()
{
    if (!store_)
        return;
    openTodayButton_->setEnabled(!store_->googleAccounts().isEmpty());
}

void SetupView::openSettings()
{
    // Opening fronts and activates the settings window; this one stays.
    if (openWindow_)
        openWindow_(WindowRegistry::settings);
}

void SetupView::openTodayMeets()
{
    // Asked for first, so the Today window comes even though this window goes.
    AppNotificationCenter::defaultCenter().post(AppNotificationCenter::openTodayMeetsWindow);
    window()->close();
}

bool SetupView::event(QEvent *event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize)
        fitHeightToContent();
    return handled;
}

void SetupView::fitHeightToContent()
{
    // Layouts take minimum heights from unwrapped texts: the window would squeeze the card.
    const int needed = std::max(minimumContentHeight, layout()->totalHeightForWidth(width()));
    if (minimumHeight() == needed)
        return;
    // A window as tall as the content made it follows the content back down (the list of
    // accounts gone); one made taller by the user keeps its height.
    const bool fitted = height() <= minimumHeight();
    setMinimumHeight(needed);
    if (fitted && height() > needed) {
        QWidget *top = window();
        // The window's minimum, which its layout took from this view, follows only on the
        // layout's next pass: until then it holds the window at the old height.
        if (top != this && top->layout())
            top->layout()->activate();
        top->resize(top->width(), top->height() - (height() - needed));
    }
}

void SetupView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), kvPalette(this).window);
}

} // namespace kestrivane
