#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>

namespace varnholt::PortPolicy {

// The lowest port a server this process starts may listen on. Where low
// ports are reserved for privileged processes, a server started below this
// would fail to listen and exit at once, so the registry never hands such a
// port out. What counts is the child's privilege after exec, not ours: a
// capability the app holds only in its effective set is gone in the child.
qint64 lowestBindablePort();

// The part of [first, last] at or above lowest; none when nothing is left.
std::optional<std::pair<qint64, qint64>> bindableRange(qint64 first, qint64 last, qint64 lowest);

// Linux facts, parsed from their /proc texts.
// True when the given line ("CapEff:", "CapAmb:", "CapBnd:") of
// /proc/self/status holds CAP_NET_BIND_SERVICE.
bool hasNetBindService(const QString& procStatus, const QString& line = QStringLiteral("CapEff:"));
// The value of /proc/sys/net/ipv4/ip_unprivileged_port_start; the kernel's
// long-standing 1024 when the text is missing or unreadable.
qint64 unprivilegedPortStart(const QString& text);
// 0 (every port) when an exec'd child of this process keeps
// CAP_NET_BIND_SERVICE: as root, when the bounding set holds it (a missing
// line counts as holding it); otherwise only through the ambient set.
// Everyone else gets the unprivileged start.
qint64 lowestBindablePort(bool isRoot, const QString& procStatus, const QString& portStartText);

}  // namespace varnholt::PortPolicy
