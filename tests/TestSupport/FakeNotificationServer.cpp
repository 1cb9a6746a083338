#include "TestSupport/FakeNotificationServer.h"

#include <QDBusConnectionInterface>
#include <QDBusError>

#include <atomic>

namespace kestrivane::test {

namespace {

const QString serviceName = QStringLiteral("org.freedesktop.Notifications");
const QString objectPath = QStringLiteral("/org/freedesktop/Notifications");

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("kestrivane-fake-notification-server-%1").arg(++counter);
}

QDBusConnection connectTo(const QString &busAddress, const QString &name)
{
    return busAddress.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)
                                : QDBusConnection::connectToBus(busAddress, name);
}

} // namespace

FakeNotificationServer::FakeNotificationServer(const QString &busAddress, QObject *parent)
    : QObject(parent), connectionName_(nextConnectionName()), connection_(connectTo(busAddress, connectionName_))
{
}

FakeNotificationServer::~FakeNotificationServer()
{
    stop();
    connection_.unregisterObject(objectPath);
    QDBusConnection::disconnectFromBus(connectionName_);
}

QString FakeNotificationServer::start()
{
    if (!connection_.isConnected())
        return QStringLiteral("fake notification server cannot connect to the bus: ") + connection_.lastError().message();
    if (!connection_.objectRegisteredAt(objectPath)
        && !connection_.registerObject(objectPath, this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals))
        return QStringLiteral("fake notification server cannot export its object");
    // Fail at once instead of queueing behind another owner.
    const auto reply = connection_.interface()->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
                                                                QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered)
        return QStringLiteral("fake notification server cannot own %1 (another server runs?): %2").arg(serviceName, reply.error().message());
    registered_ = true;
    return {};
}

void FakeNotificationServer::stop()
{
    if (registered_)
        connection_.unregisterService(serviceName);
    registered_ = false;
}

bool FakeNotificationServer::failed()
{
    if (failure_.isEmpty())
        return false;
    sendErrorReply(failure_, QStringLiteral("the fake notification server was told to fail"));
    return true;
}

uint FakeNotificationServer::Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary,
                                    const QString &body, const QStringList &actions, const QVariantMap &hints, int expireTimeout)
{
    if (failed())
        return 0;
    const uint id = nextId_++;
    notifications_.append({id, appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout});
    return id;
}

QStringList FakeNotificationServer::GetCapabilities()
{
    if (failed())
        return {};
    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body")};
    if (bodyMarkup_)
        capabilities.append(QStringLiteral("body-markup"));
    return capabilities;
}

QString FakeNotificationServer::GetServerInformation(QString &vendor, QString &version, QString &specVersion)
{
    ++serverInformationRequests_;
    if (failed())
        return {};
    vendor = QStringLiteral("Kestrivane tests");
    version = QStringLiteral("1");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("fake-notification-server");
}

void FakeNotificationServer::CloseNotification(uint id)
{
    if (failed())
        return;
    emit NotificationClosed(id, 3);
}

} // namespace kestrivane::test
