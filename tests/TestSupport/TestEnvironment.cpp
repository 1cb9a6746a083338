#include "TestSupport/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

namespace kestrivane::test {

QString sessionBusProblem()
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return QStringLiteral("no D-Bus session bus: run the tests through scripts/test.sh");
    if (!QDBusConnection::sessionBus().isConnected())
        return QStringLiteral("cannot connect to the D-Bus session bus: ") + QDBusConnection::sessionBus().lastError().message();
    return {};
}

QString keyringProblem()
{
    if (const QString bus = sessionBusProblem(); !bus.isEmpty())
        return bus;
    auto *interface = QDBusConnection::sessionBus().interface();
    if (!interface->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")))
        return QStringLiteral("no Secret Service on the session bus (gnome-keyring-daemon is not running)");
    return {};
}

QString displayProblem()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return QStringLiteral("no X display: run the tests through scripts/test.sh (Xvfb)");
    return {};
}

} // namespace kestrivane::test
