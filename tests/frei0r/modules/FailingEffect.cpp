// An effect whose renders fail: one control, and every render answers out of memory, so that the frei0r
// module's handling of a failing effect can be seen through real applications and in-process.
#include <cstdio>
#include <cstring>

#include "sdk/AE_Effect.h"

extern "C" DllExport PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef*[],
                                           PF_LayerDef*, void*) {
    switch (cmd) {
    case PF_Cmd_GLOBAL_SETUP:
        out->my_version = FAILING_EFFECT_VERSION;
        out->out_flags = FAILING_EFFECT_OUT_FLAGS;
        out->out_flags2 = FAILING_EFFECT_OUT_FLAGS2;
        return PF_Err_NONE;
    case PF_Cmd_PARAMS_SETUP: {
        PF_ParamDef def;
        std::memset(&def, 0, sizeof(def));
        def.param_type = PF_Param_FLOAT_SLIDER;
        def.uu.id = 1;
        std::snprintf(def.name, sizeof(def.name), "%s", "Gain");
        def.u.fs_d.valid_max = def.u.fs_d.slider_max = 10;
        def.u.fs_d.value = def.u.fs_d.dephault = 1;
        out->num_params = 2;
        return in->inter.add_param(in->effect_ref, -1, &def);
    }
    case PF_Cmd_RENDER:
        return PF_Err_OUT_OF_MEMORY;
    default:
        return PF_Err_NONE;
    }
}
