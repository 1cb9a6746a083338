#include "TestSupport/DesktopSession.h"

#include "TestSupport/Coroutines.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>

namespace kestrivane::test {

using namespace std::chrono_literals;

DesktopSession::DesktopSession() : bus_(std::make_unique<PrivateBus>())
{
    if (!home_.isValid()) {
        problem_ = QStringLiteral("cannot create a home folder");
        return;
    }
    if (!bus_->problem().isEmpty()) {
        problem_ = bus_->problem();
        return;
    }
    if (!browser_.isValid()) {
        problem_ = QStringLiteral("cannot write the fake xdg-open");
        return;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        problem_ = QStringLiteral("no X display: run the tests through scripts/test.sh (Xvfb)");
        return;
    }
    const QString runtime = home_.filePath(QStringLiteral("runtime"));
    for (const QString &folder : {configHome(), dataHome(), home_.filePath(QStringLiteral(".cache")), runtime})
        QDir().mkpath(folder);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    environment_ = QProcessEnvironment::systemEnvironment();
    environment_.insert(QStringLiteral("HOME"), home_.path());
    environment_.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
    environment_.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
    environment_.insert(QStringLiteral("XDG_CACHE_HOME"), home_.filePath(QStringLiteral(".cache")));
    environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment_.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_->address());
    environment_.insert(QStringLiteral("PATH"), QString::fromUtf8(browser_.path()));
    environment_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    for (const char *name : {"GNOME_KEYRING_CONTROL", "SSH_AUTH_SOCK", "WAYLAND_DISPLAY", "XDG_DATA_DIRS"})
        environment_.remove(QString::fromLatin1(name));
}

DesktopSession::~DesktopSession()
{
    // Last started, first ended: the application before the services it uses.
    for (auto it = processes_.rbegin(); it != processes_.rend(); ++it) {
        QProcess *process = *it;
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(5000)) {
                process->kill();
                process->waitForFinished(2000);
            }
        }
        delete process;
    }
}

QProcess *DesktopSession::start(const QString &program, const QStringList &arguments, bool keepErrors)
{
    auto *process = new QProcess;
    process->setProcessEnvironment(environment_);
    process->setProcessChannelMode(keepErrors ? QProcess::SeparateChannels : QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(program, arguments);
    processes_.append(process);
    return process;
}

int DesktopSession::waitForExit(QProcess *process, std::chrono::milliseconds timeout)
{
    waitUntil([process] { return process->state() == QProcess::NotRunning; }, timeout);
    if (process->state() != QProcess::NotRunning || process->exitStatus() != QProcess::NormalExit)
        return -1;
    return process->exitCode();
}

SecretToolResult DesktopSession::run(const QString &program, const QStringList &arguments, const QByteArray &input)
{
    return runProgram(program, arguments, input, environment_);
}

QString DesktopSession::waitForBusName(const QString &name, QProcess *process)
{
    QDBusConnection connection = bus_->connect();
    const bool owned = waitUntil([&] {
        return process->state() == QProcess::NotRunning || connection.interface()->isServiceRegistered(name).value();
    }, 10s);
    if (!owned || process->state() == QProcess::NotRunning)
        return process->program() + QStringLiteral(" did not take ") + name;
    return {};
}

QString DesktopSession::startKeyring()
{
    QProcess *keyring = start(QStringLiteral("gnome-keyring-daemon"),
                              {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
    if (!keyring->waitForStarted(5000))
        return QStringLiteral("cannot start gnome-keyring-daemon");
    keyring->write("kestrivane-test");
    keyring->closeWriteChannel();
    return waitForBusName(QStringLiteral("org.freedesktop.secrets"), keyring);
}

QString DesktopSession::startTray()
{
    QProcess *tray = start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                                                      QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                                                      QStringLiteral("--height"), QStringLiteral("28"), QStringLiteral("--tint"),
                                                      QStringLiteral("0xe8e8e8"), QStringLiteral("--transparent"), QStringLiteral("true"),
                                                      QStringLiteral("--alpha"), QStringLiteral("0")});
    if (!tray->waitForStarted(5000))
        return QStringLiteral("cannot start trayer");
    return {};
}

QString DesktopSession::startNotificationDaemon()
{
    QProcess *dunst = start(QStringLiteral("dunst"), {});
    if (!dunst->waitForStarted(5000))
        return QStringLiteral("cannot start dunst");
    return waitForBusName(QStringLiteral("org.freedesktop.Notifications"), dunst);
}

bool pressKeys(const QStringList &keys)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + keys);
    return process.waitForFinished(5000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace kestrivane::test
