#pragma once
// Whether a run of pixels holds no transparent one (alpha 0, or ±0 in float), a vector of pixels at a
// time: the passes skip work that only transparent pixels need, and on opaque frames a pixel-by-pixel
// test cost as much as the work it saves.
#include <cstdint>

#include "sdk/AE_Effect.h"

bool NoneTransparent(const PF_Pixel8* pixels, int32_t n) noexcept;
bool NoneTransparent(const PF_Pixel16* pixels, int32_t n) noexcept;
bool NoneTransparent(const PF_PixelFloat* pixels, int32_t n) noexcept;
