#pragma once

#include <QtGlobal>

#include <array>

namespace varnholt {

// One internet socket as the kernel describes it, before any process is
// attached to it. Addresses are in network byte order; for AF_INET only the
// first four bytes are used.
struct InetSocket {
    int family = 0;  // AF_INET or AF_INET6
    std::array<quint8, 16> address{};
    quint16 port = 0;        // local port
    quint16 remotePort = 0;  // 0 for listeners and unconnected sockets
    quint8 state = 0;        // kernel TCP state number (10 is LISTEN)
    quint32 inode = 0;       // 0 when no file holds the socket (TIME_WAIT, pending)
    quint32 uid = 0;

    bool operator==(const InetSocket&) const = default;
};

}  // namespace varnholt
