#include "App/KestrivaneApplication.h"
#include "App/LaunchLocation.h"
#include "App/QuitSignals.h"
#include "App/SingleInstance.h"
#include "Support/InstalledApplication.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFontDatabase>
#include <QStringList>

#include <thread>

using namespace kestrivane;

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // A tray application: closing its windows does not end it.
    application.setQuitOnLastWindowClosed(false);
    application.setApplicationName(QStringLiteral("kestrivane"));
    application.setDesktopFileName(InstalledApplication::applicationID());

    // One running copy: a later launch asks it to show its Today window and leaves. A copy in a
    // temporary folder claims nothing: its launch only warns and quits.
    const AppDelegate::Options delegateOptions = AppDelegate::defaultOptions();
    const bool temporaryLocation = delegateOptions.checkLaunchLocation && LaunchLocation::isRunningFromTemporaryLocation();
    SingleInstance instance(QDBusConnection::sessionBus(),
                            KestrivaneApplication::singleInstanceServiceName(AppBuildChannel::current()));
    if (!temporaryLocation && instance.claim() == SingleInstance::Outcome::ReopenedRunning)
        return 0;

    KestrivaneApplication kestrivane(application.arguments(), DemoMode::processEnvironment());
    // SIGTERM, SIGINT and SIGHUP take the orderly quit from here on.
    QuitSignals quitSignals;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, &kestrivane.delegate(),
                     [&kestrivane](int) { kestrivane.delegate().applicationShouldTerminate(); });
    if (!kestrivane.launch())
        return 0;
    // The tray icon is shown. Fontconfig's configuration and the font list are read on a worker
    // thread while the first window is built on the next turn (the font database is thread-safe;
    // the first text measured waits for it). Joined before the application object is destroyed.
    std::jthread fontDatabase([] { QFontDatabase::families(); });

    QObject::connect(&instance, &SingleInstance::reopenRequested, &kestrivane.delegate(),
                     &AppDelegate::applicationShouldHandleReopen);
    return application.exec();
}
