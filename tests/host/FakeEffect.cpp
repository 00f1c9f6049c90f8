#include "tests/host/FakeEffect.h"

#include <cstdio>
#include <cstring>

#include "sdk/AE_EffectSuites.h"
#include "sdk/SPBasic.h"

namespace tovrin::test::fake {

Behaviour behaviour;

namespace {

constexpr std::uint32_t kLive = 0x4C495645;
constexpr std::uint32_t kFlat = 0x464C4154;

PF_Err AddParams(PF_InData* in, PF_OutData* out) {
    // The texts live in buffers the effect overwrites afterwards: the host must have copied them.
    char label[16];
    char choices[16];
    std::strcpy(label, "Invert");
    std::strcpy(choices, "One|Two|Three");
    PF_ParamDef def;
    auto add = [&](A_long id, PF_ParamType type, const char* name) {
        def.param_type = type;
        def.uu.id = id;
        std::snprintf(def.name, sizeof(def.name), "%s", name);
        return in->inter.add_param(in->effect_ref, -1, &def);
    };
    std::memset(&def, 0, sizeof(def));
    def.u.sd.valid_max = def.u.sd.slider_max = 100;
    def.u.sd.value = def.u.sd.dephault = 10;
    if (PF_Err err = add(kAmount, PF_Param_SLIDER, "Amount"))
        return err;
    std::memset(&def, 0, sizeof(def));
    def.u.bd.u.nameptr = label;
    if (PF_Err err = add(kInvert, PF_Param_CHECKBOX, "Invert"))
        return err;
    std::memset(&def, 0, sizeof(def));
    def.u.pd.num_choices = 3;
    def.u.pd.value = def.u.pd.dephault = 2;
    def.u.pd.u.namesptr = choices;
    if (PF_Err err = add(kMode, PF_Param_POPUP, "Mode"))
        return err;
    std::memset(&def, 0, sizeof(def));
    def.u.fs_d.value = 0.5;
    def.u.fs_d.dephault = 0.5f;
    if (PF_Err err = add(kGain, PF_Param_FLOAT_SLIDER, "Gain"))
        return err;
    std::memset(&def, 0, sizeof(def));
    def.u.cd.value = def.u.cd.dephault = PF_Pixel{255, 10, 20, 30};
    if (PF_Err err = add(kTint, PF_Param_COLOR, "Tint"))
        return err;
    std::strcpy(label, "XXXXXX");
    std::strcpy(choices, "XXXXXXXXXXXXX");
    out->num_params = 6;
    return PF_Err_NONE;
}

PF_Handle NewRecord(PF_InData* in, std::uint32_t tag, std::uint32_t value) {
    PF_Handle h = in->utils->host_new_handle(8);
    if (h) {
        auto* p = static_cast<std::uint32_t*>(in->utils->host_lock_handle(h));
        p[0] = tag;
        p[1] = value;
        in->utils->host_unlock_handle(h);
    }
    return h;
}

PF_Err Sequence(PF_Cmd cmd, PF_InData* in, PF_OutData* out) {
    switch (cmd) {
    case PF_Cmd_SEQUENCE_SETUP:
        out->sequence_data = NewRecord(in, kLive, 1);
        return out->sequence_data ? PF_Err_NONE : PF_Err_OUT_OF_MEMORY;
    case PF_Cmd_SEQUENCE_FLATTEN: {
        auto* live = static_cast<std::uint32_t*>(*out->sequence_data);
        PF_Handle flat = NewRecord(in, kFlat, live[1] + 1);
        if (!flat)
            return PF_Err_OUT_OF_MEMORY;
        if (!behaviour.keepUnflatData)
            in->utils->host_dispose_handle(out->sequence_data);
        out->sequence_data = flat;
        return PF_Err_NONE;
    }
    case PF_Cmd_SEQUENCE_RESETUP: {
        std::uint32_t value = 1;
        if (in->sequence_data && in->utils->host_get_handle_size(in->sequence_data) >= 8) {
            auto* stored = static_cast<std::uint32_t*>(*in->sequence_data);
            if (stored[0] == kFlat)
                value = stored[1];
        }
        out->sequence_data = NewRecord(in, kLive, value);
        return out->sequence_data ? PF_Err_NONE : PF_Err_OUT_OF_MEMORY;
    }
    case PF_Cmd_SEQUENCE_SETDOWN:
        in->utils->host_dispose_handle(in->sequence_data);
        return PF_Err_NONE;
    default:
        return PF_Err_NONE;
    }
}

PF_Err Render(PF_InData* in, PF_ParamDef* params[], PF_LayerDef* output) {
    PF_ParamDef amount;
    if (PF_Err err = in->inter.checkout_param(in->effect_ref, 1, in->current_time, in->time_step,
                                              in->time_scale, &amount))
        return err;
    PF_Err err = in->inter.progress(in->effect_ref, 1, 2);
    if (!err && !behaviour.skipOutput)
        err = in->utils->copy(in->effect_ref, &params[0]->u.ld, output, nullptr, nullptr);
    if (!err && behaviour.writeInput)
        reinterpret_cast<PF_Pixel*>(params[0]->u.ld.data)[0].red ^= 1;
    if (!behaviour.forgetCheckin)
        if (PF_Err e = in->inter.checkin_param(in->effect_ref, &amount); !err)
            err = e;
    return err;
}

// The host releases the pre-render record outside any command, so the release function keeps the
// callbacks it needs.
PF_UtilCallbacks* gUtils = nullptr;

void DisposePreRender(void* data) {
    gUtils->host_dispose_handle(static_cast<PF_Handle>(data));
}

PF_Err SmartPreRender(PF_InData* in, PF_PreRenderExtra* extra) {
    gUtils = in->utils;
    PF_Handle record = NewRecord(in, kLive, 7);
    if (!record)
        return PF_Err_OUT_OF_MEMORY;
    extra->output->pre_render_data = record;
    extra->output->delete_pre_render_data_func = &DisposePreRender;
    PF_RenderRequest req = extra->input->output_request;
    req.preserve_rgb_of_zero_alpha = true;
    PF_CheckoutResult result;
    PF_Err err = extra->cb->checkout_layer(in->effect_ref, 0, 0, &req, in->current_time, in->time_step,
                                           in->time_scale, &result);
    if (!err) {
        extra->output->result_rect = result.result_rect;
        extra->output->max_result_rect = result.max_result_rect;
    }
    return err;
}

PF_Err SmartRender(PF_InData* in, PF_SmartRenderExtra* extra) {
    if (!extra->input->pre_render_data)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    PF_EffectWorld* input = nullptr;
    PF_EffectWorld* output = nullptr;
    PF_Err err = extra->cb->checkout_layer_pixels(in->effect_ref, 0, &input);
    if (!err)
        err = extra->cb->checkout_output(in->effect_ref, &output);
    if (!err) {
        // The World suite answers the format of the worlds the host handed over.
        const void* suite = nullptr;
        in->pica_basicP->AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &suite);
        PF_PixelFormat format = 0;
        static_cast<const PF_WorldSuite2*>(suite)->PF_GetPixelFormat(input, &format);
        in->pica_basicP->ReleaseSuite(kPFWorldSuite, kPFWorldSuiteVersion2);
        err = in->utils->copy(in->effect_ref, input, output, nullptr, nullptr);
    }
    if (err)
        return err;
    return extra->cb->checkin_layer_pixels(in->effect_ref, 0);
}

} // namespace

PF_Err Entry(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamDef* params[], PF_LayerDef* output,
             void* extra) {
    switch (cmd) {
    case PF_Cmd_GLOBAL_SETUP:
        out->my_version = kVersion;
        out->out_flags = PF_OutFlags(behaviour.outFlags);
        out->out_flags2 = PF_OutFlags2(kOutFlags2);
        return PF_Err_NONE;
    case PF_Cmd_ABOUT:
        in->utils->ansi.sprintf(out->return_msg, "%s %d.%d", "Fake", 1, 0);
        return PF_Err_NONE;
    case PF_Cmd_PARAMS_SETUP:
        return AddParams(in, out);
    case PF_Cmd_SEQUENCE_SETUP:
    case PF_Cmd_SEQUENCE_FLATTEN:
    case PF_Cmd_SEQUENCE_RESETUP:
    case PF_Cmd_SEQUENCE_SETDOWN:
        return Sequence(cmd, in, out);
    case PF_Cmd_RENDER:
        return Render(in, params, output);
    case PF_Cmd_SMART_PRE_RENDER:
        return SmartPreRender(in, static_cast<PF_PreRenderExtra*>(extra));
    case PF_Cmd_SMART_RENDER:
        return SmartRender(in, static_cast<PF_SmartRenderExtra*>(extra));
    default:
        return PF_Err_NONE;
    }
}

host::PiPL Pipl(A_u_long outFlags) {
    host::PiPLDescription d{"Fake",   "Tests",  "EntryPointFunc", "TEST FAKE",
                            {13, 28}, kVersion, outFlags,         kOutFlags2};
    return *host::ParsePiPL(host::MakeEffectPiPL(d));
}

} // namespace tovrin::test::fake
