#include "App/SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace kestrivane {

SingleInstance::SingleInstance(QDBusConnection connection, QString serviceName, QObject *parent)
    : QObject(parent), connection_(std::move(connection)), serviceName_(std::move(serviceName))
{
}

SingleInstance::~SingleInstance()
{
    if (owner_) {
        connection_.unregisterObject(objectPath);
        // Without waiting for the answer, which would hold up the quit: the bus handles this
        // connection's messages in order, so a later claim on it still comes after the release,
        // and a connection that closes first releases the name anyway.
        QDBusMessage release = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                                              QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ReleaseName"));
        release << serviceName_;
        connection_.call(release, QDBus::NoBlock);
    }
}

SingleInstance::Outcome SingleInstance::claim()
{
    if (!connection_.isConnected() || !connection_.interface())
        return Outcome::Unavailable;
    if (!connection_.registerObject(objectPath, this, QDBusConnection::ExportScriptableSlots))
        return Outcome::Unavailable;
    const auto reply = connection_.interface()->registerService(serviceName_, QDBusConnectionInterface::DontQueueService,
                                                                QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        owner_ = true;
        return Outcome::Primary;
    }
    connection_.unregisterObject(objectPath);
    if (!reply.isValid())
        return Outcome::Unavailable;

    const QDBusMessage call = QDBusMessage::createMethodCall(serviceName_, objectPath, interfaceName, QStringLiteral("Reopen"));
    const QDBusMessage answer = connection_.call(call, QDBus::BlockWithGui, 5000);
    return answer.type() == QDBusMessage::ReplyMessage ? Outcome::ReopenedRunning : Outcome::Unavailable;
}

void SingleInstance::Reopen()
{
    emit reopenRequested();
}

} // namespace kestrivane
