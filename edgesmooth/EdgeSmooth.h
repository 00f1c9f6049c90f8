#pragma once
// The edge-smoothing engine: removes stair-step aliasing from a working buffer before a small blur.
// The engine reads one world and writes a second one of the same size.
#include <cstdint>

#include "sdk/AE_Effect.h"

// The job a render driver hands to the engine. The defaults are the values every driver uses.
struct EdgeSmoothJob {
    int32_t threshold = 10;                // colour-difference threshold in 8-bit channel units
    int32_t strength = 70;                 // scales every blend weight; 0 makes the output a plain copy
    const PF_InData* in_data = nullptr;    // effect reference and suite access
    PF_EffectWorld* source = nullptr;      // read only
    PF_EffectWorld* destination = nullptr; // written
    PF_PixelFormat pixelFormat = 0;        // 'argb', 'ae16' or 'ae32'
};

// Runs one job at the depth its pixel format names: 514 for another format, 516 for worlds of different
// sizes or a negative strength. The work is shared among the host's iterate_generic calls (row bands for
// the edge map, then one band of rows per call for the smoothing and the destination's copy of the source)
// and gives the same bytes for any number of calls. Host errors (the copy of a job with strength 0, the flag
// map's world, the memory for the blends, iterate_generic) are returned unchanged; the destination's content
// is then undefined. A suite the host cannot supply raises the framework's suite failure.
PF_Err SmoothEdges(const EdgeSmoothJob* job);

PF_Err SmoothEdges8(const EdgeSmoothJob* job);
PF_Err SmoothEdges16(const EdgeSmoothJob* job);
PF_Err SmoothEdgesFloat(const EdgeSmoothJob* job);
