#pragma once

#include <QString>
#include <QtGlobal>

namespace varnholt {

// The URL a server is reached at from the LAN: "http://" + address + ":" +
// port + "/". Without a LAN address the server is still reachable on this
// machine, so that URL is given instead.
QString serverUrl(const QString& ip, qint64 port);
// "http://localhost:PORT/": what reaches a server from this machine whatever
// it listens on.
QString localUrl(qint64 port);
// Whether the address is one another device could reach.
bool isConnected(const QString& ip);

}  // namespace varnholt
