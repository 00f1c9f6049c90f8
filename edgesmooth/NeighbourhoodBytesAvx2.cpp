// The neighbourhood codes' straight loop for processors with AVX2: 32 pixels per vector.
#include "edgesmooth/NeighbourhoodBytes.h"

#include <cstring>

namespace {

#include "edgesmooth/NeighbourhoodCodes.inl"

} // namespace

void Avx2CodeBytes(NeighbourhoodBytes& out, const uint8_t* const* rows, int32_t x0, int32_t x1,
                   uint8_t rowAtLeast3) noexcept {
    CodeBytes(out, rows, x0, x1, rowAtLeast3);
}
