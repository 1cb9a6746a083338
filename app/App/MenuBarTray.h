#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSystemTrayIcon>

#include <functional>

class QMenu;

namespace kestrivane {

// The tray item: the drawn label as its icon and the state as its tooltip. A left click toggles a
// frameless panel anchored under the icon (or at the cursor when the tray tells no geometry),
// kept on screen; a right click offers the application's commands.
class MenuBarTray : public QObject {
    Q_OBJECT

public:
    struct Command {
        QString title;
        std::function<void()> action;
        bool separatorBefore = false;
    };

    // `makePanelContent` builds the panel's view the first time the panel opens.
    explicit MenuBarTray(std::function<QWidget *()> makePanelContent, QObject *parent = nullptr);
    ~MenuBarTray() override;

    void setLabel(const QIcon &icon, const QString &toolTip);
    void setCommands(const QList<Command> &commands);
    // The panel's window title, which screen readers read as its name.
    void setPanelTitle(const QString &title);
    // Shows the tray item when the desktop has a tray.
    void show();

    void togglePanel();
    void showPanel();
    void hidePanel();
    QWidget *panel() const { return panel_; }
    QSystemTrayIcon *trayIcon() const { return tray_; }
    QMenu *menu() const { return menu_; }

    // Decides whether the panel is translucent (default: a compositing manager owns the screen's
    // selection); read when the panel is built.
    void setCompositorCheck(std::function<bool()> check) { compositorRunning_ = std::move(check); }

    // Where the panel's top left corner goes: centred under the anchor (above it when there is no
    // room below), then moved inside `screen`.
    static QPoint panelPosition(const QRect &anchor, const QSize &panelSize, const QRect &screen);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void activated(QSystemTrayIcon::ActivationReason reason);
    void ensurePanel();

    std::function<QWidget *()> makePanelContent_;
    QSystemTrayIcon *tray_;
    QMenu *menu_;
    QPointer<QWidget> panel_;
    QString panelTitle_;
    QElapsedTimer sinceHidden_;
    std::function<bool()> compositorRunning_;
    QRect anchor_;
    QRect screenArea_;
};

} // namespace kestrivane
