#include "params/ParamList.h"

#include <algorithm>
#include <cstring>

#include "params/BaseParam.h"
#include "params/StoredDefaults.h"
#include "share/AEUtil/Allocator.h"

namespace {

constexpr A_long kAfterEffects = 0x46585443; // 'FXTC'

// Written only by the list build and the teardown, before and after every other command.
BaseParam* g_table[kParamSlots] = {};
// Position 0 stays null so that position p holds the definition with index p.
BaseParam* g_order[kParamSlots + 1] = {};
A_long g_counter = 1;

} // namespace

BaseParam* ParamById(A_long id) noexcept {
    return id >= 0 && id < kParamSlots ? g_table[id] : nullptr;
}

BaseParam* ParamAtPosition(A_long position) noexcept {
    return position >= 1 && position <= kParamSlots ? g_order[position] : nullptr;
}

PF_ParamIndex ParamIndexOf(A_long id) noexcept {
    const BaseParam* param = ParamById(id);
    return param ? param->index : 0;
}

A_long ParamIndexCounter() noexcept {
    return g_counter;
}

A_long TakeParamIndex() noexcept {
    return g_counter++;
}

void EmptyParamTable() noexcept {
    for (BaseParam*& slot : g_table) {
        AEUtil::Delete(slot);
        slot = nullptr;
    }
    std::fill(std::begin(g_order), std::end(g_order), nullptr);
    g_counter = 1;
}

void PlaceParam(A_long id, BaseParam* param) noexcept {
    if (id < 0 || id >= kParamSlots) {
        AEUtil::Delete(param);
        return;
    }
    AEUtil::Delete(g_table[id]);
    g_table[id] = param;
}

void FinishParamList() noexcept {
    A_long placed = 0;
    for (A_long id = 0; id < kParamSlots; ++id) {
        if (g_table[id]) {
            g_table[id]->id = id;
            g_order[1 + placed++] = g_table[id];
        }
    }
    std::stable_sort(g_order + 1, g_order + 1 + placed,
                     [](const BaseParam* a, const BaseParam* b) { return a->index < b->index; });
}

ParamTemplates MakeParamTemplates(bool renderEngine) noexcept {
    ParamTemplates t;
    std::memset(static_cast<void*>(&t.standard), 0, sizeof t.standard);
    t.standard.flags = PF_ParamFlag_COLLAPSE_TWIRLY;
    if (renderEngine)
        t.standard.ui_flags = PF_PUI_DISABLED;
    t.expandedTopic = t.standard;
    t.expandedTopic.flags &= ~PF_ParamFlag_COLLAPSE_TWIRLY;
    return t;
}

bool IsLegacyHost(const PF_InData* in_data) noexcept {
    if (in_data->appl_id != kAfterEffects)
        return false;
    return in_data->version.major < 12 || (in_data->version.major == 12 && in_data->version.minor <= 11);
}

PF_Err ParamsSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*) {
    char path[kStoredDefaultsPathSize];
    const char* file = nullptr;
    if (IsLegacyHost(in_data)) {
        EmptyStoredDefaultsSection();
    } else {
        if (StoredDefaultsPath(in_data, path))
            file = path;
        FillStoredDefaultsSection();
    }
    PF_Err err = PF_Err_NONE;
    for (A_long p = 1; p < g_counter && err == PF_Err_NONE; ++p) {
        BaseParam* param = ParamAtPosition(p);
        if (!param)
            break;
        err = param->AddToHost(in_data, param->id, file);
    }
    out_data->num_params = g_counter;
    return err;
}
