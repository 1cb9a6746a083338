#pragma once

#include "Support/Clock.h"
#include "Support/WallClockAlarm.h"

#include <QTimer>

#include <algorithm>

namespace kestrivane::test {

// A wall-clock alarm on a test's clock, which behaves as the system's does: it wakes when that
// clock reaches the armed instant (counted on a monotonic timer from arming), and at once when
// the test sets the clock (`clockWasSet()`, where the system's alarm learns of it from the kernel).
class SimulatedWallClockAlarm final : public WallClockAlarm {
public:
    explicit SimulatedWallClockAlarm(Clock clock) : clock_(std::move(clock))
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, &WallClockAlarm::woke);
    }

    void arm(const QDateTime &deadline) override
    {
        deadline_ = deadline;
        timer_.start(static_cast<int>(std::clamp<qint64>(clock_().msecsTo(deadline), 0, 24LL * 3600 * 1000)));
    }
    void disarm() override
    {
        deadline_ = QDateTime();
        timer_.stop();
    }

    // The test moved its clock: the timer is counted again from the new time, and the owner is told.
    void clockWasSet()
    {
        if (deadline_.isValid())
            arm(deadline_);
        QTimer::singleShot(0, this, &WallClockAlarm::woke);
    }

    const QDateTime &deadline() const { return deadline_; }

private:
    Clock clock_;
    QTimer timer_;
    QDateTime deadline_;
};

} // namespace kestrivane::test
