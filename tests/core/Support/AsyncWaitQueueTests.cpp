#include "Support/AsyncWaitQueue.h"
#include "TestSupport/Coroutines.h"

#include <gtest/gtest.h>

#include <memory>

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

namespace {

struct Waiter {
    QString name;
    QStringList *log;
    int rounds = 1;

    QCoro::Task<void> run(AsyncWaitQueue *queue)
    {
        for (int i = 0; i < rounds; ++i) {
            const bool woken = co_await queue->wait();
            log->append(name + (woken ? QStringLiteral(" woken") : QStringLiteral(" ended")));
            if (!woken)
                co_return;
        }
    }
};

TEST(AsyncWaitQueueTest, WakeAllResumesFromTheEventLoopInArrivalOrder)
{
    AsyncWaitQueue queue;
    QStringList log;
    Waiter a{QStringLiteral("a"), &log};
    Waiter b{QStringLiteral("b"), &log};
    auto ta = a.run(&queue);
    auto tb = b.run(&queue);
    EXPECT_EQ(queue.waiting(), 2);

    queue.wakeAll();
    EXPECT_TRUE(log.isEmpty()); // not inside wakeAll()
    ASSERT_TRUE(waitUntil([&] { return log.size() == 2; }));
    EXPECT_EQ(log, (QStringList{"a woken", "b woken"}));
    EXPECT_EQ(queue.waiting(), 0);
    queue.wakeAll(); // nobody waits: nothing happens
    spin(10ms);
    EXPECT_EQ(log.size(), 2);
}

TEST(AsyncWaitQueueTest, AWaiterThatWaitsAgainWaitsForTheNextWake)
{
    AsyncWaitQueue queue;
    QStringList log;
    Waiter a{QStringLiteral("a"), &log, 2};
    auto ta = a.run(&queue);
    queue.wakeAll();
    ASSERT_TRUE(waitUntil([&] { return log.size() == 1; }));
    spin(20ms);
    EXPECT_EQ(log, QStringList{"a woken"});
    EXPECT_EQ(queue.waiting(), 1);
    queue.wakeAll();
    ASSERT_TRUE(waitUntil([&] { return log.size() == 2; }));
}

TEST(AsyncWaitQueueTest, DestroyingTheQueueEndsEveryWaiterWithFalse)
{
    auto queue = std::make_unique<AsyncWaitQueue>();
    QStringList log;
    Waiter a{QStringLiteral("a"), &log};
    Waiter b{QStringLiteral("b"), &log};
    auto ta = a.run(queue.get());
    auto tb = b.run(queue.get());
    queue->wakeAll(); // woken, but not yet resumed
    queue.reset();
    EXPECT_EQ(log, (QStringList{"a ended", "b ended"}));
    spin(20ms);
    EXPECT_EQ(log.size(), 2);
}

TEST(AsyncWaitQueueTest, AWaiterMayDestroyTheQueueWhenWoken)
{
    auto queue = std::make_unique<AsyncWaitQueue>();
    QStringList log;
    auto destroyer = [&]() -> QCoro::Task<void> {
        const bool woken = co_await queue->wait();
        log.append(woken ? QStringLiteral("destroyer woken") : QStringLiteral("destroyer ended"));
        queue.reset();
    };
    auto td = destroyer();
    Waiter b{QStringLiteral("b"), &log};
    auto tb = b.run(queue.get());
    queue->wakeAll();
    ASSERT_TRUE(waitUntil([&] { return log.size() == 2; }));
    EXPECT_EQ(log, (QStringList{"destroyer woken", "b ended"}));
}

} // namespace
