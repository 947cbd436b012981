#include "PickBench.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <optional>

#include "BenchHome.h"
#include "Measure.h"
#include "app/AppDelegate.h"
#include "app/HostPicker.h"
#include "exec/NodeResolver.h"
#include "quickhost/PackageDiscovery.h"
#include "quickhost/QuickHostRegistry.h"

namespace varnholt::bench {

namespace {

constexpr int kTickMs = 5;

bool makeBigFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    // Real bytes, not a sparse file: the copy has to read and write them.
    const QByteArray block(4 << 20, 'v');
    for (int i = 0; i < 256; ++i) {
        if (file.write(block) != block.size()) {
            return false;
        }
    }
    return true;
}

bool makeManyFiles(const QString& folder) {
    for (int d = 0; d < 20; ++d) {
        const QString dir = folder + QStringLiteral("/d%1").arg(d);
        if (!QDir().mkpath(dir)) {
            return false;
        }
        for (int f = 0; f < 1000; ++f) {
            QFile file(dir + QStringLiteral("/f%1.txt").arg(f));
            if (!file.open(QIODevice::WriteOnly) || file.write("hello, phone\n") < 0) {
                return false;
            }
        }
    }
    return true;
}

struct Stall {
    qint64 longestMs = 0;
    double servedSeconds = 0;
    bool served = false;
};

// Picks `picked` and runs the event loop until its package is served or the
// pick has failed, timing each turn of a 5 ms timer.
Stall measurePick(AppDelegate& delegate, QuickHostRegistry& registry, const QString& picked,
                  QString& failure) {
    Stall stall;
    QElapsedTimer since;
    QElapsedTimer tick;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(kTickMs);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        stall.longestMs = std::max(stall.longestMs, tick.restart() - kTickMs);
    });
    const QString packagesFolder = PackageDiscovery::packagesFolder();
    since.start();
    tick.start();
    timer.start();
    delegate.picker()->hostPicked(picked);
    while (!delegate.picker()->jobs().isEmpty()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    timer.stop();
    stall.longestMs = std::max(stall.longestMs, tick.elapsed() - kTickMs);
    stall.servedSeconds = double(since.elapsed()) / 1000.0;
    const QString package = packagesFolder + QLatin1Char('/') + QFileInfo(picked).fileName();
    stall.served = registry.info(package).has_value();
    if (stall.served) {
        registry.stop(package);
    } else if (failure.isEmpty()) {
        failure = QStringLiteral("not served");
    }
    return stall;
}

// Seconds a program takes to run to its end, or a negative value when it fails.
double secondsToRun(const QString& program, const QStringList& arguments) {
    QElapsedTimer clock;
    clock.start();
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        return -1;
    }
    return double(clock.elapsed()) / 1000.0;
}

// The companion's own cost per file next to cp -a on the same folder.
void compareWithCp(const QString& script, const QString& folder, const QString& scratch) {
    const double companion = secondsToRun(
        resolveNode(), {script, QStringLiteral("--new-copy"), QStringLiteral("--in"), folder});
    const double cp = secondsToRun(QStringLiteral("/bin/cp"),
                                   {QStringLiteral("-a"), folder, scratch + "/cp-copy"});
    say(QStringLiteral("pick-copy: 20000-files host.mjs %1 s, cp -a %2 s")
            .arg(QString::number(companion, 'f', 2), QString::number(cp, 'f', 2)));
}

}  // namespace

int runPick(int& argc, char** argv) {
    QTemporaryDir home(QDir::tempPath() + "/varnholt-bench-home-XXXXXX");
    if (!useTemporaryHome(home)) {
        std::fprintf(stderr, "error: cannot create a temporary home folder\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("varnholt-bench");

    const QString script = QDir::homePath() + kHostMjsSuffix;
    QDir().mkpath(QFileInfo(script).absolutePath());
    if (!QFile::copy(QStringLiteral(VARNHOLT_COMPANION_SOURCE), script)) {
        say("error: cannot install the companion script in the temporary home");
        return 1;
    }
    const QString picks = home.path() + QStringLiteral("/picks");
    const QString bigFile = picks + QStringLiteral("/big.bin");
    const QString manyFiles = picks + QStringLiteral("/many-files");
    if (!QDir().mkpath(picks) || !makeBigFile(bigFile) || !makeManyFiles(manyFiles)) {
        say("error: cannot make the picks");
        return 1;
    }

    // The server the build made, as the installed app has its own beside it.
    QuickHostRegistry registry(home.path() + QStringLiteral("/quick"), QuickHostRegistry::kFirstPort,
                               QuickHostRegistry::kLastPort, QStringLiteral(VARNHOLT_SERVE_PATH));
    QString failure;
    AppHooks hooks;
    hooks.alert = [&failure](const QString& message, const QString& informative) {
        failure = message + QStringLiteral(": ") + informative;
    };
    AppDelegate delegate(registry, std::move(hooks));
    delegate.buildWindow();
    int code = 0;
    for (const auto& [name, picked] : {std::pair{QStringLiteral("1gb-file"), bigFile},
                                       std::pair{QStringLiteral("20000-files"), manyFiles}}) {
        failure.clear();
        const Stall stall = measurePick(delegate, registry, picked, failure);
        if (!stall.served) {
            say(QStringLiteral("error: %1: %2").arg(name, failure));
            code = 1;
            continue;
        }
        say(QStringLiteral("pick-stall: %1 longest %2 ms, served after %3 s")
                .arg(name)
                .arg(stall.longestMs)
                .arg(QString::number(stall.servedSeconds, 'f', 1)));
    }
    compareWithCp(script, manyFiles, home.path());
    return code;
}

}  // namespace varnholt::bench
