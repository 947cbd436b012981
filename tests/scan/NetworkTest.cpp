// Network identity: the tools' recorded output and the choice of interface.
#include <gtest/gtest.h>

#include "scan/InterfaceChoice.h"
#include "scan/NetworkParsers.h"

namespace varnholt {
namespace {

TEST(NetworkParsers, NetworksetupOutput) {
    const struct {
        const char* output;
        const char* ssid;
    } cases[] = {
        {"Current Wi-Fi Network: Home Net\n", "Home Net"},
        {"Current Wi-Fi Network: Café · 5G  \n", "Café · 5G"},
        {"You are not associated with an AirPort network.\n", ""},
        {"en0 is not a Wi-Fi interface.\n** Error: Error obtaining wireless information.\n", ""},
        {"Current Wi-Fi Network: \n", ""},  // trimming eats the label's space
        {"Current Wi-Fi Network:Home\n", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(NetworkParsers::ssidFromNetworksetup(QString::fromUtf8(c.output)),
                  QString::fromUtf8(c.ssid))
            << c.output;
    }
}

TEST(NetworkParsers, IpconfigOutput) {
    EXPECT_EQ(NetworkParsers::addressFromIpconfig("192.168.1.23\n"), "192.168.1.23");
    EXPECT_EQ(NetworkParsers::addressFromIpconfig(" 10.0.0.4 \r\n"), "10.0.0.4");
    EXPECT_EQ(NetworkParsers::addressFromIpconfig(""), "not connected");
    EXPECT_EQ(NetworkParsers::addressFromIpconfig("\n"), "not connected");
}

TEST(NetworkParsers, IwLinkOutput) {
    const QString connected =
        "Connected to 3c:84:6a:12:34:56 (on wlp2s0)\n"
        "\tSSID: Home Net\n"
        "\tfreq: 5180\n"
        "\tRX: 1911374 bytes (9412 packets)\n"
        "\tTX: 180245 bytes (1049 packets)\n"
        "\tsignal: -51 dBm\n"
        "\trx bitrate: 866.7 MBit/s VHT-MCS 9 80MHz short GI VHT-NSS 2\n"
        "\ttx bitrate: 650.0 MBit/s VHT-MCS 7 80MHz short GI VHT-NSS 2\n"
        "\n"
        "\tbss flags:\tshort-slot-time\n"
        "\tdtim period:\t1\n"
        "\tbeacon int:\t100\n";
    EXPECT_EQ(NetworkParsers::ssidFromIwLink(connected), "Home Net");
    EXPECT_EQ(NetworkParsers::ssidFromIwLink("Not connected.\n"), "");
    EXPECT_EQ(NetworkParsers::ssidFromIwLink(""), "");
    // iw escapes non-ASCII bytes, backslashes and edge spaces.
    EXPECT_EQ(NetworkParsers::ssidFromIwLink("Connected to x\n\tSSID: Caf\\xc3\\xa9\\x20\n"),
              QString::fromUtf8("Café "));
    EXPECT_EQ(NetworkParsers::ssidFromIwLink("\tSSID: a\\x5cb\n"), "a\\b");
}

TEST(NetworkParsers, DefaultRouteFromProcNetRoute) {
    const QString table =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "wlp2s0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
        "wlp2s0\t0001A8C0\t00000000\t0001\t0\t0\t600\t00FFFFFF\t0\t0\t0\n"
        "docker0\t000011AC\t00000000\t0001\t0\t0\t0\t0000FFFF\t0\t0\t0\n"
        "tun0\t00000000\t00000000\t0001\t0\t0\t50\t00000080\t0\t0\t0\n"
        "eth0\t00000000\t0100000A\t0002\t0\t0\t100\t00000000\t0\t0\t0\n"
        "enp3s0\t00000000\t0100000A\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
    // tun0's half route has a mask, eth0's route is down.
    EXPECT_EQ(NetworkParsers::defaultRouteInterfaces(table), (QStringList{"wlp2s0", "enp3s0"}));
    EXPECT_TRUE(NetworkParsers::defaultRouteInterfaces("").isEmpty());
}

InterfaceRecord lo() {
    return {"lo", {"127.0.0.1"}, true, true, false, false, false, false};
}
InterfaceRecord wifi(QStringList ipv4 = {"192.168.1.23"}, bool routed = true) {
    return {"wlp2s0", ipv4, true, false, false, true, true, routed};
}
InterfaceRecord ethernet(bool routed, QStringList ipv4 = {"10.0.0.7"}) {
    return {"enp3s0", ipv4, true, false, false, false, true, routed};
}
InterfaceRecord virtualIf(const char* name, const char* ipv4, bool routed = false) {
    return {name, {ipv4}, true, false, false, false, false, routed};
}

TEST(InterfaceChoice, LanAddress) {
    const struct {
        const char* title;
        QList<InterfaceRecord> interfaces;
        std::optional<QString> address;
    } cases[] = {
        {"wifi beside docker and ethernet",
         {lo(), virtualIf("docker0", "172.17.0.1"), ethernet(true), wifi({"192.168.1.23"}, false)},
         "192.168.1.23"},
        {"only ethernet with the default route", {lo(), ethernet(true)}, "10.0.0.7"},
        {"ethernet without the default route", {lo(), ethernet(false)}, std::nullopt},
        {"a tunnel carrying the default route",
         {lo(), {"tun0", {"10.8.0.2"}, true, false, true, false, false, true}},
         std::nullopt},
        {"a wireguard link carrying the default route",
         {lo(), virtualIf("wg0", "10.6.0.2", true)},
         std::nullopt},
        {"bridges and veths only",
         {lo(), virtualIf("br-5f2a", "172.18.0.1", true), virtualIf("veth12ab", "169.254.3.1"),
          virtualIf("virbr0", "192.168.122.1")},
         std::nullopt},
        {"a bridge that claims to be a device is still no LAN",
         {lo(), {"docker0", {"172.17.0.1"}, true, false, false, false, true, true}},
         std::nullopt},
        {"wifi without an address falls to ethernet", {lo(), wifi({}), ethernet(true)}, "10.0.0.7"},
        {"wifi that is down falls to ethernet",
         {lo(), {"wlan0", {"192.168.1.5"}, false, false, false, true, true, false}, ethernet(true)},
         "10.0.0.7"},
        {"self-assigned address only when nothing better",
         {lo(), wifi({"169.254.10.2", "192.168.1.40"})},
         "192.168.1.40"},
        {"self-assigned address alone", {lo(), wifi({"169.254.10.2"})}, "169.254.10.2"},
        {"the routed one of two wifi interfaces",
         {lo(),
          {"wlan1", {"192.168.50.2"}, true, false, false, true, true, false},
          {"wlan0", {"192.168.1.9"}, true, false, false, true, true, true}},
         "192.168.1.9"},
        {"loopback only", {lo()}, std::nullopt},
        {"nothing", {}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(InterfaceChoice::lanAddress(c.interfaces), c.address);
    }
}

TEST(InterfaceChoice, WifiInterfaceForTheNetworkName) {
    EXPECT_EQ(InterfaceChoice::wifiInterface({lo(), ethernet(true), wifi()}), "wlp2s0");
    EXPECT_EQ(InterfaceChoice::wifiInterface({lo(), ethernet(true)}), std::nullopt);
    // A radio that is up but not yet given an address still knows its network.
    const InterfaceRecord down{"wlan1", {}, false, false, false, true, true, false};
    EXPECT_EQ(InterfaceChoice::wifiInterface({down, wifi({})}), "wlp2s0");
    EXPECT_EQ(InterfaceChoice::wifiInterface({down}), "wlan1");
}

TEST(InterfaceChoice, VirtualNames) {
    for (const char* name : {"lo", "docker0", "br-9a1b", "bridge0", "virbr0", "veth3f2", "tun0",
                             "tap1", "utun3", "wg0", "ppp0", "tailscale0", "vboxnet0", "vmnet8"}) {
        EXPECT_TRUE(InterfaceChoice::isVirtualName(name)) << name;
    }
    for (const char* name : {"eth0", "enp3s0", "eno1", "wlan0", "wlp2s0", "wwan0", "en0"}) {
        EXPECT_FALSE(InterfaceChoice::isVirtualName(name)) << name;
    }
}

}  // namespace
}  // namespace varnholt
