#include "App/MenuBarTray.h"

#include "DesignSystem/KVCompositor.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>


namespace kestrivane {

namespace {

// The application as screen readers see it, with its open tray panel: Qt leaves popup windows out
// of the application's children, so the panel could not be reached from the application.
class ApplicationWithPanel : public QAccessibleApplication {
public:
    int childCount() const override { return QAccessibleApplication::childCount() + int(panels().size()); }

    QAccessibleInterface *child(int index) const override
    {
        const int windows = QAccessibleApplication::childCount();
        if (index < windows)
            return QAccessibleApplication::child(index);
        const QList<QWidget *> shown = panels();
        return index - windows < shown.size() ? QAccessible::queryAccessibleInterface(shown.at(index - windows)) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const int index = QAccessibleApplication::indexOfChild(child);
        if (index >= 0 || !child)
            return index;
        const int found = int(panels().indexOf(qobject_cast<QWidget *>(child->object())));
        return found < 0 ? -1 : QAccessibleApplication::childCount() + found;
    }

private:
    static QList<QWidget *> panels()
    {
        QList<QWidget *> result;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->objectName() == u"menu-bar-panel" && widget->isVisible())
                result << widget;
        }
        return result;
    }
};

QAccessibleInterface *applicationWithPanel(const QString &, QObject *object)
{
    return object == QCoreApplication::instance() ? new ApplicationWithPanel : nullptr;
}

void makePanelReachable()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(applicationWithPanel);
    // An application interface made before the factory was there is made again through it.
    if (QAccessibleInterface *existing = QAccessible::queryAccessibleInterface(QCoreApplication::instance());
        existing && !dynamic_cast<ApplicationWithPanel *>(existing))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(existing));
}

// A click on the tray icon first closes the open panel (a click outside a popup), then arrives as
// an activation: one that comes this soon after the panel closed must not reopen it.
constexpr qint64 reopenGuardMs = 300;

} // namespace

MenuBarTray::MenuBarTray(std::function<QWidget *()> makePanelContent, QObject *parent)
    : QObject(parent), makePanelContent_(std::move(makePanelContent)), tray_(new QSystemTrayIcon(this)), menu_(new QMenu)
{
    makePanelReachable();
    tray_->setContextMenu(menu_);
    connect(tray_, &QSystemTrayIcon::activated, this, &MenuBarTray::activated);
}

MenuBarTray::~MenuBarTray()
{
    delete panel_.data();
    delete menu_;
}

void MenuBarTray::setLabel(const QIcon &icon, const QString &toolTip)
{
    tray_->setIcon(icon);
    tray_->setToolTip(toolTip);
}

void MenuBarTray::setCommands(const QList<Command> &commands)
{
    menu_->clear();
    for (const Command &command : commands) {
        if (command.separatorBefore)
            menu_->addSeparator();
        QAction *action = menu_->addAction(command.title);
        connect(action, &QAction::triggered, this, [action = command.action] {
            if (action)
                action();
        });
    }
}

void MenuBarTray::setPanelTitle(const QString &title)
{
    panelTitle_ = title;
    if (panel_)
        panel_->setWindowTitle(title);
}

void MenuBarTray::show()
{
    // Also without a tray for now: Qt embeds the icon when a tray appears later.
    tray_->show();
}

void MenuBarTray::activated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger)
        togglePanel();
}

void MenuBarTray::togglePanel()
{
    if (panel_ && panel_->isVisible()) {
        hidePanel();
        return;
    }
    if (sinceHidden_.isValid() && sinceHidden_.elapsed() < reopenGuardMs)
        return;
    showPanel();
}

void MenuBarTray::ensurePanel()
{
    if (panel_)
        return;
    panel_ = new QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint);
    panel_->setObjectName(QStringLiteral("menu-bar-panel"));
    panel_->setWindowRole(QStringLiteral("menu-bar-panel"));
    panel_->setWindowTitle(panelTitle_);
    // Blended with rounded corners only where a compositor runs; else the content paints it opaque.
    if (compositorRunning_ ? compositorRunning_() : compositorRunning())
        panel_->setAttribute(Qt::WA_TranslucentBackground);
    auto *layout = new QVBoxLayout(panel_);
    layout->setContentsMargins(0, 0, 0, 0);
    // The panel takes its content's size whenever that changes.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    if (makePanelContent_) {
        if (QWidget *content = makePanelContent_())
            layout->addWidget(content);
    }
    panel_->installEventFilter(this);
}

void MenuBarTray::showPanel()
{
    ensurePanel();
    panel_->adjustSize();
    QRect anchor = tray_->geometry();
    if (!anchor.isValid() || anchor.isEmpty())
        anchor = QRect(QCursor::pos(), QSize(1, 1));
    QScreen *screen = QGuiApplication::screenAt(anchor.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    anchor_ = anchor;
    screenArea_ = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), panel_->size());
    panel_->move(panelPosition(anchor_, panel_->size(), screenArea_));
    panel_->show();
    panel_->raise();
    panel_->activateWindow();
}

void MenuBarTray::hidePanel()
{
    if (panel_)
        panel_->hide();
}

QPoint MenuBarTray::panelPosition(const QRect &anchor, const QSize &panelSize, const QRect &screen)
{
    int x = anchor.x() + anchor.width() / 2 - panelSize.width() / 2;
    int y = anchor.bottom() + 1;
    if (y + panelSize.height() > screen.bottom() + 1 && anchor.top() - panelSize.height() >= screen.top())
        y = anchor.top() - panelSize.height();
    x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - panelSize.width()));
    y = std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - panelSize.height()));
    return {x, y};
}

bool MenuBarTray::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == panel_ && event->type() == QEvent::Hide)
        sinceHidden_.start();
    // A content that grows or shrinks keeps the panel at its anchor.
    if (watched == panel_ && event->type() == QEvent::Resize && panel_->isVisible())
        panel_->move(panelPosition(anchor_, panel_->size(), screenArea_));
    return QObject::eventFilter(watched, event);
}

} // namespace kestrivane
