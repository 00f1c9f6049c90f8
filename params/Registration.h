#pragma once
// What the parameter setup registered: each control's host record as it was last handed to the host.
#include "sdk/AE_Effect.h"

// The record of the control at host index `index` as the last parameter setup of this lifecycle built it
// (its value is the built-in or stored default it started from); all zero before the first setup.
const PF_ParamDef& RegisteredControl(PF_ParamIndex index) noexcept;
