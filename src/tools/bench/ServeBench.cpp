#include "ServeBench.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>
#include <memory>
#include <vector>

#include "BenchListeners.h"
#include "Measure.h"
#include "ServePeers.h"

namespace varnholt::bench {

namespace {

constexpr int kParallel = 8;
constexpr int kRssClients = 20;
constexpr int kWrkSeconds = 5;

bool makeFiles(const QString& root, const ServeOptions& options) {
    QFile big(root + "/site/big.bin");
    if (!QDir().mkpath(root + "/site") || !big.open(QIODevice::WriteOnly)) {
        return false;
    }
    // Real bytes rather than a hole: every server reads them from the page cache.
    QByteArray chunk(8 << 20, '\0');
    for (qsizetype i = 0; i < chunk.size(); ++i) {
        chunk[i] = char(i * 131 % 251);
    }
    for (int written = 0; written < options.bigMiB; written += 8) {
        if (big.write(chunk) != chunk.size()) {
            return false;
        }
    }
    // Written back and read once, so that no server pays for the other's
    // writeback or finds the file colder than the next one does.
    big.flush();
    ::fsync(big.handle());
    big.close();
    if (!big.open(QIODevice::ReadOnly)) {
        return false;
    }
    while (big.read(chunk.data(), chunk.size()) > 0) {
    }
    big.close();
    QFile small(root + "/site/small.html");
    if (!small.open(QIODevice::WriteOnly) || small.write(QByteArray(1024, 'x')) != 1024) {
        return false;
    }
    small.close();
    for (int i = 0; i < options.smallFiles; ++i) {
        const QString folder = root + QStringLiteral("/many/d%1").arg(i / 500);
        if (i % 500 == 0 && !QDir().mkpath(folder)) {
            return false;
        }
        QFile file(folder + QStringLiteral("/f%1.txt").arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write("small file\n") < 0) {
            return false;
        }
    }
    return true;
}

QString urlOf(quint16 port, const char* path) {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(QLatin1String(path));
}

std::unique_ptr<QProcess> startCurl(const QStringList& extra, const QString& url) {
    auto curl = std::make_unique<QProcess>();
    curl->setProcessChannelMode(QProcess::MergedChannels);
    curl->start(
        QStringLiteral("/usr/bin/curl"),
        QStringList{"-s", "-o", "/dev/null", "-w", "%{size_download}"} + extra + QStringList{url});
    curl->waitForStarted();
    trackChild(curl->processId());
    return curl;
}

// MB/s (10^6 bytes) over all the downloads together, by the wall clock.
double downloadRate(quint16 port, int clients) {
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<QProcess>> curls;
    for (int i = 0; i < clients; ++i) {
        curls.push_back(startCurl({}, urlOf(port, "/big.bin")));
    }
    double bytes = 0;
    for (auto& curl : curls) {
        curl->waitForFinished(600000);
        untrackChild(curl->processId());
        bytes += curl->readAll().trimmed().toDouble();
    }
    return bytes / 1e6 / (double(clock.nsecsElapsed()) / 1e9);
}

double smallRequestsPerSecond(quint16 port) {
    QProcess wrk;
    wrk.setProcessChannelMode(QProcess::MergedChannels);
    wrk.start(
        QStringLiteral("/usr/bin/wrk"),
        {"-t2", "-c16", QStringLiteral("-d%1s").arg(kWrkSeconds), urlOf(port, "/small.html")});
    wrk.waitForFinished((kWrkSeconds + 30) * 1000);
    const auto match =
        QRegularExpression(QStringLiteral("Requests/sec:\\s*([0-9.]+)")).match(wrk.readAll());
    return match.hasMatch() ? match.captured(1).toDouble() : 0;
}

// Peak RSS of the server's processes while slow clients download.
double peakRssDuring20(Peer& peer, quint16 port) {
    std::vector<std::unique_ptr<QProcess>> curls;
    for (int i = 0; i < kRssClients; ++i) {
        curls.push_back(
            startCurl({"--limit-rate", "20M", "--max-time", "3"}, urlOf(port, "/big.bin")));
    }
    double peak = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 3500) {
        peak = std::max(peak, peer.rssMB());
        QThread::msleep(50);
    }
    for (auto& curl : curls) {
        curl->waitForFinished(10000);
        untrackChild(curl->processId());
    }
    return std::max(peak, peer.peakRssMB());
}

struct Row {
    double bigMBps = 0;
    double parallelMBps = 0;
    double smallRps = 0;
    double rssMB = 0;
    double listenMs = 0;
};

bool measurePeer(Peer& peer, const QString& root, Row& row) {
    const QString site = root + "/site";
    quint16 port = unusedLoopbackPort();
    if (!peer.start(site, port)) {
        return false;
    }
    row.bigMBps = downloadRate(port, 1);
    row.parallelMBps = downloadRate(port, kParallel);
    row.smallRps = smallRequestsPerSecond(port);
    peer.stop();
    // A fresh server, so the peak is that of the slow downloads alone.
    port = unusedLoopbackPort();
    if (!peer.start(site, port)) {
        return false;
    }
    row.rssMB = peakRssDuring20(peer, port);
    peer.stop();
    port = unusedLoopbackPort();
    if (!peer.start(root + "/many", port)) {
        return false;
    }
    row.listenMs = double(peer.listenedAfterNs()) / 1e6;
    peer.stop();
    return true;
}

}  // namespace

int runServe(const ServeOptions& options) {
    QTemporaryDir root(QDir::tempPath() + "/varnholt-bench-serve-XXXXXX");
    if (!root.isValid()) {
        say(QStringLiteral("serve: cannot make a temporary folder"));
        return 1;
    }
    say(QStringLiteral("Writing %1 MiB and %2 small files into %3 ...")
            .arg(options.bigMiB)
            .arg(options.smallFiles)
            .arg(root.path()));
    if (!makeFiles(root.path(), options)) {
        say(QStringLiteral("serve: cannot write the files"));
        return 1;
    }
    std::vector<std::unique_ptr<Peer>> peers;
    peers.push_back(varnholtPeer(options.server));
    peers.push_back(pythonPeer());
    peers.push_back(nginxPeer(root.path() + "/nginx"));
    std::vector<Row> rows(peers.size());
    for (size_t i = 0; i < peers.size(); ++i) {
        say(QStringLiteral("Measuring %1 ...").arg(peers[i]->name()));
        if (!measurePeer(*peers[i], root.path(), rows[i])) {
            say(QStringLiteral("serve: %1 did not start: %2")
                    .arg(peers[i]->name(), peers[i]->error()));
            return failureExitCode();
        }
    }
    const auto line = [&](const char* measure, double Row::*field, int decimals) {
        say(QStringLiteral("serve: %1 varnholt %2 python %3 nginx %4")
                .arg(QLatin1String(measure))
                .arg(rows[0].*field, 0, 'f', decimals)
                .arg(rows[1].*field, 0, 'f', decimals)
                .arg(rows[2].*field, 0, 'f', decimals));
    };
    line("big-MBps", &Row::bigMBps, 0);
    line("parallel8-MBps", &Row::parallelMBps, 0);
    line("small-rps", &Row::smallRps, 0);
    line("rss20-MB", &Row::rssMB, 1);
    line("listen-ms", &Row::listenMs, 1);
    return 0;
}

}  // namespace varnholt::bench
