#pragma once
// The record handed to every per-pixel pass, and the split of a pass's lines among the host's calls.
#include <cstdint>

#include "kernels/GaussTable.h"
#include "kernels/SelectionPlane.h"
#include "sdk/AE_Effect.h"

struct PassContext {
    PF_EffectWorld* destination = nullptr;
    PF_EffectWorld* source = nullptr;
    PF_Rect rect{};
    SelectionPlane plane;
    uint8_t clearUnselected = 0; // copies and conversions write (0, 0, 0, 0) to unselected pixels
    const void* lookupTable = nullptr;
    // Blur fields, channel order alpha, red, green, blue: Gaussian tables, or box radii and centre weight.
    GaussTable gauss[4];
    int32_t boxRadius[4] = {0, 0, 0, 0};
    uint32_t boxCenterWeight = 0;
};

// The pass signature of the host's iterate_generic.
using PassFunction = PF_Err (*)(void* context, A_long threadIndex, A_long i, A_long count);

// The lines [first, first + count) that call i of T takes out of N items.
struct Block {
    int32_t first;
    int32_t count;
};
Block SplitBlock(int32_t items, int32_t i, int32_t calls);

// The rectangle's size and the rows that call i of T treats. `rows.count` is 0 when the call has nothing
// to do; the result is PF_Err_INTERNAL_STRUCT_DAMAGED for a rectangle taller than 32-bit rows allow.
struct RectBlock {
    int32_t width = 0;
    int32_t height = 0;
    Block rows{0, 0};
};
PF_Err SplitRectRows(const PF_Rect& rect, A_long i, A_long calls, RectBlock* out);

// Runs a pass through the host's iterate_generic; the host's result is the pass's result.
PF_Err RunPass(const PF_InData* in_data, A_long iterations, PassContext* context, PassFunction pass);
// The same for a pass whose context is a record of its own (the key selection passes).
PF_Err RunPassOn(const PF_InData* in_data, A_long iterations, void* context, PassFunction pass);
