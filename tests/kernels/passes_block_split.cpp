#include <gtest/gtest.h>

#include <algorithm>

#include "kernels/PassContext.h"

namespace {

TEST(BlockSplit, BlocksAreContiguousDisjointInOrderAndComplete) {
    for (int32_t items = 0; items <= 70; ++items) {
        for (int32_t calls = 1; calls <= 9; ++calls) {
            int32_t next = 0;
            int32_t largest = 0;
            int32_t smallest = items;
            for (int32_t i = 0; i < calls; ++i) {
                const Block b = SplitBlock(items, i, calls);
                ASSERT_GE(b.count, 0) << items << " items, call " << i << " of " << calls;
                if (b.count > 0) {
                    ASSERT_EQ(b.first, next) << items << " items, call " << i << " of " << calls;
                    next += b.count;
                }
                largest = std::max(largest, b.count);
                smallest = std::min(smallest, b.count);
            }
            EXPECT_EQ(next, items) << items << " items over " << calls << " calls";
            // The ceiling split: no call takes more than one line more than another.
            if (items >= calls) {
                EXPECT_LE(largest - smallest, 1) << items << " items over " << calls << " calls";
            }
        }
    }
}

TEST(BlockSplit, FollowsTheCeilingFormula) {
    // q = ceil(10 / 4) = 3, m = 10 + 4 - 12 = 2: calls 0 and 1 take 3 lines, calls 2 and 3 take 2.
    const Block expected[] = {{0, 3}, {3, 3}, {6, 2}, {8, 2}};
    for (int32_t i = 0; i < 4; ++i) {
        const Block b = SplitBlock(10, i, 4);
        EXPECT_EQ(b.first, expected[i].first) << "call " << i;
        EXPECT_EQ(b.count, expected[i].count) << "call " << i;
    }
}

TEST(BlockSplit, MoreCallsThanItemsLeavesTrailingCallsEmpty) {
    EXPECT_EQ(SplitBlock(2, 0, 5).count, 1);
    EXPECT_EQ(SplitBlock(2, 1, 5).count, 1);
    for (int32_t i = 2; i < 5; ++i)
        EXPECT_EQ(SplitBlock(2, i, 5).count, 0) << "call " << i;
}

TEST(BlockSplit, OddCallNumbersGiveEmptyBlocks) {
    EXPECT_EQ(SplitBlock(10, 0, 0).count, 0);
    EXPECT_EQ(SplitBlock(10, 0, -1).count, 0);
    EXPECT_EQ(SplitBlock(10, -1, 4).count, 0);
    EXPECT_EQ(SplitBlock(10, 4, 4).count, 0);
    EXPECT_EQ(SplitBlock(-3, 0, 1).count, 0);
}

} // namespace
