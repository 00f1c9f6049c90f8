#pragma once
// The outcome, for each pixel of a map row, of each rule of the smoothing pass that reads a fixed
// neighbourhood of the map: whether a ramp may start on each side of a step and whether tracers run, the
// light blends, the notch and corner restorations, the lone-pixel test and the jog softenings. A row is
// coded 64 pixels at a time in one straight loop of byte arithmetic over the map rows around it, which the
// compiler turns into vector code, so that the pass need not follow a chain of branches per pixel. The rule
// functions (StepRuns.h, CornerRules.h) are the definition; tests hold the codes equal to them.
#include <cstdint>
#include <cstring>

#include "edgesmooth/CornerRules.h"
#include "edgesmooth/EdgeFlagMap.h"

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

// A pixel's jog code: bit k stands for the k-th of the jog softenings below, in SoftenJogMoves's order:
// target and colour offsets from the pixel.
struct JogOffsets {
    int8_t targetX, targetY, colourX, colourY;
};
inline constexpr JogOffsets kJogOffsets[8] = {
    {0, -1, 0, 0}, {1, -1, 1, 0}, {0, 1, 0, 0}, {1, 1, 1, 0},
    {-1, 0, 0, 0}, {-1, 1, 0, 1}, {1, 0, 0, 0}, {1, 1, 0, 1},
};

// The codes of up to 64 pixels of a row, and a bit per pixel that has a right or below step.
constexpr int32_t kCodedPixels = 64;
struct SegmentCodes {
    uint8_t steps[kCodedPixels];
    uint8_t fixes[kCodedPixels];
    uint8_t jogs[kCodedPixels];
    uint64_t active; // bit i for pixel x0 + i
};

// Codes pixels [x0, min(x0 + 64, width)) of map row y (0 <= x0 < width).
void CodeSegment(SegmentCodes& codes, const EdgeFlagMap& map, int32_t x0, int32_t y) noexcept;
