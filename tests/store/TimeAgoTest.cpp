#include <gtest/gtest.h>

#include <limits>

#include "store/Clock.h"
#include "store/TimeAgo.h"

using namespace varnholt;

namespace {
constexpr double kNow = 1'700'000'000.0;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

TEST(TimeAgo, TextForEveryAge) {
    const struct {
        double age;
        const char* text;
    } cases[] = {
        {0, "just now"},    {4.9, "just now"},         {5, "5s ago"},
        {42.7, "42s ago"},  {59.9, "59s ago"},         {60, "1m ago"},
        {3599, "59m ago"},  {3600, "1h ago"},          {86399, "23h ago"},
        {86400, "1d ago"},  {45 * 86400.0, "45d ago"}, {-10, "just now"},
        {-1e6, "just now"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.age);
        EXPECT_EQ(timeAgo(kNow - c.age, kNow), c.text);
    }
}

TEST(TimeAgo, AgesBeyondCountingHaveAClearText) {
    EXPECT_EQ(timeAgo(kNaN, kNow), "just now");
    EXPECT_EQ(timeAgo(kNow, kNaN), "just now");
    EXPECT_EQ(timeAgo(kInf, kNow), "just now");
    EXPECT_EQ(timeAgo(-1e300, kNow), "long ago");
    EXPECT_EQ(timeAgo(-kInf, kNow), "long ago");
    EXPECT_EQ(timeAgo(1e300, kNow), "just now");
    // 2^63 seconds no longer fits; just below it still counts in days.
    EXPECT_EQ(timeAgo(0, 9223372036854775808.0), "long ago");
    EXPECT_EQ(timeAgo(0, 9223372036854774784.0), "106751991167300d ago");
}

TEST(TimeAgo, UsesTheClock) {
    Clock::setSource([] { return kNow; });
    EXPECT_EQ(timeAgo(kNow - 125), "2m ago");
    Clock::resetSource();
}
