#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace varnholt::test {

// A TCP port on 127.0.0.1 (or ::1) that was free a moment ago, found by
// binding port 0; 0 when none could be had.
quint16 freeLoopbackPort(bool ipv6 = false);

// The first of count consecutive ports in [from, to] that this process can
// listen on right now, or none.
std::optional<qint64> freePortBlock(qint64 from, qint64 to, int count);

// Whether something accepts a TCP connection on host (a loopback address,
// IPv4 or IPv6) and port right now; false for any address off loopback.
bool acceptsConnection(const QString& host, quint16 port);

}  // namespace varnholt::test
