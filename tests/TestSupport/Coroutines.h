#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <QCoro/QCoroTask>

#include <chrono>
#include <exception>
#include <optional>
#include <stdexcept>

namespace kestrivane::test {

// Runs the event loop until `task` finishes and returns its value; rethrows its exception.
// Fails (throws std::runtime_error) when it has not finished within `timeout`.
template<typename T>
T runTask(QCoro::Task<T> &&task, std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    QEventLoop loop;
    bool finished = false;
    std::exception_ptr error;
    std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> value;
    auto wrapper = [&]() -> QCoro::Task<void> {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await std::move(task);
                value = true;
            } else {
                value = co_await std::move(task);
            }
        } catch (...) {
            error = std::current_exception();
        }
        finished = true;
        loop.quit();
    };
    auto running = wrapper();
    if (!finished) {
        QTimer::singleShot(timeout, &loop, [&] { loop.quit(); });
        loop.exec();
    }
    if (!finished)
        throw std::runtime_error("task did not finish in time");
    if (error)
        std::rethrow_exception(error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*value);
}

// Processes events until `condition` holds or `timeout` passes; returns whether it held. Once it
// has held it is not asked again, so a condition that acts (presses a button) acts once.
template<typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer poll;
    QTimer limit;
    limit.setSingleShot(true);
    bool held = false;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!held && condition()) {
            held = true;
            poll.stop();
            loop.quit();
        }
    });
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(5);
    limit.start(timeout);
    loop.exec();
    return held || condition();
}

// Processes events for `duration`.
inline void spin(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace kestrivane::test

// Note for tests: a coroutine lambda's captures live in the closure object, so keep the closure
// alive while the coroutine runs (name it: `auto body = [&]() -> QCoro::Task<> {...}; auto t = body();`).
