// Included inside an anonymous namespace by the files built for one instruction set. Nothing here may call
// an inline function shared with other files: the linker could keep this file's copy, built for an
// instruction set the processor lacks.
//
// A mask of eight test results, bit b standing for pixel kPixelOfBit[b], spread to one byte per pixel
// (0 or 1), so that the four tests of eight pixels become one 64-bit store.
struct Spread {
    uint64_t bytes[256];
};

constexpr Spread MakeSpread(const int (&pixelOfBit)[8]) {
    Spread s{};
    for (int mask = 0; mask < 256; ++mask) {
        uint64_t v = 0;
        for (int b = 0; b < 8; ++b)
            if ((mask >> b) & 1)
                v |= uint64_t{1} << (8 * pixelOfBit[b]);
        s.bytes[mask] = v;
    }
    return s;
}

// Pixel x's byte: right, below, diagonal and anti bits from the four masks.
inline uint64_t TestBytes(const Spread& s, unsigned right, unsigned below, unsigned diag,
                          unsigned anti) noexcept {
    return s.bytes[right] | s.bytes[below] << 1 | s.bytes[diag] << 2 | s.bytes[anti] << 3;
}
