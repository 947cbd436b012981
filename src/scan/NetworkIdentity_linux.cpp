#include "ScanPlatform.h"

namespace varnholt::ScanPlatform {

QString ssid() { return {}; }
QString wifiIP() { return "not connected"; }

}  // namespace varnholt::ScanPlatform
