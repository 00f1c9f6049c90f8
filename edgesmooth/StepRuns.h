#pragma once
// How far a colour boundary runs along a row or column next to a step, read from the edge flag map
// alone. A step at (x, y) with the right bit lies between (x, y) and (x + 1, y); with the below bit,
// between (x, y) and (x, y + 1).
#include <algorithm>
#include <cstdint>

#include "edgesmooth/EdgeFlagMap.h"

enum RampDirection : int32_t { kRampLeft = 0, kRampRight = 1, kRampUp = 2, kRampDown = 3 };

// Length of the boundary run beside a step, 0 for none.
inline int32_t FindRunLeft(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
inline int32_t FindRunRight(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
inline int32_t FindRunUp(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
inline int32_t FindRunDown(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;

// Length of a one-pixel-thick line ending at the step, compressed beyond 5 (n → 5 + (n − 5) / 2).
inline int32_t FindThinRunLeft(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
inline int32_t FindThinRunRight(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
inline int32_t FindThinRunUp(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;
inline int32_t FindThinRunDown(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept;

// False when neither a run nor a thin line can start beside the step on that side, so that FindRun* and
// FindThinRun* of the direction would both give 0: each needs the first pixel beyond the step to continue
// the boundary. Looks at three map bytes, without a branch.
inline bool RampMayStart(const EdgeFlagMap& m, RampDirection direction, int32_t x, int32_t y) noexcept;

// Whether the step borders a uniform 2×2 block with edges on all sides, on the side of the ramp.
inline bool IsIsolatedBlock(const EdgeFlagMap& m, RampDirection direction, int32_t x, int32_t y) noexcept;

// The strength of one long ramp of length `run` whose opposite run (from the pixel beyond its far end)
// is `opposite`: weaker near tiny details. May be 0 or negative; RampDecrement then takes 1.
inline int64_t AdjustStrengthForShape(const EdgeFlagMap& m, RampDirection direction, int32_t run,
                                      int32_t opposite, int64_t strength, int32_t x, int32_t y) noexcept;

// ---- Definitions, here so that the smoothing pass inlines them ----------------------------------------

// The walks end at the image border by themselves: outside the image every map byte reads 0, which
// fails the tests that keep a walk going.
inline bool RampMayStart(const EdgeFlagMap& m, RampDirection direction, int32_t x, int32_t y) noexcept {
    // Along a row the first pixel beyond the step is (i, y): it continues the boundary above it or below it.
    // Along a column it is (x, j), continuing the boundary left or right of it.
    // 0 or 1 as integers, combined with & and | so that the test stays one branchless expression.
    auto set = [](uint8_t byte, EdgeBit b) { return static_cast<unsigned>((byte & b) != 0); };
    auto clear = [](uint8_t byte, EdgeBit b) { return static_cast<unsigned>((byte & b) == 0); };
    switch (direction) {
    case kRampLeft:
    case kRampRight: {
        const int32_t i = direction == kRampLeft ? x - 1 : x + 1;
        const uint8_t up = m.At(i, y - 1), at = m.At(i, y), down = m.At(i, y + 1);
        return clear(at, kEdgeRight) & ((clear(up, kEdgeRight) & set(up, kEdgeBelow)) |
                                        (clear(down, kEdgeRight) & set(at, kEdgeBelow)));
    }
    case kRampUp:
    case kRampDown: {
        const int32_t j = direction == kRampUp ? y - 1 : y + 1;
        const uint8_t left = m.At(x - 1, j), at = m.At(x, j), right = m.At(x + 1, j);
        return clear(at, kEdgeBelow) & ((clear(left, kEdgeBelow) & set(left, kEdgeRight)) |
                                        (clear(right, kEdgeBelow) & set(at, kEdgeRight)));
    }
    }
    return true;
}

inline int32_t FindRunRight(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    int32_t u = 0;
    if (!m.Anti(x, y - 1)) {
        bool stoppedEarly = false;
        for (int32_t i = x + 1; !m.Right(i, y); ++i) {
            if (m.Right(i, y - 1) || !m.Below(i, y - 1)) {
                stoppedEarly = true;
                break;
            }
            ++u;
        }
        if (stoppedEarly) {
            if (u >= 3 && !m.Below(x, y))
                u = 0;
        } else if (u > 2 && !m.Below(x, y)) {
            u = 0; // a run of three or more that meets the next step: the lower side decides
        } else if (u > 0) {
            return u;
        }
    }
    if (m.Diag(x, y))
        return u;
    int32_t k = 0;
    for (int32_t i = x + 1; !m.Right(i, y) && !m.Right(i, y + 1) && m.Below(i, y); ++i)
        ++k;
    if (k >= 3 && !m.Below(x, y - 1))
        k = 0;
    return std::max(u, k);
}

inline int32_t FindRunLeft(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    int32_t u = 0;
    if (!m.Diag(x, y - 1)) {
        bool stoppedEarly = false;
        for (int32_t i = x - 1; !m.Right(i, y); --i) {
            if (m.Right(i, y - 1) || !m.Below(i, y - 1)) {
                stoppedEarly = true;
                break;
            }
            ++u;
        }
        if (stoppedEarly) {
            if (u >= 3 && !m.Below(x + 1, y))
                u = 0;
        } else if (u > 2 && !m.Below(x + 1, y)) {
            u = 0;
        } else if (u > 0) {
            return u;
        }
    }
    if (m.Anti(x, y))
        return u;
    int32_t k = 0;
    for (int32_t i = x - 1; !m.Right(i, y) && !m.Right(i, y + 1) && m.Below(i, y); --i)
        ++k;
    if (k >= 3 && !m.Below(x + 1, y - 1))
        k = 0;
    return std::max(u, k);
}

// Up and down are left and right with rows and columns exchanged; the diagonal bits keep their roles.
inline int32_t FindRunDown(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    int32_t u = 0;
    if (!m.Anti(x - 1, y)) {
        bool stoppedEarly = false;
        for (int32_t j = y + 1; !m.Below(x, j); ++j) {
            if (m.Below(x - 1, j) || !m.Right(x - 1, j)) {
                stoppedEarly = true;
                break;
            }
            ++u;
        }
        if (stoppedEarly) {
            if (u >= 3 && !m.Right(x, y))
                u = 0;
        } else if (u > 2 && !m.Right(x, y)) {
            u = 0;
        } else if (u > 0) {
            return u;
        }
    }
    if (m.Diag(x, y))
        return u;
    int32_t k = 0;
    for (int32_t j = y + 1; !m.Below(x, j) && !m.Below(x + 1, j) && m.Right(x, j); ++j)
        ++k;
    if (k >= 3 && !m.Right(x - 1, y))
        k = 0;
    return std::max(u, k);
}

inline int32_t FindRunUp(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    if (y == 0)
        return 0;
    int32_t u = 0;
    if (!m.Diag(x - 1, y)) {
        bool stoppedEarly = false;
        for (int32_t j = y - 1; !m.Below(x, j); --j) {
            if (m.Below(x - 1, j) || !m.Right(x - 1, j)) {
                stoppedEarly = true;
                break;
            }
            ++u;
        }
        if (stoppedEarly) {
            if (u >= 3 && !m.Right(x, y + 1))
                u = 0;
        } else if (u > 2 && !m.Right(x, y + 1)) {
            u = 0;
        } else if (u > 0) {
            return u;
        }
    }
    if (m.Anti(x, y))
        return u;
    int32_t k = 0;
    for (int32_t j = y - 1; !m.Below(x, j) && !m.Below(x + 1, j) && m.Right(x, j); --j)
        ++k;
    if (k >= 3 && !m.Right(x - 1, y + 1))
        k = 0;
    return std::max(u, k);
}

namespace edgesmooth_detail {

inline int32_t CompressThinRun(int32_t n) noexcept {
    return n < 6 ? n : 5 + (n - 5) / 2;
}

// A pixel of a one-pixel-high line in row y: edges above and below, none across.
inline bool InHorizontalLine(const EdgeFlagMap& m, int32_t i, int32_t y) noexcept {
    return !m.Right(i, y) && m.Below(i, y - 1) && !m.Right(i, y - 1) && !m.Right(i, y + 1) && m.Below(i, y);
}

// A pixel of a one-pixel-wide line in column x.
inline bool InVerticalLine(const EdgeFlagMap& m, int32_t x, int32_t j) noexcept {
    return !m.Below(x, j) && m.Right(x - 1, j) && !m.Below(x - 1, j) && !m.Below(x + 1, j) && m.Right(x, j);
}

} // namespace edgesmooth_detail

inline int32_t FindThinRunLeft(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    if (m.Diag(x, y - 1) || m.Below(x + 1, y - 1) || m.Right(x + 1, y) || m.Below(x + 1, y) || m.Anti(x, y))
        return 0;
    int32_t n = 0;
    for (int32_t i = x - 1; edgesmooth_detail::InHorizontalLine(m, i, y); --i)
        ++n;
    return edgesmooth_detail::CompressThinRun(n);
}

inline int32_t FindThinRunRight(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    if (m.Below(x, y - 1) || m.Anti(x, y - 1) || m.Right(x - 1, y) || m.Below(x, y) || m.Diag(x, y))
        return 0;
    int32_t n = 0;
    for (int32_t i = x + 1; edgesmooth_detail::InHorizontalLine(m, i, y); ++i)
        ++n;
    return edgesmooth_detail::CompressThinRun(n);
}

inline int32_t FindThinRunUp(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    if (m.Diag(x - 1, y) || m.Right(x - 1, y + 1) || m.Below(x, y + 1) || m.Right(x, y + 1) || m.Anti(x, y))
        return 0;
    int32_t n = 0;
    for (int32_t j = y - 1; edgesmooth_detail::InVerticalLine(m, x, j); --j)
        ++n;
    return edgesmooth_detail::CompressThinRun(n);
}

inline int32_t FindThinRunDown(const EdgeFlagMap& m, int32_t x, int32_t y) noexcept {
    if (m.Right(x - 1, y) || m.Anti(x - 1, y) || m.Below(x, y - 1) || m.Right(x, y) || m.Diag(x, y))
        return 0;
    int32_t n = 0;
    for (int32_t j = y + 1; edgesmooth_detail::InVerticalLine(m, x, j); ++j)
        ++n;
    return edgesmooth_detail::CompressThinRun(n);
}

inline bool IsIsolatedBlock(const EdgeFlagMap& m, RampDirection direction, int32_t x, int32_t y) noexcept {
    int32_t bx = 0, by = 0;
    switch (direction) {
    case kRampRight:
        if (x >= m.width - 1)
            return false;
        ++x;
        [[fallthrough]];
    case kRampLeft:
        if (m.Below(x, y) == m.Below(x, y - 1))
            return false;
        by = m.Below(x, y) ? y - 1 : y;
        bx = direction == kRampLeft ? x - 1 : x;
        break;
    case kRampDown:
        if (y >= m.height - 1)
            return false;
        ++y;
        [[fallthrough]];
    case kRampUp:
        if (m.Right(x, y) == m.Right(x - 1, y))
            return false;
        bx = m.Right(x, y) ? x - 1 : x;
        by = direction == kRampUp ? y - 1 : y;
        break;
    }
    return m.Right(bx - 1, by) && m.Right(bx - 1, by + 1) && m.Right(bx + 1, by) && m.Right(bx + 1, by + 1) &&
           m.Below(bx, by - 1) && m.Below(bx + 1, by - 1) && m.Below(bx, by + 1) && m.Below(bx + 1, by + 1) &&
           !m.Right(bx, by) && !m.Below(bx, by) && !m.Right(bx, by + 1) && !m.Below(bx + 1, by);
}

inline int64_t AdjustStrengthForShape(const EdgeFlagMap& m, RampDirection direction, int32_t run,
                                      int32_t opposite, int64_t strength, int32_t x, int32_t y) noexcept {
    if (run == 1 && opposite == 1) {
        if (IsIsolatedBlock(m, direction, x, y))
            return strength / 10;
        const bool alongRow = direction == kRampLeft || direction == kRampRight;
        const bool neighbour =
            alongRow ? IsIsolatedBlock(m, direction, x, y + 1) || IsIsolatedBlock(m, direction, x, y - 1)
                     : IsIsolatedBlock(m, direction, x + 1, y) || IsIsolatedBlock(m, direction, x - 1, y);
        if (neighbour)
            return strength * 36 / 100;
    }
    return strength * 100 * (2 * static_cast<int64_t>(run) - opposite) / (static_cast<int64_t>(run) * 140);
}
