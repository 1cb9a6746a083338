#include "TestSupport/FakeDesktopPortal.h"

#include <QDBusError>

namespace kestrivane::test {

namespace {
const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
} // namespace

FakeDesktopPortal::FakeDesktopPortal(QDBusConnection bus, bool dark) : bus_(std::move(bus)), preference_(dark ? 1 : 2)
{
    if (!bus_.registerObject(path, this, QDBusConnection::ExportAllSlots))
        problem_ = QStringLiteral("cannot register the portal object: ") + bus_.lastError().message();
    else if (!bus_.registerService(service))
        problem_ = QStringLiteral("cannot own the portal name: ") + bus_.lastError().message();
}

FakeDesktopPortal::~FakeDesktopPortal()
{
    bus_.unregisterService(service);
    bus_.unregisterObject(path);
}

QDBusVariant FakeDesktopPortal::ReadOne(const QString &settingNamespace, const QString &key)
{
    if (settingNamespace == u"org.freedesktop.appearance" && key == u"color-scheme")
        return QDBusVariant(QVariant::fromValue(preference_));
    return QDBusVariant(QVariant::fromValue(quint32(0)));
}

QDBusVariant FakeDesktopPortal::Read(const QString &settingNamespace, const QString &key)
{
    // The first version wraps the value in one more variant.
    return QDBusVariant(QVariant::fromValue(ReadOne(settingNamespace, key)));
}

} // namespace kestrivane::test
