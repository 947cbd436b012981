#include "BenchListeners.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

#include "Measure.h"
#include "exec/Tools.h"

namespace varnholt::bench {

namespace {

constexpr int kMaxTracked = 1024;
std::atomic<pid_t> g_started[kMaxTracked];
std::atomic<int> g_startedCount{0};

std::atomic<int> g_signal{0};

// On an interrupt the servers are stopped at once, from here, with only
// async-signal-safe calls; the bench then notices the flag between runs and
// unwinds normally, which waits for them and removes the temporary folders.
// A second interrupt leaves at once.
extern "C" void stopOnSignal(int signal) {
    const int count = std::min(g_startedCount.load(), kMaxTracked);
    for (int i = 0; i < count; ++i) {
        const pid_t pid = g_started[i].load();
        if (pid > 0) {
            ::kill(pid, SIGTERM);
        }
    }
    if (g_signal.exchange(signal) != 0) {
        ::_exit(128 + signal);
    }
}

void track(pid_t pid) {
    const int slot = g_startedCount.fetch_add(1);
    if (slot < kMaxTracked) {
        g_started[slot].store(pid);
    }
}

void untrack(pid_t pid) {
    const int count = std::min(g_startedCount.load(), kMaxTracked);
    for (int i = 0; i < count; ++i) {
        pid_t expected = pid;
        g_started[i].compare_exchange_strong(expected, 0);
    }
}

const char kNodeServer[] =
    "require('http').createServer((q, s) => s.end('ok'))"
    ".listen(Number(process.argv[2]), process.argv[3]);\n";

const char* const kFolderNames[] = {"blog", "shop",    "notes", "portfolio", "docs",
                                    "demo", "gallery", "api",   "landing",   "wiki"};

}  // namespace

void trackChild(qint64 pid) {
    if (pid > 0) {
        track(pid_t(pid));
    }
}

void untrackChild(qint64 pid) {
    if (pid > 0) {
        untrack(pid_t(pid));
    }
}

int interruptedBy() {
    return g_signal.load();
}

bool acceptsOnLoopback(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::close(fd);
    return ok;
}

quint16 unusedLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    quint16 port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

BenchListeners::BenchListeners() : m_root(QDir::tempPath() + "/varnholt-bench-XXXXXX") {
    struct sigaction action {};
    action.sa_handler = stopOnSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

BenchListeners::~BenchListeners() {
    stopAll();
}

int failureExitCode() {
    return interruptedBy() != 0 ? 128 + interruptedBy() : 1;
}

bool BenchListeners::startAnnounced(int count) {
    say(QStringLiteral("starting %1 listeners...").arg(count));
    QString error;
    if (!start(count, error)) {
        say("error: " + error);
        return false;
    }
    return true;
}

bool BenchListeners::start(int count, QString& error) {
    if (!m_root.isValid()) {
        error = "cannot create a temporary folder";
        return false;
    }
    for (int i = 0; i < count; ++i) {
        auto listener = std::make_shared<Listener>();
        const bool python = i % 2 == 0;
        listener->kind = python ? "python3" : "node";
        listener->host = (i / 2) % 2 == 0 ? "127.0.0.1" : "0.0.0.0";
        listener->port = unusedLoopbackPort();
        const QString base = kFolderNames[i % std::size(kFolderNames)];
        listener->folder =
            i < int(std::size(kFolderNames)) ? base : QStringLiteral("%1-%2").arg(base).arg(i);
        const QString folder = m_root.path() + "/" + listener->folder;
        QDir().mkpath(folder);
        QStringList arguments;
        QString program;
        if (python) {
            program = tools().python3;
            arguments = {"-m", "http.server", "--bind", listener->host,
                         QString::number(listener->port)};
        } else {
            program = nodeProgram();
            QFile script(folder + "/server.js");
            if (!script.open(QIODevice::WriteOnly) || script.write(kNodeServer) < 0) {
                error = "cannot write " + script.fileName();
                return false;
            }
            arguments = {"server.js", QString::number(listener->port), listener->host};
        }
        listener->process = std::make_unique<QProcess>();
        listener->process->setWorkingDirectory(folder);
        listener->process->setStandardOutputFile(QProcess::nullDevice());
        listener->process->setStandardErrorFile(QProcess::nullDevice());
        listener->process->start(program, arguments);
        if (!listener->process->waitForStarted(10'000)) {
            error = "cannot start " + program;
            return false;
        }
        track(pid_t(listener->process->processId()));
        m_listeners.append(listener);
    }

    return waitUntilListening(error);
}

bool BenchListeners::waitUntilListening(QString& error) {
    QElapsedTimer clock;
    clock.start();
    for (const auto& listener : m_listeners) {
        while (!acceptsOnLoopback(listener->port)) {
            if (interruptedBy() != 0) {
                error = "interrupted";
                return false;
            }
            if (listener->process->state() != QProcess::Running || clock.elapsed() > 20'000) {
                error = QStringLiteral("%1 on port %2 did not start listening")
                            .arg(listener->kind)
                            .arg(listener->port);
                return false;
            }
            QThread::msleep(20);
        }
    }
    return true;
}

void stopAndWait(const QList<QProcess*>& processes) {
    for (QProcess* process : processes) {
        if (const qint64 pid = process->processId(); pid > 0) {
            ::kill(pid_t(pid), SIGTERM);
        }
    }
    for (QProcess* process : processes) {
        const qint64 pid = process->processId();
        if (pid <= 0) {
            continue;
        }
        if (!process->waitForFinished(3000)) {
            ::kill(pid_t(pid), SIGKILL);
            process->waitForFinished(3000);
        }
        untrack(pid_t(pid));
    }
}

QString nodeProgram() {
    for (const QString& candidate : tools().nodeCandidates) {
        if (QFile::exists(candidate)) {
            return candidate;
        }
    }
    return QStringLiteral("/usr/bin/node");
}

void BenchListeners::stopAll() {
    QList<QProcess*> processes;
    for (const auto& listener : m_listeners) {
        processes.append(listener->process.get());
    }
    stopAndWait(processes);
    m_listeners.clear();
}

QList<qint32> BenchListeners::pids() const {
    QList<qint32> pids;
    for (const auto& listener : m_listeners) {
        pids.append(qint32(listener->process->processId()));
    }
    return pids;
}

}  // namespace varnholt::bench
