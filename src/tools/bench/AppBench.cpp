#include "AppBench.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QWidget>

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include "BenchHome.h"
#include "BenchListeners.h"
#include "BusyLoad.h"
#include "Measure.h"
#include "app/AppDelegate.h"
#include "app/controls/FlippedStackView.h"
#include "app/panel/ActivatingPanel.h"
#include "app/panel/PanelSection.h"
#include "app/panel/PanelView.h"
#include "app/panel/PanelWindow.h"
#include "quickhost/PackageDiscovery.h"
#include "quickhost/QuickHostRegistry.h"
#include "scan/HostScanner.h"
#include "store/Store.h"

namespace varnholt::bench {

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point begin) {
    return std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
}

// CPU time of the calling thread: on a busy machine wall time also counts
// the time other processes held the cores.
double threadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

const char* const kPackageNames[] = {
    "Portfolio 2024", "wedding-photos", "Recipe Cards", "slides-q3",   "garden map",
    "Kids Drawings",  "resume",         "tile-viewer",  "band-poster", "Trip to Oslo"};

// What a user who has been using the app for a while has: packages on the
// desktop, some of them paused, and a full recent log.
QStringList makeState() {
    const QString folder = PackageDiscovery::packagesFolder();
    QStringList paths;
    for (const char* name : kPackageNames) {
        const QString path = folder + QLatin1Char('/') + QString::fromUtf8(name);
        QDir().mkpath(path);
        QFile index(path + QStringLiteral("/index.html"));
        if (index.open(QIODevice::WriteOnly)) {
            index.write("<!doctype html><title>package</title><h1>hello</h1>\n");
        }
        paths << path;
    }
    Store::setPausedPaths({paths[1], paths[4], paths[7]});
    for (int i = 0; i < Store::kRecentCap; ++i) {
        const bool removed = i % 3 == 2;
        Store::logRecent(QStringLiteral("old-site-%1").arg(i),
                         removed ? QStringLiteral("removed") : QStringLiteral("stopped"),
                         removed
                             ? std::optional<QString>(folder + QStringLiteral("/gone-%1").arg(i))
                             : std::nullopt);
    }
    return paths;
}

// Gives every row a different key from the unmarked data, so applying the two
// in turn rebuilds every row each time.
void mark(PanelData& data) {
    const QString suffix = QStringLiteral(" 2");
    for (HostedPort& server : data.servers) {
        server.friendlyName += suffix;
    }
    for (QuickHostPackage& package : data.quick) {
        package.title += suffix;
    }
    for (Store::RecentEvent& event : data.recent) {
        event.title += suffix;
    }
    for (QuickHostPackage& package : data.paused) {
        package.title += suffix;
    }
}

// Counts the paints and layout passes a refresh causes, to show that the
// measured time includes them.
class EventCounter : public QObject {
public:
    int paints = 0;
    int layouts = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        } else if (event->type() == QEvent::LayoutRequest) {
            ++layouts;
        }
        return QObject::eventFilter(watched, event);
    }
};

// What the event loop does after a refresh before it sleeps again: layout
// requests, repaints of the shown panel, and deleting the rows that went.
void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

struct RefreshFigures {
    Figures total;
    Figures gather;
    Figures apply;
    Figures cpu;  // the main thread's CPU time for the whole refresh
    double paintsPerRefresh = 0;
    double layoutsPerRefresh = 0;
};

struct Timings {
    std::vector<double> total, gather, apply, cpu;
    int paints = 0, layouts = 0;

    RefreshFigures figures() const {
        RefreshFigures f{summarize(total), summarize(gather), summarize(apply), summarize(cpu)};
        if (!total.empty()) {
            f.paintsPerRefresh = double(paints) / double(total.size());
            f.layoutsPerRefresh = double(layouts) / double(total.size());
        }
        return f;
    }
};

// One timed refresh: gather() with the real scan, then apply() and the event
// processing it causes.
void timedRefresh(AppDelegate& delegate, EventCounter& counter, bool marked, Timings& into) {
    const int paints = counter.paints;
    const int layouts = counter.layouts;
    const double cpuBegin = threadCpuMs();
    const auto begin = Clock::now();
    PanelData data = delegate.gather();
    const double gathered = msSince(begin);
    if (marked) {
        mark(data);  // a few dozen string appends: well under a microsecond each
    }
    const auto applyBegin = Clock::now();
    delegate.apply(data);
    settle();
    const double applied = msSince(applyBegin);
    into.cpu.push_back(threadCpuMs() - cpuBegin);
    into.total.push_back(gathered + applied);
    into.gather.push_back(gathered);
    into.apply.push_back(applied);
    into.paints += counter.paints - paints;
    into.layouts += counter.layouts - layouts;
}

void reportRefresh(const QString& label, const RefreshFigures& f) {
    report(label, f.total);
    report(QStringLiteral("  gather (scan, network, settings, packages)"), f.gather);
    report(QStringLiteral("  apply + layout/paint/deletes"), f.apply);
    report(QStringLiteral("  main-thread CPU time, whole refresh"), f.cpu);
    say(QStringLiteral("  per refresh: %1 paint events, %2 layout requests")
            .arg(f.paintsPerRefresh, 0, 'f', 1)
            .arg(f.layoutsPerRefresh, 0, 'f', 1));
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

struct IdleFigures {
    bool ok = false;
    double cpuPercent = 0;
    double childrenCpuPercent = 0;
    double startupCpuMs = 0;
    double peakRssMb = 0;
    double rssMb = 0;
    double seconds = 0;
};

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

QString fixed(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

}  // namespace

int runApp(int& argc, char** argv, const AppOptions& options) {
    QTemporaryDir home(QDir::tempPath() + "/varnholt-bench-home-XXXXXX");
    if (!useTemporaryHome(home)) {
        std::fprintf(stderr, "error: cannot create a temporary home folder\n");
        return 1;
    }
    // The bench's own panel and the app it starts both draw offscreen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("varnholt-bench");

    BenchListeners listeners;
    BusyLoad busy;
    if (options.busyProcesses > 0 &&
        !busy.startAnnounced(options.busyProcesses, options.busyFiles)) {
        return failureExitCode();
    }
    if (!listeners.startAnnounced(options.listeners)) {
        return failureExitCode();
    }
    makeState();

    QuickHostRegistry registry(home.path() + QStringLiteral("/quick"));
    RefreshFigures changed;
    RefreshFigures steady;
    double firstMs = 0;
    int rows = 0;
    {
        AppHooks hooks;
        hooks.alert = [](const QString&, const QString&) {};
        AppDelegate delegate(registry, std::move(hooks));
        delegate.buildWindow();
        if (!delegate.panel()) {
            say("error: no screen to build the panel on");
            return 1;
        }
        delegate.panel()->window()->show();
        const PanelView* view = delegate.panel()->view();
        settle();
        EventCounter counter;
        app.installEventFilter(&counter);

        Timings first;
        timedRefresh(delegate, counter, false, first);
        firstMs = first.total.front();
        rows = int(view->hosted().stack()->arrangedSubviews().size() +
                   view->quick().stack()->arrangedSubviews().size() +
                   view->recent().stack()->arrangedSubviews().size() +
                   view->paused().stack()->arrangedSubviews().size());
        say(QStringLiteral("panel: %1 servers, %2 packages, %3 recent, %4 paused rows")
                .arg(view->hosted().stack()->arrangedSubviews().size())
                .arg(view->quick().stack()->arrangedSubviews().size())
                .arg(view->recent().stack()->arrangedSubviews().size())
                .arg(view->paused().stack()->arrangedSubviews().size()));

        Timings rebuilt;
        Timings kept;
        for (int round = 0; round < options.runs && interruptedBy() == 0; ++round) {
            const bool marked = round % 2 == 0;
            timedRefresh(delegate, counter, marked, rebuilt);  // every row differs
            timedRefresh(delegate, counter, marked, kept);     // the same data again
        }
        app.removeEventFilter(&counter);
        changed = rebuilt.figures();
        steady = kept.figures();

        say("");
        say(QStringLiteral("first refresh after building the panel   %1 ms")
                .arg(fixed(firstMs, 3)));
        reportRefresh(QStringLiteral("refresh, every row rebuilt"), changed);
        reportRefresh(QStringLiteral("refresh, nothing changed"), steady);

        say("");
        say("gather, piece by piece:");
        report("  pruneDead", measure(options.runs, [&] { registry.pruneDead(); }));
        report("  wifiIP", measure(options.runs, [] { HostScanner::wifiIP(); }));
        report("  ssid", measure(options.runs, [] { HostScanner::ssid(); }));
        report("  scan (native)", measure(options.runs, [] { HostScanner::scan(); }));
        report("  collapsed x4", measure(options.runs, [] {
                   for (const char* id : {"hosted", "quick", "recent", "paused"}) {
                       Store::collapsed(QString::fromLatin1(id));
                   }
               }));
        report("  quickHostPackages",
               measure(options.runs, [] { PackageDiscovery::quickHostPackages(); }));
        report("  recent", measure(options.runs, [] { Store::recent(); }));
        report("  pausedPackages",
               measure(options.runs, [] { PackageDiscovery::pausedPackages(); }));
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    IdleFigures idle;
    if (interruptedBy() == 0) {
        say("");
        idle = measureIdle(options, home.path());
    }
    listeners.stopAll();
    busy.stopAll();
    if (const int signal = interruptedBy()) {
        say("interrupted");
        return 128 + signal;
    }

    say("");
    if (options.busyProcesses > 0) {
        say(QStringLiteral("under load: %1 node processes holding %2 open files each")
                .arg(options.busyProcesses)
                .arg(options.busyFiles));
    }
    say(QStringLiteral("%1 rows; targets: refresh <= 16 ms median, idle <= 0.5 % of one core, "
                       "peak RSS <= 60 MB")
            .arg(rows));
    std::printf("%-44s %10s %10s %8s\n", "", "median", "min", "target");
    const auto row = [](const char* label, const Figures& f, const char* target) {
        std::printf("%-44s %7.3f ms %7.3f ms %8s\n", label, f.medianMs, f.minMs, target);
    };
    row("refresh, every row rebuilt", changed.total, "16 ms");
    row("  gather", changed.gather, "");
    row("  apply + events", changed.apply, "");
    row("  main-thread CPU time", changed.cpu, "");
    row("refresh, nothing changed", steady.total, "16 ms");
    row("  gather", steady.gather, "");
    row("  apply + events", steady.apply, "");
    row("  main-thread CPU time", steady.cpu, "");
    std::printf("%-44s %7.3f ms\n", "first refresh (cold)", firstMs);
    if (idle.ok) {
        std::printf("%-44s %9.2f %%  %21s\n",
                    QStringLiteral("idle CPU over %1 s (utime+stime)")
                        .arg(idle.seconds, 0, 'f', 1)
                        .toUtf8()
                        .constData(),
                    idle.cpuPercent, "0.5 %");
        std::printf("%-44s %9.2f %%\n", "  its waited-for children", idle.childrenCpuPercent);
        std::printf("%-44s %9.1f ms\n", "  startup CPU (first 3 s)", idle.startupCpuMs);
        std::printf("%-44s %9.1f MB  %21s\n", "peak resident memory (VmHWM)", idle.peakRssMb,
                    "60 MB");
        std::printf("%-44s %9.1f MB\n", "  resident at the end (VmRSS)", idle.rssMb);
    } else {
        std::printf("%-44s %12s\n", "idle CPU, peak memory", "not measured");
    }
    std::fflush(stdout);
    say(QStringLiteral("app: refresh_median_ms=%1 refresh_steady_median_ms=%2 "
                       "idle_cpu_percent=%3 peak_rss_mb=%4")
            .arg(fixed(changed.total.medianMs, 3), fixed(steady.total.medianMs, 3),
                 idle.ok ? fixed(idle.cpuPercent, 2) : QStringLiteral("n/a"),
                 idle.ok ? fixed(idle.peakRssMb, 1) : QStringLiteral("n/a")));
    return idle.ok ? 0 : 1;
}

}  // namespace varnholt::bench
