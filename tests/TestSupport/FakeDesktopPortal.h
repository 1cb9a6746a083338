#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>

namespace kestrivane::test {

// The desktop portal's settings on a test bus, for the light or dark scheme: answers ReadOne and
// Read of "org.freedesktop.appearance" "color-scheme" (1 dark, 2 light) as
// org.freedesktop.portal.Desktop at /org/freedesktop/portal/desktop.
class FakeDesktopPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    // Empty when the portal is on `bus`, else why not.
    FakeDesktopPortal(QDBusConnection bus, bool dark);
    ~FakeDesktopPortal() override;
    QString problem() const { return problem_; }

public slots:
    QDBusVariant ReadOne(const QString &settingNamespace, const QString &key);
    QDBusVariant Read(const QString &settingNamespace, const QString &key);

private:
    QDBusConnection bus_;
    quint32 preference_;
    QString problem_;
};

} // namespace kestrivane::test
