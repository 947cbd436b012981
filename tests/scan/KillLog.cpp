#include "KillLog.h"

#include <dlfcn.h>
#include <signal.h>

#include <cerrno>
#include <mutex>

namespace {

std::mutex& logMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<std::pair<pid_t, int>>& log() {
    static std::vector<std::pair<pid_t, int>> entries;
    return entries;
}

}  // namespace

// Defined in the test executable, this kill() wins over the C library's for
// every caller linked into it, the code under test included.
extern "C" int kill(pid_t pid, int sig) {
    using Kill = int (*)(pid_t, int);
    static const Kill real = reinterpret_cast<Kill>(::dlsym(RTLD_NEXT, "kill"));
    {
        std::lock_guard lock(logMutex());
        log().emplace_back(pid, sig);
    }
    if (pid <= 0 || real == nullptr) {
        errno = EPERM;
        return -1;
    }
    return real(pid, sig);
}

namespace varnholt::test::KillLog {

std::vector<std::pair<pid_t, int>> calls() {
    std::lock_guard lock(logMutex());
    return log();
}

std::vector<std::pair<pid_t, int>> callsFor(pid_t pid) {
    std::vector<std::pair<pid_t, int>> result;
    for (const auto& call : calls()) {
        if (call.first == pid) {
            result.push_back(call);
        }
    }
    return result;
}

void clear() {
    std::lock_guard lock(logMutex());
    log().clear();
}

}  // namespace varnholt::test::KillLog
