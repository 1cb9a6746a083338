#include "App/AppDelegate.h"

#include "App/ApplicationIcon.h"
#include "App/LaunchLocation.h"
#include "Stores/AppStore.h"
#include "Support/AppBuildChannel.h"
#include "Support/AppL10n.h"
#include "Support/AppNotificationCenter.h"
#include "Support/Browser.h"
#include "Support/GlobalHotKeyController.h"
#include "Support/ShortcutSettings.h"
#include "Support/UpdateDialog.h"
#include "Support/UpdateStatusStore.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace kestrivane {

AppDelegate::Options AppDelegate::defaultOptions()
{
    Options options;
    const QString skip = qEnvironmentVariable(skipLaunchLocationCheckVariable.toUtf8().constData());
    options.checkLaunchLocation = skip.isEmpty() || skip == u"0";
    return options;
}

AppDelegate::AppDelegate(Options options, QObject *parent) : QObject(parent), options_(std::move(options))
{
    if (!options_.terminate)
        options_.terminate = [] { QCoreApplication::exit(0); };
}

AppDelegate::~AppDelegate()
{
    QObject::disconnect(shortcutSettingsConnection_);
}

bool AppDelegate::applicationDidFinishLaunching()
{
    if (terminateIfRunningFromTemporaryLocation())
        return false;
    // Set on the next turn of the event loop: the tray icon does not wait for it.
    QTimer::singleShot(0, this, [this] { configureApplicationIcon(); });
    configureUpdater();
    return true;
}

bool AppDelegate::terminateIfRunningFromTemporaryLocation()
{
    if (!options_.checkLaunchLocation || !LaunchLocation::isRunningFromTemporaryLocation())
        return false;
    QMessageBox alert;
    alert.setObjectName(QStringLiteral("launch-location-warning"));
    alert.setWindowRole(QStringLiteral("launch-location-warning"));
    alert.setIcon(QMessageBox::Warning);
    alert.setTextFormat(Qt::PlainText);
    alert.setWindowTitle(AppBuildChannel::current().displayName());
    alert.setText(AppL10n::text(QStringLiteral("launch_location_warning_title")));
    alert.setInformativeText(AppL10n::text(QStringLiteral("launch_location_warning_body")));
    alert.addButton(AppL10n::text(QStringLiteral("quit")), QMessageBox::AcceptRole);
    alert.exec();
    return true;
}

void AppDelegate::configureApplicationIcon()
{
    QIcon icon = ApplicationIcon::bundled();
    if (icon.isNull())
        icon = ApplicationIcon::icon(AppBuildChannel::current());
    if (!icon.isNull())
        QApplication::setWindowIcon(icon);
}

void AppDelegate::configureUpdater()
{
    updaterController_ = std::make_unique<UpdaterController>(this, options_.updater);
    updaterController_->startUpdater();
    AppNotificationCenter::defaultCenter().observe(AppNotificationCenter::checkForUpdates, this, [this] { checkForUpdates(); });
}

void AppDelegate::checkForUpdates()
{
    if (updaterController_)
        updaterController_->checkForUpdates();
}

void AppDelegate::refreshAvailableUpdateInformationIfNeeded()
{
    if (hasRequestedInitialUpdateInformation_ || !updaterController_)
        return;
    hasRequestedInitialUpdateInformation_ = true;
    updaterController_->checkForUpdateInformation();
}

void AppDelegate::updaterDidFindValidUpdate(const AppcastItem &item)
{
    setAvailableUpdateVersion(item.displayVersion);
}

void AppDelegate::updaterDidNotFindUpdate(const std::optional<QString> &)
{
    setAvailableUpdateVersion(std::nullopt);
}

void AppDelegate::setAvailableUpdateVersion(std::optional<QString> version)
{
    pendingAvailableUpdateVersion_ = std::move(version);
    applyPendingUpdateStatus();
}

void AppDelegate::applyPendingUpdateStatus()
{
    if (!updateStatus_)
        return;
    if (pendingAvailableUpdateVersion_)
        updateStatus_->markAvailable(*pendingAvailableUpdateVersion_);
    else
        updateStatus_->clearAvailableUpdate();
}

void AppDelegate::setStore(AppStore *store)
{
    store_ = store;
    configureGlobalHotKeysIfNeeded();
}

void AppDelegate::setUpdateStatus(UpdateStatusStore *updateStatus)
{
    updateStatus_ = updateStatus;
    applyPendingUpdateStatus();
}

void AppDelegate::setShortcutSettings(ShortcutSettings *shortcutSettings)
{
    shortcutSettings_ = shortcutSettings;
    configureGlobalHotKeysIfNeeded();
}

void AppDelegate::configureGlobalHotKeysIfNeeded()
{
    if (globalHotKeyController_ || !shortcutSettings_)
        return;
    ShortcutSettings *settings = shortcutSettings_;
    globalHotKeyController_ = std::make_unique<GlobalHotKeyController>(
        settings->openTodayMeets(), settings->joinMeet(),
        [] { AppNotificationCenter::defaultCenter().post(AppNotificationCenter::openTodayMeetsWindow); },
        [self = QPointer<AppDelegate>(this)] {
            if (self)
                self->openShortcutMeet();
        });
    // Both hot keys follow every change of either shortcut; the current pair is applied at once.
    auto follow = [this, settings = QPointer<ShortcutSettings>(settings)] {
        if (settings && globalHotKeyController_)
            globalHotKeyController_->update(settings->openTodayMeets(), settings->joinMeet());
    };
    shortcutSettingsConnection_ = connect(settings, &ShortcutSettings::changed, this, follow);
    follow();
}

void AppDelegate::openShortcutMeet()
{
    const std::optional<QUrl> link = store_ ? store_->shortcutJoinURL() : std::nullopt;
    if (link) {
        openInBrowser(*link).then([](bool) {});
        return;
    }
    AppNotificationCenter::defaultCenter().post(AppNotificationCenter::openTodayMeetsWindow);
}

void AppDelegate::openNotificationLink(const QUrl &url)
{
    openInBrowser(url).then([](bool) {});
}

void AppDelegate::applicationShouldHandleReopen()
{
    AppNotificationCenter::defaultCenter().post(AppNotificationCenter::openTodayMeetsWindow);
}

void AppDelegate::applicationShouldTerminate()
{
    if (isTerminatingAfterCleanup_ || !store_) {
        finishTermination();
        return;
    }
    isTerminatingAfterCleanup_ = true;
    // A cleanup that hangs does not keep the application alive.
    QTimer::singleShot(options_.quitCleanupLimit, this, &AppDelegate::finishTermination);
    cleanUpThenTerminate(QPointer<AppDelegate>(this), QPointer<AppStore>(store_)).then([] {});
}

QCoro::Task<void> AppDelegate::cleanUpThenTerminate(QPointer<AppDelegate> delegate, QPointer<AppStore> store)
{
    if (store)
        co_await store->prepareForUserQuit();
    if (delegate)
        delegate->finishTermination();
}

void AppDelegate::finishTermination()
{
    if (terminated_)
        return;
    terminated_ = true;
    isTerminatingAfterCleanup_ = true;
    options_.terminate();
}

} // namespace kestrivane
