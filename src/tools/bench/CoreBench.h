#pragma once

namespace varnholt::bench {

struct CoreOptions {
    int listeners = 10;     // servers the bench starts for itself
    int runs = 30;          // timed runs of the fast, native measures
    int slowRuns = 5;       // timed runs of anything that launches lsof or ps per item
    int busyProcesses = 0;  // --busy N:F: node processes holding busyFiles open files each
    int busyFiles = 0;
};

// The core's data-gathering costs: native scan against the command-line scan
// and `ss`, native port tests against `lsof -ti:`, and one refresh's worth of
// data. Returns the process exit code.
int runCore(const CoreOptions& options);

}  // namespace varnholt::bench
