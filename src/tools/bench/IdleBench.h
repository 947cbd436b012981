#pragma once

#include <QString>

#include "AppBench.h"

namespace varnholt::bench {

struct IdleFigures {
    bool ok = false;
    double cpuPercent = 0;
    double childrenCpuPercent = 0;
    double startupCpuMs = 0;
    double peakRssMb = 0;
    double rssMb = 0;
    double seconds = 0;
};

// The real varnholt-control, started in home with offscreen Qt and watched
// while idle: its CPU use and its memory.
IdleFigures measureIdle(const AppOptions& options, const QString& home);

}  // namespace varnholt::bench
