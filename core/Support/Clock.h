#pragma once

#include <QDateTime>

#include <functional>

namespace kestrivane {

// Instants are QDateTime values in UTC (millisecond precision). A clock hands out the current
// instant at every call; the store and the services take one so tests can pin time.
using Clock = std::function<QDateTime()>;

inline Clock systemClock()
{
    return [] { return QDateTime::currentDateTimeUtc(); };
}

// Seconds since 1970-01-01 UTC, with fraction.
inline double secondsSince1970(const QDateTime &instant)
{
    return static_cast<double>(instant.toMSecsSinceEpoch()) / 1000.0;
}

// The instant `seconds` after 1970-01-01 UTC, rounded to the millisecond.
QDateTime instantFromSecondsSince1970(double seconds);

// Seconds between 1970-01-01 and 2001-01-01 UTC: the epoch of stored token expiries.
inline constexpr double secondsFrom1970To2001 = 978307200.0;

} // namespace kestrivane
