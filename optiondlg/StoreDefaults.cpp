#include "optiondlg/StoreDefaults.h"

#include "params/Controls.h"
#include "params/Registration.h"
#include "params/StoredDefaults.h"

void SaveAllDefaults(const char* path, const ParamGetter& getter) {
    if (!path)
        return;
    for (PF_ParamIndex index = 1; index < kParamCount; ++index) {
        const PF_ParamDef* fetched = getter.Fetched(index);
        WriteStoredDefault(path, ControlAt(index), fetched ? *fetched : RegisteredControl(index));
    }
}

void StoreCurrentDefaults(PF_InData* in_data, PF_ParamDef* params[]) {
    char path[kStoredDefaultsPathSize];
    if (!StoredDefaultsPath(in_data, path))
        return;
    GetParamFromArray getter(params);
    (void)ReadAllParams(nullptr, getter);
    SaveAllDefaults(path, getter);
}
