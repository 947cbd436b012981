#pragma once

#include <QList>

#include <optional>
#include <string>

#include "InetSocket.h"

// Readers of root/net/tcp, tcp6, udp and udp6: the kernel's socket tables as
// text, where the sock_diag interface is refused (a sandbox without netlink,
// a kernel without inet_diag).
namespace varnholt::ProcNetTables {

// The listening TCP sockets of one family (AF_INET or AF_INET6); empty when
// the table is missing, as tcp6 is where IPv6 is off.
QList<InetSocket> listeners(int family, const std::string& root = "/proc");

// Whether a socket that a file holds (TCP in any state, UDP, either family)
// has port at either end: what sock_diag tells, read from the tables.
// nullopt when no table can be read.
std::optional<bool> portInUse(quint16 port, const std::string& root = "/proc");

}  // namespace varnholt::ProcNetTables
