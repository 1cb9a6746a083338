#pragma once

#include <QDateTime>
#include <QObject>

#include <memory>

class QSocketNotifier;
class QTimer;

namespace kestrivane {

// Wakes its owner when the wall clock reaches an instant, and also whenever the wall clock is set
// or jumps (a clock change, a resume from suspend), so the owner can look at its clock again and
// re-arm. Between those the process sleeps.
class WallClockAlarm : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Arms the alarm for `deadline`, replacing an earlier one. A deadline already past wakes
    // from the event loop, never inside this call.
    virtual void arm(const QDateTime &deadline) = 0;
    virtual void disarm() = 0;

signals:
    // The deadline was reached, or the wall clock was set: the owner reads its clock and re-arms.
    void woke();
};

// The system's wall clock: a timerfd on CLOCK_REALTIME armed at an absolute time with
// TFD_TIMER_CANCEL_ON_SET, watched by a QSocketNotifier.
class SystemWallClockAlarm : public WallClockAlarm {
    Q_OBJECT

public:
    explicit SystemWallClockAlarm(QObject *parent = nullptr);
    ~SystemWallClockAlarm() override;

    void arm(const QDateTime &deadline) override;
    void disarm() override;

private:
    void onReadable();

    int fd_ = -1;
    QSocketNotifier *notifier_ = nullptr;
    QTimer *fallback_ = nullptr;
};

std::unique_ptr<WallClockAlarm> makeSystemWallClockAlarm();

} // namespace kestrivane
