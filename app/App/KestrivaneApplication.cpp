#include "App/KestrivaneApplication.h"

#include "DesignSystem/ColorSchemeProvider.h"

#include "App/GoogleStandIn.h"
#include "App/MenuBarLabel.h"
#include "App/MenuBarTray.h"
#include "DesignSystem/ColorSchemeProvider.h"
#include "Services/KeychainTokenStore.h"
#include "Services/NotificationScheduler.h"
#include "Stores/AppStore.h"
#include "Support/AppL10n.h"
#include "Support/AppNotificationCenter.h"
#include "Support/Browser.h"
#include "Support/DateFormatting.h"
#include "Support/InstalledApplication.h"
#include "Support/Localization.h"
#include "Support/ShortcutSettings.h"
#include "Support/UpdateStatusStore.h"
#include "Support/UserDefaults.h"
#include "Support/WindowRegistry.h"
#include "Views/MenuBar/MenuBarView.h"
#include "Views/Settings/SettingsView.h"
#include "Views/Setup/SetupView.h"
#include "Views/Today/TodayMeetView.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QEvent>
#include <QTimer>

namespace kestrivane {

KestrivaneApplication::KestrivaneApplication(QStringList arguments, Environment environment, Options options, QObject *parent)
    : QObject(parent)
    , options_(std::move(options))
    , environment_(std::move(environment))
    , delegate_(std::make_unique<AppDelegate>(options_.delegate))
    , updateStatus_(std::make_unique<UpdateStatusStore>())
    , windows_(std::make_unique<WindowRegistry>())
{
    buildChannel_ = AppBuildChannel::current();
    demoMode_ = DemoMode::current(environment_, arguments);

    // Before any text is looked up: the demo locale, or the system's.
    const std::optional<QString> overrideLocale =
        demoMode_.enabled ? std::optional<QString>(demoMode_.localeIdentifier) : std::nullopt;
    AppL10n::configure(overrideLocale);
    L10n::configure(overrideLocale);
    DateFormatting::configure(overrideLocale);
    if (std::unique_ptr<QTranslator> translator = AppL10n::qtTranslator()) {
        translator->setParent(this);
        QCoreApplication::installTranslator(translator.release());
    }

    userDefaults_ = options_.userDefaults ? options_.userDefaults
                                          : std::shared_ptr<UserDefaults>(SettingsUserDefaults::open(buildChannel_.userDefaultsSuiteName()));
    declareScenes();
}

KestrivaneApplication::KestrivaneApplication(QStringList arguments, Environment environment)
    : KestrivaneApplication(std::move(arguments), std::move(environment), Options())
{
}

KestrivaneApplication::~KestrivaneApplication()
{
    // The tray and the windows show the store: they go first.
    tray_.reset();
    windows_.reset();
}

QString KestrivaneApplication::singleInstanceServiceName(AppBuildChannel channel)
{
    return InstalledApplication::applicationID(channel);
}

AppStore &KestrivaneApplication::store()
{
    if (!store_) {
        AppStore::Configuration configuration;
        configuration.notificationScheduler = options_.notificationScheduler;
        if (!configuration.notificationScheduler) {
            configuration.notificationScheduler = std::make_shared<UserNotificationScheduler>(
                systemClock(), QDBusConnection::sessionBus(), [delegate = QPointer<AppDelegate>(delegate_.get())](const QUrl &url) {
                    if (delegate)
                        delegate->openNotificationLink(url);
                });
        }
        configuration.tokenStore = options_.tokenStore;
        if (!configuration.tokenStore)
            configuration.tokenStore = std::make_shared<KeychainTokenStore>(buildChannel_.keychainService());
        configuration.userDefaults = userDefaults_;
        configuration.keychainService = buildChannel_.keychainService();
        configuration.inAppAlertsEnabled = !demoMode_.enabled;
        configuration.demoMode = demoMode_;
        if (const std::optional<GoogleEndpoints> standIn = googleStandInEndpoints(environment_))
            configuration.endpoints = *standIn;
        store_ = std::make_unique<AppStore>(std::move(configuration));
    }
    return *store_;
}

ShortcutSettings &KestrivaneApplication::shortcutSettings()
{
    if (!shortcutSettings_)
        shortcutSettings_ = std::make_unique<ShortcutSettings>(*userDefaults_);
    return *shortcutSettings_;
}

void KestrivaneApplication::declareScenes()
{
    windows_->declare({WindowRegistry::settings, [] { return AppL10n::text(QStringLiteral("settings_title")); },
                       QSize(720, 560), [this] { return makeSettingsContent(); }});
    windows_->declare({WindowRegistry::todayMeets, [] { return AppL10n::text(QStringLiteral("today_meets_title")); },
                       TodayMeetView::minimumWindowSize, [this] { return makeTodayMeetsContent(); }});
    windows_->declare({WindowRegistry::setup, [] { return AppL10n::text(QStringLiteral("setup_title")); },
                       QSize(520, 460), [this] { return makeSetupContent(); }});
}

MeetingViewActions KestrivaneApplication::meetingViewActions()
{
    MeetingViewActions actions;
    actions.openFeedbackForm = [this] { openFeedbackForm(); };
    actions.openSettings = [this] {
        hidePanel();
        windows_->open(WindowRegistry::settings);
    };
    actions.openToday = [this] {
        hidePanel();
        AppNotificationCenter::defaultCenter().post(AppNotificationCenter::openTodayMeetsWindow);
    };
    actions.quit = [this] { delegate_->applicationShouldTerminate(); };
    return actions;
}

void KestrivaneApplication::hidePanel()
{
    if (tray_)
        tray_->hidePanel();
}

QWidget *KestrivaneApplication::makeTodayMeetsContent()
{
    return new TodayMeetView(store(), meetingViewActions());
}

QWidget *KestrivaneApplication::makeSettingsContent()
{
    SettingsEnvironment environment;
    environment.store = &store();
    environment.updateStatus = updateStatus_.get();
    environment.shortcutSettings = &shortcutSettings();
    environment.buildChannel = buildChannel_;
    return new SettingsView(std::move(environment));
}

QWidget *KestrivaneApplication::makeSetupContent()
{
    return new SetupView(store(), *updateStatus_, [this](const QString &identifier) { windows_->open(identifier); });
}

QWidget *KestrivaneApplication::makeMenuBarPanelContent()
{
    return new MenuBarView(store(), *updateStatus_, meetingViewActions());
}

bool KestrivaneApplication::launch()
{
    if (!delegate_->applicationDidFinishLaunching())
        return false;
    AppNotificationCenter::defaultCenter().observe(AppNotificationCenter::openTodayMeetsWindow, this,
                                                   [this] { openTodayMeetsWindow(); });
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installEventFilter(this);
    setUpTray();
    // The icon reaches the tray first; the rest of the start-up, with the first window, runs on
    // the next turn of the event loop.
    QTimer::singleShot(0, this, [this] { runStartUpSequence(); });
    return true;
}

void KestrivaneApplication::setUpTray()
{
    tray_ = std::make_unique<MenuBarTray>([this]() -> QWidget * { return makeMenuBarPanelContent(); });
    tray_->setPanelTitle(buildChannel_.displayName());
    tray_->setCommands({
        {AppL10n::text(QStringLiteral("open_today_meets_shortcut")), [this] { openTodayMeetsWindow(); }},
        {AppL10n::text(QStringLiteral("join_meet_shortcut")), [this] { openShortcutMeet(); }},
        {AppL10n::text(QStringLiteral("check_for_updates")),
         [] { AppNotificationCenter::defaultCenter().post(AppNotificationCenter::checkForUpdates); }},
        {AppL10n::text(QStringLiteral("send_feedback")), [this] { openFeedbackForm(); }},
        {AppL10n::text(QStringLiteral("quit")), [this] { delegate_->applicationShouldTerminate(); }, true},
    });
    connect(&store(), &AppStore::changed, tray_.get(), [this] { refreshMenuBarLabel(); });
    // The glyph is white on a dark panel, black on a light one, following the desktop's scheme.
    connect(&ColorSchemeProvider::shared(), &ColorSchemeProvider::changed, tray_.get(), [this] { refreshMenuBarLabel(); });
    refreshMenuBarLabel();
    tray_->show();
}

void KestrivaneApplication::refreshMenuBarLabel()
{
    if (!tray_)
        return;
    AppStore &meetings = store();
    const MenuBarLabel::State state = MenuBarLabel::state(meetings.requiresUserAttention(), meetings.currentMeetEvent().has_value(),
                                                          meetings.activeMeetEvent().has_value());
    const QString toolTip = MenuBarLabel::helpText(state, buildChannel_.displayName());
    const bool dark = ColorSchemeProvider::shared().scheme() == ColorScheme::dark;
    const ShownLabel shown{static_cast<int>(state), dark, toolTip};
    if (shownLabel_ == shown)
        return;
    shownLabel_ = shown;
    tray_->setLabel(MenuBarLabel::icon(state, !buildChannel_.isRelease(), dark), toolTip);
}

void KestrivaneApplication::runStartUpSequence()
{
    delegate_->setStore(&store());
    delegate_->setUpdateStatus(updateStatus_.get());
    delegate_->setShortcutSettings(&shortcutSettings());
    delegate_->refreshAvailableUpdateInformationIfNeeded();
    if (!store().demoMode().enabled) {
        store().startPeriodicSync();
        store().startPresentationRefresh();
    }
    presentInitialWindowIfNeeded();
}

void KestrivaneApplication::presentInitialWindowIfNeeded()
{
    if (didPresentInitialWindow_)
        return;
    didPresentInitialWindow_ = true;
    if (store().googleAccounts().isEmpty())
        windows_->open(WindowRegistry::setup);
    else
        openTodayMeetsWindow();
}

void KestrivaneApplication::openTodayMeetsWindow()
{
    if (bringTodayMeetsWindowToFront())
        return;
    windows_->open(WindowRegistry::todayMeets);
    // Once more on the next turn, when the new window is mapped.
    QTimer::singleShot(0, this, [this] { bringTodayMeetsWindowToFront(); });
}

bool KestrivaneApplication::bringTodayMeetsWindowToFront()
{
    return windows_ && windows_->bringToFront(WindowRegistry::todayMeets);
}

void KestrivaneApplication::openShortcutMeet()
{
    // The same road as the join hot key: the link, else the Today window.
    delegate_->openShortcutMeet();
}

void KestrivaneApplication::openFeedbackForm()
{
    openFeedbackFormInBrowser();
}

bool KestrivaneApplication::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == QCoreApplication::instance()) {
        if (event->type() == QEvent::Quit) {
            delegate_->applicationShouldTerminate();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kestrivane
