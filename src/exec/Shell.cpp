#include "Shell.h"

#include <QByteArray>
#include <QFile>
#include <QStringDecoder>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "Launch.h"
#include "Log.h"
#include "Spawn.h"

namespace varnholt {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr SteadyClock::time_point kNoDeadline = SteadyClock::time_point::max();

void closeQuietly(int fd) {
    if (fd >= 0) {
        ::close(fd);
    }
}

void reap(pid_t pid, int* status = nullptr) {
    while (::waitpid(pid, status, 0) < 0 && errno == EINTR) {
    }
}

// Waits for pid to exit; with a deadline, gives up when it passes and returns
// false. A child usually exits right after closing its output, so the short
// first naps keep the common case fast.
bool reapBefore(pid_t pid, SteadyClock::time_point deadline, int* status) {
    if (deadline == kNoDeadline) {
        reap(pid, status);
        return true;
    }
    auto nap = std::chrono::microseconds(50);
    for (;;) {
        const pid_t done = ::waitpid(pid, status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) {
            return true;
        }
        if (done == 0) {
            if (SteadyClock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(nap);
            nap = std::min(nap * 2, std::chrono::microseconds(10'000));
        }
    }
}

// Reads outFd (and errFd unless -1) until both reach end of file, keeping
// only the last `errLimit` bytes of the second. Both are drained together, so
// a child that fills one pipe while we wait on the other cannot stall. With a
// deadline, gives up when it passes and returns false.
bool readAll(int outFd, int errFd, SteadyClock::time_point deadline, QByteArray* out,
             QByteArray* err, qsizetype errLimit) {
    char buffer[65536];
    pollfd pfds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    QByteArray* sinks[2] = {out, err};
    int open = errFd >= 0 ? 2 : 1;
    while (open > 0) {
        int timeoutMs = -1;
        if (deadline != kNoDeadline) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
            if (left.count() <= 0) {
                return false;
            }
            timeoutMs = static_cast<int>(std::min<long long>(left.count(), 1'000'000'000));
        }
        const int ready = ::poll(pfds, errFd >= 0 ? 2 : 1, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        for (int i = 0; i < 2; ++i) {
            if (pfds[i].fd < 0 || pfds[i].revents == 0) {
                continue;
            }
            const ssize_t n = ::read(pfds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, n);
                if (i == 1 && sinks[i]->size() > errLimit) {
                    sinks[i]->remove(0, sinks[i]->size() - errLimit);
                }
            } else if (n == 0) {
                pfds[i].fd = -1;  // poll skips negative descriptors
                --open;
            } else if (errno != EINTR && errno != EAGAIN) {
                return false;
            }
        }
    }
    return true;
}

QString decodeStrictUtf8(const QByteArray& bytes) {
    // Stateless: a sequence cut off at the end is an error, not pending input.
    // ConvertInitialBom: the text is returned exactly as printed.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return {};
    }
    return text;
}

}  // namespace

namespace {

// Runs a command with standard output (and, when keepErrors, standard error)
// on pipes; see runCommand().
CommandResult runPiped(const QString& executable, const QStringList& arguments,
                       const std::optional<QString>& cwd,
                       std::optional<std::chrono::milliseconds> timeLimit, bool keepErrors) {
    // A limit beyond any real wait would overflow the clock; it means no limit.
    const bool limited = timeLimit && *timeLimit < std::chrono::hours(24 * 365 * 100);
    const SteadyClock::time_point deadline =
        limited ? SteadyClock::now() + *timeLimit : kNoDeadline;

    CommandResult result;
    int outFds[2];
    int errFds[2] = {-1, -1};
    if (!spawn::makePipe(outFds)) {
        return result;
    }
    if (keepErrors && !spawn::makePipe(errFds)) {
        closeQuietly(outFds[0]);
        closeQuietly(outFds[1]);
        return result;
    }
    const pid_t pid = spawn::launch(executable, arguments, cwd, outFds[1], errFds[1], false);
    closeQuietly(outFds[1]);
    closeQuietly(errFds[1]);
    const QString startKey = QStringLiteral("start:") + executable;
    if (pid < 0) {
        closeQuietly(outFds[0]);
        closeQuietly(errFds[0]);
        if (firstReport(startKey)) {
            qCWarning(lcExec).noquote() << QStringLiteral("Could not start %1").arg(executable);
        }
        return result;
    }
    clearReport(startKey);

    const bool complete = readAll(outFds[0], errFds[0], deadline, &result.output, &result.errorTail,
                                  CommandResult::kErrorTailBytes);
    closeQuietly(outFds[0]);
    closeQuietly(errFds[0]);
    int status = 0;
    const QString finishKey = QStringLiteral("finish:") + executable;
    if (!complete || !reapBefore(pid, deadline, &status)) {
        // Too slow or unreadable: what it printed so far is not trusted. The
        // child is not reaped yet, so its group id cannot have been reused.
        ::kill(-pid, SIGKILL);
        reap(pid);
        if (firstReport(finishKey)) {
            const bool late = deadline != kNoDeadline && SteadyClock::now() >= deadline;
            if (late) {
                qCWarning(lcExec).noquote()
                    << QStringLiteral("%1 ran past its time limit of %2 ms and was stopped")
                           .arg(executable)
                           .arg(timeLimit->count());
            } else {
                qCWarning(lcExec).noquote()
                    << QStringLiteral("The output of %1 could not be read").arg(executable);
            }
        }
        return CommandResult{};
    }
    clearReport(finishKey);
    result.ran = true;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace

QString shell(const QString& executable, const QStringList& arguments,
              const std::optional<QString>& cwd,
              std::optional<std::chrono::milliseconds> timeLimit) {
    const CommandResult result = runPiped(executable, arguments, cwd, timeLimit, false);
    return result.ran ? decodeStrictUtf8(result.output) : QString();
}

CommandResult runCommand(const QString& executable, const QStringList& arguments,
                         const std::optional<QString>& cwd,
                         std::optional<std::chrono::milliseconds> timeLimit) {
    return runPiped(executable, arguments, cwd, timeLimit, true);
}

QString probe(const QString& executable, const QStringList& arguments,
              const std::optional<QString>& cwd) {
    return shell(executable, arguments, cwd, kProbeTimeLimit);
}

qint32 shellBackground(const QString& executable, const QStringList& arguments,
                       const std::optional<QString>& cwd, const QStringList& environment) {
    const pid_t pid = spawn::launch(executable, arguments, cwd, -1, -1, true, environment);
    if (pid < 0) {
        qCWarning(lcExec).noquote()
            << QStringLiteral("Could not start %1 in the background").arg(executable);
        return -1;
    }
    // One waiter per child, blocked in waitpid on exactly that pid: the child
    // is reaped the moment it ends (so a null signal reports it gone), and no
    // other child's exit status is ever taken from a concurrent shell().
    try {
        std::thread([pid] { reap(pid); }).detach();
    } catch (...) {
        // Without a thread the child stays a zombie after it ends; it still
        // runs, which is what the caller asked for.
    }
    return static_cast<qint32>(pid);
}

}  // namespace varnholt
