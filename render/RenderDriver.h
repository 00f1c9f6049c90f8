#pragma once
// The per-depth render drivers: from a filled record to a finished output world.
#include "params/RenderParams.h"
#include "sdk/AE_Effect.h"

PF_Err Render8(const RenderParams* record);
PF_Err Render16(const RenderParams* record);
PF_Err RenderFloat(const RenderParams* record);
