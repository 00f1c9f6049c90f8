#pragma once
// The neighbourhood codes of a segment as the straight loop writes them, one byte per pixel, and that loop
// built for AVX2 (NeighbourhoodCodes.h says what the codes are).
#include <cstdint>

#include "edgesmooth/EdgeTests.h"

// Bits of a pixel's step code. The gates and tracer bits are set only where the pixel has the step they
// belong to (the right bit for left, right and row tracers; the below bit for up, down and column tracers).
enum StepCodeBit : uint8_t {
    kCodeRampLeft = 1,       // RampMayStart(kRampLeft)
    kCodeRampRight = 2,      // RampMayStart(kRampRight)
    kCodeRampUp = 4,         // RampMayStart(kRampUp)
    kCodeRampDown = 8,       // RampMayStart(kRampDown)
    kCodeRowTracers = 16,    // RowTracersRun
    kCodeColumnTracers = 32, // ColumnTracersRun
    kCodeLight = 64,         // a right step whose diagonals do not cross: the light blends, unless a ramp
                             // or tracer took their place
    kCodeLone = 128,         // IsLonePixel
    kCodeWalks = 63,         // the bits that call for a run search or a tracer
};

// A pixel's fix code: which pixel each restoration pulls back, two bits each, 0 for none.
// Notch right (right step): 1 (x − 1, y), 2 (x + 1, y − 1), 3 (x − 1, y − 1).
// Notch below (below step): 1 (x, y), 2 (x − 1, y − 1), 3 (x, y − 1).
// Notch corner (both steps): 1 (x + 1, y − 1), 2 (x, y − 1).
// Corner restoration: 1 (x + 1, y − 1), 2 (x, y).
constexpr int kFixNotchRightShift = 0;
constexpr int kFixNotchBelowShift = 2;
constexpr int kFixNotchCornerShift = 4;
constexpr int kFixCornerShift = 6;

constexpr int32_t kCodedPixels = 64;

struct NeighbourhoodBytes {
    uint8_t steps[kCodedPixels];
    uint8_t fixes[kCodedPixels];
    uint8_t jogs[kCodedPixels];
    uint8_t active[kCodedPixels]; // 0 or 1; 0 past the segment's last pixel
};

// Pixels [x0, x1) (0 < x1 − x0 <= 64) of the map row rows[3]; rows[0 … 4] are map rows y − 3 … y + 1 of a
// map laid out with its border rows and columns, and rowAtLeast3 says whether y >= 3. Writes 64 bytes each
// of steps, fixes and jogs (0 past the segment's last pixel) and returns the active pixels as bits, bit i
// for pixel x0 + i.
uint64_t Avx2CodeBytes(uint8_t* steps, uint8_t* fixes, uint8_t* jogs, const uint8_t* const* rows, int32_t x0,
                       int32_t x1, uint8_t rowAtLeast3) noexcept;
