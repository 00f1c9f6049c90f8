#include "kernels/GaussTable.h"

#include <cmath>

#include "share/AEUtil/Allocator.h"

namespace {

// Beyond this distance from the centre the kernel is carried by the flat weight alone.
constexpr int32_t kTableCount = 100;

GaussTable SingleWeightTable() {
    GaussTable t;
    t.owner = AEUtil::SharedArray<uint16_t>::Allocate(1);
    t.weights = t.owner.get();
    // The whole kernel on the centre: 16-bit and float pixels come back exactly as they went in.
    t.weights[0] = 32768;
    t.count = 1;
    t.radius = 1;
    return t;
}

} // namespace

GaussTable BuildGaussTable(int32_t r, double v) {
    if (r <= 1)
        return SingleWeightTable();

    AEUtil::UniqueArray<double> g = AEUtil::MakeArray<double>(static_cast<std::size_t>(r));
    for (int32_t k = 0; k < r; ++k) {
        // k² in 64 bits: radii above 46340 would overflow a 32-bit product.
        const double k2 = static_cast<double>(static_cast<int64_t>(k) * k);
        // A variance that is not positive is the limit of a shrinking Gaussian: all on the centre.
        g[k] = v > 0.0 ? std::exp(-0.5 * k2 / v) : (k == 0 ? 1.0 : 0.0);
    }

    double sum = 0.0;
    for (int32_t k = 0; k < r; ++k)
        sum += g[k];
    const double s = 2.0 * sum - g[0];
    for (int32_t k = 0; k < r; ++k)
        g[k] = g[k] / s;

    GaussTable t;
    t.radius = r;
    t.count = r <= kTableCount ? r : kTableCount;
    t.owner = AEUtil::SharedArray<uint16_t>::Allocate(static_cast<std::size_t>(t.count));
    t.weights = t.owner.get();
    uint16_t* w = t.weights;
    if (r <= kTableCount) {
        for (int32_t k = 0; k < r; ++k)
            w[k] = static_cast<uint16_t>(g[k] * 32768.0);
    } else {
        double tail = 0.0;
        for (int32_t k = kTableCount; k < r; ++k)
            tail += g[k];
        const double mean = tail / static_cast<double>(r - kTableCount);
        t.flatWeight = static_cast<uint16_t>(32768.0 * mean);
        for (int32_t k = 0; k < kTableCount; ++k)
            w[k] = static_cast<uint16_t>((g[k] - mean) * 32768.0);
    }

    // Truncation only loses weight; hand it back one unit at a time, round the table, so that the
    // total is exactly 32768.
    const int64_t taps = 2 * static_cast<int64_t>(r) - 1;
    int64_t tableSum = 0;
    for (int32_t k = 0; k < t.count; ++k)
        tableSum += w[k];
    int64_t rem = w[0] - 2 * tableSum - static_cast<int64_t>(t.flatWeight) * taps + 32768;
    for (int64_t i = 0; rem > 1; ++i) {
        const int32_t k = static_cast<int32_t>(i % t.count);
        ++w[k];
        rem -= k == 0 ? 1 : 2;
    }
    w[0] = static_cast<uint16_t>(w[0] + rem);
    t.flatTotal = static_cast<uint16_t>(static_cast<int64_t>(t.flatWeight) * taps);
    return t;
}
