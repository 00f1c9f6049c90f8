// The neighbourhood codes for processors with AVX2, on bit planes: each flag bit of a map row becomes a
// 64-bit word for the segment's 64 pixels, so that each test of the rules is one word operation for all of
// them (where the straight byte loop spends a shift, a mask and a vector operation per 32). The rules are
// the byte loop's (NeighbourhoodCodes.inl), term for term; the planes of the results are spread back into
// bytes at the end.
#include "edgesmooth/NeighbourhoodBytes.h"

#include <immintrin.h>

#include <cstddef>
#include <cstring>

namespace {

// The four flag planes of a map row around a segment: bit j of lo[k] for pixel x0 − 4 + j, of hi[k] for
// pixel x0 + 60 + j.
struct RowPlanes {
    uint64_t lo[4];
    uint64_t hi[4];
};

// Bytes [x0 − 4, x0 + 92) of the row, read whole when the segment is full (the map's border columns and
// rows keep every such read inside the block), else copied as far as x1 + 4 and zero beyond.
inline RowPlanes PlanesOf(const uint8_t* row, int32_t x0, int32_t x1) noexcept {
    alignas(32) uint8_t window[96];
    const uint8_t* from = row + x0 - 4;
    if (x1 - x0 < kCodedPixels) {
        std::memset(window, 0, sizeof window);
        std::memcpy(window, from, static_cast<std::size_t>(x1 - x0 + 8));
        from = window;
    }
    const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
    const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 32));
    const __m256i v2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + 64));
    RowPlanes p;
    const auto plane = [](__m256i v, int k) {
        // Bit k of each byte to its top bit: a 16-bit shift moves no other byte's bit there.
        return static_cast<uint64_t>(
            static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_slli_epi16(v, 7 - k))));
    };
    for (int k = 0; k < 4; ++k) {
        p.lo[k] = plane(v0, k) | plane(v1, k) << 32;
        p.hi[k] = plane(v2, k);
    }
    return p;
}

// Eight planes to 64 bytes: bit k of byte i is bit i of q[k]. Byte g of every plane gathered into one word
// per group of eight pixels (a transpose of bytes), then each word's 8 × 8 bits transposed, four words to
// a vector.
inline void SpreadPlanes(uint8_t* out, const uint64_t (&q)[8]) noexcept {
    uint64_t any = 0;
    for (uint64_t w : q)
        any |= w;
    if (any == 0) {
        std::memset(out, 0, kCodedPixels);
        return;
    }
    const auto plane = [&q](int k) { return _mm_cvtsi64_si128(static_cast<long long>(q[k])); };
    const __m128i q01 = _mm_unpacklo_epi8(plane(0), plane(1)), q23 = _mm_unpacklo_epi8(plane(2), plane(3));
    const __m128i q45 = _mm_unpacklo_epi8(plane(4), plane(5)), q67 = _mm_unpacklo_epi8(plane(6), plane(7));
    const __m128i low03 = _mm_unpacklo_epi16(q01, q23), high03 = _mm_unpackhi_epi16(q01, q23);
    const __m128i low47 = _mm_unpacklo_epi16(q45, q67), high47 = _mm_unpackhi_epi16(q45, q67);
    // Word g: byte k is byte g of q[k].
    __m256i words[2] = {
        _mm256_set_m128i(_mm_unpackhi_epi32(low03, low47), _mm_unpacklo_epi32(low03, low47)),
        _mm256_set_m128i(_mm_unpackhi_epi32(high03, high47), _mm_unpacklo_epi32(high03, high47))};
    for (__m256i& x : words) {
        const auto swap = [&x](int shift, long long mask) {
            const __m256i t =
                _mm256_and_si256(_mm256_xor_si256(x, _mm256_srli_epi64(x, shift)), _mm256_set1_epi64x(mask));
            x = _mm256_xor_si256(x, _mm256_xor_si256(t, _mm256_slli_epi64(t, shift)));
        };
        swap(7, 0x00AA00AA00AA00AAll);
        swap(14, 0x0000CCCC0000CCCCll);
        swap(28, 0x00000000F0F0F0F0ll);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), words[0]);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), words[1]);
}

} // namespace

uint64_t Avx2CodeBytes(uint8_t* steps, uint8_t* fixes, uint8_t* jogs, const uint8_t* const* rows, int32_t x0,
                       int32_t x1, uint8_t rowAtLeast3) noexcept {
    RowPlanes planes[5];
    for (int r = 0; r < 5; ++r)
        planes[r] = PlanesOf(rows[r], x0, x1);
    // Flag bit k of the pixels x0 + dx + i of row dy (−3 … 1), i = 0 … 63.
    const auto at = [&planes](int dx, int dy, int k) {
        const RowPlanes& p = planes[dy + 3];
        const int shift = dx + 4; // 1 … 6: the rules reach three pixels left and two right
        return p.lo[k] >> shift | p.hi[k] << (64 - shift);
    };
    const auto R = [&at](int dx, int dy) { return at(dx, dy, 0); };
    const auto B = [&at](int dx, int dy) { return at(dx, dy, 1); };
    const auto D = [&at](int dx, int dy) { return at(dx, dy, 2); };
    const auto A = [&at](int dx, int dy) { return at(dx, dy, 3); };
    const auto no = [](uint64_t b) { return ~b; };
    const uint64_t atLeast3 = rowAtLeast3 ? ~uint64_t(0) : 0;
    const uint64_t inside = x1 - x0 >= 64 ? ~uint64_t(0) : (uint64_t(1) << (x1 - x0)) - 1;

    const uint64_t right = R(0, 0) & inside, below = B(0, 0) & inside;

    const uint64_t rampLeft =
        right & no(R(-1, 0)) & ((no(R(-1, -1)) & B(-1, -1)) | (no(R(-1, 1)) & B(-1, 0)));
    const uint64_t rampRight = right & no(R(1, 0)) & ((no(R(1, -1)) & B(1, -1)) | (no(R(1, 1)) & B(1, 0)));
    const uint64_t rampUp = below & no(B(0, -1)) & ((no(B(-1, -1)) & R(-1, -1)) | (no(B(1, -1)) & R(0, -1)));
    const uint64_t rampDown = below & no(B(0, 1)) & ((no(B(-1, 1)) & R(-1, 1)) | (no(B(1, 1)) & R(0, 1)));
    const uint64_t rowTracers = right & R(0, 1) & no(below) & no(B(1, 0));
    const uint64_t columnTracers = below & B(-1, 0) & no(R(-1, 0)) & no(R(-1, 1));
    const uint64_t crossed = (A(0, 0) | A(0, -1)) & (D(0, 0) | D(0, -1));
    const uint64_t light = right & no(crossed);

    const uint64_t left = R(-1, 0), top = B(0, -1);
    const uint64_t ul = D(-1, -1), ur = A(0, -1), dl = A(-1, 0), dr = D(0, 0);
    const uint64_t allSides = left & right & top & below;
    // Exactly three of the four: an odd count with a pair among them.
    const uint64_t threeSides = (left ^ right ^ top ^ below) & ((left & right) | (top & below));
    const uint64_t lone =
        (allSides & (dr | ul) & (ur | dl)) |
        (threeSides & no(ul & ur & dl & dr) &
         ((no(left) & ur & dr) | (no(right) & dl & ul) | (no(top) & dl & dr) | (no(below) & ur & ul)));

    const uint64_t notchRightOpen = right & top;
    const uint64_t notchRight1 = notchRightOpen & no(left) & no(dr) & B(-1, -1) & B(-1, 0) & R(-2, 0) &
                                 B(-2, -1) & R(-2, -1) & no(D(-2, -1)) & B(-2, -2);
    const uint64_t notchRight2 = notchRightOpen & left & R(0, -1) & no(ur) & B(1, -1) & R(1, -1) & R(0, -2) &
                                 no(B(1, -2)) & R(1, -3) & no(A(1, -3));
    const uint64_t notchRight3 = notchRightOpen & left & no(notchRight2) & R(-1, -1) & B(-1, -1) & no(ul) &
                                 R(-2, -1) & R(-1, -2) & no(B(-1, -2)) & B(-1, -3) & no(D(-2, -3));

    const uint64_t hook = R(0, -1) & top & no(ur) & B(1, -1) & B(1, -2) & B(-1, -1) & R(-2, 0);
    const uint64_t notchBelow1 = below & no(left) & hook & no(A(-2, 0));
    const uint64_t notchBelow2 = below & left & (hook | top) & R(-1, -1) & B(-1, -1) & no(ul) & B(-1, -2) &
                                 B(-2, -1) & no(R(-2, -1)) & R(-3, -1) & no(D(-3, -2));
    const uint64_t notchBelow3 = below & left & no(notchBelow2) & R(-1, -1) & R(0, -1) & no(top) & B(0, -2) &
                                 R(-1, -2) & B(-1, -2) & no(D(-1, -2)) & R(-2, -2) & no(dr);

    const uint64_t cornerOpen = right & below & R(0, -1);
    const uint64_t notchCorner1 =
        cornerOpen & top & B(1, -1) & B(1, -2) & R(2, -1) & B(2, -1) & no(R(1, -1)) & no(A(2, -2)) & no(ur);
    const uint64_t notchCorner2 = cornerOpen & no(notchCorner1) & R(0, -2) & B(0, -2) & no(A(0, -2)) &
                                  R(-1, -1) & B(1, -2) & R(1, -2) & no(top) & no(dl);

    const uint64_t corner1 =
        right & atLeast3 & no(D(0, -2)) & B(1, -2) & B(2, -2) & R(0, -1) & no(B(1, -1)) & no(R(1, -1));
    const uint64_t corner2 = right & B(-1, -1) & top & no(ur) & no(left) & no(below) & R(0, 1);
    const uint64_t corner3 = right & R(0, -1) & no(top) & B(-1, 0) & no(left) & below & no(dr);
    const uint64_t corner4 = below & no(right) & R(-1, -1) & no(top) & left & no(dl) & B(1, 0);
    const uint64_t cornerSelf = no(corner1) & (corner2 | corner3 | corner4);

    const uint64_t upperPair = right & top & B(1, -1) & no(R(0, -1));
    const uint64_t lowerPair = right & below & B(1, 0) & no(R(0, 1));
    const uint64_t leftPair = below & left & R(-1, 1) & no(B(-1, 0));
    const uint64_t rightPair = below & right & R(0, 1) & no(B(1, 0));

    // The third notch of each kind takes both of its two bits.
    const uint64_t stepPlanes[8] = {rampLeft,   rampRight,     rampUp, rampDown,
                                    rowTracers, columnTracers, light,  lone};
    const uint64_t fixPlanes[8] = {notchRight1 | notchRight3,
                                   notchRight2 | notchRight3,
                                   notchBelow1 | notchBelow3,
                                   notchBelow2 | notchBelow3,
                                   notchCorner1,
                                   notchCorner2,
                                   corner1,
                                   cornerSelf};
    const uint64_t jogPlanes[8] = {upperPair & no(ul),      upperPair & no(A(1, -1)), lowerPair & no(dl),
                                   lowerPair & no(D(1, 0)), leftPair & no(ul),        leftPair & no(A(-1, 1)),
                                   rightPair & no(ur),      rightPair & no(D(0, 1))};
    SpreadPlanes(steps, stepPlanes);
    SpreadPlanes(fixes, fixPlanes);
    SpreadPlanes(jogs, jogPlanes);
    return right | below;
}
