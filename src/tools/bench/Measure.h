#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace varnholt::bench {

struct Figures {
    double medianMs = 0;
    double minMs = 0;
    int runs = 0;
};

// Median and minimum of timings already taken (in ms).
Figures summarize(std::vector<double> times);

// Runs work once untimed (to warm caches), then runs times, timed each.
Figures measure(int runs, const std::function<void()>& work);

// measure() by the calling thread's CPU time rather than the wall clock: on a
// machine shared with other work it shows what the work itself costs.
Figures measureThreadCpu(int runs, const std::function<void()>& work);

// One aligned result line: label, median, minimum, runs.
void report(const QString& label, const Figures& figures);

// Prints a line to standard output at once (figures appear while it runs).
void say(const QString& line);

}  // namespace varnholt::bench
