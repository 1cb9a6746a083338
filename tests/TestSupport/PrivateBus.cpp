#include "TestSupport/PrivateBus.h"

#include <QFile>

#include <atomic>

namespace kestrivane::test {

PrivateBus::PrivateBus()
{
    if (!dir_.isValid()) {
        problem_ = QStringLiteral("cannot create a folder for the private bus");
        return;
    }
    const QString config = dir_.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) {
        problem_ = QStringLiteral("cannot write the private bus configuration");
        return;
    }
    file.write(QStringLiteral(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)")
                   .arg(dir_.path())
                   .toUtf8());
    file.close();

    daemon_.setProgram(QStringLiteral("dbus-daemon"));
    daemon_.setArguments({QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    daemon_.setProcessChannelMode(QProcess::SeparateChannels);
    daemon_.start();
    if (!daemon_.waitForStarted(5000)) {
        problem_ = QStringLiteral("cannot start dbus-daemon: ") + daemon_.errorString();
        return;
    }
    while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    if (address_.isEmpty())
        problem_ = QStringLiteral("dbus-daemon printed no address: ") + QString::fromUtf8(daemon_.readAllStandardError());
}

PrivateBus::~PrivateBus()
{
    for (const QString &name : std::as_const(connectionNames_))
        QDBusConnection::disconnectFromBus(name);
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.terminate();
        if (!daemon_.waitForFinished(5000))
            daemon_.kill();
        daemon_.waitForFinished(1000);
    }
}

QDBusConnection PrivateBus::connect()
{
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("kestrivane-private-bus-client-%1").arg(++counter);
    connectionNames_.append(name);
    return QDBusConnection::connectToBus(address_, name);
}

} // namespace kestrivane::test
