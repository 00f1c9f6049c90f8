#include "edgesmooth/NeighbourhoodCodes.h"

namespace {

#include "edgesmooth/NeighbourhoodCodes.inl"

} // namespace

void CodeSegment(SegmentCodes& codes, const EdgeFlagMap& map, int32_t x0, int32_t y, EdgeIsa isa) noexcept {
    const int32_t width = map.width;
    const int32_t x1 = x0 + kCodedPixels < width ? x0 + kCodedPixels : width;
    const uint8_t* const rows[5] = {map.Row(y - 3), map.Row(y - 2), map.Row(y - 1), map.Row(y),
                                    map.Row(y + 1)};
    const uint8_t rowAtLeast3 = y >= 3 ? 1 : 0;
    if (isa == EdgeIsa::Avx2 && BestEdgeIsa() == EdgeIsa::Avx2) {
        codes.active = Avx2CodeBytes(codes.steps, codes.fixes, codes.jogs, rows, x0, x1, rowAtLeast3);
    } else {
        NeighbourhoodBytes bytes;
        CodeBytes(bytes, rows, x0, x1, rowAtLeast3);
        std::memcpy(codes.steps, bytes.steps, sizeof bytes.steps);
        std::memcpy(codes.fixes, bytes.fixes, sizeof bytes.fixes);
        std::memcpy(codes.jogs, bytes.jogs, sizeof bytes.jogs);
        // The 0/1 bytes gathered eight at a time by a multiplication: byte i lands in bit 56 + i.
        uint64_t word = 0;
        for (int g = 0; g < 8; ++g) {
            uint64_t eight;
            std::memcpy(&eight, bytes.active + 8 * g, 8);
            word |= ((eight * 0x0102040810204080ull) >> 56) << (8 * g);
        }
        codes.active = word;
    }
    // The first corner pattern needs three columns to its right.
    if (const int32_t x = width - 3; x >= x0 && x < x1 && (codes.fixes[x - x0] >> kFixCornerShift) == 1) {
        const auto target = CornerRestoreTarget(map, x, y);
        const uint8_t corner = !target ? 0 : (*target == EdgePoint{x + 1, y - 1} ? 1 : 2);
        uint8_t& fixes = codes.fixes[x - x0];
        fixes = static_cast<uint8_t>((fixes & ~(3 << kFixCornerShift)) | corner << kFixCornerShift);
    }
}
