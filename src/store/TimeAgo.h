#pragma once

#include <QString>

namespace varnholt {

// "just now", "42s ago", "3m ago", "2h ago", "17d ago".
QString timeAgo(double at);
QString timeAgo(double at, double now);

}  // namespace varnholt
