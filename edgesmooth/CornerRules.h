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
// right bits. Each row: {start, step, blocking bit, first-ramp target and colour, second ramp}.
inline constexpr TracerShape kRowTracers[4] = {
    {1, -1, 1, -1, kEdgeAnti, 0, 1, 0, 0, true, 0, 0},  // up-right
    {0, 1, -1, 1, kEdgeAnti, 0, 0, 0, 1, false, 0, 0},  // down-left
    {0, -1, -1, -1, kEdgeDiag, 0, 1, 0, 0, true, 0, 0}, // up-left
    {1, 1, 1, 1, kEdgeDiag, 0, 0, 0, 1, false, 0, 0},   // down-right
};
inline constexpr TracerShape kColumnTracers[4] = {
    {0, 0, 1, -1, kEdgeAnti, 0, 0, 1, 0, true, 1, 0},   // up-right
    {-2, 1, -1, 1, kEdgeAnti, 1, 0, 0, 0, false, 0, 0}, // down-left
    {-2, 0, -1, -1, kEdgeDiag, 1, 0, 0, 0, true, 0, 0}, // up-left
    {0, 1, 1, 1, kEdgeDiag, 0, 0, 1, 0, false, 0, 0},   // down-right
};
inline bool RowTracersRun(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
inline bool ColumnTracersRun(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;

// The run length n = K − 1 of a tracer from P0 (K: steps taken, the step onto a position without the
// required bit included); −1 when P0 lacks the required bit. The tracer applies when n ≥ 1.
inline int32_t TraceRowTracer(const EdgeFlagMap& m, const TracerShape& shape, int32_t x, int32_t y) noexcept;
inline int32_t TraceColumnTracer(const EdgeFlagMap& m, const TracerShape& shape, int32_t x,
                                 int32_t y) noexcept;

// The pixel a notch restoration pulls back, if any.
inline std::optional<EdgePoint> NotchRightTarget(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
inline std::optional<EdgePoint> NotchBelowTarget(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
inline std::optional<EdgePoint> NotchCornerTarget(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;

// A pixel with edges on all sides, or on three with the diagonals across the open side.
inline bool IsLonePixel(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;

// The pixel the corner restoration pulls back, if any.
inline std::optional<EdgePoint> CornerRestoreTarget(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;

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
inline JogMoves SoftenJogMoves(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;

// ---- Definitions, here so that the smoothing pass inlines them ----------------------------------------

inline bool RowTracersRun(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    return m.Right(x, y + 1) && !m.Below(x, y) && !m.Below(x + 1, y);
}

inline bool ColumnTracersRun(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    return m.Below(x - 1, y) && !m.Right(x - 1, y) && !m.Right(x - 1, y + 1);
}

namespace edgesmooth_detail {

// Positions outside the image read as 0 and lack the required bit, so a trace ends at the border.
inline int32_t Trace(const EdgeFlagMap& m, const TracerShape& s, int32_t x, int32_t y, uint8_t required,
                     int32_t blockX, int32_t blockY) noexcept {
    int32_t px = x + s.startX, py = y + s.startY;
    if (!(m.At(px, py) & required))
        return -1;
    int32_t steps = 0;
    for (;;) {
        if ((m.At(px, py) | m.At(px + blockX, py + blockY)) & s.blocking)
            break;
        px += s.stepX;
        py += s.stepY;
        ++steps;
        if (!(m.At(px, py) & required))
            break;
    }
    return steps - 1;
}

} // namespace edgesmooth_detail

inline int32_t TraceRowTracer(const EdgeFlagMap& m, const TracerShape& shape, int32_t x, int32_t y) noexcept {
    return edgesmooth_detail::Trace(m, shape, x, y, kEdgeBelow, -1, 0);
}

inline int32_t TraceColumnTracer(const EdgeFlagMap& m, const TracerShape& shape, int32_t x,
                                 int32_t y) noexcept {
    return edgesmooth_detail::Trace(m, shape, x, y, kEdgeRight, 0, -1);
}

inline std::optional<EdgePoint> NotchRightTarget(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    if (!m.Below(x, y - 1))
        return std::nullopt;
    if (!m.Right(x - 1, y)) {
        if (!m.Diag(x, y) && m.Below(x - 1, y - 1) && m.Below(x - 1, y) && m.Right(x - 2, y) &&
            m.Below(x - 2, y - 1) && m.Right(x - 2, y - 1) && !m.Diag(x - 2, y - 1) && m.Below(x - 2, y - 2))
            return EdgePoint{x - 1, y};
        return std::nullopt;
    }
    if (m.Right(x, y - 1) && !m.Anti(x, y - 1) && m.Below(x + 1, y - 1) && m.Right(x + 1, y - 1) &&
        m.Right(x, y - 2) && !m.Below(x + 1, y - 2) && m.Right(x + 1, y - 3) && !m.Anti(x + 1, y - 3))
        return EdgePoint{x + 1, y - 1};
    if (m.Right(x - 1, y - 1) && m.Below(x - 1, y - 1) && !m.Diag(x - 1, y - 1) && m.Right(x - 2, y - 1) &&
        m.Right(x - 1, y - 2) && !m.Below(x - 1, y - 2) && m.Below(x - 1, y - 3) && !m.Diag(x - 2, y - 3))
        return EdgePoint{x - 1, y - 1};
    return std::nullopt;
}

inline std::optional<EdgePoint> NotchBelowTarget(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    const bool hook = m.Right(x, y - 1) && m.Below(x, y - 1) && !m.Anti(x, y - 1) && m.Below(x + 1, y - 1) &&
                      m.Below(x + 1, y - 2) && m.Below(x - 1, y - 1) && m.Right(x - 2, y);
    if (!m.Right(x - 1, y)) {
        if (hook && !m.Anti(x - 2, y))
            return EdgePoint{x, y};
        return std::nullopt;
    }
    if (hook || m.Below(x, y - 1)) {
        if (m.Right(x - 1, y - 1) && m.Below(x - 1, y - 1) && !m.Diag(x - 1, y - 1) &&
            m.Below(x - 1, y - 2) && m.Below(x - 2, y - 1) && !m.Right(x - 2, y - 1) &&
            m.Right(x - 3, y - 1) && !m.Diag(x - 3, y - 2))
            return EdgePoint{x - 1, y - 1};
    }
    if (m.Right(x - 1, y - 1) && m.Right(x, y - 1) && !m.Below(x, y - 1) && m.Below(x, y - 2) &&
        m.Right(x - 1, y - 2) && m.Below(x - 1, y - 2) && !m.Diag(x - 1, y - 2) && m.Right(x - 2, y - 2) &&
        !m.Diag(x, y))
        return EdgePoint{x, y - 1};
    return std::nullopt;
}

inline std::optional<EdgePoint> NotchCornerTarget(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    if (!m.Right(x, y - 1))
        return std::nullopt;
    if (m.Below(x, y - 1) && m.Below(x + 1, y - 1) && m.Below(x + 1, y - 2) && m.Right(x + 2, y - 1) &&
        m.Below(x + 2, y - 1) && !m.Right(x + 1, y - 1) && !m.Anti(x + 2, y - 2) && !m.Anti(x, y - 1))
        return EdgePoint{x + 1, y - 1};
    if (m.Right(x, y - 2) && m.Below(x, y - 2) && !m.Anti(x, y - 2) && m.Right(x - 1, y - 1) &&
        m.Below(x + 1, y - 2) && m.Right(x + 1, y - 2) && !m.Below(x, y - 1) && !m.Anti(x - 1, y))
        return EdgePoint{x, y - 1};
    return std::nullopt;
}

inline bool IsLonePixel(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    const bool left = m.Right(x - 1, y), right = m.Right(x, y);
    const bool top = m.Below(x, y - 1), bottom = m.Below(x, y);
    const int sides = left + right + top + bottom;
    const bool ul = m.Diag(x - 1, y - 1), ur = m.Anti(x, y - 1);
    const bool dl = m.Anti(x - 1, y), dr = m.Diag(x, y);
    if (sides == 4)
        return (dr || ul) && (ur || dl);
    if (sides != 3 || (ul && ur && dl && dr))
        return false;
    if (!left)
        return ur && dr;
    if (!right)
        return dl && ul;
    if (!top)
        return dl && dr;
    return ur && ul;
}

inline std::optional<EdgePoint> CornerRestoreTarget(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    const bool right = m.Right(x, y), below = m.Below(x, y);
    if (right && x < m.width - 3 && y >= 3 && !m.Diag(x, y - 2) && m.Below(x + 1, y - 2) &&
        m.Below(x + 2, y - 2) && m.Right(x, y - 1) && !m.Below(x + 1, y - 1) && !m.Right(x + 1, y - 1))
        return EdgePoint{x + 1, y - 1};
    // The three patterns below that restore the pixel itself cannot hold in column 0 (each needs an edge
    // bit of column x − 1); the x > 0 test keeps that explicit.
    if (right && m.Below(x - 1, y - 1) && m.Below(x, y - 1) && !m.Anti(x, y - 1) && !m.Right(x - 1, y) &&
        !below && m.Right(x, y + 1))
        return x > 0 ? std::optional<EdgePoint>(EdgePoint{x, y}) : std::nullopt;
    if (right && m.Right(x, y - 1) && !m.Below(x, y - 1) && m.Below(x - 1, y) && !m.Right(x - 1, y) &&
        below && !m.Diag(x, y))
        return x > 0 ? std::optional<EdgePoint>(EdgePoint{x, y}) : std::nullopt;
    if (below && !right && m.Right(x - 1, y - 1) && !m.Below(x, y - 1) && m.Right(x - 1, y) &&
        !m.Anti(x - 1, y) && m.Below(x + 1, y))
        return x > 0 ? std::optional<EdgePoint>(EdgePoint{x, y}) : std::nullopt;
    return std::nullopt;
}

inline JogMoves SoftenJogMoves(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    JogMoves j;
    auto add = [&](int32_t tx, int32_t ty, int32_t cx, int32_t cy) {
        j.moves[j.count++] = PixelMove{{tx, ty}, {cx, cy}};
    };
    if (m.Right(x, y)) {
        if (m.Below(x, y - 1) && m.Below(x + 1, y - 1) && !m.Right(x, y - 1)) {
            if (!m.Diag(x - 1, y - 1))
                add(x, y - 1, x, y);
            if (!m.Anti(x + 1, y - 1))
                add(x + 1, y - 1, x + 1, y);
        }
        if (m.Below(x, y) && m.Below(x + 1, y) && !m.Right(x, y + 1)) {
            if (!m.Anti(x - 1, y))
                add(x, y + 1, x, y);
            if (!m.Diag(x + 1, y))
                add(x + 1, y + 1, x + 1, y);
        }
    }
    if (m.Below(x, y)) {
        if (m.Right(x - 1, y) && m.Right(x - 1, y + 1) && !m.Below(x - 1, y)) {
            if (!m.Diag(x - 1, y - 1))
                add(x - 1, y, x, y);
            if (!m.Anti(x - 1, y + 1))
                add(x - 1, y + 1, x, y + 1);
        }
        if (m.Right(x, y) && m.Right(x, y + 1) && !m.Below(x + 1, y)) {
            if (!m.Anti(x, y - 1))
                add(x + 1, y, x, y);
            if (!m.Diag(x, y + 1))
                add(x + 1, y + 1, x, y + 1);
        }
    }
    return j;
}
