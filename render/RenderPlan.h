#pragma once
// What a render will do, decided from the parameter record alone: the blur lengths at this downsampling,
// which pixels take part, and which steps run. The render driver follows the plan; tests check it
// directly.
#include <cstdint>

#include "kernels/BlurSequence.h"
#include "params/RenderParams.h"
#include "sdk/AE_Effect.h"

// The four blur extents in the order alpha, red, green, blue: each channel's length plus the overall
// amount plus one, in the pixels of this render.
struct BlurExtents {
    double alpha;
    double red;
    double green;
    double blue;
};

// An enabled key colour: its colour and its range as a fraction.
struct PlannedKey {
    PF_Pixel color;
    double range;
};

struct RenderPlan {
    // False: one host copy of the input to the output is the whole render.
    bool needsWork = false;
    BlurExtents extents{};

    // Keyed: the enabled key colours (in control order) choose the pixels that take part, inverted when
    // asked. Not keyed (no key enabled, or Disable All): every pixel takes part.
    bool keyed = false;
    PlannedKey keys[4] = {};
    int32_t keyCount = 0;
    bool invertKeys = false;

    // Stair steps are smoothed before small blurs: the smallest extent lies between 2 and 15.
    bool smoothEdges = false;
    // Brightness: strength as a fraction, gain at full strength and lift exponent.
    bool brighten = false;
    double brightness = 0;
    double brightnessGain = 0;
    double brightnessExponent = 0;
    // The blur's fused passes look the brightened colours up as they read the image: no step of its own.
    bool brightnessInBlur = false;

    // 8-bit layers are converted to 16 bits for the blur and back.
    bool blurInSixteenBits = false;
    // The blur: Gaussian or box; confined (Keep Division, or not keyed) or spanning; the extents as
    // lengths; aspect and repeats as the controls say.
    BlurOptions blur;

    // Extract: unselected pixels become transparent at the end.
    bool extract = false;

    // Working worlds of the output's size the render needs: in the layer's format (for the masked copy
    // the smoothing works on, its result, the brightness step's result and the blur's scratch), and in
    // 16-bit form for 8-bit layers (the blur's source, output and scratch). A blur of one repeat whose
    // passes run fused needs none (BlurLayerWorlds).
    int32_t layerWorlds = 0;
    int32_t sixteenBitWorlds = 0;
    // 16-bit and float: the blur takes a layer-format world as its scratch.
    bool blurScratch = false;
};

// The plan for a record whose pixel format is 8-bit, 16-bit or float, at the host's downsampling. Lengths
// are scaled by the smaller factor and rounded half up (trunc(v × scale + 0.5)).
RenderPlan PlanRender(const RenderParams& params, PF_RationalScale downsampleX, PF_RationalScale downsampleY);
