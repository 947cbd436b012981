#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace varnholt {

// What the system knows about one network interface, gathered by the
// platform's reader and judged here without touching the system.
struct InterfaceRecord {
    QString name;
    QStringList ipv4;  // dotted addresses, in the order the system lists them
    bool isUp = false;
    bool isLoopback = false;
    bool isPointToPoint = false;  // VPN and dial-up links
    bool isWireless = false;
    bool isPhysical = false;  // backed by a device, not a bridge, veth or tunnel
    bool carriesDefaultRoute = false;
};

namespace InterfaceChoice {

// Names of interfaces that only ever carry container, VM or VPN traffic.
bool isVirtualName(const QString& name);

// The machine's address on the local network: the Wi-Fi interface's when it
// has one, else that of the physical interface carrying the default route;
// nullopt when neither exists.
std::optional<QString> lanAddress(const QList<InterfaceRecord>& interfaces);

// The Wi-Fi interface to ask for the network name: the one holding an
// address first, then one that is up, then any; nullopt without Wi-Fi.
std::optional<QString> wifiInterface(const QList<InterfaceRecord>& interfaces);

}  // namespace InterfaceChoice

}  // namespace varnholt
