#include "ExposureTracker.h"

#include <cerrno>

#include <signal.h>

#include "scan/DisplayText.h"
#include "scan/HostScanner.h"
#include "scan/ServerUrl.h"

namespace varnholt {

namespace {

QString keyOf(const HostedPort& server) {
    return QString::number(server.pid) + QLatin1Char(':') + QString::number(server.port);
}

qint32 pidOf(const QString& key) {
    return key.section(QLatin1Char(':'), 0, 0).toInt();
}

bool isNet(const HostedPort& server) {
    return server.scope == QLatin1String("NET");
}

}  // namespace

ExposureTracker::ExposureTracker(Alive alive) : m_alive(std::move(alive)) {}

bool ExposureTracker::processAlive(qint32 pid) {
    // 0 and below name process groups, never one server.
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

QList<HostedPort> ExposureTracker::update(const QList<HostedPort>& servers) {
    // Forget servers whose process ended: a new process on the same pid and
    // port later is a new server.
    for (auto it = m_known.begin(); it != m_known.end();) {
        it = m_alive(pidOf(*it)) ? std::next(it) : m_known.erase(it);
    }
    QList<HostedPort> fresh;
    for (const HostedPort& server : servers) {
        if (!isNet(server) || server.pid <= 0) {
            continue;
        }
        const QString key = keyOf(server);
        if (m_known.contains(key)) {
            continue;
        }
        m_known.insert(key);
        if (m_started) {
            fresh.append(server);
        }
    }
    m_started = true;
    return fresh;
}

QList<HostedPort> netServers(const QList<HostedPort>& servers) {
    QList<HostedPort> net;
    for (const HostedPort& server : servers) {
        if (isNet(server)) {
            net.append(server);
        }
    }
    return net;
}

QString exposureMessage(const HostedPort& server, const QString& ip, const QString& ssid) {
    // Names go to the desktop's notices as shown in the rows: display-safe.
    const QString where = ssid.isEmpty() ? QStringLiteral("the network") : displaySafe(ssid);
    const QString head =
        displaySafe(server.friendlyName) + QStringLiteral(" is now reachable from ") + where;
    if (ip == QLatin1String(HostScanner::kNotConnected)) {
        return head + QStringLiteral(" on port ") + QString::number(server.port);
    }
    return head + QStringLiteral(" at ") + serverUrl(ip, server.port);
}

QString exposureToolTip(const QList<HostedPort>& servers) {
    const QList<HostedPort> net = netServers(servers);
    if (net.isEmpty()) {
        return QStringLiteral("Varnholt");
    }
    QStringList lines{QStringLiteral("Varnholt \u2014 reachable from the network:")};
    for (const HostedPort& server : net) {
        lines << displaySafe(server.friendlyName) + QStringLiteral(" :") +
                     QString::number(server.port);
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace varnholt
