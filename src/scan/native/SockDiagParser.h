#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

#include "InetSocket.h"

// Bytes in and out of the kernel's NETLINK_SOCK_DIAG interface, kept apart
// from the socket calls so recorded replies can be replayed in tests.
namespace varnholt::SockDiagParser {

// What one received buffer of a dump reply held.
struct Chunk {
    QList<InetSocket> sockets;
    bool done = false;       // the dump's end marker was seen
    int error = 0;           // errno reported by the kernel, 0 when none
    bool malformed = false;  // a message was cut short or ran past the buffer
};

// Parses one buffer of netlink messages. Messages of another sequence number
// are skipped; parsing stops at the end marker, an error or a broken header.
Chunk parse(const QByteArray& bytes, quint32 sequence);

// A SOCK_DIAG_BY_FAMILY dump request. With a port, a filter program asks the
// kernel for sockets whose local or remote port is that port only.
QByteArray request(quint8 family, quint8 protocol, quint32 states, quint32 sequence,
                   std::optional<quint16> port = std::nullopt);

// The older TCP-only dump request, which alone can ask for IPv4 and IPv6 in
// one pass over the kernel's connection table (that pass, not the reply, is
// what a dump of every state costs).
QByteArray tcpRequestBothFamilies(quint32 states, quint32 sequence,
                                  std::optional<quint16> port = std::nullopt);

// The inet_diag filter program "local port is port, or remote port is port".
QByteArray portFilter(quint16 port);

}  // namespace varnholt::SockDiagParser
