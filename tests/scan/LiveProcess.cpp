#include "LiveProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace varnholt::test {

std::unique_ptr<LiveProcess> LiveProcess::start(const QStringList& argv, const QString& cwd) {
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
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return nullptr;
    }
    return std::unique_ptr<LiveProcess>(new LiveProcess(pid));
}

LiveProcess::LiveProcess(pid_t pid) : m_pid(pid) {
    m_waiter = std::thread([this] {
        int status = 0;
        pid_t done;
        do {
            done = ::waitpid(m_pid, &status, 0);
        } while (done < 0 && errno == EINTR);
        std::lock_guard lock(m_mutex);
        m_status = status;
        m_ended.notify_all();
    });
}

LiveProcess::~LiveProcess() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_status) {
            ::kill(m_pid, SIGKILL);
        }
    }
    m_waiter.join();
}

std::optional<int> LiveProcess::waitForExit(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    m_ended.wait_for(lock, timeout, [this] { return m_status.has_value(); });
    return m_status;
}

quint16 freeTcpPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

bool waitUntilListening(quint16 port, std::chrono::milliseconds timeout) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeout.count()) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool up = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (up) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() >= timeout.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace varnholt::test
