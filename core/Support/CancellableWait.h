#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <coroutine>

namespace kestrivane {

// One cancellable wait, held by its owner. A coroutine awaits `sleep(...)` or `sleepUntil(...)`;
// the await yields true when the time has passed and false when the wait was cancelled or its
// object destroyed. After false the coroutine must return at once without touching its owner.
//
//     const bool elapsed = co_await wait.sleep(5s);
//     if (!elapsed) co_return;
//
// Bind the result to a variable as above: GCC 12 hands a wrong coroutine handle to an awaiter
// awaited inside a condition (`if (!co_await ...)`), which corrupts memory when it resumes.
//
// Long waits are split into chunks a QTimer can hold. The wait runs on the monotonic clock; a wait
// for a wall-clock instant takes a WallClockAlarm.
class CancellableWait : public QObject {
    Q_OBJECT

public:
    explicit CancellableWait(QObject *parent = nullptr);
    ~CancellableWait() override;

    class Awaiter;

    Awaiter sleep(std::chrono::milliseconds duration);

    bool isWaiting() const { return waiting_ != nullptr; }
    void cancel();

    class Awaiter {
    public:
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle);
        bool await_resume() const noexcept { return result_; }

    private:
        friend class CancellableWait;
        Awaiter(CancellableWait *wait) : wait_(wait) {}
        CancellableWait *wait_;
        bool result_ = false;
    };

private:
    void arm();
    qint64 nextChunk();
    void finish(bool elapsed);

    QTimer timer_;
    Awaiter *waiting_ = nullptr;
    std::coroutine_handle<> handle_;
    // Milliseconds still to wait after the current chunk.
    qint64 remainingMs_ = 0;
};

} // namespace kestrivane
