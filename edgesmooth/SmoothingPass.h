#pragma once
// The smoothing pass over the edge flag map: ramps along the runs beside every step, the light blends
// where no run is found, and the corner and diagonal corrections. Colours are read from the source S;
// every blend reads and writes the target T, so blends that reach the same pixel compound in pass order.
//
// Every decision (which pixels a step blends, towards which colour, by how much) reads the map and the
// job's values alone, never a pixel. The decisions are written once over a "pass" P that either applies
// each blend at once (EdgePass, the plain pass) or, in a band of rows, applies it or writes it down for
// later (EdgeBandPass in SmoothingSchedule.h), so that bands of rows can be decided at the same time. The
// bands read the rules that look at a fixed neighbourhood from codes made 64 pixels at a time
// (SmoothCodedRows); the plain pass, the reference, follows the rule functions themselves.
#include <bit>
#include <cstdint>
#include <cstring>

#include "edgesmooth/CornerRules.h"
#include "edgesmooth/EdgeBlend.h"
#include "edgesmooth/EdgeDepth.h"
#include "edgesmooth/EdgeFlagMap.h"
#include "edgesmooth/EdgeImage.h"
#include "edgesmooth/NeighbourhoodCodes.h"
#include "edgesmooth/StepRuns.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The lone-pixel average of T(x, y) with its neighbours in S inside the image.
template <class Depth>
void AverageLonePixelOf(const EdgeImage<const typename Depth::Pixel>& source,
                        const EdgeImage<typename Depth::Pixel>& target, int32_t x, int32_t y,
                        typename Depth::LoneWeight loneWeight) noexcept {
    using Pixel = typename Depth::Pixel;
    const Pixel* neighbours[4];
    const int count = InsideNeighbours(source, x, y, neighbours);
    if (count > 0)
        AverageLonePixel(target.At(x, y), neighbours, count, loneWeight);
}

// The plain pass: each blend is applied to T when it is decided.
template <class D>
struct EdgePass {
    using Depth = D;
    using Pixel = typename Depth::Pixel;
    using Weight = typename Depth::Weight;
    EdgeFlagMap map;
    EdgeImage<const Pixel> source; // S
    EdgeImage<Pixel> target;       // T, the same size
    int64_t strength = 0;
    Weight lightWeight{};
    typename Depth::LoneWeight loneWeight{};

    // T(t) towards S(c); both lie inside the image.
    void Blend(EdgePoint t, EdgePoint c, Weight w) noexcept {
        BlendTowards(target.At(t.x, t.y), source.At(c.x, c.y), w);
    }
    void AverageLone(int32_t x, int32_t y) noexcept {
        AverageLonePixelOf<Depth>(source, target, x, y, loneWeight);
    }
};

namespace edgesmooth_detail {

template <class Depth>
using Weight = typename Depth::Weight;
template <class Depth>
using Weights = typename Depth::Weights;

template <class Depth>
Weight<Depth> Decrement(int32_t length, int64_t strength) noexcept {
    if constexpr (std::is_same_v<Weight<Depth>, float>)
        return RampDecrementFloat(length, strength);
    else
        return RampDecrement(length, strength);
}

// Every blend lands inside the image; the test guards the pass against any position it did not expect.
template <class P>
void BlendAt(P& p, EdgePoint t, EdgePoint c, Weight<typename P::Depth> w) noexcept {
    if (p.map.Contains(t.x, t.y) && p.map.Contains(c.x, c.y))
        p.Blend(t, c, w);
}

// Pulls T(q) back towards its own colour in S.
template <class P>
void Restore(P& p, EdgePoint q, Weight<typename P::Depth> w) noexcept {
    BlendAt(p, q, q, w);
}

template <class P>
void ApplyRamp(P& p, RampDirection direction, int32_t x, int32_t y,
               RampState<Weight<typename P::Depth>>& ramp) noexcept {
    using Depth = typename P::Depth;
    int32_t px = x, py = y, dx = 0, dy = 0;
    EdgePoint colour{x, y};
    switch (direction) {
    case kRampLeft:
        dx = -1;
        colour = {x + 1, y};
        break;
    case kRampRight:
        px = x + 1;
        dx = 1;
        break;
    case kRampUp:
        dy = -1;
        colour = {x, y + 1};
        break;
    case kRampDown:
        py = y + 1;
        dy = 1;
        break;
    }
    while (!ramp.done && p.map.Contains(px, py)) {
        const Weight<Depth> w = NextRampWeight(ramp);
        BlendAt(p, EdgePoint{px, py}, colour, w);
        px += dx;
        py += dy;
    }
}

// The ramp on one side of a step where RampMayStart allows one: along the run if there is one (weakened
// near tiny details), else along a one-pixel line ending at the step. Returns whether a ramp ran; `thin` is
// set for a line.
template <class P>
bool RampFromStep(P& p, RampDirection direction, int32_t x, int32_t y, bool& thin) noexcept {
    using Depth = typename P::Depth;
    const EdgeFlagMap& m = p.map;
    int32_t run = 0, opposite = 0;
    bool hasOpposite = false;
    switch (direction) {
    case kRampLeft:
        run = FindRunLeft(m, x, y);
        if ((hasOpposite = run > 0 && x - run > 0))
            opposite = FindRunRight(m, x - run - 1, y);
        break;
    case kRampRight:
        run = FindRunRight(m, x, y);
        if ((hasOpposite = run > 0 && x + run + 1 < m.width))
            opposite = FindRunLeft(m, x + run + 1, y);
        break;
    case kRampUp:
        run = FindRunUp(m, x, y);
        if ((hasOpposite = run > 0 && y - run > 0))
            opposite = FindRunDown(m, x, y - run - 1);
        break;
    case kRampDown:
        run = FindRunDown(m, x, y);
        if ((hasOpposite = run > 0 && y + run + 1 < m.height))
            opposite = FindRunUp(m, x, y + run + 1);
        break;
    }
    if (run > 0) {
        int64_t strength = p.strength;
        if (hasOpposite && opposite > 0)
            strength = AdjustStrengthForShape(m, direction, run, opposite, p.strength, x, y);
        auto ramp = StartRamp<Weight<Depth>>(Weights<Depth>::kLongRampStart, Decrement<Depth>(run, strength));
        ApplyRamp(p, direction, x, y, ramp);
        return true;
    }
    int32_t n = 0;
    switch (direction) {
    case kRampLeft:
        n = FindThinRunLeft(m, x, y);
        break;
    case kRampRight:
        n = FindThinRunRight(m, x, y);
        break;
    case kRampUp:
        n = FindThinRunUp(m, x, y);
        break;
    case kRampDown:
        n = FindThinRunDown(m, x, y);
        break;
    }
    if (n <= 0)
        return false;
    auto ramp = StartRamp<Weight<Depth>>(Weights<Depth>::kThinRampStart,
                                         static_cast<Weight<Depth>>(2 * Decrement<Depth>(n, p.strength)));
    ApplyRamp(p, direction, x, y, ramp);
    thin = true;
    return true;
}

// The ramp on one side of a step.
template <class P>
bool RampOneSide(P& p, RampDirection direction, int32_t x, int32_t y, bool& thin) noexcept {
    return RampMayStart(p.map, direction, x, y) && RampFromStep(p, direction, x, y, thin);
}

// One tracer: n from the map, then the positions P0, P1, … with the first ramp and, where the shape has
// one, the second in lockstep, until the first ramp is done. The walk also ends where it would leave the
// image (possible only at strengths far above the drivers').
template <class P>
bool RunTracer(P& p, const TracerShape& s, int32_t n, int32_t x, int32_t y) noexcept {
    using Depth = typename P::Depth;
    if (n < 1)
        return false;
    const Weight<Depth> d = Decrement<Depth>(n, p.strength);
    auto first = StartRamp<Weight<Depth>>(Weights<Depth>::kTracerFirstStart, d);
    auto second = StartRamp<Weight<Depth>>(Weights<Depth>::kTracerSecondStart, d);
    int32_t px = x + s.startX, py = y + s.startY;
    while (!first.done) {
        const EdgePoint target{px + s.targetX, py + s.targetY};
        const EdgePoint colour{px + s.colourX, py + s.colourY};
        const EdgePoint restore{px + s.restoreX, py + s.restoreY};
        if (!p.map.Contains(target.x, target.y) || !p.map.Contains(colour.x, colour.y) ||
            (s.restores && !p.map.Contains(restore.x, restore.y)))
            break;
        BlendAt(p, target, colour, NextRampWeight(first));
        if (s.restores && !second.done)
            Restore(p, restore, NextRampWeight(second));
        px += s.stepX;
        py += s.stepY;
    }
    return true;
}

// The tracers of a step where they run.
template <class P>
bool RunRowTracers(P& p, int32_t x, int32_t y) noexcept {
    bool applied = false;
    for (const TracerShape& s : kRowTracers)
        applied |= RunTracer(p, s, TraceRowTracer(p.map, s, x, y), x, y);
    return applied;
}

template <class P>
bool RunColumnTracers(P& p, int32_t x, int32_t y) noexcept {
    bool applied = false;
    for (const TracerShape& s : kColumnTracers)
        applied |= RunTracer(p, s, TraceColumnTracer(p.map, s, x, y), x, y);
    return applied;
}

template <class P>
bool TraceDiagonalsAcrossRow(P& p, int32_t x, int32_t y) noexcept {
    return RowTracersRun(p.map, x, y) && RunRowTracers(p, x, y);
}

template <class P>
bool TraceDiagonalsAcrossColumn(P& p, int32_t x, int32_t y) noexcept {
    return ColumnTracersRun(p.map, x, y) && RunColumnTracers(p, x, y);
}

template <class P>
void RestoreIf(P& p, const std::optional<EdgePoint>& q, Weight<typename P::Depth> w) noexcept {
    if (q)
        Restore(p, *q, w);
}

// The notch restorations: at most one pixel each, by one half.
template <class P>
void FixNotchRight(P& p, int32_t x, int32_t y) noexcept {
    using Depth = typename P::Depth;
    RestoreIf(p, NotchRightTarget(p.map, x, y), Weights<Depth>::kNotchRestore);
}
template <class P>
void FixNotchBelow(P& p, int32_t x, int32_t y) noexcept {
    using Depth = typename P::Depth;
    RestoreIf(p, NotchBelowTarget(p.map, x, y), Weights<Depth>::kNotchRestore);
}
template <class P>
void FixNotchCorner(P& p, int32_t x, int32_t y) noexcept {
    using Depth = typename P::Depth;
    RestoreIf(p, NotchCornerTarget(p.map, x, y), Weights<Depth>::kNotchRestore);
}

// The corner of a small feature, restored by three quarters.
template <class P>
void RestoreCorner(P& p, int32_t x, int32_t y) noexcept {
    using Depth = typename P::Depth;
    RestoreIf(p, CornerRestoreTarget(p.map, x, y), Weights<Depth>::kCornerRestore);
}

// One-pixel jogs, softened by one sixth towards the colour across them.
template <class P>
void SoftenJogs(P& p, int32_t x, int32_t y) noexcept {
    using Depth = typename P::Depth;
    const JogMoves jogs = SoftenJogMoves(p.map, x, y);
    for (int i = 0; i < jogs.count; ++i)
        BlendAt(p, jogs.moves[i].target, jogs.moves[i].colour, Weights<Depth>::kJogSoften);
}

template <class P>
void SmoothPixel(P& p, int32_t x, int32_t y, uint8_t bits) noexcept {
    const EdgeFlagMap& m = p.map;
    bool thin = false;
    if (bits & kEdgeRight) {
        const bool leftDone = RampOneSide(p, kRampLeft, x, y, thin);
        const bool rightDone = RampOneSide(p, kRampRight, x, y, thin);
        const bool traced = TraceDiagonalsAcrossRow(p, x, y);
        const bool crossed = (m.Anti(x, y) || m.Anti(x, y - 1)) && (m.Diag(x, y) || m.Diag(x, y - 1));
        if (!traced && !crossed) {
            if (!rightDone)
                BlendAt(p, EdgePoint{x + 1, y}, EdgePoint{x, y}, p.lightWeight);
            if (!leftDone)
                BlendAt(p, EdgePoint{x, y}, EdgePoint{x + 1, y}, p.lightWeight);
        }
        FixNotchRight(p, x, y);
    }
    if (bits & kEdgeBelow) {
        RampOneSide(p, kRampUp, x, y, thin);
        RampOneSide(p, kRampDown, x, y, thin);
        TraceDiagonalsAcrossColumn(p, x, y);
        FixNotchBelow(p, x, y);
        if (bits & kEdgeRight)
            FixNotchCorner(p, x, y);
    }
    if (!(bits & (kEdgeRight | kEdgeBelow)))
        return;
    // A pixel with a thin-line ramp is neither averaged nor corner-restored.
    if (!thin) {
        if (IsLonePixel(m, x, y))
            p.AverageLone(x, y);
        else
            RestoreCorner(p, x, y);
    }
    SoftenJogs(p, x, y);
}

// SmoothPixel with the rules that read a fixed neighbourhood taken from the pixel's codes, in the same
// order; for a pixel with a right or below step.
template <class P>
void SmoothCodedPixel(P& p, int32_t x, int32_t y, uint8_t bits, uint8_t steps, uint8_t fixes,
                      uint8_t jogs) noexcept {
    using Depth = typename P::Depth;
    constexpr Weight<Depth> notch = Weights<Depth>::kNotchRestore;
    bool thin = false;
    if (bits & kEdgeRight) {
        const bool leftDone = (steps & kCodeRampLeft) && RampFromStep(p, kRampLeft, x, y, thin);
        const bool rightDone = (steps & kCodeRampRight) && RampFromStep(p, kRampRight, x, y, thin);
        const bool traced = (steps & kCodeRowTracers) && RunRowTracers(p, x, y);
        if (!traced && (steps & kCodeLight)) {
            if (!rightDone)
                BlendAt(p, EdgePoint{x + 1, y}, EdgePoint{x, y}, p.lightWeight);
            if (!leftDone)
                BlendAt(p, EdgePoint{x, y}, EdgePoint{x + 1, y}, p.lightWeight);
        }
        switch ((fixes >> kFixNotchRightShift) & 3) {
        case 1:
            Restore(p, EdgePoint{x - 1, y}, notch);
            break;
        case 2:
            Restore(p, EdgePoint{x + 1, y - 1}, notch);
            break;
        case 3:
            Restore(p, EdgePoint{x - 1, y - 1}, notch);
            break;
        }
    }
    if (bits & kEdgeBelow) {
        if (steps & kCodeRampUp)
            RampFromStep(p, kRampUp, x, y, thin);
        if (steps & kCodeRampDown)
            RampFromStep(p, kRampDown, x, y, thin);
        if (steps & kCodeColumnTracers)
            RunColumnTracers(p, x, y);
        switch ((fixes >> kFixNotchBelowShift) & 3) {
        case 1:
            Restore(p, EdgePoint{x, y}, notch);
            break;
        case 2:
            Restore(p, EdgePoint{x - 1, y - 1}, notch);
            break;
        case 3:
            Restore(p, EdgePoint{x, y - 1}, notch);
            break;
        }
        if (bits & kEdgeRight) {
            switch ((fixes >> kFixNotchCornerShift) & 3) {
            case 1:
                Restore(p, EdgePoint{x + 1, y - 1}, notch);
                break;
            case 2:
                Restore(p, EdgePoint{x, y - 1}, notch);
                break;
            }
        }
    }
    if (!thin) {
        if (steps & kCodeLone)
            p.AverageLone(x, y);
        else if (const int corner = (fixes >> kFixCornerShift) & 3; corner != 0)
            Restore(p, corner == 1 ? EdgePoint{x + 1, y - 1} : EdgePoint{x, y},
                    Weights<Depth>::kCornerRestore);
    }
    for (unsigned j = jogs; j != 0; j &= j - 1) {
        const JogOffsets& o = kJogOffsets[std::countr_zero(j)];
        BlendAt(p, EdgePoint{x + o.targetX, y + o.targetY}, EdgePoint{x + o.colourX, y + o.colourY},
                Weights<Depth>::kJogSoften);
    }
}

} // namespace edgesmooth_detail

// The pixels of rows [first, end) in pass order: rows top to bottom; within a row, groups of four map
// bytes from the left, skipping empty groups.
template <class P>
void SmoothRows(P& p, int32_t first, int32_t end) noexcept {
    const EdgeFlagMap& m = p.map;
    for (int32_t y = first; y < end; ++y) {
        const uint8_t* row = m.Row(y);
        for (int32_t x0 = 0; x0 < m.width; x0 += 4) {
            // The group may end past the last column, inside the map's right border (zero bytes).
            uint32_t group;
            std::memcpy(&group, row + x0, 4);
            if (group == 0)
                continue;
            for (int32_t x = x0; x < x0 + 4 && x < m.width; ++x)
                if (row[x] != 0)
                    edgesmooth_detail::SmoothPixel(p, x, y, row[x]);
        }
    }
}

// Bit i for pixel i of 64 map bytes with a right or below step.
inline uint64_t SteppedPixels(const uint8_t* bytes) noexcept {
    uint64_t bits = 0;
    for (int g = 0; g < 8; ++g) {
        uint64_t eight;
        std::memcpy(&eight, bytes + 8 * g, 8);
        // Each byte's right or below bit as its lowest bit, then byte i's lowest bit to bit 56 + i.
        const uint64_t stepped = (eight | eight >> 1) & 0x0101010101010101ull;
        bits |= ((stepped * 0x0102040810204080ull) >> 56) << (8 * g);
    }
    return bits;
}

// Bit i for the pixels of a coded segment whose one piece of work is the lone-pixel average: no ramp,
// tracer or light blend, no restoration, no jog (most pixels of a grainy frame).
inline uint64_t LoneOnlyPixels(const SegmentCodes& codes) noexcept {
    uint64_t bits = 0;
#if defined(__SSE2__)
    for (int g = 0; g < kCodedPixels; g += 16) {
        const auto load = [g](const uint8_t* bytes) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + g));
        };
        const __m128i other = _mm_or_si128(_mm_xor_si128(load(codes.steps), _mm_set1_epi8(char(kCodeLone))),
                                           _mm_or_si128(load(codes.fixes), load(codes.jogs)));
        const int none = _mm_movemask_epi8(_mm_cmpeq_epi8(other, _mm_setzero_si128()));
        bits |= static_cast<uint64_t>(static_cast<uint16_t>(none)) << g;
    }
#else
    for (int i = 0; i < kCodedPixels; ++i)
        bits |= static_cast<uint64_t>(((codes.steps[i] ^ kCodeLone) | codes.fixes[i] | codes.jogs[i]) == 0)
                << i;
#endif
    return bits & codes.active;
}

// Segments with at most this many stepped pixels go through the rule functions.
constexpr int kFewSteps = 8;

// SmoothRows with the neighbourhood codes: the same blends in the same order.
template <class P>
void SmoothCodedRows(P& p, int32_t first, int32_t end) noexcept {
    const EdgeFlagMap& m = p.map;
    SegmentCodes codes;
    for (int32_t y = first; y < end; ++y) {
        const uint8_t* row = m.Row(y);
        for (int32_t x0 = 0; x0 < m.width; x0 += kCodedPixels) {
            if (x0 + kCodedPixels <= m.width) {
                // A segment with few steps costs less through the rule functions than coded whole.
                const uint64_t stepped = SteppedPixels(row + x0);
                if (std::popcount(stepped) <= kFewSteps) {
                    for (uint64_t a = stepped; a != 0; a &= a - 1) {
                        const int32_t x = x0 + std::countr_zero(a);
                        edgesmooth_detail::SmoothPixel(p, x, y, row[x]);
                    }
                    continue;
                }
            }
            CodeSegment(codes, m, x0, y);
            const uint64_t lone = LoneOnlyPixels(codes);
            for (uint64_t a = codes.active; a != 0;) {
                const int i = std::countr_zero(a);
                if ((lone >> i) & 1) {
                    // The averages up to the next pixel with other work touch nothing but their own pixels.
                    const uint64_t others = a & ~lone;
                    const uint64_t run = others == 0 ? a : a & ((others & -others) - 1);
                    p.AverageLoneRun(x0, y, run, lone);
                    a &= ~run;
                    continue;
                }
                edgesmooth_detail::SmoothCodedPixel(p, x0 + i, y, row[x0 + i], codes.steps[i], codes.fixes[i],
                                                    codes.jogs[i]);
                a &= a - 1;
            }
        }
    }
}

// The plain pass over the whole image.
template <class P>
void RunSmoothingPass(P& p) noexcept {
    SmoothRows(p, 0, p.map.height);
}
