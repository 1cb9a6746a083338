#pragma once

#include "Support/Updater.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace kestrivane {

class AppStore;
class GlobalHotKeyController;
class ShortcutSettings;
class UpdateStatusStore;

// The application-level companion of the entry: the launch work (launch-location check,
// application icon, updater), the two global hot keys wired to the shortcut settings, the
// updater's findings relayed to the update status, the reopen of a second launch, links of
// clicked notifications, and the orderly quit that waits for the store's cleanup.
class AppDelegate : public QObject, public UpdaterDelegate {
    Q_OBJECT

public:
    // Testing aid: when set (to anything but "0"), the launch-location check is skipped, so the
    // tests can run a build that lies under the temporary folder. Not for users.
    static inline const QString skipLaunchLocationCheckVariable = QStringLiteral("KESTRIVANE_SKIP_LAUNCH_LOCATION_CHECK");

    struct Options {
        UpdateChecker::Options updater = UpdateChecker::defaultOptions();
        bool checkLaunchLocation = true;
        // How long a quit waits for the store's cleanup before it ends the application anyway.
        std::chrono::milliseconds quitCleanupLimit = std::chrono::seconds(5);
        // Ends the application; default: QCoreApplication::exit(0).
        std::function<void()> terminate;
    };

    // Options from the process: the update feed of the build (or KESTRIVANE_APPCAST_URL) and the
    // launch-location check unless the testing aid above switches it off.
    static Options defaultOptions();

    explicit AppDelegate(Options options = defaultOptions(), QObject *parent = nullptr);
    ~AppDelegate() override;

    // Launch: the launch-location check (the warning, then false: the application is quitting and
    // nothing else ran), the updater and the "checkForUpdates" observer; the application icon
    // follows on the next turn of the event loop.
    bool applicationDidFinishLaunching();

    // Set by the entry in this order when it starts up; the delegate holds them weakly. Setting the
    // store or the shortcut settings wires the hot keys once; setting the update status applies
    // the last update finding.
    void setStore(AppStore *store);
    void setUpdateStatus(UpdateStatusStore *updateStatus);
    void setShortcutSettings(ShortcutSettings *shortcutSettings);

    // The silent update check, once per run, and only once the updater exists.
    void refreshAvailableUpdateInformationIfNeeded();

    // A second launch asked this copy to reopen: the Today window comes up.
    void applicationShouldHandleReopen();
    // Every quit road: the first request awaits the store's cleanup (at most quitCleanupLimit),
    // then ends the application; a later request, or one without a store, ends it at once.
    void applicationShouldTerminate();
    bool isTerminating() const { return isTerminatingAfterCleanup_; }

    // The join hot key: the store's join link in the browser, else the Today window.
    void openShortcutMeet();
    // A click on a delivered notification: its link in the browser.
    void openNotificationLink(const QUrl &url);

    // The user-initiated update check ("checkForUpdates").
    void checkForUpdates();

    void updaterDidFindValidUpdate(const AppcastItem &item) override;
    void updaterDidNotFindUpdate(const std::optional<QString> &error) override;

    UpdaterController *updaterController() const { return updaterController_.get(); }
    GlobalHotKeyController *globalHotKeyController() const { return globalHotKeyController_.get(); }

private:
    bool terminateIfRunningFromTemporaryLocation();
    void configureApplicationIcon();
    void configureUpdater();
    void configureGlobalHotKeysIfNeeded();
    void setAvailableUpdateVersion(std::optional<QString> version);
    void applyPendingUpdateStatus();
    void finishTermination();
    static QCoro::Task<void> cleanUpThenTerminate(QPointer<AppDelegate> delegate, QPointer<AppStore> store);

    Options options_;
    QPointer<AppStore> store_;
    QPointer<UpdateStatusStore> updateStatus_;
    QPointer<ShortcutSettings> shortcutSettings_;
    std::unique_ptr<UpdaterController> updaterController_;
    std::unique_ptr<GlobalHotKeyController> globalHotKeyController_;
    QMetaObject::Connection shortcutSettingsConnection_;
    std::optional<QString> pendingAvailableUpdateVersion_;
    bool hasRequestedInitialUpdateInformation_ = false;
    bool isTerminatingAfterCleanup_ = false;
    bool terminated_ = false;
};

} // namespace kestrivane
