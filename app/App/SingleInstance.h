#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace kestrivane {

// One running copy per build channel and user session: the first launch owns a name on the
// session bus; a later launch asks the owner to reopen (show its Today window) and leaves.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.kestrivane.Application")

public:
    static inline const QString objectPath = QStringLiteral("/Application");
    static inline const QString interfaceName = QStringLiteral("app.kestrivane.Application");

    enum class Outcome {
        Primary,          // this process owns the name
        ReopenedRunning,  // another process owns it and was asked to reopen
        Unavailable,      // no session bus, or the running copy did not answer
    };

    SingleInstance(QDBusConnection connection, QString serviceName, QObject *parent = nullptr);
    ~SingleInstance() override;

    Outcome claim();
    const QString &serviceName() const { return serviceName_; }

public slots:
    // Called over the bus by a later launch.
    Q_SCRIPTABLE void Reopen();

signals:
    void reopenRequested();

private:
    QDBusConnection connection_;
    QString serviceName_;
    bool owner_ = false;
};

} // namespace kestrivane
