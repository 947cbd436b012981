#pragma once

#include <QString>

#include "InetSocket.h"

namespace varnholt::SocketName {

// The local end as `lsof -nP` names it, so the scan rules read the same text
// whichever source found the socket: "*:3000" for a wildcard address (0.0.0.0,
// :: and ::ffff:0.0.0.0), "127.0.0.1:8000", "[::1]:5173", and an IPv4-mapped
// IPv6 address as the plain IPv4 address it carries.
QString local(const InetSocket& socket);

}  // namespace varnholt::SocketName
