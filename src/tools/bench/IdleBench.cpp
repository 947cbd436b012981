#include "IdleBench.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "BenchHome.h"
#include "BenchListeners.h"
#include "Measure.h"

namespace varnholt::bench {

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point begin) {
    return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
}

// ---------------------------------------------------------------------------
// The real app, idle

struct ProcStat {
    qint64 ownTicks = -1;       // utime + stime, all threads
    qint64 childrenTicks = -1;  // cutime + cstime: children it waited for
};

ProcStat readStat(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    ProcStat stat;
    if (!file.open(QIODevice::ReadOnly)) {
        return stat;
    }
    const QByteArray text = file.readAll();
    // The command name may hold spaces and brackets; fields resume after the
    // last ')' with field 3 (state).
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0) {
        return stat;
    }
    const QList<QByteArray> fields = text.mid(close + 2).simplified().split(' ');
    if (fields.size() < 15) {
        return stat;
    }
    // utime is field 14, so index 14 - 3 here.
    stat.ownTicks = fields[11].toLongLong() + fields[12].toLongLong();
    stat.childrenTicks = fields[13].toLongLong() + fields[14].toLongLong();
    return stat;
}

// A "Name:   1234 kB" line of /proc/PID/status, in kB; -1 when missing.
qint64 statusKb(qint64 pid, const QByteArray& name) {
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(name + ':')) {
            return line.mid(name.size() + 1).simplified().split(' ').value(0).toLongLong();
        }
    }
    return -1;
}

QString controlBinary(const AppOptions& options) {
    if (!options.control.isEmpty()) {
        return options.control;
    }
#ifdef VARNHOLT_CONTROL_PATH
    if (QFileInfo(QStringLiteral(VARNHOLT_CONTROL_PATH)).isExecutable()) {
        return QStringLiteral(VARNHOLT_CONTROL_PATH);
    }
#endif
    // The build tree keeps the bench in src/tools/bench and the app in src/app.
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate : {dir + QStringLiteral("/../../app/varnholt-control"),
                                     dir + QStringLiteral("/varnholt-control")}) {
        if (QFileInfo(candidate).isExecutable()) {
            return QFileInfo(candidate).canonicalFilePath();
        }
    }
    return {};
}

// The real app as a child of the bench's own. It is stopped by its pid, and
// waited for, on every way out of the bench.
class ControlChild {
public:
    ~ControlChild() { stop(); }

    bool start(const QString& program, const QString& home, QString& error) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(home);
        m_process.setStandardOutputFile(home + QStringLiteral("/control.log"));
        m_process.setStandardErrorFile(home + QStringLiteral("/control.log"), QIODevice::Append);
        m_process.start(program, {});
        if (!m_process.waitForStarted(10'000)) {
            error = QStringLiteral("cannot start %1: %2").arg(program, m_process.errorString());
            return false;
        }
        m_pid = m_process.processId();
        trackChild(m_pid);
        return true;
    }

    qint64 pid() const { return m_pid; }
    bool running() const { return m_process.state() == QProcess::Running; }

    // Waits ms while it runs; false when it ended or the bench was interrupted.
    bool waitWhileRunning(int ms) {
        const auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            if (interruptedBy() != 0) {
                return false;
            }
            if (m_process.waitForFinished(100)) {
                return false;
            }
        }
        return running();
    }

    void stop() {
        if (m_pid <= 0) {
            return;
        }
        if (m_process.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_pid), SIGTERM);
            if (!m_process.waitForFinished(3000)) {
                ::kill(pid_t(m_pid), SIGKILL);
                m_process.waitForFinished(3000);
            }
        }
        untrackChild(m_pid);
        m_pid = 0;
    }

private:
    QProcess m_process;
    qint64 m_pid = 0;
};

}  // namespace

IdleFigures measureIdle(const AppOptions& options, const QString& home) {
    IdleFigures idle;
    const QString program = controlBinary(options);
    if (program.isEmpty()) {
        say("idle: varnholt-control not found (build it, or pass --control PATH)");
        return idle;
    }
    say(QStringLiteral("idle: starting %1").arg(program));
    ControlChild child;
    QString error;
    if (!child.start(program, home, error)) {
        say("idle: " + error);
        return idle;
    }
    const double tick = double(::sysconf(_SC_CLK_TCK));
    if (!child.waitWhileRunning(3000)) {
        say(QStringLiteral("idle: varnholt-control ended while settling (log: %1/control.log)")
                .arg(home));
        return idle;
    }
    const ProcStat first = readStat(child.pid());
    const auto begin = Clock::now();
    idle.startupCpuMs = first.ownTicks * 1000.0 / tick;
    say(QStringLiteral("idle: watching pid %1 for %2 s...")
            .arg(child.pid())
            .arg(options.idleSeconds));
    if (!child.waitWhileRunning(options.idleSeconds * 1000)) {
        say(interruptedBy() != 0 ? QStringLiteral("idle: interrupted")
                                 : QStringLiteral("idle: varnholt-control ended early"));
        return idle;
    }
    const ProcStat last = readStat(child.pid());
    idle.seconds = msSince(begin) / 1000.0;
    const qint64 peakKb = statusKb(child.pid(), "VmHWM");
    const qint64 rssKb = statusKb(child.pid(), "VmRSS");
    child.stop();
    if (first.ownTicks < 0 || last.ownTicks < 0 || peakKb < 0 || idle.seconds <= 0) {
        say("idle: cannot read /proc for varnholt-control");
        return idle;
    }
    idle.cpuPercent = (last.ownTicks - first.ownTicks) / tick / idle.seconds * 100.0;
    idle.childrenCpuPercent =
        (last.childrenTicks - first.childrenTicks) / tick / idle.seconds * 100.0;
    idle.peakRssMb = peakKb / 1024.0;
    idle.rssMb = rssKb / 1024.0;
    idle.ok = true;
    return idle;
}

}  // namespace varnholt::bench
