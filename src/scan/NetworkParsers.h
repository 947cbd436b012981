#pragma once

#include <QString>
#include <QStringList>

namespace varnholt::NetworkParsers {

// `networksetup -getairportnetwork en0`: the name after
// "Current Wi-Fi Network: ", or the empty text.
QString ssidFromNetworksetup(const QString& output);

// `ipconfig getifaddr en0`: the trimmed address, or "not connected".
QString addressFromIpconfig(const QString& output);

// `iw dev IF link`: the value of the "SSID: " line with iw's \xNN escapes
// undone, or the empty text ("Not connected.").
QString ssidFromIwLink(const QString& output);

// /proc/net/route: the interfaces that carry a default route (destination
// 00000000, route up), in table order.
QStringList defaultRouteInterfaces(const QString& procNetRoute);

}  // namespace varnholt::NetworkParsers
