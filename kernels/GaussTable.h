#pragma once
// A fixed-point Gaussian kernel: up to 100 table weights for the samples nearest the centre, plus one flat
// weight shared by every sample of the window; the total is exactly 32768.
#include <cstdint>

#include "share/AEUtil/SharedArray.h"

struct GaussTable {
    uint16_t* weights = nullptr; // w[k] for a sample at distance k, the same on both sides
    AEUtil::SharedArray<uint16_t> owner;
    int32_t count = 0;  // 1, r or 100
    int32_t radius = 0; // the window holds the 2r - 1 samples at distances 0..r-1
    uint16_t flatWeight = 0;
    uint16_t flatTotal = 0; // flatWeight * (2r - 1)
};

// Builds the table for radius r and variance v (raises std::bad_alloc when the host refuses memory).
GaussTable BuildGaussTable(int32_t r, double v);
