// The frame every pass runs in: which lines a call gets, when it looks at the context at all, and that
// no exception leaves it.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <vector>

#include "kernels/RowBlocks.h"

namespace {

struct Context {
    PF_Rect rect{};
};

TEST(RowBlocks, EachCallGetsItsBlockOfRowsOrColumns) {
    const Context c{{2, 3, 9, 8}}; // 7 wide, 5 tall
    std::vector<int> rows, columns;
    for (A_long i = 0; i < 3; ++i) {
        ASSERT_EQ(RunLineBlock(
                      &c, i, 3, [](const LineBlock&) { return true; },
                      [&](const LineBlock& b) {
                          EXPECT_EQ(b.width, 7);
                          EXPECT_EQ(b.height, 5);
                          for (int32_t y = b.lines.first; y < b.lines.first + b.lines.count; ++y)
                              rows.push_back(y);
                          return PF_Err_NONE;
                      }),
                  PF_Err_NONE);
        ASSERT_EQ(RunLineBlock<SplitLines::Columns>(
                      &c, i, 3, [](const LineBlock&) { return true; },
                      [&](const LineBlock& b) {
                          for (int32_t x = b.lines.first; x < b.lines.first + b.lines.count; ++x)
                              columns.push_back(x);
                          return PF_Err_NONE;
                      }),
                  PF_Err_NONE);
    }
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(columns, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));

    std::vector<int> each;
    ASSERT_EQ(ForEachRowOfBlock(
                  &c, 1, 2, [](const LineBlock&) { return true; },
                  [&](const LineBlock&, int32_t y) { each.push_back(y); }),
              PF_Err_NONE);
    EXPECT_EQ(each, (std::vector<int>{3, 4}));
}

TEST(RowBlocks, ACallWithoutLinesLooksAtNothing) {
    const auto never = [](const LineBlock&) -> bool {
        ADD_FAILURE() << "the context was checked";
        return false;
    };
    const auto none = [](const LineBlock&) -> PF_Err {
        ADD_FAILURE() << "the body ran";
        return PF_Err_NONE;
    };
    for (const PF_Rect rect : {PF_Rect{0, 0, 0, 0}, PF_Rect{5, 5, 5, 9}, PF_Rect{3, 3, 1, 1}}) {
        const Context c{rect};
        EXPECT_EQ(RunLineBlock(&c, 0, 1, never, none), PF_Err_NONE);
    }
    const Context twoRows{{0, 0, 4, 2}};
    EXPECT_EQ(RunLineBlock(&twoRows, 2, 5, never, none), PF_Err_NONE) << "more calls than rows";
    EXPECT_EQ(RunLineBlock(&twoRows, -1, 5, never, none), PF_Err_NONE) << "a call number outside the calls";
}

TEST(RowBlocks, DamageIsReportedBeforeTheBodyRuns) {
    const auto body = [](const LineBlock&) -> PF_Err {
        ADD_FAILURE() << "the body ran";
        return PF_Err_NONE;
    };
    const Context c{{0, 0, 4, 4}};
    EXPECT_EQ(RunLineBlock(
                  &c, 0, 1, [](const LineBlock&) { return false; }, body),
              PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(RunLineBlock(
                  static_cast<const Context*>(nullptr), 0, 1, [](const LineBlock&) { return true; }, body),
              PF_Err_INTERNAL_STRUCT_DAMAGED);
    const Context huge{{-2147483647, 0, 2147483647, 1}};
    EXPECT_EQ(RunLineBlock(
                  &huge, 0, 1, [](const LineBlock&) { return true; }, body),
              PF_Err_INTERNAL_STRUCT_DAMAGED)
        << "wider than 32-bit sizes";
}

TEST(RowBlocks, NoExceptionLeavesTheCall) {
    const Context c{{0, 0, 4, 4}};
    const auto yes = [](const LineBlock&) { return true; };
    EXPECT_EQ(RunLineBlock(&c, 0, 1, yes, [](const LineBlock&) -> PF_Err { throw std::bad_alloc(); }),
              PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(RunLineBlock(&c, 0, 1, yes, [](const LineBlock&) -> PF_Err { throw std::length_error("x"); }),
              PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(RunLineBlock(&c, 0, 1, yes, [](const LineBlock&) -> PF_Err { throw 7; }),
              PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(RunLineBlock(&c, 0, 1, yes, [](const LineBlock&) -> PF_Err { return PF_Err_OUT_OF_MEMORY; }),
              PF_Err_OUT_OF_MEMORY)
        << "the body's own code";
}

} // namespace
