#pragma once
// The smoothing pass split among calls, with the bytes of the plain pass. A blend changes T(target) from
// T(target) and S(colour), and no decision reads T, so the result is the plain pass's when every target
// receives its blends in the plain pass's order. The rows go in bands, one per call, and all bands are
// decided at the same time: a band applies at once every blend whose target lies in its own rows, except
// in its first rows (its head), which the bands above reach with their down-going blends; those, and the
// blends that leave the band, are written down (EdgeBandPass). Afterwards each band applies, in its head,
// the blends of the bands above, then its own written ones; and in all its rows the blends of the bands
// below, in band order. A band that a band above reaches below its head (a ramp or a tracer longer than
// the head) is decided again with those blends applied first.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "edgesmooth/LoneAverage.h"
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

// Rows [first, end).
struct RowSpan {
    int32_t first = 0;
    int32_t end = 0;
    bool Holds(int32_t y) const noexcept { return y >= first && y < end; }
};

// Applies blends to T, reading colours from S.
template <class Depth>
struct EdgeBlendApplier {
    using Pixel = typename Depth::Pixel;
    using Weight = typename Depth::Weight;
    EdgeImage<const Pixel> source;
    EdgeImage<Pixel> target;
    LoneAverage<Depth> lone;

    void Apply(const EdgeBlendOp<Weight>& op) const noexcept {
        if (op.colourX == kLoneAverage)
            AverageLonePixelAt<Depth>(source, target, op.targetX, op.targetY, lone);
        else
            BlendTowards(target.At(op.targetX, op.targetY), source.At(op.colourX, op.colourY), op.weight);
    }
    void ApplyAll(const EdgeBlendList<Weight>& list) const noexcept {
        for (std::size_t k = 0; k < list.count; ++k)
            Apply(list.ops[k]);
    }
    void ApplyHeld(const EdgeBlendList<Weight>& list, RowSpan rows) const noexcept {
        for (std::size_t k = 0; k < list.count; ++k)
            if (rows.Holds(list.ops[k].targetY))
                Apply(list.ops[k]);
    }
};

// The decisions of one band: blends whose target lies in `direct` go straight to T, those in the rest of
// the band's rows (its head) to `head`, all others to `across`. T's rows of the band start as S's copy,
// made row by row as the blends first reach them.
template <class D>
struct EdgeBandPass {
    using Depth = D;
    using Pixel = typename Depth::Pixel;
    using Weight = typename Depth::Weight;
    EdgeFlagMap map;
    int64_t strength = 0;
    Weight lightWeight{};
    EdgeBlendApplier<Depth> applier;
    RowSpan own;           // the band's rows
    RowSpan direct;        // own.first + head rows .. own.end
    int32_t copiedEnd = 0; // T's rows [own.first, copiedEnd) hold S's copy
    EdgeBlendList<Weight>* head = nullptr;
    EdgeBlendList<Weight>* across = nullptr;
    // False when the band's lists are complete from an earlier decision: the bands below may be reading
    // them, so only T is written.
    bool record = true;
    // At 16 bits and float with AVX2: the band's own rows of products for the lone-pixel averages; else
    // none.
    std::conditional_t<std::is_same_v<Depth, EdgeDepth8>, void, LoneProductRows<Depth>>* products = nullptr;

    // Copies S's rows up to y (a row of the band) into T.
    void CopyThrough(int32_t y) noexcept {
        const std::size_t bytes = static_cast<std::size_t>(applier.source.width) * sizeof(Pixel);
        for (; copiedEnd <= y; ++copiedEnd)
            std::memcpy(applier.target.Row(copiedEnd), applier.source.Row(copiedEnd), bytes);
    }
    void Blend(EdgePoint t, EdgePoint c, Weight w) noexcept {
        if (direct.Holds(t.y)) {
            if (t.y >= copiedEnd)
                CopyThrough(t.y);
            BlendTowards(applier.target.At(t.x, t.y), applier.source.At(c.x, c.y), w);
        } else if (record) {
            (own.Holds(t.y) ? head : across)->Push(EdgeBlendOp<Weight>{t.x, t.y, c.x, c.y, w});
        }
    }
    // The pixel being smoothed lies in the band's rows.
    void AverageLone(int32_t x, int32_t y) noexcept {
        if (direct.Holds(y)) {
            if (y >= copiedEnd)
                CopyThrough(y);
            AverageLonePixelAt<Depth>(applier.source, applier.target, x, y, applier.lone);
        } else if (record) {
            head->Push(EdgeBlendOp<Weight>{x, y, kLoneAverage, 0, Weight{}});
        }
    }
    // AverageLone of pixels x0 + i for the bits i of `run`, in that order; `segment`: the pixels of the
    // 64 from x0 whose one piece of work is the average.
    void AverageLoneRun(int32_t x0, int32_t y, uint64_t run, uint64_t segment) noexcept {
        if (!direct.Holds(y)) {
            for (; run != 0; run &= run - 1)
                AverageLone(x0 + std::countr_zero(run), y);
            return;
        }
        if (y >= copiedEnd)
            CopyThrough(y);
        if constexpr (!std::is_same_v<Depth, EdgeDepth8>)
            if (products && y > 0 && y < applier.source.height - 1) {
                run =
                    products->AveragePairs(applier.source, applier.target, x0, y, run, segment, applier.lone);
                if (run == 0)
                    return;
            }
        AverageLonePixelsAt<Depth>(applier.source, applier.target, x0, y, run, applier.lone);
    }
};
