#include "Support/WallClockAlarm.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>

namespace kestrivane {

namespace {
constexpr qint64 fallbackStepMs = 60'000;
}

SystemWallClockAlarm::SystemWallClockAlarm(QObject *parent) : WallClockAlarm(parent)
{
    fd_ = ::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ < 0) {
        // Out of descriptors: a timer that looks at the clock at least once a minute instead.
        fallback_ = new QTimer(this);
        fallback_->setSingleShot(true);
        fallback_->setTimerType(Qt::PreciseTimer);
        connect(fallback_, &QTimer::timeout, this, &WallClockAlarm::woke);
        return;
    }
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SystemWallClockAlarm::onReadable);
}

SystemWallClockAlarm::~SystemWallClockAlarm()
{
    delete notifier_;
    if (fd_ >= 0)
        ::close(fd_);
}

void SystemWallClockAlarm::arm(const QDateTime &deadline)
{
    if (fallback_) {
        const qint64 remaining = QDateTime::currentDateTimeUtc().msecsTo(deadline);
        fallback_->start(static_cast<int>(std::clamp<qint64>(remaining, 0, fallbackStepMs)));
        return;
    }
    // Never zero: a zero value disarms. An instant before 1970 is due at once.
    const qint64 ms = std::max<qint64>(1, deadline.toMSecsSinceEpoch());
    itimerspec expiry{};
    expiry.it_value.tv_sec = static_cast<time_t>(ms / 1000);
    expiry.it_value.tv_nsec = static_cast<long>(ms % 1000) * 1'000'000;
    ::timerfd_settime(fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &expiry, nullptr);
}

void SystemWallClockAlarm::disarm()
{
    if (fallback_)
        return fallback_->stop();
    const itimerspec expiry{};
    ::timerfd_settime(fd_, 0, &expiry, nullptr);
}

void SystemWallClockAlarm::onReadable()
{
    // The count of expiries, or ECANCELED when the clock was set; either way the owner looks again.
    std::uint64_t expiries = 0;
    const ssize_t read = ::read(fd_, &expiries, sizeof expiries);
    if (read < 0 && errno == EAGAIN)
        return;
    emit woke();
}

std::unique_ptr<WallClockAlarm> makeSystemWallClockAlarm()
{
    return std::make_unique<SystemWallClockAlarm>();
}

} // namespace kestrivane
