#include "ExposureTracker.h"

#include <cerrno>

#include <signal.h>

#include "scan/DisplayText.h"
#include "scan/HostScanner.h"
#include "scan/ServerUrl.h"

namespace varnholt {

namespace {

// A container or another user's program has no pid of ours to follow: it is
// known by its port, as long as the scans list it.
QString keyOf(const HostedPort& server) {
    switch (server.kind) {
        case HostedPort::Kind::Container:
            return QStringLiteral("container:") + QString::number(server.port);
        case HostedPort::Kind::OtherUser:
            return QStringLiteral("other:") + QString::number(server.port);
        case HostedPort::Kind::Process:
            break;
    }
    return QString::number(server.pid) + QLatin1Char(':') + QString::number(server.port);
}

bool followsPid(const QString& key) {
    return key.front().isDigit() || key.front() == QLatin1Char('-');
}

bool announceable(const HostedPort& server) {
    return server.kind != HostedPort::Kind::Process || server.pid > 0;
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
    // A pid-less one is forgotten when a scan that found something does not
    // list it; a failed scan lists nothing and forgets nothing.
    QSet<QString> listed;
    for (const HostedPort& server : servers) {
        listed.insert(keyOf(server));
    }
    for (auto it = m_known.begin(); it != m_known.end();) {
        const bool keep =
            followsPid(*it) ? m_alive(pidOf(*it)) : servers.isEmpty() || listed.contains(*it);
        it = keep ? std::next(it) : m_known.erase(it);
    }
    QList<HostedPort> fresh;
    for (const HostedPort& server : servers) {
        if (!isNet(server) || !announceable(server)) {
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

QString shortName(const QString& name) {
    // Names go to the desktop's notices as shown in the rows (display-safe),
    // cut to what a notice or a tooltip line can hold.
    const QString safe = displaySafe(name);
    return safe.size() <= kNoticeNameLength ? safe
                                            : safe.left(kNoticeNameLength - 1) + QChar(0x2026);
}

namespace {

QString reachedFrom(const QString& ssid) {
    return ssid.isEmpty() ? QStringLiteral("the network") : shortName(ssid);
}

QString nameAndPort(const HostedPort& server) {
    return shortName(server.friendlyName) + QStringLiteral(" :") + QString::number(server.port);
}

}  // namespace

QString exposureMessage(const HostedPort& server, const QString& ip, const QString& ssid) {
    const QString head = shortName(server.friendlyName) +
                         QStringLiteral(" is now reachable from ") + reachedFrom(ssid);
    if (!server.linkPath.isEmpty()) {
        return head + QStringLiteral(" by its private link on port ") +
               QString::number(server.port);
    }
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
    for (const HostedPort& server : net.mid(0, kToolTipServers)) {
        lines << nameAndPort(server);
    }
    if (net.size() > kToolTipServers) {
        lines << QStringLiteral("and %1 more").arg(net.size() - kToolTipServers);
    }
    return lines.join(QLatin1Char('\n'));
}

QStringList exposureNotices(const QList<HostedPort>& fresh, const QString& ip,
                            const QString& ssid) {
    if (fresh.size() <= kSeparateNotices) {
        QStringList notices;
        for (const HostedPort& server : fresh) {
            notices << exposureMessage(server, ip, ssid);
        }
        return notices;
    }
    QStringList named;
    for (const HostedPort& server : fresh.mid(0, kSeparateNotices)) {
        named << nameAndPort(server);
    }
    return {QStringLiteral("%1 servers are now reachable from %2: %3, \u2026")
                .arg(fresh.size())
                .arg(reachedFrom(ssid), named.join(QStringLiteral(", ")))};
}

}  // namespace varnholt
