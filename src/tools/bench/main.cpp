// varnholt-bench: what the app's data gathering costs on this machine.
//
//   varnholt-bench [--core] [--listeners N] [--runs N] [--slow-runs N]
//
// --core (the default) starts its own servers on loopback, measures the
// native scan against the command-line tools and prints medians and minima;
// its last line is "ratios: cmdline/native=X ss/native=Y native_median_ms=Z".
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

#include "CoreBench.h"

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

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("varnholt-bench");

    QCommandLineParser parser;
    parser.setApplicationDescription("Measures what Varnholt Control's data gathering costs.");
    parser.addHelpOption();
    // Modes: each is one flag and one run function; --core is the default.
    parser.addOption({"core", "Core data gathering: scans, port tests, one refresh (default)."});
    parser.addOption({"listeners", "Servers the bench starts for itself (default 10).", "N"});
    parser.addOption({"runs", "Timed runs of each native measure (default 30).", "N"});
    parser.addOption(
        {"slow-runs", "Timed runs of each measure that launches lsof/ps (default 5).", "N"});
    parser.process(app);

    varnholt::bench::CoreOptions core;
    if (!positive(parser, "listeners", core.listeners) || !positive(parser, "runs", core.runs) ||
        !positive(parser, "slow-runs", core.slowRuns)) {
        return 2;
    }
    return varnholt::bench::runCore(core);
}
