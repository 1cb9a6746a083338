#pragma once

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kestrivane::test {

// A D-Bus bus daemon of one test, with no activatable services: a name nobody owns stays
// unowned. Needs the dbus-daemon program.
class PrivateBus {
public:
    PrivateBus();
    ~PrivateBus();

    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    // Empty when the bus runs, else why not.
    QString problem() const { return problem_; }
    QString address() const { return address_; }
    // A new client connection to this bus; closed with the bus.
    QDBusConnection connect();

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QString problem_;
    QStringList connectionNames_;
};

} // namespace kestrivane::test
