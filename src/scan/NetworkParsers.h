#pragma once

#include <QString>

namespace varnholt::NetworkParsers {

// `networksetup -getairportnetwork en0`: the name after
// "Current Wi-Fi Network: ", or the empty text.
QString ssidFromNetworksetup(const QString& output);

// `ipconfig getifaddr en0`: the trimmed address, or "not connected".
QString addressFromIpconfig(const QString& output);

// `iw dev IF link`: the value of the "SSID: " line, or the empty text.
QString ssidFromIwLink(const QString& output);

}  // namespace varnholt::NetworkParsers
