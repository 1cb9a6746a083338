#pragma once

#include "App/AppDelegate.h"
#include "Support/AppBuildChannel.h"
#include "Support/DemoMode.h"
#include "Views/Shared/MeetingViewSupport.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <tuple>

namespace kestrivane {

class AppStore;
class MenuBarTray;
class NotificationScheduling;
class OAuthTokenStoring;
class ShortcutSettings;
class UpdateStatusStore;
class UserDefaults;
class WindowRegistry;

// The application entry: reads the build channel and the demo mode, configures the three locale
// lookups, opens the channel's settings domain, owns the meeting store, the shortcut settings and
// the update status, declares the windows and the tray item with the application's commands, and
// runs the start-up sequence. Lives on the main thread of a QApplication.
class KestrivaneApplication : public QObject {
    Q_OBJECT

public:
    using Environment = QHash<QString, QString>;

    // What the application is built from; the defaults are the real ones.
    struct Options {
        AppDelegate::Options delegate = AppDelegate::defaultOptions();
        // Default: the channel's settings domain.
        std::shared_ptr<UserDefaults> userDefaults;
        // Default: the desktop notification service, with clicks handled by the delegate.
        std::shared_ptr<NotificationScheduling> notificationScheduler;
        // Default: the keyring item (the channel's service, "oauth").
        std::shared_ptr<OAuthTokenStoring> tokenStore;
    };

    // The initialisation, in this order: the build channel; the demo mode from `environment` and
    // `arguments`; its locale (when the demo mode is on) for AppL10n, L10n and DateFormatting;
    // the settings domain. The store and the shortcut settings are built when first used.
    KestrivaneApplication(QStringList arguments, Environment environment, Options options, QObject *parent = nullptr);
    // With the real options.
    KestrivaneApplication(QStringList arguments, Environment environment);
    ~KestrivaneApplication() override;

    // The D-Bus name of the running copy of a channel.
    static QString singleInstanceServiceName(AppBuildChannel channel);

    // The delegate's launch and the tray item, then, on the next turn of the event loop, the
    // start-up sequence with the first window. False when the application is quitting instead
    // (the launch-location warning was shown).
    bool launch();

    AppBuildChannel buildChannel() const { return buildChannel_; }
    const DemoMode &demoMode() const { return demoMode_; }
    AppDelegate &delegate() { return *delegate_; }
    AppStore &store();
    ShortcutSettings &shortcutSettings();
    UpdateStatusStore &updateStatus() { return *updateStatus_; }
    WindowRegistry &windows() { return *windows_; }
    MenuBarTray *tray() const { return tray_.get(); }

    // The application's commands.
    void openTodayMeetsWindow();
    void openShortcutMeet();
    void openFeedbackForm();

protected:
    // A QEvent::Quit of the application (a session manager's shutdown, QCoreApplication::quit())
    // takes the orderly quit.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void declareScenes();
    // The root views of the windows and of the tray panel.
    QWidget *makeTodayMeetsContent();
    QWidget *makeSettingsContent();
    QWidget *makeSetupContent();
    QWidget *makeMenuBarPanelContent();
    // What the panel's and the Today window's buttons do beyond the store.
    MeetingViewActions meetingViewActions();
    void hidePanel();
    void setUpTray();
    void refreshMenuBarLabel();
    void runStartUpSequence();
    void presentInitialWindowIfNeeded();
    bool bringTodayMeetsWindowToFront();

    Options options_;
    Environment environment_;
    AppBuildChannel buildChannel_ = AppBuildChannel::release;
    DemoMode demoMode_;
    std::unique_ptr<AppDelegate> delegate_;
    std::unique_ptr<UpdateStatusStore> updateStatus_;
    std::shared_ptr<UserDefaults> userDefaults_;
    std::unique_ptr<AppStore> store_;
    std::unique_ptr<ShortcutSettings> shortcutSettings_;
    std::unique_ptr<WindowRegistry> windows_;
    std::unique_ptr<MenuBarTray> tray_;
    bool didPresentInitialWindow_ = false;
    // What the tray label shows, so it is drawn again only when that changes.
    // What the tray shows: state, dark scheme, tooltip.
    using ShownLabel = std::tuple<int, bool, QString>;
    std::optional<ShownLabel> shownLabel_;
};

} // namespace kestrivane
