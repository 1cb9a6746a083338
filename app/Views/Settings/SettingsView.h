#pragma once

#include "Support/AppBuildChannel.h"
#include "Views/Settings/SettingsSection.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QScrollArea;

namespace kestrivane {

class AppStore;
class KVDeferredRefresh;
class KVSettingsSidebar;
class LoginItemService;
class ShortcutSettings;
class UpdateStatusStore;

// What the settings window and its panes work with: the shared objects and the seams to the
// desktop, each with its real default.
struct SettingsEnvironment {
    AppStore *store = nullptr;
    UpdateStatusStore *updateStatus = nullptr;
    ShortcutSettings *shortcutSettings = nullptr;
    // Launch at login; default: the XDG autostart entry of this build.
    std::shared_ptr<LoginItemService> loginItems;
    // The alert sound of a refused shortcut; default: the X bell.
    std::function<void()> alertSound;
    // Starts a program detached, without a shell; false when it did not start.
    std::function<bool(const QString &program, const QStringList &arguments)> startProgram;
    AppBuildChannel buildChannel = AppBuildChannel::current();
};

// The settings window's root view: the 44-point title bar, the 200-point sidebar, a hairline and
// the scrolling detail column with the selected section's pane (accounts first). Changing the
// section builds the new pane afresh on the next turn. Shown while the store is idle, it starts
// one sync, held by the store (closing the window does not end it).
class SettingsView : public QWidget {
    Q_OBJECT

public:
    explicit SettingsView(SettingsEnvironment environment, QWidget *parent = nullptr);
    ~SettingsView() override;

    SettingsSection section() const { return section_; }
    void select(SettingsSection section);
    // The pane shown now.
    QWidget *pane() const { return pane_; }
    KVSettingsSidebar *sidebar() const { return sidebar_; }

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void showPane();
    QWidget *makePane(SettingsSection section);

    SettingsEnvironment environment_;
    SettingsSection section_ = SettingsSection::accounts;
    KVSettingsSidebar *sidebar_;
    QScrollArea *scroll_;
    QPointer<QWidget> pane_;
    KVDeferredRefresh *paneRefresh_;
};

} // namespace kestrivane
