#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

class QProcess;

namespace kestrivane::test {

class DesktopSession;

// Reading and pressing an application's widgets as a screen reader does, through AT-SPI.
//
// An AccessibilityBus runs at-spi-bus-launcher (with its registry) on a D-Bus session bus:
//   - AccessibilityBus bus;                  the tests' own process, on its session bus: widgets
//                                             this test process shows become readable (the app
//                                             test main sets QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1);
//   - AccessibilityBus bus(desktopSession);  the private bus of a DesktopSession: programs started
//                                             there afterwards get QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1.
// The launcher runs without an X display, so it never publishes its address on the shared Xvfb
// root window, and ends with the object.
//
// An application is selected by its process id ("pid:1234", see `self()`) or by its AT-SPI name
// (Qt: the application name). tree() dumps it as JSON, one object per accessible:
//   {"role": "push button", "name": "Retry", "description": "", "states": ["enabled", ...],
//    "value": 0.5 (only with a value interface), "actions": ["Press", ...],
//    "extents": [x, y, width, height] (on the screen, with a component interface), "children": [...]}
// Roles and states are AT-SPI's names (pyatspi: "push button", "label", "progress bar";
// "enabled", "sensitive", "checked", "focusable", "showing", ...). A node's `path` is the list of
// child indices from the application. press() runs an action (default: the first action named
// "press" or "click", else the first) on the node at a path, or on the first node, depth first,
// with a role and a name; it returns an empty text on success, else why not.
//
// Each call runs /usr/bin/python3 with pyatspi in the background while this thread's event loop
// keeps running, so the test's own widgets answer. Needs at-spi2-core and python3-pyatspi.
class AccessibilityBus {
public:
    AccessibilityBus();
    explicit AccessibilityBus(DesktopSession &session);
    ~AccessibilityBus();

    AccessibilityBus(const AccessibilityBus &) = delete;
    AccessibilityBus &operator=(const AccessibilityBus &) = delete;

    // Empty when the bus runs, else why not.
    QString problem() const { return problem_; }
    // The address of the accessibility bus.
    QString address() const { return address_; }

    // The selector of this test process.
    static QString self();

    // The application's tree; an empty object (and `error` set) when it cannot be read within
    // the time limit (the application has to register first, and a read that meets widgets being
    // rebuilt is started again: both are retried until then). press() finds its node the same way
    // and never runs the action twice.
    QJsonObject tree(const QString &application, QString *error = nullptr) const;
    QString press(const QString &application, const QList<int> &path, const QString &action = {}) const;
    QString press(const QString &application, const QString &role, const QString &name, const QString &action = {}) const;

private:
    void launch(const QProcessEnvironment &environment);
    // Runs the helper script with `arguments`; its standard output, or an error.
    QByteArray runScript(const QStringList &arguments, QString *error) const;

    std::unique_ptr<QProcess> launcher_;
    QProcessEnvironment environment_;
    QString address_;
    QString problem_;
};

// The nodes of a dumped tree (depth first) whose role is `role` (empty: any) and whose name is
// `name` (empty: any).
QList<QJsonObject> findAccessibles(const QJsonObject &tree, const QString &role, const QString &name = {});
// Whether the node carries the AT-SPI state `state`.
bool hasState(const QJsonObject &node, const QString &state);
// The application's top level (window) named `name`; empty when there is none.
QJsonObject topLevel(const QJsonObject &application, const QString &name);
// The named accessibles under `tree` in the order a screen reader meets them (depth first), each
// as "role: name".
QStringList readingOrder(const QJsonObject &tree);
// Whether `read` holds each of `wanted` ("role: name"), each after the one before.
bool readsInOrder(const QStringList &read, const QStringList &wanted);

} // namespace kestrivane::test
