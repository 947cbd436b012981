// The network tools' output: networksetup, ipconfig, iw and /proc/net/route.
#include "FuzzInput.h"
#include "scan/NetworkParsers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace varnholt;
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    NetworkParsers::ssidFromNetworksetup(text);
    // The panel shows the address as it is: never empty.
    fuzz::require(!NetworkParsers::addressFromIpconfig(text).isEmpty());
    NetworkParsers::ssidFromIwLink(text);
    for (const QString& name : NetworkParsers::defaultRouteInterfaces(text)) {
        fuzz::require(!name.isEmpty());
    }
    return 0;
}
