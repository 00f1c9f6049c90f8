#pragma once
// The render driver: from a filled record to a finished output world, following the plan of the record
// (RenderPlan.h) at the depth of its pixel format.
#include "params/RenderParams.h"
#include "sdk/AE_Effect.h"

// Renders record.input into record.output. PF_Err_UNRECOGNIZED_PARAM_TYPE for a pixel format other than
// 8-bit, 16-bit and float; PF_Err_INTERNAL_STRUCT_DAMAGED, with nothing written, for a layer wider or
// taller than 32767 pixels; the first host error of a step otherwise. Raises the framework's exceptions
// (a refused world, memory) for the caller to convert.
PF_Err RenderFrame(const RenderParams& record);
