// Free-port search and stopping of server processes.
#include <QCoreApplication>
#include <QTimer>

#include <sys/types.h>
#include <cerrno>
#include <csignal>

#include "HostScanner.h"
#include "Log.h"
#include "ScanPlatform.h"
#include "exec/Shell.h"
#include "exec/Tools.h"

namespace varnholt::HostScanner {

bool isFreePort(qint64 port) {
    // No socket can hold a port outside this range, nor can a server start on
    // one; lsof would fail on it and make it look free.
    if (port < 1 || port > 65535) {
        return false;
    }
    if (const auto native = ScanPlatform::isFreePortNative(port)) {
        return *native;
    }
    return probe(tools().lsof, {QStringLiteral("-ti:") + QString::number(port)})
        .trimmed()
        .isEmpty();
}

std::optional<qint64> firstFreePort(qint64 from, qint64 to) {
    return firstFreePort(from, to, [](qint64 port) { return isFreePort(port); });
}

std::optional<qint64> firstFreePort(qint64 from, qint64 to,
                                    const std::function<bool(qint64)>& isFree) {
    for (qint64 port = from; port <= to; ++port) {
        if (isFree(port)) {
            return port;
        }
        if (port == to) {  // keeps the loop from overflowing at the top of the range
            break;
        }
    }
    return std::nullopt;
}

void stop(qint32 pid) {
    // kill() reads 0 as the caller's own process group and -1 as every
    // process we may signal; neither is a server.
    if (pid <= 0) {
        return;
    }
    if (::kill(static_cast<pid_t>(pid), SIGTERM) != 0) {
        qCWarning(lcScan).noquote()
            << QStringLiteral("Could not stop process %1: %2").arg(pid).arg(qt_error_string(errno));
        return;
    }
    qCInfo(lcScan).noquote() << QStringLiteral("Asked process %1 to stop").arg(pid);
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return;
    }
    // The context object lives on the main thread, so the check runs there,
    // between refreshes, whichever thread asked for the stop.
    QTimer::singleShot(kKillDelayMs, app, [pid] {
        if (::kill(static_cast<pid_t>(pid), 0) == 0) {
            qCInfo(lcScan).noquote()
                << QStringLiteral("Process %1 still ran after %2 ms and is killed")
                       .arg(pid)
                       .arg(kKillDelayMs);
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        }
    });
}

}  // namespace varnholt::HostScanner
