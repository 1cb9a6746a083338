#include "Support/DemoMode.h"

#include <QCoreApplication>
#include <QProcessEnvironment>

namespace kestrivane {

namespace {

std::optional<QString> lookup(const DemoMode::Environment &environment, const QString &name)
{
    const auto it = environment.constFind(name);
    if (it == environment.constEnd())
        return std::nullopt;
    return it.value();
}

} // namespace

QString DemoMode::rawValue(State state)
{
    switch (state) {
    case State::setup:
        return QStringLiteral("setup");
    case State::next:
        return QStringLiteral("next");
    case State::ready:
        return QStringLiteral("ready");
    case State::current:
        return QStringLiteral("current");
    }
    return QStringLiteral("next");
}

std::optional<DemoMode::State> DemoMode::stateFromRawValue(const QString &rawValue)
{
    for (State state : {State::setup, State::next, State::ready, State::current}) {
        if (rawValue == DemoMode::rawValue(state))
            return state;
    }
    return std::nullopt;
}

DemoMode DemoMode::current(const Environment &environment, const QStringList &arguments)
{
    DemoMode mode;
    mode.enabled = isEnabled(environment, arguments);
    mode.state = parsedState(environment, arguments);
    mode.localeIdentifier = parsedLocaleIdentifier(environment, arguments);
    return mode;
}

const DemoMode &DemoMode::disabled()
{
    static const DemoMode mode;
    return mode;
}

DemoMode::Environment DemoMode::processEnvironment()
{
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    Environment environment;
    for (const QString &name : system.keys())
        environment.insert(name, system.value(name));
    return environment;
}

QStringList DemoMode::processArguments()
{
    return QCoreApplication::instance() ? QCoreApplication::arguments() : QStringList();
}

bool DemoMode::isEnabled(const Environment &environment, const QStringList &arguments)
{
    return truthy(lookup(environment, QStringLiteral("KESTRIVANE_DEMO_MODE")))
        || truthy(lookup(environment, QStringLiteral("KESTRIVANE_SCREENSHOT_MODE")))
        || arguments.contains(QStringLiteral("--demo-data")) || arguments.contains(QStringLiteral("--screenshot-data"));
}

DemoMode::State DemoMode::parsedState(const Environment &environment, const QStringList &arguments)
{
    if (const auto value = lookup(environment, QStringLiteral("KESTRIVANE_DEMO_STATE"))) {
        if (const auto state = stateFromRawValue(value->toLower()))
            return *state;
    }
    const QString prefix = QStringLiteral("--demo-state=");
    for (const QString &argument : arguments) {
        if (!argument.startsWith(prefix))
            continue;
        if (const auto state = stateFromRawValue(argument.mid(prefix.size()).toLower()))
            return *state;
    }
    return State::next;
}

QString DemoMode::parsedLocaleIdentifier(const Environment &environment, const QStringList &arguments)
{
    if (const auto value = lookup(environment, QStringLiteral("KESTRIVANE_DEMO_LOCALE")); value && !value->isEmpty())
        return *value;
    const QString prefix = QStringLiteral("--demo-locale=");
    for (const QString &argument : arguments) {
        if (argument.startsWith(prefix) && argument.size() > prefix.size())
            return argument.mid(prefix.size());
    }
    return QLocale::system().name();
}

bool DemoMode::truthy(const std::optional<QString> &value)
{
    if (!value)
        return false;
    const QString text = value->trimmed().toLower();
    return text == QLatin1String("1") || text == QLatin1String("true") || text == QLatin1String("yes")
        || text == QLatin1String("on");
}

} // namespace kestrivane
