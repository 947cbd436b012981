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

// What the spawned server may bind, not the app: an effective capability of
// the app is lost across exec, an ambient one is kept, root keeps its bounding set.
TEST(PortPolicy, LinuxLowestBindablePortOfTheChild) {
    const QString noCaps =
        "Name:\tvarnholt\nCapInh:\t0000000000000000\nCapEff:\t0000000000000000\n"
        "CapBnd:\t000001ffffffffff\nCapAmb:\t0000000000000000\n";
    const QString effectiveOnly =
        "CapPrm:\t0000000000000400\nCapEff:\t0000000000000400\n"
        "CapAmb:\t0000000000000000\n";
    const QString ambient = "CapEff:\t0000000000000400\nCapAmb:\t0000000000000400\n";
    const QString otherAmbient = "CapAmb:\t0000000000003000\n";  // no bit 10
    const QString rootWithoutBind = "CapEff:\t000001fffffffbff\nCapBnd:\t000001fffffffbff\n";
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
        {false, effectiveOnly, "1024\n", 1024},
        {false, ambient, "1024\n", 0},
        {false, otherAmbient, "1024\n", 1024},
        {false, "CapAmb:\tzz\n", "1024\n", 1024},
        {true, noCaps, "1024\n", 0},
        {true, "", "1024\n", 0},
        {true, rootWithoutBind, "1024\n", 1024},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PortPolicy::lowestBindablePort(c.root, c.status, c.start), c.expected)
            << c.root << " " << c.status.toStdString() << " " << c.start.toStdString();
    }
}

}  // namespace
}  // namespace varnholt
