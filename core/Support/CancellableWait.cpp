#include "Support/CancellableWait.h"

#include <algorithm>
#include <limits>

namespace kestrivane {

namespace {
constexpr qint64 maxChunkMs = 24LL * 3600 * 1000; // well inside QTimer's int range
}

CancellableWait::CancellableWait(QObject *parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &CancellableWait::arm);
}

CancellableWait::~CancellableWait()
{
    cancel();
}

CancellableWait::Awaiter CancellableWait::sleep(std::chrono::milliseconds duration)
{
    cancel();
    remainingMs_ = std::max<qint64>(0, duration.count());
    return Awaiter(this);
}

void CancellableWait::Awaiter::await_suspend(std::coroutine_handle<> handle)
{
    wait_->timer_.stop();
    if (wait_->waiting_)
        wait_->finish(false); // a wait runs one coroutine at a time
    wait_->waiting_ = this;
    wait_->handle_ = handle;
    // Always resume from the event loop, never inside await_suspend.
    wait_->timer_.start(static_cast<int>(wait_->nextChunk()));
}

qint64 CancellableWait::nextChunk()
{
    const qint64 chunk = std::min(remainingMs_, maxChunkMs);
    remainingMs_ -= chunk;
    return chunk;
}

void CancellableWait::arm()
{
    if (!waiting_)
        return;
    if (remainingMs_ <= 0)
        return finish(true);
    timer_.start(static_cast<int>(nextChunk()));
}

void CancellableWait::cancel()
{
    timer_.stop();
    if (waiting_)
        finish(false);
}

void CancellableWait::finish(bool elapsed)
{
    timer_.stop();
    Awaiter *awaiter = std::exchange(waiting_, nullptr);
    auto handle = std::exchange(handle_, {});
    if (!awaiter)
        return;
    awaiter->result_ = elapsed;
    handle.resume();
}

} // namespace kestrivane
