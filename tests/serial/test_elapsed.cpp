// Time-outs on the tick count, also across its wrap at 2^32 ms.
#include <gtest/gtest.h>

#include <cstdint>

#include "serial/elapsed.h"

namespace {

TEST(Elapsed, AcrossTheWrapOfTheTick)
{
    struct Case {
        std::uint32_t start, now, elapsed, leftOf250;
    };
    const Case cases[] = {
        {1000, 1000, 0, 250},
        {1000, 1249, 249, 1},
        {1000, 1250, 250, 0},
        {0xFFFFFFF0, 0xFFFFFFFF, 15, 235},
        // The tick wrapped after `start`.
        {0xFFFFFFFF, 0, 1, 249},
        {0xFFFFFF9C, 100, 200, 50},
        {0xFFFFFFFF, 249, 250, 0},
        {0xFFFFFF00, 0x10, 0x110, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(serial::ElapsedSince(c.start, c.now), c.elapsed) << c.start << " " << c.now;
        EXPECT_EQ(serial::TimeLeft(c.start, c.now, 250), c.leftOf250) << c.start << " " << c.now;
    }
}

}  // namespace
