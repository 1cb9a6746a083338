#include "Support/WallClockAlarm.h"

#include "TestSupport/Coroutines.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace kestrivane;

namespace {

// The system's alarm on the real clock. Setting the system clock is not something a test may do,
// so the wake on a clock change is covered through the scheduler with a simulated alarm.
TEST(SystemWallClockAlarmTest, WakesAtItsInstantOnlyAndFollowsReArming)
{
    SystemWallClockAlarm alarm;
    int wakes = 0;
    QDateTime wokeAt;
    QObject::connect(&alarm, &WallClockAlarm::woke, [&] {
        ++wakes;
        wokeAt = QDateTime::currentDateTimeUtc();
    });

    // An instant 300 ms ahead: one wake, not before it.
    const QDateTime deadline = QDateTime::currentDateTimeUtc().addMSecs(300);
    alarm.arm(deadline);
    test::spin(150ms);
    EXPECT_EQ(wakes, 0);
    ASSERT_TRUE(test::waitUntil([&] { return wakes == 1; }, 2s));
    EXPECT_GE(wokeAt, deadline);
    test::spin(200ms);
    EXPECT_EQ(wakes, 1) << "woke again without being re-armed";

    // A past instant wakes from the event loop, not inside arm().
    alarm.arm(QDateTime::currentDateTimeUtc().addSecs(-5));
    EXPECT_EQ(wakes, 1);
    ASSERT_TRUE(test::waitUntil([&] { return wakes == 2; }, 1s));

    // Re-arming replaces the earlier instant; disarming stops it.
    alarm.arm(QDateTime::currentDateTimeUtc().addMSecs(100));
    alarm.arm(QDateTime::currentDateTimeUtc().addSecs(60));
    test::spin(300ms);
    EXPECT_EQ(wakes, 2);
    alarm.arm(QDateTime::currentDateTimeUtc().addMSecs(100));
    alarm.disarm();
    test::spin(300ms);
    EXPECT_EQ(wakes, 2);
}

} // namespace
