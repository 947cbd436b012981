#pragma once

#include <functional>

namespace varnholt::Clock {

// Wall-clock time in seconds since 1970-01-01 UTC, with fraction. Tests may
// replace the source so that relative times can be checked exactly.
double now();
void setSource(std::function<double()> source);
void resetSource();

}  // namespace varnholt::Clock
