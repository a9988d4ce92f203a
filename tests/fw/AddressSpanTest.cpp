#include "fw/AddressSpan.h"

#include <gtest/gtest.h>

// A pointer in a message from another process may point anywhere: a span that would wrap past
// the top of the address space is refused before anything is read.
TEST(AddressSpan, RefusesSpansThatWrapPastTheTop)
{
    const std::uintptr_t top = UINTPTR_MAX;
    EXPECT_FALSE(AddressSpanFits(top - 7, 16)); // the posted 0xFFFFFFFFFFFFFFF8 with a RECT
    EXPECT_FALSE(AddressSpanFits(top, 1));
    EXPECT_FALSE(AddressSpanFits(top - 15, 16)); // its end is one past the top
    EXPECT_TRUE(AddressSpanFits(top - 16, 16));
    EXPECT_FALSE(AddressSpanFits(0x10000, 0));
    EXPECT_FALSE(AddressSpanFits(0, 16));
    EXPECT_TRUE(AddressSpanFits(0x10000, 16));
}

TEST(AddressSpan, RegionEndStopsAtTheTop)
{
    const std::uintptr_t top = UINTPTR_MAX;
    EXPECT_EQ(RegionEnd(0x10000, 0x1000), 0x11000u);
    EXPECT_EQ(RegionEnd(top - 0xFFF, 0x1000), top);
    EXPECT_EQ(RegionEnd(top - 0xFFF, 0x2000), top);
}
