#pragma once
// The record handed to every per-pixel pass, the split of a pass's lines among the host's calls, and the
// launch of a pass through the host's iterate_generic.
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
    // Blur passes: where set, every destination pixel the pass does not filter takes the fallback world's
    // value (the unselected world's for unselected pixels, when set), so no copy need prepare it; where
    // not, such pixels keep what the destination held.
    const PF_EffectWorld* fallback = nullptr;
    const PF_EffectWorld* unselectedFallback = nullptr;
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

// Runs a pass through the host's iterate_generic with `iterations` calls (-1: one per processor); the
// host's result is the pass's result. Without the host's iteration one call takes every line.
PF_Err RunPass(const PF_InData* in_data, A_long iterations, void* context, PassFunction pass);
