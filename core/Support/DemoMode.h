#pragma once

#include <QHash>
#include <QHashFunctions>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrivane {

// The switch of the demo mode: built-in sample data and a pinned clock instead of Google. Read once
// at start-up from the process environment and the command-line arguments.
struct DemoMode {
    // Which picture the demo snapshot shows.
    enum class State { setup, next, ready, current };

    using Environment = QHash<QString, QString>;

    bool enabled = false;
    State state = State::next;
    // The locale of texts, dates and demo texts while the demo mode is on.
    QString localeIdentifier = QLocale::system().name();

    // "setup", "next", "ready", "current".
    static QString rawValue(State state);
    // Exact match of a raw value.
    static std::optional<State> stateFromRawValue(const QString &rawValue);

    // Parses all three fields from the environment and the arguments (the program path first):
    // - enabled: "KESTRIVANE_DEMO_MODE" or "KESTRIVANE_SCREENSHOT_MODE" is 1/true/yes/on (trimmed,
    //   any case), or an argument is "--demo-data" or "--screenshot-data";
    // - state: "KESTRIVANE_DEMO_STATE" lower-cased when it names a state, else the first
    //   "--demo-state=" argument whose lower-cased rest names one, else next;
    // - locale: a non-empty "KESTRIVANE_DEMO_LOCALE", else the first non-empty "--demo-locale="
    //   rest, else the system locale's identifier.
    // Defaults are read at the call: the process environment and QCoreApplication::arguments().
    static DemoMode current(const Environment &environment = processEnvironment(),
                            const QStringList &arguments = processArguments());

    // All defaults: off, next, the system locale. Made once, on first use.
    static const DemoMode &disabled();

    static Environment processEnvironment();
    static QStringList processArguments();

    friend bool operator==(const DemoMode &, const DemoMode &) = default;

private:
    static bool isEnabled(const Environment &environment, const QStringList &arguments);
    static State parsedState(const Environment &environment, const QStringList &arguments);
    static QString parsedLocaleIdentifier(const Environment &environment, const QStringList &arguments);
    static bool truthy(const std::optional<QString> &value);
};

inline size_t qHash(DemoMode::State state, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(state), seed);
}

} // namespace kestrivane
