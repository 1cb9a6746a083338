#include "Support/CancellableWait.h"

#include "TestSupport/Coroutines.h"

#include <QElapsedTimer>
#include <QPointer>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace std::chrono_literals;

TEST(CancellableWaitTest, SleepEndsAfterItsDuration)
{
    CancellableWait wait;
    QElapsedTimer elapsed;
    elapsed.start();
    auto body = [&]() -> QCoro::Task<bool> { co_return co_await wait.sleep(50ms); };
    const bool done = test::runTask(body());
    EXPECT_TRUE(done);
    EXPECT_GE(elapsed.elapsed(), 45);
    EXPECT_FALSE(wait.isWaiting());
}

TEST(CancellableWaitTest, ZeroSleepResumesFromTheEventLoop)
{
    CancellableWait wait;
    bool resumed = false;
    auto taskBody = [&]() -> QCoro::Task<void> {
        co_await wait.sleep(0ms);
        resumed = true;
    };
    auto task = taskBody();
    EXPECT_FALSE(resumed);
    EXPECT_TRUE(test::waitUntil([&] { return resumed; }));
}

TEST(CancellableWaitTest, CancelAndDestructionResumeWithFalse)
{
    std::optional<bool> first;
    std::optional<bool> second;
    auto *wait = new CancellableWait;
    auto aBody = [&]() -> QCoro::Task<void> { first = co_await wait->sleep(10s); };
    auto a = aBody();
    QTimer::singleShot(20ms, wait, [&] { wait->cancel(); });
    EXPECT_TRUE(test::waitUntil([&] { return first.has_value(); }));
    EXPECT_EQ(first, false);

    auto bBody = [&]() -> QCoro::Task<void> { second = co_await wait->sleep(10s); };
    auto b = bBody();
    delete wait;
    EXPECT_EQ(second, false);
}

TEST(CancellableWaitTest, NewSleepOnTheSameWaitCancelsTheEarlierOne)
{
    CancellableWait wait;
    std::optional<bool> first;
    std::optional<bool> second;
    auto aBody = [&]() -> QCoro::Task<void> { first = co_await wait.sleep(10s); };
    auto a = aBody();
    auto bBody = [&]() -> QCoro::Task<void> { second = co_await wait.sleep(10ms); };
    auto b = bBody();
    EXPECT_EQ(first, false);
    EXPECT_TRUE(test::waitUntil([&] { return second.has_value(); }));
    EXPECT_EQ(second, true);
}

TEST(CancellableWaitTest, HugeDurationsDoNotOverflowTheTimer)
{
    CancellableWait wait;
    std::optional<bool> done;
    auto taskBody = [&]() -> QCoro::Task<void> { done = co_await wait.sleep(std::chrono::hours(24 * 400)); };
    auto task = taskBody();
    test::spin(20ms);
    EXPECT_FALSE(done.has_value());
    EXPECT_TRUE(wait.isWaiting());
    wait.cancel();
    EXPECT_EQ(done, false);
}
