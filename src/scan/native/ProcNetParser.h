#pragma once

#include <QByteArray>
#include <QList>

#include "InetSocket.h"

// The text of /proc/net/tcp, tcp6, udp and udp6: the slower way to the same
// facts as sock_diag, used where the netlink interface is refused.
namespace varnholt::ProcNetParser {

// One socket per well-formed line; the header and broken lines are skipped.
// family is AF_INET for tcp/udp and AF_INET6 for tcp6/udp6. The kernel prints
// each 32-bit address word in the machine's own byte order, so the words are
// read back the same way.
QList<InetSocket> parse(const QByteArray& text, int family);

}  // namespace varnholt::ProcNetParser
