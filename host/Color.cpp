#include "host/Color.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace host {
namespace {
PF_Fixed ToFixed(double x) {
    return static_cast<PF_Fixed>(std::floor(x * 65536.0 + 0.5));
}

// c / 255.0 for every byte, the same doubles the division gives: the key test converts every distinct
// colour of a frame, a million or more, and three divisions were a third of each conversion.
const std::array<double, 256> kByteToUnit = [] {
    std::array<double, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[static_cast<std::size_t>(c)] = c / 255.0;
    return table;
}();
} // namespace

void RGBtoHLS(const PF_Pixel& rgb, PF_Fixed hls[3]) {
    double r = kByteToUnit[rgb.red];
    double g = kByteToUnit[rgb.green];
    double b = kByteToUnit[rgb.blue];
    double mx = std::max(r, std::max(g, b));
    double mn = std::min(r, std::min(g, b));
    double l = (mx + mn) / 2.0;
    double h = 0.0;
    double s = 0.0;
    if (mx != mn) {
        double d = mx - mn;
        s = l <= 0.5 ? d / (mx + mn) : d / (2.0 - mx - mn);
        if (mx == r)
            h = (g - b) / d;
        else if (mx == g)
            h = 2.0 + (b - r) / d;
        else
            h = 4.0 + (r - g) / d;
        h = 60.0 * h;
        if (h < 0.0)
            h += 360.0;
    }
    hls[0] = ToFixed(h);
    hls[1] = ToFixed(l);
    hls[2] = ToFixed(s);
}

} // namespace host
