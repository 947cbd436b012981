#pragma once

#include <QtGlobal>

#include <chrono>

namespace varnholt::test {

// Processes a test started, looked at and ended by their own pid only: a pid
// of 0 or below (a process group, or every process) is never signalled.

bool processAlive(qint32 pid);

// Serves events until the process is gone (reaped, not merely exited).
bool waitUntilGone(qint32 pid, std::chrono::milliseconds timeout);

// Kills the process and waits a moment until it is gone.
void endProcess(qint32 pid);

}  // namespace varnholt::test
