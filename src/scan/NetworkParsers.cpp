#include "NetworkParsers.h"

namespace varnholt::NetworkParsers {

QString ssidFromNetworksetup(const QString&) { return {}; }
QString addressFromIpconfig(const QString&) { return "not connected"; }
QString ssidFromIwLink(const QString&) { return {}; }

}  // namespace varnholt::NetworkParsers
