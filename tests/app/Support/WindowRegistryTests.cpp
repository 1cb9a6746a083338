#include "Support/WindowRegistry.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/TestEnvironment.h"

#include <QApplication>
#include <QLabel>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace std::chrono_literals;

namespace {

QList<QWidget *> topLevelsNamed(const QString &name)
{
    QList<QWidget *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == name)
            found.append(widget);
    }
    return found;
}

class WindowRegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KV_REQUIRE(test::displayProblem());
        for (const QString &identifier : {WindowRegistry::todayMeets, WindowRegistry::settings, WindowRegistry::setup}) {
            registry.declare({identifier, [identifier] { return QStringLiteral("Title of ") + identifier; },
                              identifier == WindowRegistry::settings ? QSize(720, 560) : QSize(560, 520), [this] {
                                  ++contentsMade;
                                  return new QLabel(QStringLiteral("placeholder"));
                              }});
        }
    }

    WindowRegistry registry;
    int contentsMade = 0;
};

} // namespace

TEST_F(WindowRegistryTest, OneWindowPerIdentifierCarryingItAsNameAndRole)
{
    QWidget *today = registry.open(WindowRegistry::todayMeets);
    ASSERT_NE(today, nullptr);
    EXPECT_EQ(registry.open(WindowRegistry::todayMeets), today);
    EXPECT_EQ(registry.open(WindowRegistry::todayMeets), today);
    EXPECT_EQ(topLevelsNamed("today-meets").size(), 1);
    EXPECT_EQ(contentsMade, 1);
    EXPECT_EQ(today->windowRole(), "today-meets");
    EXPECT_EQ(today->windowTitle(), "Title of today-meets");
    EXPECT_EQ(today->size(), QSize(560, 520));
    EXPECT_TRUE(today->isVisible());

    QWidget *settings = registry.open(WindowRegistry::settings);
    EXPECT_NE(settings, today);
    EXPECT_EQ(settings->size(), QSize(720, 560));
    EXPECT_EQ(registry.open("no-such-window"), nullptr);
    EXPECT_EQ(registry.window(WindowRegistry::setup), nullptr);
}

TEST_F(WindowRegistryTest, FrontingRestoresAMinimisedWindow)
{
    EXPECT_FALSE(registry.bringToFront(WindowRegistry::todayMeets));
    QWidget *today = registry.open(WindowRegistry::todayMeets);
    today->showMinimized();
    ASSERT_TRUE(today->isMinimized());
    EXPECT_TRUE(registry.bringToFront(WindowRegistry::todayMeets));
    EXPECT_FALSE(today->isMinimized());
    EXPECT_TRUE(today->isVisible());

    today->hide();
    EXPECT_EQ(registry.open(WindowRegistry::todayMeets), today);
    EXPECT_TRUE(today->isVisible());
}

TEST_F(WindowRegistryTest, AClosedWindowIsCreatedAnewOnTheNextOpen)
{
    QPointer<QWidget> first = registry.open(WindowRegistry::setup);
    ASSERT_TRUE(first->close());
    // Deletion is deferred; nested test loops leave it to the main loop, so it is run here.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(first.isNull());
    EXPECT_EQ(registry.window(WindowRegistry::setup), nullptr);
    QWidget *second = registry.open(WindowRegistry::setup);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(contentsMade, 2);
    EXPECT_EQ(topLevelsNamed("setup").size(), 1);
}
