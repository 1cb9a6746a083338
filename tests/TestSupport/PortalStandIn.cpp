#include "TestSupport/PortalStandIn.h"

namespace kestrivane::test {

namespace {
const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
} // namespace

PortalStandIn::PortalStandIn(QDBusConnection bus, quint32 colorScheme, bool readOne)
    : bus_(std::move(bus)), colorScheme_(colorScheme), readOne_(readOne)
{
    if (!bus_.registerObject(path, this, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals))
        problem_ = QStringLiteral("cannot register the portal object");
    else if (!bus_.registerService(service))
        problem_ = QStringLiteral("cannot take ") + service;
}

PortalStandIn::~PortalStandIn()
{
    bus_.unregisterService(service);
    bus_.unregisterObject(path);
}

void PortalStandIn::setColorScheme(quint32 value)
{
    colorScheme_ = value;
    emit SettingChanged(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"), QDBusVariant(value));
}

bool PortalStandIn::knows(const QString &settingNamespace, const QString &key, const QDBusMessage &message)
{
    ++reads_;
    if (settingNamespace == QLatin1String("org.freedesktop.appearance") && key == QLatin1String("color-scheme"))
        return true;
    message.setDelayedReply(true);
    bus_.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.NotFound"), QStringLiteral("Requested setting not found")));
    return false;
}

QDBusVariant PortalStandIn::ReadOne(const QString &settingNamespace, const QString &key, const QDBusMessage &message)
{
    if (!readOne_) {
        message.setDelayedReply(true);
        bus_.send(message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("No such method ReadOne")));
        return {};
    }
    if (!knows(settingNamespace, key, message))
        return {};
    return QDBusVariant(colorScheme_);
}

QDBusVariant PortalStandIn::Read(const QString &settingNamespace, const QString &key, const QDBusMessage &message)
{
    if (!knows(settingNamespace, key, message))
        return {};
    return QDBusVariant(QVariant::fromValue(QDBusVariant(colorScheme_)));
}

} // namespace kestrivane::test
