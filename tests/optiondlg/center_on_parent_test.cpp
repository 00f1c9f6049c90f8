// Centring a dialog on its parent: halves rounded toward zero, for odd and even sizes and for parents
// left of and above the screen's origin.
#include <gtest/gtest.h>

#include <cstdint>

#include "optiondlg/DialogBase.h"

namespace {

using FxOptionDlg::CenteredOrigin;
using platform::WindowRect;

WindowRect Rect(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
    return WindowRect{left, top, left + width, top + height};
}

TEST(CenterOnParent, EvenDifferencesCentreExactly) {
    const auto o = CenteredOrigin(Rect(0, 0, 300, 200), Rect(100, 50, 800, 600));
    EXPECT_EQ(o.left, 350);
    EXPECT_EQ(o.top, 250);
}

TEST(CenterOnParent, OddDifferencesRoundTowardZeroOnBothSidesOfTheOrigin) {
    // (100 + 901 - 300) / 2 = 350.5 and (50 + 651 - 200) / 2 = 250.5: down to 350 and 250.
    auto o = CenteredOrigin(Rect(0, 0, 300, 200), Rect(100, 50, 801, 601));
    EXPECT_EQ(o.left, 350);
    EXPECT_EQ(o.top, 250);
    // (-301 + 500 - 355) / 2 = -78 and (-157 + 444 - 281) / 2 = 3: exact.
    o = CenteredOrigin(Rect(7, 9, 355, 281), Rect(-301, -157, 801, 601));
    EXPECT_EQ(o.left, -78);
    EXPECT_EQ(o.top, 3);
    // (-301 + 500 - 354) / 2 = -77.5 and (-157 + 444 - 290) / 2 = -1.5: up to -77 and -1, not down.
    o = CenteredOrigin(Rect(0, 0, 354, 290), Rect(-301, -157, 801, 601));
    EXPECT_EQ(o.left, -77);
    EXPECT_EQ(o.top, -1);
}

TEST(CenterOnParent, DialogLargerThanItsParentOverhangsItEvenly) {
    const auto o = CenteredOrigin(Rect(0, 0, 501, 400), Rect(-1000, -800, 100, 100));
    EXPECT_EQ(o.left, -1200); // (-1000 - 900 - 501) / 2 = -1200.5
    EXPECT_EQ(o.top, -950);
}

TEST(CenterOnParent, CoordinatesAtTheEndsOfTheRangeDoNotOverflow) {
    const auto o = CenteredOrigin(Rect(0, 0, 10, 10),
                                  WindowRect{INT32_MAX - 100, INT32_MAX - 100, INT32_MAX, INT32_MAX});
    EXPECT_EQ(o.left, INT32_MAX - 55);
    EXPECT_EQ(o.top, INT32_MAX - 55);
}

} // namespace
