#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace varnholt::test {

namespace {

// This process's environment with the given entries put in, for one child.
std::vector<QByteArray> childEnvironment(const QStringList& env) {
    std::vector<QByteArray> entries;
    for (const QString& entry : env) {
        entries.push_back(entry.toLocal8Bit());
    }
    for (char** at = environ; *at != nullptr; ++at) {
        const QByteArray entry(*at);
        const QByteArray name = entry.left(entry.indexOf('=') + 1);
        bool replaced = false;
        for (const QString& given : env) {
            replaced = replaced || given.toLocal8Bit().startsWith(name);
        }
        if (!replaced) {
            entries.push_back(entry);
        }
    }
    return entries;
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::start(const QStringList& argv, const QString& cwd,
                                                  const QStringList& env) {
    std::vector<QByteArray> bytes;
    for (const QString& arg : argv) {
        bytes.push_back(arg.toLocal8Bit());
    }
    std::vector<char*> args;
    for (QByteArray& b : bytes) {
        args.push_back(b.data());
    }
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2}) {
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    }
    const QByteArray dir = cwd.toLocal8Bit();
    if (!cwd.isEmpty()) {
        posix_spawn_file_actions_addchdir_np(&actions, dir.constData());
    }
    std::vector<QByteArray> envBytes = childEnvironment(env);
    std::vector<char*> envp;
    for (QByteArray& entry : envBytes) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(),
                               env.isEmpty() ? environ : envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return nullptr;
    }
    return std::unique_ptr<ChildProcess>(new ChildProcess(pid));
}

ChildProcess::ChildProcess(pid_t pid) : m_pid(pid) {
    m_waiter = std::thread([this] {
        // Wait for the end without reaping first, so that while the lock is
        // held an unset status means the pid still names this child.
        siginfo_t info{};
        while (::waitid(P_PID, m_pid, &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
        }
        std::lock_guard lock(m_mutex);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_status = status;
        m_ended.notify_all();
    });
}

ChildProcess::~ChildProcess() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_status) {
            ::kill(m_pid, SIGKILL);
        }
    }
    m_waiter.join();
}

std::optional<int> ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    m_ended.wait_for(lock, timeout, [this] { return m_status.has_value(); });
    return m_status;
}

std::optional<int> ChildProcess::stop(std::chrono::milliseconds grace) {
    {
        std::lock_guard lock(m_mutex);
        if (m_status) {
            return m_status;
        }
        // Unreaped, so the pid is still this child's own.
        ::kill(m_pid, SIGTERM);
    }
    if (const auto status = waitForExit(grace)) {
        return status;
    }
    {
        std::lock_guard lock(m_mutex);
        if (!m_status) {
            ::kill(m_pid, SIGKILL);
        }
    }
    return waitForExit(std::chrono::seconds(5));
}

}  // namespace varnholt::test
