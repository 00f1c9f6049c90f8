#pragma once
// The lone-pixel averages of inner pixels two at a time, for processors with AVX2: the arithmetic of
// LoneAverage.h with each pixel in its own half of the vector, so every bit agrees.
//
// Each function averages pixels x0 + i of a row for the bits i of `run` taken two neighbours at a time
// (i and i + 1 both set) and returns the bits it left (pixels without a partner in the run). Every pixel
// of the run lies inside the image, away from its border; `target` is T at x0; `centre`, `above` and
// `below` are S at x0 in the row and the rows above and below. `share` is each neighbour's weight and
// `weightSum` the weights' sum with four neighbours, as LoneAverage makes them.
#include <cstdint>

// 8 bits: a pixel per vector (its four sums in 64-bit lanes, the four quotients in one double division),
// for weights below 2^24, whose products fit the 32-bit multiplies; every pixel of the run is averaged
// (none is left).
uint64_t Avx2AverageLonePixels8(void* target, const void* centre, const void* above, const void* below,
                                uint64_t run, int64_t share, int64_t weightSum) noexcept;
uint64_t Avx2AverageLonePairs16(void* target, const void* centre, const void* above, const void* below,
                                uint64_t run, float share, float weightSum) noexcept;
uint64_t Avx2AverageLonePairsFloat(void* target, const void* centre, const void* above, const void* below,
                                   uint64_t run, float share, float weightSum) noexcept;
