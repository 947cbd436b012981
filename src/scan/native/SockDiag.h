#pragma once

#include <QList>

#include <optional>

#include "InetSocket.h"

// Asks the kernel for its internet sockets over NETLINK_SOCK_DIAG: no
// process launch, no text to parse, and the kernel filters for us.
namespace varnholt::SockDiag {

// Every socket of one family (AF_INET, AF_INET6) and protocol (IPPROTO_TCP,
// IPPROTO_UDP) whose state bit is set in states (bit n for state n). With a
// port, only sockets whose local or remote port is that port. nullopt when
// the interface is refused, the protocol is not served, or the reply was
// broken: the caller then turns to a slower source.
std::optional<QList<InetSocket>> dump(int family, int protocol, quint32 states,
                                      std::optional<quint16> port = std::nullopt);

// Every TCP socket of both families in one pass, as dump() otherwise.
std::optional<QList<InetSocket>> dumpTcpBothFamilies(quint32 states,
                                                     std::optional<quint16> port = std::nullopt);

// Whether any socket with an owner (TCP in any state, UDP, IPv4 or IPv6) has
// port as its local or remote port. nullopt when sock_diag cannot tell.
std::optional<bool> portInUse(quint16 port);

}  // namespace varnholt::SockDiag
