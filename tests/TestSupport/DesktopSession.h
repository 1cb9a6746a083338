#pragma once

#include "TestSupport/FakeBrowser.h"
#include "TestSupport/PrivateBus.h"
#include "TestSupport/SecretTool.h"

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

namespace kestrivane::test {

// The desktop of one whole-application test, on the X display of the test session: a fresh home
// (configuration, data, cache and runtime folders), a private session bus, a fake xdg-open that
// records links, and on request a keyring (gnome-keyring-daemon, unlocked), a tray (trayer) and a
// notification daemon (dunst) on that bus. Programs started here get this environment and are
// ended with the session.
class DesktopSession {
public:
    DesktopSession();
    ~DesktopSession();

    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

    // Empty when the session is ready, else why not.
    QString problem() const { return problem_; }

    // Each returns an empty text once the service runs, else why not.
    QString startKeyring();
    QString startTray();
    QString startNotificationDaemon();

    PrivateBus &bus() { return *bus_; }
    QString configHome() const { return home_.filePath(QStringLiteral(".config")); }
    QString dataHome() const { return home_.filePath(QStringLiteral(".local/share")); }
    FakeBrowser &browser() { return browser_; }

    QProcessEnvironment environment() const { return environment_; }
    void setVariable(const QString &name, const QString &value) { environment_.insert(name, value); }
    void removeVariable(const QString &name) { environment_.remove(name); }

    // Starts `program` in this session; the process is owned by the session. Its standard error
    // goes to the test's own, or is kept for readAllStandardError() with `keepErrors`.
    QProcess *start(const QString &program, const QStringList &arguments, bool keepErrors = false);
    // Processes events until `process` has ended (at most `timeout`); its exit code, or -1 when it
    // crashed or is still running.
    static int waitForExit(QProcess *process, std::chrono::milliseconds timeout);
    // Runs a command to its end in this session.
    SecretToolResult run(const QString &program, const QStringList &arguments, const QByteArray &input = {});

private:
    QString waitForBusName(const QString &name, QProcess *process);

    QTemporaryDir home_;
    std::unique_ptr<PrivateBus> bus_;
    FakeBrowser browser_;
    QProcessEnvironment environment_;
    QList<QProcess *> processes_;
    QString problem_;
};

// The key presses of `keys` (xdotool's names, for example "ctrl+alt+super+m") on the test display.
bool pressKeys(const QStringList &keys);

} // namespace kestrivane::test
