#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <sys/types.h>

namespace varnholt::test {

// A child process started by a test. Its own waiter thread reaps it the
// moment it ends (as the app's background children are), keeping the wait
// status for the test. Whatever still runs is killed and reaped on
// destruction, so no test leaves a server behind.
class LiveProcess {
public:
    // argv[0] is an absolute path; output goes to the null device.
    static std::unique_ptr<LiveProcess> start(const QStringList& argv, const QString& cwd = {});
    ~LiveProcess();
    LiveProcess(const LiveProcess&) = delete;
    LiveProcess& operator=(const LiveProcess&) = delete;

    qint32 pid() const { return m_pid; }
    // The wait status once the child has ended within timeout.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);

private:
    explicit LiveProcess(pid_t pid);

    pid_t m_pid;
    std::mutex m_mutex;
    std::condition_variable m_ended;
    std::optional<int> m_status;
    std::thread m_waiter;
};

// A TCP port on 127.0.0.1 that was free a moment ago.
quint16 freeTcpPort();

// Polls until something accepts a connection on 127.0.0.1:port.
bool waitUntilListening(quint16 port, std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Runs the event loop until done() holds or the timeout passes.
bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

}  // namespace varnholt::test
