#include "InterfaceChoice.h"

#include <algorithm>

namespace varnholt::InterfaceChoice {

namespace {

bool usable(const InterfaceRecord& i) {
    return i.isUp && !i.isLoopback && !i.isPointToPoint && !isVirtualName(i.name) &&
           !i.ipv4.isEmpty();
}

// A self-assigned 169.254 address means the network gave none; another
// device cannot be expected to reach it when a real one exists.
QString bestAddress(const QStringList& addresses) {
    for (const QString& address : addresses) {
        if (!address.startsWith(QLatin1String("169.254."))) {
            return address;
        }
    }
    return addresses.first();
}

std::optional<QString> firstAddress(const QList<InterfaceRecord>& interfaces, auto&& accept) {
    // Among equals, the one carrying the default route is the one in use.
    for (const bool routed : {true, false}) {
        for (const InterfaceRecord& i : interfaces) {
            if (usable(i) && accept(i) && i.carriesDefaultRoute == routed) {
                return bestAddress(i.ipv4);
            }
        }
    }
    return std::nullopt;
}

}  // namespace

bool isVirtualName(const QString& name) {
    static const QStringList prefixes = {
        "lo",  "docker", "br",     "virbr", "veth",    "vnet",      "vmnet", "vboxnet",
        "lxc", "lxd",    "podman", "cni",   "flannel", "cali",      "kube",  "tun",
        "tap", "utun",   "wg",     "ppp",   "ipsec",   "tailscale", "zt",    "nordlynx",
        "gpd", "vti",    "gre",    "sit",   "ip6tnl",  "dummy",
    };
    return std::any_of(prefixes.cbegin(), prefixes.cend(),
                       [&name](const QString& prefix) { return name.startsWith(prefix); });
}

std::optional<QString> lanAddress(const QList<InterfaceRecord>& interfaces) {
    if (auto wifi =
            firstAddress(interfaces, [](const InterfaceRecord& i) { return i.isWireless; })) {
        return wifi;
    }
    return firstAddress(
        interfaces, [](const InterfaceRecord& i) { return i.isPhysical && i.carriesDefaultRoute; });
}

std::optional<QString> wifiInterface(const QList<InterfaceRecord>& interfaces) {
    const auto wireless = [](const InterfaceRecord& i) {
        return i.isWireless && !i.isLoopback && !isVirtualName(i.name);
    };
    const auto pick = [&](auto&& accept) -> std::optional<QString> {
        for (const InterfaceRecord& i : interfaces) {
            if (wireless(i) && accept(i)) {
                return i.name;
            }
        }
        return std::nullopt;
    };
    if (auto name = pick([](const InterfaceRecord& i) { return usable(i); })) {
        return name;
    }
    if (auto name = pick([](const InterfaceRecord& i) { return i.isUp; })) {
        return name;
    }
    return pick([](const InterfaceRecord&) { return true; });
}

}  // namespace varnholt::InterfaceChoice
