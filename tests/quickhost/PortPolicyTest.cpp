#include <gtest/gtest.h>

#include "quickhost/PortPolicy.h"

namespace varnholt {
namespace {

using Range = std::optional<std::pair<qint64, qint64>>;

TEST(PortPolicy, RangeStartsAtTheLowestBindablePort) {
    const struct {
        qint64 lowest;
        Range expected;
    } cases[] = {
        {0, std::make_pair(1010, 1040)},
        {1010, std::make_pair(1010, 1040)},
        {1024, std::make_pair(1024, 1040)},
        {1040, std::make_pair(1040, 1040)},
        {1041, std::nullopt},
        {65536, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PortPolicy::bindableRange(1010, 1040, c.lowest), c.expected) << c.lowest;
    }
}

TEST(PortPolicy, LinuxLowestBindablePort) {
    const QString noCaps =
        "Name:\tvarnholt\nCapInh:\t0000000000000000\nCapEff:\t0000000000000000\n";
    const QString bindCap = "CapPrm:\t0000000000000400\nCapEff:\t0000000000000400\n";
    const QString allCaps = "CapEff:\t000001ffffffffff\n";
    const QString otherCaps = "CapEff:\t0000000000003000\n";  // no bit 10
    const struct {
        bool root;
        QString status;
        QString start;
        qint64 expected;
    } cases[] = {
        {false, noCaps, "1024\n", 1024},
        {false, noCaps, "80\n", 80},
        {false, noCaps, "0\n", 0},
        {false, noCaps, "", 1024},  // unreadable: the classic limit
        {false, noCaps, "garbage", 1024},
        {false, "", "1024\n", 1024},  // no status: no capabilities
        {false, bindCap, "1024\n", 0},
        {false, allCaps, "1024\n", 0},
        {false, otherCaps, "1024\n", 1024},
        {false, "CapEff:\tzz\n", "1024\n", 1024},
        {true, noCaps, "1024\n", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PortPolicy::lowestBindablePort(c.root, c.status, c.start), c.expected)
            << c.root << " " << c.status.toStdString() << " " << c.start.toStdString();
    }
}

}  // namespace
}  // namespace varnholt
