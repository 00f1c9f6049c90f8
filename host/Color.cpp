#include "host/Color.h"

#include <algorithm>
#include <array>

namespace host {
namespace {

// floor(x + 0.5) of a non-negative x below 2^31.
PF_Fixed RoundHalfUp(double x) {
    return static_cast<PF_Fixed>(x + 0.5);
}

// 65536 / n for n = 1..510 (index 0 unused): every quotient the conversion takes is a whole number times
// 65536 over one of these denominators (the hue's 60 × 65536 too).
const std::array<double, 511> kScale = [] {
    std::array<double, 511> table{};
    for (int n = 1; n < 511; ++n)
        table[static_cast<std::size_t>(n)] = 65536.0 / n;
    return table;
}();

// The lightness of each sum max + min, 0..510.
const std::array<PF_Fixed, 511> kLightness = [] {
    std::array<PF_Fixed, 511> table{};
    for (int sum = 0; sum < 511; ++sum)
        table[static_cast<std::size_t>(sum)] = RoundHalfUp(sum * 0.5 * kScale[255]);
    return table;
}();

} // namespace

// The conversion of bytes r, g, b taken as fractions of 255: lightness (max + min) / 2; saturation
// d / (max + min), or d / (2 - max - min) above half lightness, where d = max - min; hue 60 × ((g - b) / d)
// when red is largest (plus 360 when negative), 60 × (2 + (b - r) / d) when green, 60 × (4 + (r - g) / d)
// when blue; each rounded to 16.16 as floor(x × 65536 + 0.5).
//
// Each value is a fraction of whole numbers: 65536 × n / m with m at most 510. Such a fraction is never
// within 1 / 1020 of a half (m would need a factor 2^17 to reach one), far beyond the rounding of the few
// double operations below, so multiplying by a scaled reciprocal rounds to the same fixed-point value as
// dividing (held over every 24-bit colour by the tests). The key test converts every distinct colour of a
// frame, a million or more, and the divisions were most of each conversion.
void RGBtoHLS(const PF_Pixel& rgb, PF_Fixed hls[3]) {
    const int r = rgb.red;
    const int g = rgb.green;
    const int b = rgb.blue;
    const int high = std::max(r, std::max(g, b));
    const int low = std::min(r, std::min(g, b));
    const int sum = high + low;
    hls[1] = kLightness[static_cast<std::size_t>(sum)];
    if (high == low) {
        hls[0] = 0;
        hls[2] = 0;
        return;
    }
    const int d = high - low;
    const int spread = sum <= 255 ? sum : 510 - sum;
    hls[2] = RoundHalfUp(d * kScale[static_cast<std::size_t>(spread)]);
    // Sixths of the hue circle in units of d, as 60 × numerator / d.
    int numerator;
    if (r == high)
        numerator = g >= b ? g - b : g - b + 6 * d;
    else if (g == high)
        numerator = 2 * d + b - r;
    else
        numerator = 4 * d + r - g;
    hls[0] = RoundHalfUp(60.0 * numerator * kScale[static_cast<std::size_t>(d)]);
}

} // namespace host
