// The selection plane's storage and the operations that fill, invert and share it.
#include <gtest/gtest.h>

#include <utility>

#include "render/SelectionPlane.h"
#include "tests/support/EffectSuites.h"

namespace {

using SelectionPlaneStorage = tovrin::test::EffectSuitesEnv;

TEST_F(SelectionPlaneStorage, OneAllocationHoldsPlaneRowFlagsAndColumnFlags) {
    SelectionPlane plane;
    InitSelectionPlane(plane, 5, 3);
    EXPECT_EQ(plane.stride, 8);
    EXPECT_EQ(plane.passStride, 8);
    EXPECT_EQ(plane.size, 36u); // 8 × (3 + 1) + 4
    EXPECT_EQ(plane.width, 5);
    EXPECT_EQ(plane.height, 3);
    EXPECT_EQ(plane.bytes, plane.storage.get());
    EXPECT_EQ(plane.rowFlags, plane.bytes + 24);
    EXPECT_EQ(plane.columnFlags, plane.bytes + 28);
    EXPECT_EQ(plane.boundsLeft, 0);
    EXPECT_EQ(plane.boundsTop, 0);
    EXPECT_EQ(plane.boundsRight, 5);
    EXPECT_EQ(plane.boundsBottom, 3);
    EXPECT_EQ(plane.fresh, 1);
    EXPECT_EQ(plane.anythingSelected, 1);
    // A fresh plane never hands unwritten bytes to a pass.
    for (uint32_t i = 0; i < plane.size; ++i)
        EXPECT_EQ(plane.bytes[i], 0) << i;

    InitSelectionPlane(plane, 8, 8);
    EXPECT_EQ(plane.size, 8u * 9 + 8);
    InitSelectionPlane(plane, 1, 1);
    EXPECT_EQ(plane.size, 4u * 2 + 4);
}

TEST_F(SelectionPlaneStorage, EmptySizeGivesEmptyStorage) {
    for (const auto& [w, h] : {std::pair{0, 4}, std::pair{4, 0}, std::pair{-2, 3}}) {
        SelectionPlane plane;
        InitSelectionPlane(plane, 3, 3);
        InitSelectionPlane(plane, w, h); // and releases the storage it had
        EXPECT_EQ(plane.bytes, nullptr);
        EXPECT_EQ(plane.rowFlags, nullptr);
        EXPECT_EQ(plane.columnFlags, nullptr);
        EXPECT_EQ(plane.width, 0);
        EXPECT_EQ(plane.height, 0);
        EXPECT_EQ(plane.boundsRight, 0);
        EXPECT_EQ(plane.fresh, 1);
        EXPECT_EQ(plane.anythingSelected, 1);
        FillSelectionPlane(plane, 255);
        InvertSelectionPlane(plane, 255);
    }
}

TEST_F(SelectionPlaneStorage, CopiesShareTheStorageUntilTheLastGoes) {
    SelectionPlane plane;
    InitSelectionPlane(plane, 5, 3);
    {
        SelectionPlane copy = plane;
        EXPECT_EQ(copy.bytes, plane.bytes);
        EXPECT_EQ(plane.storage.use_count(), 2);
        InitSelectionPlane(plane, 2, 2);
        EXPECT_EQ(copy.storage.use_count(), 1);
        copy.bytes[0] = 9; // still valid memory
    }
    EXPECT_EQ(plane.storage.use_count(), 1);
}

TEST_F(SelectionPlaneStorage, FillSetsEveryByteAndFlag) {
    SelectionPlane plane;
    InitSelectionPlane(plane, 5, 3);
    FillSelectionPlane(plane, 255);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(plane.bytes[y * plane.stride + x], 255);
        EXPECT_EQ(plane.rowFlags[y], 1);
    }
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(plane.columnFlags[x], 1);
    EXPECT_EQ(plane.boundsRight, 5);
    EXPECT_EQ(plane.boundsBottom, 3);
    EXPECT_EQ(plane.fresh, 0);
    EXPECT_EQ(plane.anythingSelected, 0);

    FillSelectionPlane(plane, 0);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(plane.bytes[y * plane.stride + x], 0);
        EXPECT_EQ(plane.rowFlags[y], 0);
    }
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(plane.columnFlags[x], 0);
    EXPECT_EQ(plane.boundsRight, 0);
    EXPECT_EQ(plane.boundsBottom, 0);
}

TEST_F(SelectionPlaneStorage, InvertingAnEmptySelectionSelectsEverything) {
    SelectionPlane plane;
    InitSelectionPlane(plane, 5, 3);
    FillSelectionPlane(plane, 0);
    InvertSelectionPlane(plane, 255);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(plane.bytes[y * plane.stride + x], 255);
        EXPECT_EQ(plane.rowFlags[y], 1);
    }
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(plane.columnFlags[x], 1);
    EXPECT_EQ(plane.fresh, 0);
    EXPECT_EQ(plane.anythingSelected, 1);
}

TEST_F(SelectionPlaneStorage, InvertingFlagsOnlyTheNewlySelectedLines) {
    SelectionPlane plane;
    InitSelectionPlane(plane, 4, 3);
    FillSelectionPlane(plane, 0);
    // Everything selected except pixel (2, 1): afterwards only that pixel, its row and its column.
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            plane.bytes[y * plane.stride + x] = (x == 2 && y == 1) ? 0 : 200;
    plane.boundsRight = 7; // bounds are the fill's business, not the inversion's
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
    EXPECT_EQ(plane.boundsRight, 7);
}

} // namespace
