#pragma once
// Small worlds and planes on the test's own memory, for calling passes directly. Rows are padded beyond
// width × pixel size and the pixel block is surrounded by guard bytes, so a pass that addresses rows by
// width or strays outside its rectangle shows.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "kernels/PassContext.h"
#include "kernels/SelectionPlane.h"
#include "sdk/AE_Effect.h"

namespace passes_test {

constexpr unsigned char kGuard = 0xA5;
constexpr int kGuardBytes = 64;

template <class Pixel>
class TestWorld {
public:
    TestWorld(int width, int height, int padPixels = 3)
        : rowbytes_(static_cast<int>((width + padPixels) * sizeof(Pixel))),
          bytes_(static_cast<std::size_t>(rowbytes_) * height + 2 * kGuardBytes, kGuard) {
        world_.width = width;
        world_.height = height;
        world_.rowbytes = rowbytes_;
        world_.data = reinterpret_cast<PF_PixelPtr>(bytes_.data() + kGuardBytes);
    }
    TestWorld(const TestWorld&) = delete;
    TestWorld& operator=(const TestWorld&) = delete;

    PF_EffectWorld* world() { return &world_; }
    Pixel& at(int x, int y) {
        return *reinterpret_cast<Pixel*>(bytes_.data() + kGuardBytes +
                                         static_cast<std::ptrdiff_t>(y) * rowbytes_ +
                                         static_cast<std::ptrdiff_t>(x) * sizeof(Pixel));
    }
    // Every byte outside the pixels of width × height still holds the guard.
    bool GuardsIntact() const {
        for (std::size_t i = 0; i < bytes_.size(); ++i) {
            const std::ptrdiff_t inner = static_cast<std::ptrdiff_t>(i) - kGuardBytes;
            const bool inPixels =
                inner >= 0 && inner < static_cast<std::ptrdiff_t>(rowbytes_) * world_.height &&
                inner % rowbytes_ < static_cast<std::ptrdiff_t>(world_.width * sizeof(Pixel));
            if (!inPixels && bytes_[i] != kGuard)
                return false;
        }
        return true;
    }
    std::vector<unsigned char> Snapshot() const { return bytes_; }

private:
    int rowbytes_;
    std::vector<unsigned char> bytes_;
    PF_EffectWorld world_{};
};

// A plane on test memory, laid out by the plane's own layout.
class TestPlane {
public:
    TestPlane(int width, int height)
        : bytes_(static_cast<std::size_t>(SelectionPlaneBytes(width, height)), 0),
          plane_(LayOutSelectionPlane(bytes_.data(), width, height)) {}
    TestPlane(const TestPlane&) = delete;
    TestPlane& operator=(const TestPlane&) = delete;
    void Select(int x, int y, uint8_t v = 255) {
        plane_.bytes[static_cast<std::size_t>(y) * plane_.stride + x] = v;
        if (v) {
            plane_.rowFlags[y] = 1;
            plane_.columnFlags[x] = 1;
        }
    }
    uint8_t At(int x, int y) const { return plane_.bytes[static_cast<std::size_t>(y) * plane_.stride + x]; }
    uint8_t& RowFlag(int y) { return plane_.rowFlags[y]; }
    uint8_t ColumnFlag(int x) const { return plane_.columnFlags[x]; }
    const SelectionPlane& plane() const { return plane_; }
    SelectionPlane& plane() { return plane_; }

private:
    std::vector<uint8_t> bytes_;
    SelectionPlane plane_;
};

// Runs every call of a pass one after another, as a host without parallel iteration would.
template <class Context>
PF_Err RunSerially(PassFunction pass, Context& context, int calls) {
    for (int i = 0; i < calls; ++i) {
        const PF_Err err = pass(&context, 0, i, calls);
        if (err)
            return err;
    }
    return PF_Err_NONE;
}

} // namespace passes_test
