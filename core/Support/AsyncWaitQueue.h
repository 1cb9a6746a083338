#pragma once

#include <QObject>

#include <coroutine>
#include <list>

namespace kestrivane {

// Coroutines waiting for their owner's signal to go on. A coroutine awaits `wait()`; the await
// yields true after `wakeAll()` and false when the queue was destroyed first. After false the
// coroutine must return at once without touching the owner.
//
//     while (busy) {
//         const bool woken = co_await queue.wait();
//         if (!woken) co_return;
//     }
//
// Bind the result first, as above: GCC 12 miscompiles an await inside a condition.
//
// Waiters are resumed from the event loop, never inside wakeAll(), in the order they arrived.
class AsyncWaitQueue : public QObject {
    Q_OBJECT

public:
    explicit AsyncWaitQueue(QObject *parent = nullptr);
    ~AsyncWaitQueue() override;

    class Awaiter {
    public:
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle);
        bool await_resume() const noexcept { return result_; }

    private:
        friend class AsyncWaitQueue;
        explicit Awaiter(AsyncWaitQueue *queue) : queue_(queue) {}
        AsyncWaitQueue *queue_;
        bool result_ = false;
    };

    Awaiter wait() { return Awaiter(this); }
    // Resumes, from the event loop, every coroutine waiting now.
    void wakeAll();

    int waiting() const { return static_cast<int>(entries_.size()); }

private:
    struct Entry {
        std::coroutine_handle<> handle;
        Awaiter *awaiter;
        bool woken = false;
    };

    void resumeWoken();

    std::list<Entry> entries_;
    bool resumePosted_ = false;
};

} // namespace kestrivane
