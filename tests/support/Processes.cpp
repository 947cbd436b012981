#include "Processes.h"

#include <signal.h>

#include "EventLoop.h"

namespace varnholt::test {

bool processAlive(qint32 pid) {
    return pid > 0 && ::kill(pid, 0) == 0;
}

bool waitUntilGone(qint32 pid, std::chrono::milliseconds timeout) {
    return waitUntil([pid] { return !processAlive(pid); }, timeout);
}

void endProcess(qint32 pid) {
    if (pid <= 0) {
        return;
    }
    ::kill(pid, SIGKILL);
    waitUntilGone(pid, std::chrono::seconds(3));
}

}  // namespace varnholt::test
