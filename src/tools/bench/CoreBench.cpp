#include "CoreBench.h"

#include <optional>

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "BenchHome.h"
#include "BenchListeners.h"
#include "BusyLoad.h"
#include "Measure.h"
#include "exec/Shell.h"
#include "exec/Tools.h"
#include "quickhost/PackageDiscovery.h"
#include "quickhost/QuickHostRegistry.h"
#include "scan/CommandLineSource.h"
#include "scan/HostScanner.h"
#include "scan/NativeLinuxSource.h"
#include "scan/ScanPlatform.h"
#include "scan/native/OwnerCache.h"
#include "store/Store.h"

namespace varnholt::bench {

namespace {

int processCount() {
    int count = 0;
    if (DIR* proc = ::opendir("/proc")) {
        while (const dirent* entry = ::readdir(proc)) {
            if (entry->d_name[0] >= '1' && entry->d_name[0] <= '9') {
                ++count;
            }
        }
        ::closedir(proc);
    }
    return count;
}

// TCP listeners of the bench's own on 127.0.0.1, holding a run of ports so
// that a free-port search has something to step over. No traffic.
class HeldPorts {
public:
    ~HeldPorts() { release(); }
    void release() {
        for (int fd : m_fds) {
            ::close(fd);
        }
        m_fds.clear();
    }
    bool hold(quint16 port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::listen(fd, 1) != 0) {
            if (fd >= 0) {
                ::close(fd);
            }
            return false;
        }
        m_fds.push_back(fd);
        return true;
    }

private:
    std::vector<int> m_fds;
};

// Finds and holds `busy` consecutive ports followed by a free one; returns
// the first of them, or 0.
quint16 holdRun(HeldPorts& held, int busy) {
    for (int base = 21000; base + busy < 60000; base += 97) {
        bool ok = true;
        for (int i = 0; i < busy && ok; ++i) {
            ok = HostScanner::isFreePort(base + i) && held.hold(quint16(base + i));
        }
        if (ok && HostScanner::isFreePort(base + busy)) {
            return quint16(base);
        }
        held.release();
    }
    return 0;
}

bool lsofSaysFree(qint64 port) {
    return probe(tools().lsof, {QStringLiteral("-ti:") + QString::number(port)})
        .trimmed()
        .isEmpty();
}

QString ratio(double a, double b) {
    return b > 0 ? QString::number(a / b, 'f', 2) : QStringLiteral("n/a");
}

int listeningNow() {
    NativeLinuxSource source;
    const auto visible = source.listeningSockets();
    return int(visible.size() + source.hiddenListeners().size());
}

// "Show Every Listening Program" lists every socket, so the bench tops the
// machine's own up to kEveryListenerCount with loopback sockets of its own.
constexpr int kEveryListenerCount = 200;

void reportEveryListener(int runs) {
    HeldPorts crowd;
    for (int n = listeningNow(); n < kEveryListenerCount && crowd.hold(0); ++n) {
    }
    const int listening = listeningNow();
    report(QStringLiteral("scan, native, every listener (%1 listening)").arg(listening),
           measure(runs, [] { HostScanner::scan({true}); }));
}

// What the machine looks like, and that both sources see the same servers.
void describeMachine(const CoreOptions& options, const BenchListeners& listeners) {
    const QList<qint32> ownPids = listeners.pids();
    const QSet<qint32> own(ownPids.begin(), ownPids.end());
    const auto sockets = NativeLinuxSource().listeningSockets();
    int ownSockets = 0;
    for (const ListeningSocket& s : sockets) {
        ownSockets += own.contains(s.pid) ? 1 : 0;
    }
    NativeLinuxSource nativeForCheck;
    CommandLineSource commandLineForCheck;
    const auto nativePorts = HostScanner::scan(nativeForCheck);
    const auto commandLinePorts = HostScanner::scan(commandLineForCheck);
    bool agree = nativePorts.size() == commandLinePorts.size();
    for (qsizetype i = 0; agree && i < nativePorts.size(); ++i) {
        const HostedPort& a = nativePorts[i];
        const HostedPort& b = commandLinePorts[i];
        agree = a.pid == b.pid && a.command == b.command && a.port == b.port &&
                a.scope == b.scope && a.friendlyName == b.friendlyName;
    }
    say(QStringLiteral("machine: %1 processes, %2 cores, %3")
            .arg(processCount())
            .arg(QThread::idealThreadCount())
            .arg(options.busyProcesses > 0
                     ? QStringLiteral("under load: %1 node processes holding %2 open files each")
                           .arg(options.busyProcesses)
                           .arg(options.busyFiles)
                     : QStringLiteral("no added load")));
    say(QStringLiteral("listening TCP sockets with a readable owner: %1 (%2 of them the "
                       "bench's own %3 listeners)")
            .arg(sockets.size())
            .arg(ownSockets)
            .arg(options.listeners));
    say(QStringLiteral("servers found by the scan: native %1, command-line %2 (%3)")
            .arg(nativePorts.size())
            .arg(commandLinePorts.size())
            .arg(agree ? "same records" : "RECORDS DIFFER"));
    say("");
}

struct ScanFigures {
    Figures native;
    Figures commandLine;
    std::optional<Figures> ss;  // none where ss is not installed
};

ScanFigures reportScans(const CoreOptions& options) {
    ScanFigures figures;
    // As the app scans: every scan builds on what the previous one learned.
    figures.native = measure(options.runs, [] { HostScanner::scan(); });
    report("scan, native (sock_diag + /proc)", figures.native);
    report("  main-thread CPU time", measureThreadCpu(options.runs, [] { HostScanner::scan(); }));
    NativeLinuxSource steadySource("/proc", true, OwnerCache::ofSystem());
    report("  listing only, native",
           measure(options.runs, [&] { steadySource.listeningSockets(); }));
    reportEveryListener(options.runs);
    // A source of its own starts knowing nothing and walks every process.
    report("scan, native, first after start", measure(options.slowRuns, [] {
               NativeLinuxSource source;
               HostScanner::scan(source);
           }));
    figures.commandLine = measure(options.slowRuns, [] {
        CommandLineSource source;
        HostScanner::scan(source);
    });
    report("scan, command line (lsof + ps + lsof)", figures.commandLine);
    if (!tools().ss.isEmpty() && QFileInfo::exists(tools().ss)) {
        figures.ss = measure(options.runs, [] { probe(tools().ss, {"-ltnp"}); });
        report("ss -ltnp as a process (peer)", *figures.ss);
    } else {
        say("ss -ltnp as a process (peer)              not installed");
    }
    return figures;
}

void reportPortTests(const CoreOptions& options, const BenchListeners& listeners) {
    const quint16 heldPort = listeners.listeners().front()->port;
    const quint16 freePort = unusedLoopbackPort();
    report(QStringLiteral("isFreePort native, held port %1").arg(heldPort),
           measure(options.runs, [&] { ScanPlatform::isFreePortNative(heldPort); }));
    report(QStringLiteral("isFreePort native, free port %1").arg(freePort),
           measure(options.runs, [&] { ScanPlatform::isFreePortNative(freePort); }));
    report(QStringLiteral("isFreePort via lsof -ti:, held port"),
           measure(options.slowRuns, [&] { lsofSaysFree(heldPort); }));

    HeldPorts held;
    const quint16 base = holdRun(held, 10);
    if (base == 0) {
        say("firstFreePort: no run of 11 ports to hold; skipped");
        return;
    }
    const auto found = HostScanner::firstFreePort(base, base + 30);
    const QString range = QStringLiteral("%1-%2").arg(base).arg(base + 30);
    report(QStringLiteral("firstFreePort %1, 10 held, native").arg(range),
           measure(options.runs, [&] { HostScanner::firstFreePort(base, base + 30); }));
    report(QStringLiteral("firstFreePort %1, 10 held, lsof").arg(range),
           measure(options.slowRuns,
                   [&] { HostScanner::firstFreePort(base, base + 30, lsofSaysFree); }));
    say(QStringLiteral("  first free port found: %1 (expected %2)")
            .arg(found ? QString::number(*found) : QStringLiteral("none"))
            .arg(base + 10));
}

void reportRefresh(const CoreOptions& options, const QString& root) {
    QuickHostRegistry registry(root);
    report("one refresh's data (native scan)", measure(options.runs, [&] {
               registry.pruneDead();
               HostScanner::wifiIP();
               HostScanner::ssid();
               HostScanner::scan();
               for (const char* id : {"hosted", "quick", "recent", "paused"}) {
                   Store::collapsed(QString::fromLatin1(id));
               }
               Store::panelCollapsed();
               PackageDiscovery::quickHostPackages();
               PackageDiscovery::pausedPackages();
               Store::recent();
           }));
}

}  // namespace

int runCore(const CoreOptions& options) {
    QTemporaryDir home(QDir::tempPath() + "/varnholt-bench-home-XXXXXX");
    if (!useTemporaryHome(home)) {
        say("error: cannot create a temporary home folder");
        return 1;
    }

    BenchListeners listeners;
    BusyLoad busy;
    if (options.busyProcesses > 0 &&
        !busy.startAnnounced(options.busyProcesses, options.busyFiles)) {
        return failureExitCode();
    }
    if (!listeners.startAnnounced(options.listeners)) {
        return failureExitCode();
    }
    describeMachine(options, listeners);
    const ScanFigures scans = reportScans(options);
    reportPortTests(options, listeners);
    reportRefresh(options, home.path() + "/quick");

    listeners.stopAll();
    busy.stopAll();
    if (const int signal = interruptedBy()) {
        say("interrupted");
        return 128 + signal;
    }
    say("");
    say(QStringLiteral("ratios: cmdline/native=%1 ss/native=%2 native_median_ms=%3%4")
            .arg(
                ratio(scans.commandLine.medianMs, scans.native.medianMs),
                scans.ss ? ratio(scans.ss->medianMs, scans.native.medianMs) : QStringLiteral("n/a"),
                QString::number(scans.native.medianMs, 'f', 3),
                options.busyProcesses > 0 ? QStringLiteral(" busy=%1:%2")
                                                .arg(options.busyProcesses)
                                                .arg(options.busyFiles)
                                          : QString()));
    return 0;
}

}  // namespace varnholt::bench
