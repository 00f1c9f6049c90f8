#pragma once
// The neighbour tests of edge detection, eight pixels at a time, built once per instruction set and picked
// when the library loads. Each function fills row[x] for x in [0, n), n being `count` rounded down to a
// multiple of 8, with pixel x's four test bits (right: above[x] against above[x + 1]; below: above[x]
// against below[x]; diagonal: against below[x + 1]; anti: above[x + 1] against below[x]) and returns n. It
// reads above and below up to index n. The grouped columns' diagonal rule is the caller's.
//
// `limit` is the sum of channel distances that a pair must exceed: for integer pixels at least 0 (a pair
// whose sum is 0 is identical, and identical pixels never differ); for float pixels as the job gives it.
#include <cstdint>

enum class EdgeIsa : uint8_t { Plain, Sse41, Avx2 };

// The widest of the instruction sets above that the processor has.
EdgeIsa BestEdgeIsa() noexcept;

int32_t Sse41EdgeTests8(uint8_t* row, const void* above, const void* below, int32_t count,
                        int32_t limit) noexcept;
int32_t Sse41EdgeTests16(uint8_t* row, const void* above, const void* below, int32_t count,
                         int32_t limit) noexcept;
int32_t Sse41EdgeTestsFloat(uint8_t* row, const void* above, const void* below, int32_t count,
                            float limit) noexcept;
int32_t Avx2EdgeTests8(uint8_t* row, const void* above, const void* below, int32_t count,
                       int32_t limit) noexcept;
int32_t Avx2EdgeTests16(uint8_t* row, const void* above, const void* below, int32_t count,
                        int32_t limit) noexcept;
int32_t Avx2EdgeTestsFloat(uint8_t* row, const void* above, const void* below, int32_t count,
                           float limit) noexcept;
