#pragma once
// The smoothing pass split among calls, with the bytes of the plain pass. A blend changes T(target) from
// T(target) and S(colour), so two blends commute unless they reach the same target, and the result is
// the plain pass's when every target receives its blends in the plain pass's order. So the rows go in
// chunks; within a chunk, call i decides the pixels of its band of rows and writes the blends down in
// pass order (EdgeRecorder), and then call p applies every blend whose target row lies in its band: first
// those written by the calls above it, then its own, then those of the calls below, each in the order it
// was written. Chunks follow each other. Bands of a chunk and the order inside a band both follow the
// pass order, so each target sees its blends in that order whatever the number of calls.
#include <cstddef>
#include <cstdint>
#include <limits>

#include "edgesmooth/SmoothingPass.h"

// One blend written down: T(target) towards S(colour) by weight, or, with colourX kLoneAverage, the
// lone-pixel average of T(target).
template <class Weight>
struct EdgeBlendOp {
    int32_t targetX;
    int32_t targetY;
    int32_t colourX;
    int32_t colourY;
    Weight weight;
};
constexpr int32_t kLoneAverage = -1;

// Blends written into memory the caller provides. A list that runs out of room keeps what fits and says
// so: the caller gives it more room and decides the band again.
template <class Weight>
struct EdgeBlendList {
    EdgeBlendOp<Weight>* ops = nullptr;
    std::size_t capacity = 0;
    std::size_t count = 0;
    bool overflowed = false;

    void Push(const EdgeBlendOp<Weight>& op) noexcept {
        if (count < capacity)
            ops[count++] = op;
        else
            overflowed = true;
    }
    void Clear() noexcept {
        count = 0;
        overflowed = false;
    }
};

// Target rows [first, end) of a band; the first band of a chunk also takes every row above the chunk and
// the last every row below it (blends may reach that far), so every row belongs to one band.
struct TargetRows {
    int32_t first = std::numeric_limits<int32_t>::min();
    int32_t end = std::numeric_limits<int32_t>::max();
    bool Holds(int32_t y) const noexcept { return y >= first && y < end; }
};

// The decisions of one band, written down: blends whose target lies in the band's own rows go to `own`,
// the others to `across`.
template <class D>
struct EdgeRecorder {
    using Depth = D;
    using Weight = typename Depth::Weight;
    EdgeFlagMap map;
    int64_t strength = 0;
    Weight lightWeight{};
    TargetRows rows;
    EdgeBlendList<Weight>* own = nullptr;
    EdgeBlendList<Weight>* across = nullptr;

    void Blend(EdgePoint t, EdgePoint c, Weight w) noexcept {
        (rows.Holds(t.y) ? own : across)->Push(EdgeBlendOp<Weight>{t.x, t.y, c.x, c.y, w});
    }
    // The pixel being smoothed lies in the band's rows.
    void AverageLone(int32_t x, int32_t y) noexcept {
        own->Push(EdgeBlendOp<Weight>{x, y, kLoneAverage, 0, Weight{}});
    }
};

// Applies written blends to T, reading colours from S.
template <class Depth>
struct EdgeBlendApplier {
    using Pixel = typename Depth::Pixel;
    using Weight = typename Depth::Weight;
    EdgeImage<const Pixel> source;
    EdgeImage<Pixel> target;
    typename Depth::LoneWeight loneWeight{};

    void Apply(const EdgeBlendOp<Weight>& op) const noexcept {
        if (op.colourX == kLoneAverage)
            AverageLonePixelOf<Depth>(source, target, op.targetX, op.targetY, loneWeight);
        else
            BlendTowards(target.At(op.targetX, op.targetY), source.At(op.colourX, op.colourY), op.weight);
    }
    void ApplyAll(const EdgeBlendList<Weight>& list) const noexcept {
        for (std::size_t k = 0; k < list.count; ++k)
            Apply(list.ops[k]);
    }
    void ApplyHeld(const EdgeBlendList<Weight>& list, TargetRows rows) const noexcept {
        for (std::size_t k = 0; k < list.count; ++k)
            if (rows.Holds(list.ops[k].targetY))
                Apply(list.ops[k]);
    }
};
