#include "Support/AsyncWaitQueue.h"

#include <QMetaObject>
#include <QPointer>

#include <algorithm>

namespace kestrivane {

AsyncWaitQueue::AsyncWaitQueue(QObject *parent) : QObject(parent) {}

AsyncWaitQueue::~AsyncWaitQueue()
{
    // Each resumed coroutine returns at once; one may not add itself again, since false tells it
    // the queue is gone.
    while (!entries_.empty()) {
        Entry entry = entries_.front();
        entries_.pop_front();
        entry.awaiter->result_ = false;
        entry.handle.resume();
    }
}

void AsyncWaitQueue::Awaiter::await_suspend(std::coroutine_handle<> handle)
{
    queue_->entries_.push_back(Entry{handle, this, false});
}

void AsyncWaitQueue::wakeAll()
{
    if (entries_.empty())
        return;
    for (Entry &entry : entries_)
        entry.woken = true;
    if (resumePosted_)
        return;
    resumePosted_ = true;
    QMetaObject::invokeMethod(this, &AsyncWaitQueue::resumeWoken, Qt::QueuedConnection);
}

void AsyncWaitQueue::resumeWoken()
{
    resumePosted_ = false;
    // Only the coroutines woken before this call; those that wait again meanwhile stay. A resumed
    // coroutine may destroy the queue: the destructor then ends the rest with false.
    QPointer<AsyncWaitQueue> self(this);
    for (;;) {
        auto it = std::find_if(entries_.begin(), entries_.end(), [](const Entry &entry) { return entry.woken; });
        if (it == entries_.end())
            return;
        const Entry entry = *it;
        entries_.erase(it);
        entry.awaiter->result_ = true;
        entry.handle.resume();
        if (!self)
            return;
    }
}

} // namespace kestrivane
