#pragma once

#include <sys/types.h>

#include <utility>
#include <vector>

namespace varnholt::test {

// Every kill() this test process makes goes through a recorder (KillLog.cpp
// stands in for the C library's kill). Calls naming a process group or every
// process (pid 0 or below) are recorded but never delivered, so a faulty stop
// cannot take down the test run or the machine.
namespace KillLog {

std::vector<std::pair<pid_t, int>> calls();
std::vector<std::pair<pid_t, int>> callsFor(pid_t pid);
void clear();

}  // namespace KillLog

}  // namespace varnholt::test
