// Copy and alpha-clear passes at every depth: selected pixels, unselected pixels with the clear flag on
// and off, nothing outside the rectangle, the same result for any number of calls.
#include <gtest/gtest.h>

#include "kernels/MaskedPasses.h"
#include "passes_support.h"

namespace {

using passes_test::RunSerially;
using passes_test::TestPlane;
using passes_test::TestWorld;

template <class P>
P MakePixel(int seed);
template <>
PF_Pixel8 MakePixel<PF_Pixel8>(int seed) {
    return {static_cast<A_u_char>(200 + seed % 50), static_cast<A_u_char>(seed * 7 % 256),
            static_cast<A_u_char>(seed * 13 % 256), static_cast<A_u_char>(seed * 29 % 256)};
}
template <>
PF_Pixel16 MakePixel<PF_Pixel16>(int seed) {
    return {static_cast<A_u_short>(30000 + seed), static_cast<A_u_short>(seed * 701 % 32769),
            static_cast<A_u_short>(seed * 1301 % 32769), static_cast<A_u_short>(seed * 2903 % 32769)};
}
template <>
PF_PixelFloat MakePixel<PF_PixelFloat>(int seed) {
    return {0.5f + seed / 100.0f, seed / 37.0f, 1.0f - seed / 53.0f, seed * 0.01f};
}

template <class P>
bool Same(const P& a, const P& b) {
    return std::memcmp(&a, &b, sizeof(P)) == 0;
}

template <class P, PassFunction kCopy, PassFunction kClearAlpha>
struct DepthCase {
    using Pixel = P;
    static constexpr PassFunction copy = kCopy;
    static constexpr PassFunction clearAlpha = kClearAlpha;
};

template <class Case>
class CopyAndClearPasses : public ::testing::Test {
protected:
    using Pixel = typename Case::Pixel;
    static constexpr int kWidth = 6;
    static constexpr int kHeight = 7;
    // The rectangle leaves a border of untouched pixels on every side.
    static constexpr PF_Rect kRect{1, 2, 5, 6};

    CopyAndClearPasses() : source_(kWidth, kHeight), destination_(kWidth, kHeight), plane_(4, 4) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                source_.at(x, y) = MakePixel<Pixel>(y * kWidth + x + 1);
                destination_.at(x, y) = MakePixel<Pixel>(100 + y * kWidth + x);
            }
        // A diagonal and one full row selected; the rest not.
        for (int i = 0; i < 4; ++i) {
            plane_.Select(i, i);
            plane_.Select(i, 2);
        }
        original_ = destination_.Snapshot();
    }

    PassContext MakeContext(uint8_t clear) {
        PassContext c;
        c.destination = destination_.world();
        c.source = source_.world();
        c.rect = kRect;
        c.plane = plane_.plane();
        c.clearUnselected = clear;
        return c;
    }

    bool Inside(int x, int y) const {
        return x >= kRect.left && x < kRect.right && y >= kRect.top && y < kRect.bottom;
    }
    bool Selected(int x, int y) const { return plane_.At(x - kRect.left, y - kRect.top) != 0; }
    Pixel Original(int x, int y) const { return MakePixel<Pixel>(100 + y * kWidth + x); }

    TestWorld<Pixel> source_;
    TestWorld<Pixel> destination_;
    TestPlane plane_;
    std::vector<unsigned char> original_;
};

using Depths = ::testing::Types<DepthCase<PF_Pixel8, CopySelected8, ClearUnselectedAlpha8>,
                                DepthCase<PF_Pixel16, CopySelected16, ClearUnselectedAlpha16>,
                                DepthCase<PF_PixelFloat, CopySelectedFloat, ClearUnselectedAlphaFloat>>;
TYPED_TEST_SUITE(CopyAndClearPasses, Depths);

TYPED_TEST(CopyAndClearPasses, CopyWritesSelectedPixelsAndClearsTheRestOnlyWhenAsked) {
    using Pixel = typename TestFixture::Pixel;
    for (uint8_t clear : {0, 1}) {
        for (int calls : {1, 2, 3, 7}) {
            PassContext context = this->MakeContext(clear);
            ASSERT_EQ(RunSerially(TypeParam::copy, context, calls), PF_Err_NONE);
            for (int y = 0; y < this->kHeight; ++y)
                for (int x = 0; x < this->kWidth; ++x) {
                    Pixel expected = this->Original(x, y);
                    if (this->Inside(x, y) && this->Selected(x, y))
                        expected = this->source_.at(x, y);
                    else if (this->Inside(x, y) && clear)
                        expected = Pixel{};
                    EXPECT_TRUE(Same(this->destination_.at(x, y), expected))
                        << "pixel " << x << "," << y << " clear " << int(clear) << " calls " << calls;
                }
            EXPECT_TRUE(this->destination_.GuardsIntact());
            for (int y = 0; y < this->kHeight; ++y)
                for (int x = 0; x < this->kWidth; ++x)
                    this->destination_.at(x, y) = this->Original(x, y);
        }
    }
}

TYPED_TEST(CopyAndClearPasses, AlphaClearTouchesOnlyTheAlphaOfUnselectedPixels) {
    using Pixel = typename TestFixture::Pixel;
    // The flag and the source play no part: alpha is cleared in place either way.
    for (uint8_t clear : {0, 1}) {
        PassContext context = this->MakeContext(clear);
        context.source = nullptr;
        ASSERT_EQ(RunSerially(TypeParam::clearAlpha, context, 3), PF_Err_NONE);
        for (int y = 0; y < this->kHeight; ++y)
            for (int x = 0; x < this->kWidth; ++x) {
                Pixel expected = this->Original(x, y);
                if (this->Inside(x, y) && !this->Selected(x, y))
                    expected.alpha = 0;
                EXPECT_TRUE(Same(this->destination_.at(x, y), expected)) << "pixel " << x << "," << y;
            }
        EXPECT_TRUE(this->destination_.GuardsIntact());
        for (int y = 0; y < this->kHeight; ++y)
            for (int x = 0; x < this->kWidth; ++x)
                this->destination_.at(x, y) = this->Original(x, y);
    }
}

TYPED_TEST(CopyAndClearPasses, CopyIgnoresRowFlags) {
    // Only the lookup passes skip rows by their flag; a copy must not trust a stale flag.
    PassContext context = this->MakeContext(0);
    this->plane_.RowFlag(0) = 0;
    ASSERT_EQ(RunSerially(TypeParam::copy, context, 1), PF_Err_NONE);
    EXPECT_TRUE(Same(this->destination_.at(this->kRect.left, this->kRect.top),
                     this->source_.at(this->kRect.left, this->kRect.top)));
}

} // namespace
