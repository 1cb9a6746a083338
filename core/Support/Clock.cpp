#include "Support/Clock.h"

#include <algorithm>
#include <cmath>

namespace kestrivane {

QDateTime instantFromSecondsSince1970(double seconds)
{
    // Beyond ±2^53 ms the instant is meaningless for us; clamp instead of overflowing.
    constexpr double limit = 9007199254740992.0;
    const double ms = std::isfinite(seconds) ? std::clamp(seconds * 1000.0, -limit, limit) : (seconds > 0 ? limit : -limit);
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(ms)), Qt::UTC);
}

} // namespace kestrivane
