// The selection plane's storage and layout, and the operations that fill, invert and share it.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "kernels/PixelTraits.h"
#include "kernels/SelectionPlane.h"
#include "tests/support/EffectSuites.h"

namespace {

using SelectionPlaneStorage = tovrin::test::EffectSuitesEnv;

TEST_F(SelectionPlaneStorage, OneAllocationHoldsPlaneRowFlagsAndColumnFlags) {
    EXPECT_EQ(SelectionPlaneBytes(5, 3), 36); // 8 × (3 + 1) + 4
    EXPECT_EQ(SelectionPlaneBytes(8, 8), 8 * 9 + 8);
    EXPECT_EQ(SelectionPlaneBytes(1, 1), 4 * 2 + 4);
    EXPECT_EQ(SelectionPlaneBytes(30000, 30000), 30000LL * 30001 + 30000) << "no 32-bit overflow";

    const SelectionPlane plane = MakeSelectionPlane(5, 3);
    EXPECT_EQ(plane.stride, 8);
    EXPECT_EQ(plane.width, 5);
    EXPECT_EQ(plane.height, 3);
    EXPECT_EQ(plane.bytes, plane.storage.get());
    EXPECT_EQ(plane.rowFlags, plane.bytes + 24);
    EXPECT_EQ(plane.columnFlags, plane.bytes + 28);
    // A fresh plane never hands unwritten bytes to a pass.
    for (int i = 0; i < 36; ++i)
        EXPECT_EQ(plane.bytes[i], 0) << i;
}

TEST_F(SelectionPlaneStorage, APlaneOverTheCallersMemoryHasTheSameLayout) {
    std::vector<uint8_t> memory(static_cast<std::size_t>(SelectionPlaneBytes(5, 3)));
    const SelectionPlane plane = LayOutSelectionPlane(memory.data(), 5, 3);
    EXPECT_FALSE(plane.storage);
    EXPECT_EQ(plane.bytes, memory.data());
    EXPECT_EQ(plane.stride, 8);
    EXPECT_EQ(plane.rowFlags, memory.data() + 24);
    EXPECT_EQ(plane.columnFlags, memory.data() + 28);
}

TEST_F(SelectionPlaneStorage, EmptySizeGivesEmptyStorage) {
    for (const auto& [w, h] : {std::pair{0, 4}, std::pair{4, 0}, std::pair{-2, 3}}) {
        EXPECT_EQ(SelectionPlaneBytes(w, h), 0);
        SelectionPlane plane = MakeSelectionPlane(3, 3);
        plane = MakeSelectionPlane(w, h); // and releases the storage it had
        EXPECT_EQ(plane.bytes, nullptr);
        EXPECT_EQ(plane.rowFlags, nullptr);
        EXPECT_EQ(plane.columnFlags, nullptr);
        EXPECT_EQ(plane.width, 0);
        EXPECT_EQ(plane.height, 0);
        FillSelectionPlane(plane, 255);
        InvertSelectionPlane(plane, 255);
    }
}

TEST_F(SelectionPlaneStorage, CopiesShareTheStorageUntilTheLastGoes) {
    SelectionPlane plane = MakeSelectionPlane(5, 3);
    {
        SelectionPlane copy = plane;
        EXPECT_EQ(copy.bytes, plane.bytes);
        EXPECT_EQ(plane.storage.use_count(), 2);
        plane = MakeSelectionPlane(2, 2);
        EXPECT_EQ(copy.storage.use_count(), 1);
        copy.bytes[0] = 9; // still valid memory
    }
    EXPECT_EQ(plane.storage.use_count(), 1);
}

TEST_F(SelectionPlaneStorage, FillSetsEveryByteAndFlag) {
    SelectionPlane plane = MakeSelectionPlane(5, 3);
    FillSelectionPlane(plane, 255);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(plane.bytes[y * plane.stride + x], 255);
        EXPECT_EQ(plane.rowFlags[y], 1);
    }
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(plane.columnFlags[x], 1);

    FillSelectionPlane(plane, 0);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(plane.bytes[y * plane.stride + x], 0);
        EXPECT_EQ(plane.rowFlags[y], 0);
    }
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(plane.columnFlags[x], 0);
}

TEST_F(SelectionPlaneStorage, InvertingAnEmptySelectionSelectsEverything) {
    SelectionPlane plane = MakeSelectionPlane(5, 3);
    InvertSelectionPlane(plane, 255);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(plane.bytes[y * plane.stride + x], 255);
        EXPECT_EQ(plane.rowFlags[y], 1);
    }
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(plane.columnFlags[x], 1);
}

TEST_F(SelectionPlaneStorage, InvertingFlagsOnlyTheNewlySelectedLines) {
    SelectionPlane plane = MakeSelectionPlane(4, 3);
    // Everything selected except pixel (2, 1): afterwards only that pixel, its row and its column.
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            plane.bytes[y * plane.stride + x] = (x == 2 && y == 1) ? 0 : 200;
    InvertSelectionPlane(plane, 99);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(plane.bytes[y * plane.stride + x], (x == 2 && y == 1) ? 99 : 0) << x << "," << y;
    const uint8_t rows[] = {0, 1, 0};
    const uint8_t columns[] = {0, 0, 1, 0};
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(plane.rowFlags[y], rows[y]);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(plane.columnFlags[x], columns[x]);
}

} // namespace

// A uniform plane: one row that every row reads, the flags of a filled plane, inverted as a whole.
TEST_F(SelectionPlaneStorage, AUniformPlaneReadsAsAFilledOneAtEveryRow) {
    SelectionPlane plane = MakeUniformSelectionPlane(5, 300, 255);
    EXPECT_EQ(plane.stride, 0);
    EXPECT_TRUE(PlaneCovers(plane, 5, 300));
    EXPECT_FALSE(PlaneCovers(plane, 6, 300));
    EXPECT_FALSE(PlaneCovers(plane, 5, 301));
    for (int y : {0, 1, 299})
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(plane.bytes[y * plane.stride + x], 255) << x << "," << y;
    for (int y = 0; y < 300; ++y)
        ASSERT_EQ(plane.rowFlags[y], 1) << y;
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(plane.columnFlags[x], 1);

    InvertSelectionPlane(plane, 7);
    for (int y : {0, 150, 299}) {
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(plane.bytes[y * plane.stride + x], 0) << x << "," << y;
        EXPECT_EQ(plane.rowFlags[y], 0) << y;
    }
    InvertSelectionPlane(plane, 7);
    for (int y : {0, 150, 299}) {
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(plane.bytes[y * plane.stride + x], 7) << x << "," << y;
        EXPECT_EQ(plane.rowFlags[y], 1) << y;
    }
    FillSelectionPlane(plane, 0);
    EXPECT_EQ(plane.rowFlags[299], 0);
    EXPECT_EQ(plane.columnFlags[4], 0);
    EXPECT_EQ(MakeUniformSelectionPlane(0, 3, 255).bytes, nullptr);
}
