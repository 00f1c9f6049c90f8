#pragma once
// The flat record of every parameter value plus the host records, worlds, pixel format and area of one
// render. The reading of the controls fills it through the fields the control table names (Controls.h);
// the render driver reads it.
#include <cstdint>

#include "sdk/AE_Effect.h"

struct KeyColorParams {
    uint8_t enable; // "k : Enable"
    PF_Pixel color; // "k : Color": alpha, red, green, blue
    double range;   // "k : Color Range", percent as the host holds it
};

struct RenderParams {
    double blurAmount = 0;           // "Blur Amount"
    double blurAspect = 0;           // "Blur Aspect"
    double brightness = 0;           // "Brightness"
    double brightnessGain = 8.0;     // brightness gain at full strength
    double brightnessExponent = 4.0; // brightness lift exponent
    uint8_t autoAlpha = 0;           // "Auto Alpha"
    double a = 0;                    // "A"
    double r = 0;                    // "R"
    double g = 0;                    // "G"
    double b = 0;                    // "B"
    KeyColorParams keys[4] = {};
    int32_t mode = 0;         // "Mode": 1 Normal, 2 Extract, 3 Disable All
    uint8_t invert = 0;       // "Invert"
    uint8_t keepDivision = 0; // "Keep Division"
    int32_t repeat = 1;       // "Blur Repeat Num"
    int32_t blurType = 0;     // "Blur Type": 1 Gaussian, 2 Box
    PF_InData* in_data = nullptr;
    PF_OutData* out_data = nullptr;
    PF_EffectWorld* input = nullptr;
    PF_EffectWorld* output = nullptr;
    uint32_t pixelFormat = static_cast<uint32_t>(PF_PixelFormat_INVALID);
    PF_Rect area = {0, 0, 0, 0};
};
