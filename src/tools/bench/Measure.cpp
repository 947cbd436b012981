#include "Measure.h"

#include <time.h>
#include <algorithm>

#include <chrono>
#include <cstdio>
#include <vector>

#include "BenchListeners.h"

namespace varnholt::bench {

Figures measure(int runs, const std::function<void()>& work) {
    if (interruptedBy() != 0) {
        return {};
    }
    work();
    std::vector<double> times;
    times.reserve(std::size_t(std::max(runs, 1)));
    for (int i = 0; i < std::max(runs, 1) && interruptedBy() == 0; ++i) {
        const auto begin = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - begin).count());
    }
    return summarize(std::move(times));
}

Figures measureThreadCpu(int runs, const std::function<void()>& work) {
    if (interruptedBy() != 0) {
        return {};
    }
    const auto now = [] {
        timespec at{};
        ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &at);
        return double(at.tv_sec) * 1e3 + double(at.tv_nsec) / 1e6;
    };
    work();
    std::vector<double> times;
    for (int i = 0; i < std::max(runs, 1) && interruptedBy() == 0; ++i) {
        const double begin = now();
        work();
        times.push_back(now() - begin);
    }
    return summarize(std::move(times));
}

Figures summarize(std::vector<double> times) {
    Figures figures;
    if (times.empty()) {
        return figures;
    }
    std::sort(times.begin(), times.end());
    const std::size_t n = times.size();
    figures.runs = int(n);
    figures.minMs = times.front();
    figures.medianMs = n % 2 == 1 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    return figures;
}

void report(const QString& label, const Figures& figures) {
    if (figures.runs == 0) {
        return;
    }
    std::printf("%-44s median %9.3f ms   min %9.3f ms   (%d runs)\n", label.toUtf8().constData(),
                figures.medianMs, figures.minMs, figures.runs);
    std::fflush(stdout);
}

void say(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

}  // namespace varnholt::bench
