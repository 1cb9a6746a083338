#include "Support/DemoMode.h"

#include <QLocale>
#include <QSet>

#include <gtest/gtest.h>

using namespace kestrivane;

namespace {

using State = DemoMode::State;

DemoMode read(const DemoMode::Environment &environment, const QStringList &arguments = {})
{
    return DemoMode::current(environment, QStringList{QStringLiteral("/usr/bin/kestrivane")} + arguments);
}

// Restores an environment variable when the test ends.
class ScopedVariable {
public:
    ScopedVariable(const char *name, const QByteArray &value) : name_(name), had_(qEnvironmentVariableIsSet(name)),
                                                                old_(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedVariable()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char *name_;
    bool had_;
    QByteArray old_;
};

} // namespace

TEST(DemoModeTest, EnabledByATruthyVariableOrAFlag)
{
    for (const char *value : {"1", "TRUE", " yes ", "On\n", "\ttrue\r\n"}) {
        EXPECT_TRUE(read({{"KESTRIVANE_DEMO_MODE", value}}).enabled) << value;
        EXPECT_TRUE(read({{"KESTRIVANE_SCREENSHOT_MODE", value}}).enabled) << value;
    }
    for (const char *value : {"2", "enabled", "", "0", "no", "y e s"})
        EXPECT_FALSE(read({{"KESTRIVANE_DEMO_MODE", value}}).enabled) << value;
    EXPECT_FALSE(read({{"kestrivane_demo_mode", "1"}}).enabled);
    EXPECT_TRUE(read({{"KESTRIVANE_DEMO_MODE", "no"}, {"KESTRIVANE_SCREENSHOT_MODE", "yes"}}).enabled);

    EXPECT_TRUE(read({}, {"--demo-data"}).enabled);
    EXPECT_TRUE(read({{"KESTRIVANE_DEMO_MODE", "0"}}, {"--screenshot-data"}).enabled);
    EXPECT_FALSE(read({}, {"--DEMO-DATA", "--demo-data=1", "demo-data"}).enabled);
}

TEST(DemoModeTest, NothingSetGivesTheDefaults)
{
    const DemoMode mode = read({{"PATH", "/usr/bin"}});
    EXPECT_FALSE(mode.enabled);
    EXPECT_EQ(mode.state, State::next);
    EXPECT_EQ(mode.localeIdentifier, QLocale::system().name());
    EXPECT_EQ(mode, DemoMode::disabled());
    EXPECT_EQ(mode, DemoMode());
}

TEST(DemoModeTest, StateAndLocaleAreReadEvenWhenDisabled)
{
    const DemoMode mode = read({}, {"--demo-state=current", "--demo-locale=ja_JP"});
    EXPECT_FALSE(mode.enabled);
    EXPECT_EQ(mode.state, State::current);
    EXPECT_EQ(mode.localeIdentifier, "ja_JP");
}

TEST(DemoModeTest, StateFromVariableThenArguments)
{
    EXPECT_EQ(read({{"KESTRIVANE_DEMO_STATE", "Ready"}}).state, State::ready);
    EXPECT_EQ(read({{"KESTRIVANE_DEMO_STATE", "setup"}}, {"--demo-state=current"}).state, State::setup);
    EXPECT_EQ(read({{"KESTRIVANE_DEMO_STATE", "busy"}}, {"--demo-state=current"}).state, State::current);
    EXPECT_EQ(read({{"KESTRIVANE_DEMO_STATE", " ready"}}).state, State::next);
    EXPECT_EQ(read({}, {"--demo-state=READY"}).state, State::ready);
    EXPECT_EQ(read({}, {"--DEMO-STATE=ready"}).state, State::next);
    EXPECT_EQ(read({}, {"--demo-state=", "--demo-state=later", "--demo-state=setup", "--demo-state=ready"}).state,
              State::setup);
}

TEST(DemoModeTest, LocaleFromANonEmptyVariableThenArgumentUnchanged)
{
    EXPECT_EQ(read({{"KESTRIVANE_DEMO_LOCALE", "JA"}}, {"--demo-locale=en_US"}).localeIdentifier, "JA");
    EXPECT_EQ(read({{"KESTRIVANE_DEMO_LOCALE", " en "}}).localeIdentifier, " en ");
    EXPECT_EQ(read({{"KESTRIVANE_DEMO_LOCALE", ""}}, {"--demo-locale=", "--demo-locale=Ja-jp", "--demo-locale=en"})
                  .localeIdentifier,
              "Ja-jp");
    EXPECT_EQ(read({{"KESTRIVANE_DEMO_LOCALE", ""}}, {"--demo-locale="}).localeIdentifier, QLocale::system().name());
}

TEST(DemoModeTest, StateRawValues)
{
    for (State state : {State::setup, State::next, State::ready, State::current})
        EXPECT_EQ(DemoMode::stateFromRawValue(DemoMode::rawValue(state)), state);
    EXPECT_EQ(DemoMode::rawValue(State::current), "current");
    EXPECT_EQ(DemoMode::stateFromRawValue("Ready"), std::nullopt);
    EXPECT_EQ((QSet<State>{State::ready, State::ready}).size(), 1);
}

TEST(DemoModeTest, DefaultsReadTheProcessEnvironmentAtTheCall)
{
    {
        ScopedVariable state("KESTRIVANE_DEMO_STATE", "ready");
        ScopedVariable locale("KESTRIVANE_DEMO_LOCALE", "ja_JP");
        ScopedVariable on("KESTRIVANE_DEMO_MODE", "yes");
        const DemoMode mode = DemoMode::current();
        EXPECT_TRUE(mode.enabled);
        EXPECT_EQ(mode.state, State::ready);
        EXPECT_EQ(mode.localeIdentifier, "ja_JP");
    }
    ScopedVariable off("KESTRIVANE_DEMO_MODE", "off");
    ScopedVariable screenshotOff("KESTRIVANE_SCREENSHOT_MODE", "");
    EXPECT_FALSE(DemoMode::current().enabled);
    EXPECT_FALSE(DemoMode::processArguments().isEmpty());
}
