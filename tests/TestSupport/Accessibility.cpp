#include "TestSupport/Accessibility.h"

#include "TestSupport/Coroutines.h"
#include "TestSupport/DesktopSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QJsonDocument>
#include <QProcess>

#include <csignal>
#include <unistd.h>

namespace kestrivane::test {

using namespace std::chrono_literals;

namespace {

// The screen reader's side: dumps an application's tree as JSON, or runs an action.
// Arguments: "tree" SELECTOR | "press" SELECTOR ACTION ("path" I,J,... | "find" ROLE NAME).
// Exit 3: the application is not (yet) registered; 4: no such node or action; 5: the action was
// refused; 6: a node went away while the tree was read (the widgets are being rebuilt).
const char script[] = R"PY(
import json, sys, traceback
import pyatspi
from gi.repository import Atspi, GLib

Atspi.set_timeout(4000, 8000)

def find_app(selector):
    for app in pyatspi.Registry.getDesktop(0):
        if app is None:
            continue
        try:
            if selector.startswith('pid:'):
                if app.get_process_id() == int(selector[4:]):
                    return app
            elif app.name == selector:
                return app
        except Exception:
            pass
    return None

class Changed(Exception):
    pass

def child(acc, index):
    found = acc.getChildAtIndex(index)
    if found is None:
        raise Changed()
    return found

def actions_of(acc):
    try:
        action = acc.queryAction()
    except NotImplementedError:
        return None, []
    return action, [action.getName(i) for i in range(action.nActions)]

def describe(acc, path):
    node = {'role': acc.getRoleName(), 'name': acc.name or '', 'description': acc.description or '', 'path': path}
    node['states'] = sorted(pyatspi.stateToString(s) for s in acc.getState().getStates())
    try:
        node['value'] = acc.queryValue().currentValue
    except NotImplementedError:
        pass
    node['actions'] = actions_of(acc)[1]
    node['labelledBy'] = [target.name or '' for relation in acc.getRelationSet()
                          if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
                          for target in (relation.getTarget(i) for i in range(relation.getNTargets()))]
    try:
        box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        node['extents'] = [box.x, box.y, box.width, box.height]
    except NotImplementedError:
        pass
    node['children'] = [describe(child(acc, i), path + [i]) for i in range(acc.childCount)]
    return node

def find(acc, role, name):
    if acc.getRoleName() == role and (acc.name or '') == name:
        return acc
    for i in range(acc.childCount):
        found = find(child(acc, i), role, name)
        if found is not None:
            return found
    return None

def locate(command, selector):
    app = find_app(selector)
    if app is None:
        sys.exit(3)
    if command == 'tree':
        return json.dumps(describe(app, []))
    how = sys.argv[4]
    target = app
    if how == 'path':
        for index in [int(i) for i in sys.argv[5].split(',') if i != '']:
            target = target.getChildAtIndex(index) if 0 <= index < target.childCount else None
            if target is None:
                sys.exit(4)
    else:
        target = find(app, sys.argv[5], sys.argv[6])
        if target is None:
            sys.exit(4)
    return actions_of(target)

command, selector = sys.argv[1], sys.argv[2]
try:
    located = locate(command, selector)
except (GLib.GError, Changed):
    # An accessible went away while it was read: the widgets are being rebuilt.
    traceback.print_exc()
    sys.exit(6)
if command == 'tree':
    print(located)
    sys.exit(0)
wanted = sys.argv[3]
action, names = located
lowered = [n.lower() for n in names]
if wanted:
    index = lowered.index(wanted.lower()) if wanted.lower() in lowered else -1
else:
    index = next((i for i, n in enumerate(lowered) if n in ('press', 'click')), 0 if names else -1)
if index < 0:
    sys.exit(4)
sys.exit(0 if action.doAction(index) else 5)
)PY";

constexpr auto scriptTimeout = 20s;

} // namespace

AccessibilityBus::AccessibilityBus()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"))
        problem_ = QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON was not set when the test process started");
    else
        launch(environment);
}

AccessibilityBus::AccessibilityBus(DesktopSession &session)
{
    session.setVariable(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    launch(session.environment());
}

AccessibilityBus::~AccessibilityBus()
{
    if (launcher_ && launcher_->state() != QProcess::NotRunning) {
        // The launcher, its bus daemon and the registry it activated: the group the launcher leads.
        const pid_t group = pid_t(launcher_->processId());
        ::kill(-group, SIGTERM);
        if (!launcher_->waitForFinished(3000)) {
            ::kill(-group, SIGKILL);
            launcher_->waitForFinished(2000);
        }
    }
}

void AccessibilityBus::launch(const QProcessEnvironment &environment)
{
    const QString sessionBus = environment.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    if (sessionBus.isEmpty()) {
        problem_ = QStringLiteral("no D-Bus session bus");
        return;
    }
    environment_ = environment;
    QProcessEnvironment launcherEnvironment = environment;
    // Without a display the launcher keeps its address off the shared X root window.
    launcherEnvironment.remove(QStringLiteral("DISPLAY"));
    launcher_ = std::make_unique<QProcess>();
    launcher_->setProcessEnvironment(launcherEnvironment);
    // Its own process group, ended as a whole; no inherited output pipes that would keep a test
    // runner waiting.
    launcher_->setChildProcessModifier([] { ::setsid(); });
    launcher_->setStandardOutputFile(QProcess::nullDevice());
    launcher_->setStandardErrorFile(QProcess::nullDevice());
    launcher_->start(QStringLiteral("/usr/libexec/at-spi-bus-launcher"), {QStringLiteral("--launch-immediately")});
    if (!launcher_->waitForStarted(5000)) {
        problem_ = QStringLiteral("cannot start /usr/libexec/at-spi-bus-launcher (install at-spi2-core)");
        return;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(sessionBus, QStringLiteral("kestrivane-a11y-%1").arg(quintptr(this)));
    const bool found = waitUntil([&] {
        if (launcher_->state() == QProcess::NotRunning)
            return true;
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                                           QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
        call.setAutoStartService(false);
        const QDBusReply<QString> reply = bus.call(call, QDBus::Block, 1000);
        if (reply.isValid())
            address_ = reply.value();
        return !address_.isEmpty();
    }, 10s);
    QDBusConnection::disconnectFromBus(bus.name());
    if (!found || address_.isEmpty())
        problem_ = QStringLiteral("the accessibility bus did not start");
}

QString AccessibilityBus::self()
{
    return QStringLiteral("pid:%1").arg(QCoreApplication::applicationPid());
}

QByteArray AccessibilityBus::runScript(const QStringList &arguments, QString *error) const
{
    QProcessEnvironment environment = environment_;
    environment.insert(QStringLiteral("AT_SPI_BUS_ADDRESS"), address_);
    environment.remove(QStringLiteral("DISPLAY"));
    // Retried while the application has not registered yet, or its widgets change under the reader.
    QByteArray output;
    QString failure;
    const QDeadlineTimer deadline(15s);
    const auto attempt = [&] {
        QProcess python;
        python.setProcessEnvironment(environment);
        python.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), QString::fromUtf8(script)} + arguments);
        waitUntil([&] { return python.state() == QProcess::NotRunning; }, scriptTimeout);
        if (python.state() != QProcess::NotRunning) {
            python.kill();
            python.waitForFinished(2000);
            failure = QStringLiteral("the AT-SPI helper did not finish");
            return true;
        }
        const int code = python.exitStatus() == QProcess::NormalExit ? python.exitCode() : -1;
        const QByteArray errors = python.readAllStandardError();
        output = python.readAllStandardOutput();
        switch (code) {
        case 0: failure.clear(); return true;
        case 3: failure = QStringLiteral("the application is not registered on the accessibility bus"); return false;
        case 4: failure = QStringLiteral("no such accessible or action"); return true;
        case 5: failure = QStringLiteral("the action was refused"); return true;
        case 6:
            failure = QStringLiteral("the accessibility tree kept changing while it was read: ") +
                      QString::fromUtf8(errors);
            return false;
        default:
            failure = QStringLiteral("the AT-SPI helper failed: ") + QString::fromUtf8(errors);
            return true;
        }
    };
    while (!attempt() && !deadline.hasExpired())
        waitUntil([] { return false; }, 300ms);
    if (error)
        *error = failure;
    return failure.isEmpty() ? output : QByteArray();
}

QJsonObject AccessibilityBus::tree(const QString &application, QString *error) const
{
    if (!problem_.isEmpty()) {
        if (error)
            *error = problem_;
        return {};
    }
    const QByteArray output = runScript({QStringLiteral("tree"), application}, error);
    return QJsonDocument::fromJson(output).object();
}

QString AccessibilityBus::press(const QString &application, const QList<int> &path, const QString &action) const
{
    if (!problem_.isEmpty())
        return problem_;
    QStringList indices;
    for (const int index : path)
        indices << QString::number(index);
    QString error;
    runScript({QStringLiteral("press"), application, action, QStringLiteral("path"), indices.join(u',')}, &error);
    return error;
}

QString AccessibilityBus::press(const QString &application, const QString &role, const QString &name, const QString &action) const
{
    if (!problem_.isEmpty())
        return problem_;
    QString error;
    runScript({QStringLiteral("press"), application, action, QStringLiteral("find"), role, name}, &error);
    return error;
}

QList<QJsonObject> findAccessibles(const QJsonObject &tree, const QString &role, const QString &name)
{
    QList<QJsonObject> found;
    if ((role.isEmpty() || tree.value(QStringLiteral("role")).toString() == role)
        && (name.isEmpty() || tree.value(QStringLiteral("name")).toString() == name) && !tree.isEmpty())
        found << tree;
    for (const QJsonValue child : tree.value(QStringLiteral("children")).toArray())
        found << findAccessibles(child.toObject(), role, name);
    return found;
}

bool hasState(const QJsonObject &node, const QString &state)
{
    return node.value(QStringLiteral("states")).toArray().contains(state);
}

QJsonObject topLevel(const QJsonObject &application, const QString &name)
{
    for (const QJsonValue window : application.value(QStringLiteral("children")).toArray()) {
        if (window.toObject().value(QStringLiteral("name")).toString() == name)
            return window.toObject();
    }
    return {};
}

QStringList readingOrder(const QJsonObject &tree)
{
    QStringList read;
    for (const QJsonObject &node : findAccessibles(tree, {})) {
        if (const QString name = node.value(QStringLiteral("name")).toString(); !name.isEmpty())
            read << node.value(QStringLiteral("role")).toString() + QStringLiteral(": ") + name;
    }
    return read;
}

bool readsInOrder(const QStringList &read, const QStringList &wanted)
{
    qsizetype at = -1;
    for (const QString &item : wanted) {
        at = read.indexOf(item, at + 1);
        if (at < 0)
            return false;
    }
    return true;
}

} // namespace kestrivane::test
