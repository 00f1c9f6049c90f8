#pragma once
// The render's step counter: reports progress to the host and carries a cancel back as the host's code.
#include <cstdint>

#include "sdk/AE_Effect.h"

struct ProgressCounter {
    const PF_InData* in_data = nullptr; // null: no progress calls
    PF_ProgPtr effect_ref = nullptr;
    int32_t total = 0; // steps
    int32_t done = 0;

    // Percent done = 100 for a total of 0, else done × 100 / total (integer), at most 100; the host's
    // progress callback is called with (effect_ref, percent, 100) and its result returned.
    PF_Err Report() const;
    // One step: done + 1, then Report.
    PF_Err Step();
};
