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
#include "edgesmooth/NeighbourhoodBytes.h"

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
struct SegmentCodes {
    uint8_t steps[kCodedPixels];
    uint8_t fixes[kCodedPixels];
    uint8_t jogs[kCodedPixels];
    uint64_t active; // bit i for pixel x0 + i
};

// Codes pixels [x0, min(x0 + 64, width)) of map row y (0 <= x0 < width), in AVX2 code when `isa` and the
// processor allow it; every instruction set gives the same codes.
void CodeSegment(SegmentCodes& codes, const EdgeFlagMap& map, int32_t x0, int32_t y,
                 EdgeIsa isa = BestEdgeIsa()) noexcept;
