#pragma once
// The frame every pass runs in, so that a pass is only its body. One call of a pass through the host's
// iterate_generic takes its block of the rectangle's rows (or columns), checks that the context's memory
// holds the rectangle, and keeps every exception inside the host's worker thread.
#include <cstdint>
#include <limits>
#include <new>

#include "kernels/PassContext.h"
#include "sdk/AE_Effect.h"

// Which lines of the rectangle the calls share out.
enum class SplitLines { Rows, Columns };

// What one call treats: the rectangle's size and the call's block of its rows or columns.
struct LineBlock {
    int32_t width = 0;
    int32_t height = 0;
    Block lines{0, 0};
};

// Call i of `calls` of a pass over context->rect (a null context: 512):
// - a call whose block is empty (an empty rectangle, or more calls than lines) answers 0 at once and looks
//   at nothing else, so it needs no memory at all; a rectangle beyond 32-bit sizes is 512;
// - `covered(block)` says whether the context's worlds, plane and tables hold the rectangle; 512 when not;
// - `body(block)` gives the call's result. Nothing may leave a host worker thread as an exception: an
//   allocation failure becomes PF_Err_OUT_OF_MEMORY, anything else 512.
template <SplitLines split = SplitLines::Rows, class Context, class Covered, class Body>
PF_Err RunLineBlock(const Context* context, A_long i, A_long calls, Covered&& covered, Body&& body) noexcept {
    if (!context)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    const PF_Rect& rect = context->rect;
    const int64_t width = static_cast<int64_t>(rect.right) - rect.left;
    const int64_t height = static_cast<int64_t>(rect.bottom) - rect.top;
    if (width <= 0 || height <= 0)
        return PF_Err_NONE;
    if (width > std::numeric_limits<int32_t>::max() || height > std::numeric_limits<int32_t>::max())
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    LineBlock block;
    block.width = static_cast<int32_t>(width);
    block.height = static_cast<int32_t>(height);
    block.lines = SplitBlock(split == SplitLines::Rows ? block.height : block.width, i, calls);
    if (block.lines.count == 0)
        return PF_Err_NONE;
    try {
        if (!covered(block))
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        return body(block);
    } catch (const std::bad_alloc&) {
        return PF_Err_OUT_OF_MEMORY;
    } catch (...) {
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
}

// The same for a body that treats one row at a time: row(block, y) for each row y (0 = the rectangle's top)
// of the call's block, top to bottom.
template <class Context, class Covered, class Row>
PF_Err ForEachRowOfBlock(const Context* context, A_long i, A_long calls, Covered&& covered,
                         Row&& row) noexcept {
    return RunLineBlock(context, i, calls, covered, [&row](const LineBlock& block) {
        for (int32_t y = block.lines.first; y < block.lines.first + block.lines.count; ++y)
            row(block, y);
        return PF_Err_NONE;
    });
}
