#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace kestrivane::test {

// A desktop notification server of the test suite: owns org.freedesktop.Notifications on the
// session bus (or on the bus at a given address) through a connection of its own, records every
// Notify and can emit ActionInvoked and NotificationClosed. Lives on the test's thread; clients in
// the same process must call it asynchronously. Only one can own the name on a bus: tests that may
// run in parallel processes give each server a PrivateBus.
class FakeNotificationServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Notification {
        uint id = 0;
        QString appName;
        uint replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = 0;
    };

    // An empty address means the session bus.
    explicit FakeNotificationServer(const QString &busAddress = {}, QObject *parent = nullptr);
    ~FakeNotificationServer() override;

    // Exports the object and takes the name. Returns an empty text, or why it could not.
    QString start();
    // Gives the name up again, as a server that quits.
    void stop();

    // Whether GetCapabilities lists "body-markup".
    void setBodyMarkup(bool on) { bodyMarkup_ = on; }
    // Every method answers with this D-Bus error while it is set.
    void setFailure(const QString &errorName) { failure_ = errorName; }

    void invokeAction(uint id, const QString &actionKey) { emit ActionInvoked(id, actionKey); }
    void close(uint id, uint reason = 2) { emit NotificationClosed(id, reason); }

    const QList<Notification> &notifications() const { return notifications_; }
    int serverInformationRequests() const { return serverInformationRequests_; }

public Q_SLOTS:
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int expireTimeout);
    QStringList GetCapabilities();
    QString GetServerInformation(QString &vendor, QString &version, QString &specVersion);
    void CloseNotification(uint id);

Q_SIGNALS:
    void NotificationClosed(uint id, uint reason);
    void ActionInvoked(uint id, const QString &actionKey);

private:
    bool failed();

    QString connectionName_;
    QDBusConnection connection_;
    bool registered_ = false;
    bool bodyMarkup_ = false;
    QString failure_;
    uint nextId_ = 1;
    int serverInformationRequests_ = 0;
    QList<Notification> notifications_;
};

} // namespace kestrivane::test
