#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QObject>

namespace kestrivane::test {

// The desktop portal's settings interface (org.freedesktop.portal.Settings on
// org.freedesktop.portal.Desktop, /org/freedesktop/portal/desktop) on a test's bus, with one
// setting: org.freedesktop.appearance color-scheme (0 no preference, 1 dark, 2 light). ReadOne
// answers the value, Read the value in one more variant (as portals before version 2 do); with
// `readOne` false the portal has only Read. setColorScheme() emits SettingChanged.
class PortalStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")

public:
    PortalStandIn(QDBusConnection bus, quint32 colorScheme, bool readOne = true);
    ~PortalStandIn() override;

    // Empty when the portal is on the bus, else why not.
    QString problem() const { return problem_; }
    void setColorScheme(quint32 value);
    int reads() const { return reads_; }

public slots:
    QDBusVariant ReadOne(const QString &settingNamespace, const QString &key, const QDBusMessage &message);
    QDBusVariant Read(const QString &settingNamespace, const QString &key, const QDBusMessage &message);

signals:
    void SettingChanged(const QString &settingNamespace, const QString &key, const QDBusVariant &value);

private:
    bool knows(const QString &settingNamespace, const QString &key, const QDBusMessage &message);

    QDBusConnection bus_;
    quint32 colorScheme_;
    bool readOne_;
    int reads_ = 0;
    QString problem_;
};

} // namespace kestrivane::test
