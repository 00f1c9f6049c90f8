#pragma once
// The host's colour conversion: hue 0..360 and lightness, saturation 0..1, each as 16.16 fixed point.
#include "sdk/AE_Effect.h"

namespace host {

void RGBtoHLS(const PF_Pixel& rgb, PF_Fixed hls[3]);

} // namespace host
