#include "TimeAgo.h"

#include "Clock.h"

namespace varnholt {

QString timeAgo(double at) { return timeAgo(at, Clock::now()); }

QString timeAgo(double, double) { return "just now"; }

}  // namespace varnholt
