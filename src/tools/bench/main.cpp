// varnholt-bench: what the app's data gathering and the app itself cost on
// this machine.
//
//   varnholt-bench [--core] [--listeners N] [--runs N] [--slow-runs N] [--busy N:F]
//   varnholt-bench --pick
//   varnholt-bench --app [--listeners N] [--runs N] [--idle-seconds N] [--control PATH]
//                        [--busy N:F]
//   varnholt-bench --serve
//
// --busy first starts N node processes that each hold F open files (what
// language servers and watchers leave on a developer's machine), so that
// every figure is taken under that load.
//
// --core (the default) starts its own servers on loopback, measures the
// native scan against the command-line tools and prints medians and minima;
// its last line is "ratios: cmdline/native=X ss/native=Y native_median_ms=Z".
//
// --pick picks a 1 GB file and a 20,000-file folder in the real app
// (offscreen) and prints, per case, "pick-stall: <case> longest <N> ms,
// served after <S> s": the longest the GUI event loop went without turning.
//
// --app times full panel refreshes in-process (offscreen), then watches the
// real varnholt-control idle; its last line is "app: refresh_median_ms=A
// refresh_steady_median_ms=B idle_cpu_percent=C peak_rss_mb=D".
//
// --serve compares varnholt-serve with `python3 -m http.server` and nginx on
// the same files over loopback, one line per measure: "serve: <measure>
// varnholt <x> python <y> nginx <z>" for big-MBps, parallel8-MBps,
// small-rps, rss20-MB and listen-ms.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <memory>

#include "AppBench.h"
#include "BusyLoad.h"
#include "CoreBench.h"
#include "PickBench.h"
#include "ServeBench.h"

namespace {

bool positive(QCommandLineParser& parser, const QString& name, int& value) {
    if (!parser.isSet(name)) {
        return true;
    }
    bool ok = false;
    const int parsed = parser.value(name).toInt(&ok);
    if (!ok || parsed < 1) {
        std::fprintf(stderr, "--%s needs a whole number above 0\n", name.toUtf8().constData());
        return false;
    }
    value = parsed;
    return true;
}

void addOptions(QCommandLineParser& parser) {
    // Modes: each is one flag and one run function; --core is the default.
    parser.addOption({"core", "Core data gathering: scans, port tests, one refresh (default)."});
    parser.addOption({"app", "The app: panel refresh time, idle CPU and memory of the real app."});
    parser.addOption({"serve", "The file server against python3 -m http.server and nginx."});
    parser.addOption({"pick", "Picks a big file and a big folder; how long the panel stalls."});
    parser.addOption({"listeners", "Servers the bench starts for itself (default 10).", "N"});
    parser.addOption({"runs", "Timed runs of each native measure or refresh (default 30).", "N"});
    parser.addOption(
        {"slow-runs", "Timed runs of each measure that launches lsof/ps (default 5).", "N"});
    parser.addOption(
        {"idle-seconds", "--app: how long the idle app is watched (default 60).", "N"});
    parser.addOption(
        {"control", "--app: the varnholt-control to watch (default: the built one).", "PATH"});
    parser.addOption({"busy",
                      "Measure under load: N node processes holding F open files each "
                      "(e.g. 30:1000).",
                      "N:F"});
}

// --core (the default) and --app, which share the load and listener options.
int runMeasures(QCommandLineParser& parser, int& argc, char** argv) {
    int busyProcesses = 0;
    int busyFiles = 0;
    if (parser.isSet("busy") &&
        !varnholt::bench::BusyLoad::parse(parser.value("busy"), busyProcesses, busyFiles)) {
        std::fprintf(stderr, "--busy needs N:F, 1-200 processes of 1-10000 files each\n");
        return 2;
    }

    if (parser.isSet("app")) {
        varnholt::bench::AppOptions options;
        options.control = parser.value("control");
        options.busyProcesses = busyProcesses;
        options.busyFiles = busyFiles;
        if (!positive(parser, "listeners", options.listeners) ||
            !positive(parser, "runs", options.runs) ||
            !positive(parser, "idle-seconds", options.idleSeconds)) {
            return 2;
        }
        return varnholt::bench::runApp(argc, argv, options);
    }

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("varnholt-bench");
    varnholt::bench::CoreOptions core;
    core.busyProcesses = busyProcesses;
    core.busyFiles = busyFiles;
    if (!positive(parser, "listeners", core.listeners) || !positive(parser, "runs", core.runs) ||
        !positive(parser, "slow-runs", core.slowRuns)) {
        return 2;
    }
    return varnholt::bench::runCore(core);
}

}  // namespace

int main(int argc, char** argv) {
    // The app mode needs a widget application set up in its temporary home,
    // so options are read before any application object exists.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Measures what Varnholt Control's data gathering and the app itself cost.");
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    addOptions(parser);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "%s\n", parser.errorText().toUtf8().constData());
        return 2;
    }
    if (parser.isSet(help)) {
        // No application object yet to name the program.
        std::printf("%s", parser.helpText()
                              .replace(QStringLiteral("<executable_name>"),
                                       QStringLiteral("varnholt-bench"))
                              .toUtf8()
                              .constData());
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("varnholt-bench %s\n", VARNHOLT_VERSION);
        return 0;
    }
    if (int(parser.isSet("core")) + int(parser.isSet("app")) + int(parser.isSet("serve")) +
            int(parser.isSet("pick")) >
        1) {
        std::fprintf(stderr, "--core, --app, --serve and --pick are separate runs\n");
        return 2;
    }
    if (parser.isSet("pick")) {
        return varnholt::bench::runPick(argc, argv);
    }
    if (parser.isSet("serve")) {
        QCoreApplication app(argc, argv);
        varnholt::bench::ServeOptions serve;
        serve.server = QStringLiteral(VARNHOLT_SERVE_PATH);
        return varnholt::bench::runServe(serve);
    }

    return runMeasures(parser, argc, argv);
}
