#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <sys/types.h>

namespace varnholt::test {

// A child process started by a test. Its own waiter thread reaps it the
// moment it ends (as the app's background children are), keeping the wait
// status for the test. Whatever still runs is killed by its pid and reaped on
// destruction, so no test leaves a process behind.
class ChildProcess {
public:
    // argv[0] is an absolute path; output goes to the null device. Null when
    // the program cannot be started. env ("NAME=VALUE" each) is added to, or
    // replaces in, this process's environment for the child alone.
    static std::unique_ptr<ChildProcess> start(const QStringList& argv, const QString& cwd = {},
                                               const QStringList& env = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    qint32 pid() const { return m_pid; }
    // The wait status once the child has ended within timeout.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    // Asks the child to terminate, and kills it when it has not ended within
    // the grace time; the wait status.
    std::optional<int> stop(std::chrono::milliseconds grace = std::chrono::seconds(3));

private:
    explicit ChildProcess(pid_t pid);

    pid_t m_pid;
    std::mutex m_mutex;
    std::condition_variable m_ended;
    std::optional<int> m_status;
    std::thread m_waiter;
};

}  // namespace varnholt::test
