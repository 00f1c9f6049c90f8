#pragma once
// The option dialog's store: the current values of the controls become the stored defaults that new
// instances start from.
#include "params/ParamReading.h"
#include "sdk/AE_Effect.h"

// Reads every control's current value from the command's parameter array (stopping at the first error)
// and writes them all into the stored-defaults file beside the plug-in; nothing when the host reports no
// path for it.
void StoreCurrentDefaults(PF_InData* in_data, PF_ParamDef* params[]);

// Writes every control's stored default into `path`: the value the getter fetched, or the record as the
// parameter setup registered it when the getter fetched none. Nothing when `path` is null.
void SaveAllDefaults(const char* path, const ParamGetter& getter);
