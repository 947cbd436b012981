#include "CommandLineSource.h"
#include "NetworkParsers.h"
#include "ScanPlatform.h"
#include "exec/Shell.h"
#include "exec/Tools.h"

namespace varnholt::ScanPlatform {

std::unique_ptr<ProcessSource> defaultSource() {
    return std::make_unique<CommandLineSource>();
}

std::optional<bool> isFreePortNative(qint64) {
    return std::nullopt;
}

QString ssid() {
    return NetworkParsers::ssidFromNetworksetup(
        probe(tools().networksetup, {"-getairportnetwork", "en0"}));
}

QString wifiIP() {
    return NetworkParsers::addressFromIpconfig(probe(tools().ipconfig, {"getifaddr", "en0"}));
}

}  // namespace varnholt::ScanPlatform
