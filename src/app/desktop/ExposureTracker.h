#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

#include "scan/HostedPort.h"

namespace varnholt {

// Tells which servers have just become reachable from the network, so each
// is announced once. A server is known by its process and port; it stays
// known while its process lives, so a scan that misses it (or fails
// outright and lists nothing) never makes it new again.
class ExposureTracker {
public:
    using Alive = std::function<bool(qint32 pid)>;

    explicit ExposureTracker(Alive alive = processAlive);

    // The NET servers with a process id, containers and other users'
    // programs that were not known before, in listing order. The first call only learns what is
    // there: servers present at start are never new.
    QList<HostedPort> update(const QList<HostedPort>& servers);

    // Whether the process still exists (one owned by another user counts).
    static bool processAlive(qint32 pid);

private:
    Alive m_alive;
    bool m_started = false;
    QSet<QString> m_known;
};

// The servers the network can reach.
QList<HostedPort> netServers(const QList<HostedPort>& servers);

// "shop is now reachable from Home Net at http://192.168.1.23:3000/", or
// "…from the network…" without a network name. Without a LAN address there is
// no URL to give, so the port is named instead; so it is for a private share,
// whose link stays off the screen.
QString exposureMessage(const HostedPort& server, const QString& ip, const QString& ssid);

// The notices for the servers that just opened: one each for up to three,
// else one that gives the count and names the first three, so a tool that
// opens a port range does not flood the desktop.
inline constexpr int kSeparateNotices = 3;
QStringList exposureNotices(const QList<HostedPort>& fresh, const QString& ip, const QString& ssid);
// A name as notices and the tooltip show it: display-safe, at most this long.
inline constexpr int kNoticeNameLength = 80;
QString shortName(const QString& name);
// The tray's tooltip: the app's name, then each reachable server (the first
// kToolTipServers of them, and how many more).
inline constexpr int kToolTipServers = 10;
QString exposureToolTip(const QList<HostedPort>& servers);

}  // namespace varnholt
