#pragma once
// The map-only decisions of the corner and diagonal corrections: where a tracer runs and how long it is,
// which pixel a notch or corner restoration pulls back, whether a pixel is a lone pixel, and which
// pixels a one-pixel jog softens. The smoothing pass applies them to the pixels.
#include <cstdint>
#include <optional>

#include "edgesmooth/EdgeFlagMap.h"

struct EdgePoint {
    int32_t x;
    int32_t y;
    bool operator==(const EdgePoint&) const = default;
};

// One diagonal tracer: where it starts relative to the step pixel, how it walks, which bit stops it, and
// what it blends at each traced position p (offsets from p).
struct TracerShape {
    int32_t startX, startY;
    int32_t stepX, stepY;
    uint8_t blocking;
    int32_t targetX, targetY; // first ramp: T(p + target) towards S(p + colour)
    int32_t colourX, colourY;
    bool restores; // second ramp: restore of p + restore
    int32_t restoreX, restoreY;
};

// Tracers across a row (for a pixel with the right bit) follow below bits; across a column (below bit),
// right bits.
extern const TracerShape kRowTracers[4];
extern const TracerShape kColumnTracers[4];

bool RowTracersRun(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
bool ColumnTracersRun(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;

// The run length n = K − 1 of a tracer from P0 (K: steps taken, the step onto a position without the
// required bit included); −1 when P0 lacks the required bit. The tracer applies when n ≥ 1.
int32_t TraceRowTracer(const EdgeFlagMap& m, const TracerShape& shape, int32_t x, int32_t y) noexcept;
int32_t TraceColumnTracer(const EdgeFlagMap& m, const TracerShape& shape, int32_t x, int32_t y) noexcept;

// The pixel a notch restoration pulls back, if any.
std::optional<EdgePoint> NotchRightTarget(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
std::optional<EdgePoint> NotchBelowTarget(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
std::optional<EdgePoint> NotchCornerTarget(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;

// A pixel with edges on all sides, or on three with the diagonals across the open side.
bool IsLonePixel(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;

// The pixel the corner restoration pulls back, if any.
std::optional<EdgePoint> CornerRestoreTarget(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;

// A blend of T(target) towards S(colour).
struct PixelMove {
    EdgePoint target;
    EdgePoint colour;
};
struct JogMoves {
    PixelMove moves[8];
    int count = 0;
};
// The jog softenings of a pixel with the right or the below bit, in order.
JogMoves SoftenJogMoves(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
