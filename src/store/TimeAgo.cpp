#include "TimeAgo.h"

#include <cmath>
#include <cstdint>

#include "Clock.h"

namespace varnholt {

QString timeAgo(double at) {
    return timeAgo(at, Clock::now());
}

QString timeAgo(double at, double now) {
    const double difference = now - at;
    // Only a hand-edited store can give a difference that is not a finite
    // number of seconds within 64 bits. Not a number, or anything in the
    // future however far, reads "just now" like any other not-yet-old event;
    // an age too large to count reads "long ago" rather than a wrapped or
    // meaningless number.
    if (!(difference >= 5.0)) {
        return QStringLiteral("just now");
    }
    constexpr double kTwoToThe63 = 9223372036854775808.0;
    if (difference >= kTwoToThe63) {
        return QStringLiteral("long ago");
    }
    const auto seconds = static_cast<std::int64_t>(difference);  // truncates toward zero
    if (seconds < 60) {
        return QString::number(seconds) + QStringLiteral("s ago");
    }
    if (seconds < 3600) {
        return QString::number(seconds / 60) + QStringLiteral("m ago");
    }
    if (seconds < 86400) {
        return QString::number(seconds / 3600) + QStringLiteral("h ago");
    }
    return QString::number(seconds / 86400) + QStringLiteral("d ago");
}

}  // namespace varnholt
