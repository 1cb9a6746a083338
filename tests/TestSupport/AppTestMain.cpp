#include <QApplication>

#include "TestSupport/TestMain.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Widgets of the tests become readable through AT-SPI once a test starts an accessibility bus
    // (TestSupport/Accessibility.h); without one this does nothing.
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication app(argc, argv);
    const int result = RUN_ALL_TESTS();
    kestrivane::test::settleBeforeExit();
    return result;
}
