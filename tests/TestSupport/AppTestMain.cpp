#include <QApplication>

#include "TestSupport/TestMain.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    const int result = RUN_ALL_TESTS();
    kestrivane::test::settleBeforeExit();
    return result;
}
