#include "host/Color.h"

#include <algorithm>
#include <cmath>

namespace host {
namespace {
PF_Fixed ToFixed(double x) {
    return static_cast<PF_Fixed>(std::floor(x * 65536.0 + 0.5));
}
} // namespace

void RGBtoHLS(const PF_Pixel& rgb, PF_Fixed hls[3]) {
    double r = rgb.red / 255.0;
    double g = rgb.green / 255.0;
    double b = rgb.blue / 255.0;
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
