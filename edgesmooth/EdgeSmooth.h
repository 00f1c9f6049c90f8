#pragma once
// The edge-smoothing engine: removes stair-step aliasing from a working buffer before a small blur.
// The engine reads one world and writes a second one of the same size.
#include <cstdint>

#include "sdk/AE_Effect.h"

// The job a render driver hands to the engine, filled on the driver's stack. The defaults are the values
// every driver uses; only the three pointers and the pixel format differ between calls.
struct EdgeSmoothJob {
    int32_t threshold = 10;     // colour-difference threshold in 8-bit channel units
    int32_t strength = 70;      // scales every blend weight; 0 makes the output a plain copy
    int32_t rampShaping = 0;    // 0: linear ramps (the only shape this engine runs)
    int32_t mode = 0;           // 0: the only engine path
    int32_t referenceRed = 255; // reference colour, 0..255; read only by other modes
    int32_t referenceGreen = 255;
    int32_t referenceBlue = 255;
    int32_t colorTolerance = 0; // in 8-bit channel units; read only by other modes
    int32_t subMode = 0;        // refines a non-zero mode
    int32_t reserved1 = 0;
    int32_t reserved2 = 0;
    const PF_InData* in_data = nullptr;    // effect reference and suite access
    PF_EffectWorld* source = nullptr;      // read only
    PF_EffectWorld* destination = nullptr; // written
    PF_PixelFormat pixelFormat = 0;        // 'argb', 'ae16' or 'ae32'
};

// Runs one job at the depth its pixel format names: 514 for another format, 516 for worlds of different
// sizes or a job this engine does not run (non-zero mode, sub-mode or ramp shaping, negative strength);
// host errors of the copy and of the flag map's world are returned unchanged. A suite the host cannot
// supply raises the framework's suite failure.
PF_Err SmoothEdges(const EdgeSmoothJob* job);

PF_Err SmoothEdges8(const EdgeSmoothJob* job);
PF_Err SmoothEdges16(const EdgeSmoothJob* job);
PF_Err SmoothEdgesFloat(const EdgeSmoothJob* job);
