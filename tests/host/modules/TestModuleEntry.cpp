// The entry point of the small plug-in files the loading tests use: it answers global setup with the
// flags it was built with, which may disagree with its PiPL.
#include "sdk/AE_Effect.h"

extern "C" DllExport PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData*, PF_OutData* out, PF_ParamDef*[],
                                           PF_LayerDef*, void*) {
    if (cmd == PF_Cmd_GLOBAL_SETUP) {
        out->my_version = TEST_MODULE_VERSION;
        out->out_flags = TEST_MODULE_OUT_FLAGS;
        out->out_flags2 = TEST_MODULE_OUT_FLAGS2;
    }
    return PF_Err_NONE;
}
