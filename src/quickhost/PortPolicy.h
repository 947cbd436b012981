#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>

namespace varnholt::PortPolicy {

// The lowest port this process may listen on. Where low ports are reserved
// for privileged processes, a server started below this would fail to listen
// and exit at once, so the registry never hands such a port out.
qint64 lowestBindablePort();

// The part of [first, last] at or above lowest; none when nothing is left.
std::optional<std::pair<qint64, qint64>> bindableRange(qint64 first, qint64 last, qint64 lowest);

// Linux facts, parsed from their /proc texts.
// True when the CapEff line of /proc/self/status holds CAP_NET_BIND_SERVICE.
bool hasNetBindService(const QString& procStatus);
// The value of /proc/sys/net/ipv4/ip_unprivileged_port_start; the kernel's
// long-standing 1024 when the text is missing or unreadable.
qint64 unprivilegedPortStart(const QString& text);
// 0 (every port) for root or a process with CAP_NET_BIND_SERVICE, otherwise
// the unprivileged start.
qint64 lowestBindablePort(bool isRoot, const QString& procStatus, const QString& portStartText);

}  // namespace varnholt::PortPolicy
