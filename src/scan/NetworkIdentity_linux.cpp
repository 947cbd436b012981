// Wi-Fi name and LAN address from the kernel's own interfaces: getifaddrs,
// sysfs, the routing table and the wireless-extensions ioctl. No process is
// started unless the driver does not answer the ioctl.
#include <QFile>
#include <QFileInfo>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <linux/wireless.h>

#include <cstring>

#include "InterfaceChoice.h"
#include "NetworkParsers.h"
#include "ScanPlatform.h"
#include "exec/Shell.h"
#include "exec/Tools.h"

namespace varnholt::ScanPlatform {

namespace {

QList<InterfaceRecord> readInterfaces() {
    QList<InterfaceRecord> records;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return records;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr) {
            continue;
        }
        const QString name = QString::fromLocal8Bit(entry->ifa_name);
        auto it = std::find_if(records.begin(), records.end(),
                               [&name](const InterfaceRecord& r) { return r.name == name; });
        if (it == records.end()) {
            InterfaceRecord record;
            record.name = name;
            record.isUp = (entry->ifa_flags & IFF_UP) != 0;
            record.isLoopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
            record.isPointToPoint = (entry->ifa_flags & IFF_POINTOPOINT) != 0;
            const QString sys = QStringLiteral("/sys/class/net/") + name;
            record.isWireless = QFileInfo::exists(sys + QStringLiteral("/wireless")) ||
                                QFileInfo::exists(sys + QStringLiteral("/phy80211"));
            record.isPhysical = QFileInfo::exists(sys + QStringLiteral("/device"));
            records.append(record);
            it = records.end() - 1;
        }
        if (entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET) {
            char text[INET_ADDRSTRLEN] = {};
            const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
            if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr) {
                it->ipv4.append(QString::fromLatin1(text));
            }
        }
    }
    ::freeifaddrs(list);

    QFile routes(QStringLiteral("/proc/net/route"));
    if (routes.open(QIODevice::ReadOnly)) {
        const QStringList routed =
            NetworkParsers::defaultRouteInterfaces(QString::fromLatin1(routes.readAll()));
        for (InterfaceRecord& record : records) {
            record.carriesDefaultRoute = routed.contains(record.name);
        }
    }
    return records;
}

// The associated network's name, the empty text when not associated, or
// nullopt when the driver has no wireless extensions.
std::optional<QString> essidByIoctl(const QString& interface) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    iwreq request{};
    const QByteArray name = interface.toLocal8Bit();
    std::strncpy(request.ifr_name, name.constData(), IFNAMSIZ - 1);
    char essid[IW_ESSID_MAX_SIZE + 1] = {};
    request.u.essid.pointer = essid;
    request.u.essid.length = IW_ESSID_MAX_SIZE;
    const int result = ::ioctl(fd, SIOCGIWESSID, &request);
    ::close(fd);
    if (result < 0) {
        return std::nullopt;
    }
    const int length = std::min<int>(request.u.essid.length, IW_ESSID_MAX_SIZE);
    return QString::fromUtf8(essid, length);
}

}  // namespace

QString ssid() {
    const auto interface = InterfaceChoice::wifiInterface(readInterfaces());
    if (!interface) {
        return {};
    }
    if (const auto name = essidByIoctl(*interface)) {
        return *name;
    }
    if (tools().iw.isEmpty()) {
        return {};
    }
    return NetworkParsers::ssidFromIwLink(probe(tools().iw, {"dev", *interface, "link"}));
}

QString wifiIP() {
    return InterfaceChoice::lanAddress(readInterfaces()).value_or(QStringLiteral("not connected"));
}

}  // namespace varnholt::ScanPlatform
