#include "Views/Settings/SettingsView.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVGrouping.h"
#include "DesignSystem/KVViewSupport.h"
#include "DesignSystem/KVWindowChrome.h"
#include "Stores/AppStore.h"
#include "Support/AppL10n.h"
#include "Views/Settings/AboutPane.h"
#include "Views/Settings/AccountsPane.h"
#include "Views/Settings/CalendarsPane.h"
#include "Views/Settings/LaunchAtLogin.h"
#include "Views/Settings/NotificationsPane.h"
#include "Views/Settings/SettingsSidebar.h"
#include "Views/Settings/ShortcutRecorderButton.h"
#include "Views/Settings/ShortcutsPane.h"
#include "Views/Shared/MeetingViewSupport.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QProcess>
#include <QScrollArea>
#include <QShowEvent>
#include <QVBoxLayout>

namespace kestrivane {

namespace {

// The detail column's content: the pane inset 28 × 22 on the window colour.
class DetailColumn : public QWidget {
public:
    explicit DetailColumn(QWidget *pane)
    {
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(28, 22, 28, 22);
        layout->addWidget(pane);
        layout->addStretch(1);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), kvPalette(this).window);
    }
};

} // namespace

SettingsView::SettingsView(SettingsEnvironment environment, QWidget *parent)
    : QWidget(parent), environment_(std::move(environment)), paneRefresh_(new KVDeferredRefresh(this, [this] { showPane(); }))
{
    if (!environment_.loginItems)
        environment_.loginItems = std::make_shared<XdgAutostartService>();
    if (!environment_.alertSound)
        environment_.alertSound = x11AlertSound;
    if (!environment_.startProgram)
        environment_.startProgram = [](const QString &program, const QStringList &arguments) {
            return QProcess::startDetached(program, arguments);
        };

    setMinimumSize(720, 560);
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(new KVTitleBar(AppL10n::text(QStringLiteral("settings_title")), nullptr, 44, this));

    auto *row = new QHBoxLayout;
    row->setSpacing(0);
    sidebar_ = new KVSettingsSidebar(section_, [this](SettingsSection section) { select(section); }, this);
    sidebar_->setFixedWidth(200);
    row->addWidget(sidebar_);
    row->addWidget(new KVRule(Qt::Vertical, KVColorRef(&KVPalette::divider), this));
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    row->addWidget(scroll_, 1);
    root->addLayout(row, 1);
    showPane();
}

SettingsView::~SettingsView() = default;

void SettingsView::select(SettingsSection section)
{
    if (section == section_)
        return;
    section_ = section;
    sidebar_->setSelected(section);
    paneRefresh_->request();
}

void SettingsView::showPane()
{
    if (QWidget *old = scroll_->takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    pane_ = makePane(section_);
    scroll_->setWidget(new DetailColumn(pane_));
}

QWidget *SettingsView::makePane(SettingsSection section)
{
    switch (section) {
    case SettingsSection::accounts: return new AccountsPane(*environment_.store);
    case SettingsSection::calendars: return new CalendarsPane(*environment_.store);
    case SettingsSection::notifications:
        return new NotificationsPane(*environment_.store, environment_.loginItems, environment_.startProgram);
    case SettingsSection::shortcuts: return new ShortcutsPane(*environment_.shortcutSettings, environment_.alertSound);
    case SettingsSection::about: break;
    }
    return new AboutPane(*environment_.updateStatus, environment_.buildChannel);
}

void SettingsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Each time the window comes up (not when it is restored): one sync when the store is idle.
    if (!event->spontaneous() && environment_.store &&
        environment_.store->syncStatus().kind() == AppStore::SyncStatus::Kind::idle)
        startSync(*environment_.store);
}

void SettingsView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), kvPalette(this).window);
}

} // namespace kestrivane
