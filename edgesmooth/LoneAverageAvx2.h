#pragma once
// The lone-pixel averages of inner pixels two at a time, for processors with AVX2: the arithmetic of
// LoneAverage.h with each pixel in its own half of the vector, so every bit agrees.
//
// Each function averages pixels x0 + i of a row for the bits i of `run`; `target` is T at x0; `centre`,
// `above` and `below` are S at x0 in the row and the rows above and below. `share` is each neighbour's
// weight and `weightSum` the weights' sum with four neighbours, as LoneAverage makes them.
#include <cstdint>

// 8 bits: a pixel per vector (its four sums in 64-bit lanes, the four quotients in one double division),
// for weights below 2^24, whose products fit the 32-bit multiplies; every pixel of the run is averaged
// (none is left). Every pixel of the run lies inside the image, away from its border.
uint64_t Avx2AverageLonePixels8(void* target, const void* centre, const void* above, const void* below,
                                uint64_t run, int64_t share, int64_t weightSum) noexcept;
// 16 bits and float: two pixels per vector, each in its own half, the pairs aligned (2k, 2k + 1) from the
// first pair that holds a pixel of the run to the last, gaps included: a pixel outside the run is
// averaged too and its T written back unchanged, so both pixels of every such pair, and S around them,
// must lie inside the image away from its border and belong to the caller alone. Returns 0.
uint64_t Avx2AverageLonePairs16(void* target, const void* centre, const void* above, const void* below,
                                uint64_t run, float share, float weightSum) noexcept;
uint64_t Avx2AverageLonePairsFloat(void* target, const void* centre, const void* above, const void* below,
                                   uint64_t run, float share, float weightSum) noexcept;

// 16 bits and float from the neighbours' products, which do not depend on the pixel averaged: for each
// pixel of S its four terms of the sums as the averages above make them (at 16 bits alpha × share in lane
// 0 and each colour × (alpha × share) in the others; in float (alpha × 1) × share and (colour × alpha) ×
// share). Avx2LoneProducts* writes them for `count` pixels from `pixels` on; the average then sums, per
// pixel, 0 + left, right, above and below in that order and its own pixel's terms, with the bytes of
// Avx2AverageLonePairs*. `row`, `above` and `below` are the products at x0 of the row and the rows above
// and below, each holding pixels x0 - 1 to x0 + 64 that lie inside the image; the pairs as above.
void Avx2LoneProducts16(float* products, const void* pixels, int32_t count, float share) noexcept;
void Avx2AverageLonePairsFromProducts16(void* target, const float* row, const float* above,
                                        const float* below, uint64_t run, float weightSum) noexcept;
void Avx2LoneProductsFloat(float* products, const void* pixels, int32_t count, float share) noexcept;
void Avx2AverageLonePairsFromProductsFloat(void* target, const float* row, const float* above,
                                           const float* below, uint64_t run, float weightSum) noexcept;
