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
#include "IdleBench.h"
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

QString fixed(double value, int decimals) {
    return QString::number(value, 'f', decimals);
}

struct PanelFigures {
    bool ok = false;
    RefreshFigures changed;
    RefreshFigures steady;
    double firstMs = 0;
    int rows = 0;
};

// Refreshes of the bench's own panel, every row rebuilt and nothing changed.
PanelFigures measurePanel(QApplication& app, QuickHostRegistry& registry,
                          const AppOptions& options) {
    PanelFigures figures;
    RefreshFigures& changed = figures.changed;
    RefreshFigures& steady = figures.steady;
    double& firstMs = figures.firstMs;
    int& rows = figures.rows;
    AppHooks hooks;
    hooks.alert = [](const QString&, const QString&) {};
    AppDelegate delegate(registry, std::move(hooks));
    delegate.buildWindow();
    if (!delegate.panel()) {
        say("error: no screen to build the panel on");
        return figures;
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
    say(QStringLiteral("first refresh after building the panel   %1 ms").arg(fixed(firstMs, 3)));
    reportRefresh(QStringLiteral("refresh, every row rebuilt"), changed);
    reportRefresh(QStringLiteral("refresh, nothing changed"), steady);

    figures.ok = true;
    return figures;
}

void reportGatherPieces(QuickHostRegistry& registry, const AppOptions& options) {
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
    report("  pausedPackages", measure(options.runs, [] { PackageDiscovery::pausedPackages(); }));
}

void printSummary(const AppOptions& options, const PanelFigures& panel, const IdleFigures& idle) {
    const RefreshFigures& changed = panel.changed;
    const RefreshFigures& steady = panel.steady;
    const double firstMs = panel.firstMs;
    const int rows = panel.rows;
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
    const PanelFigures panel = measurePanel(app, registry, options);
    if (!panel.ok) {
        return 1;
    }
    reportGatherPieces(registry, options);
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

    printSummary(options, panel, idle);
    return idle.ok ? 0 : 1;
}

}  // namespace varnholt::bench
