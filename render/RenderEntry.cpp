// The three render commands, each ending in one call of the render driver with a filled record.
#include "render/RenderCommands.h"

#include <algorithm>
#include <new>

#include "params/ParamReading.h"
#include "params/RenderParams.h"
#include "render/RenderDriver.h"
#include "share/AEUtil/AEWorldSuite.h"
#include "share/AEUtil/Allocator.h"
#include "share/AEUtil/HostApplication.h"

namespace {

// The host releases the pre-render record through this after the render.
void ReleasePreRenderData(void* data) {
    AEUtil::Delete(static_cast<RenderParams*>(data));
}

bool IsEmpty(const PF_LRect& r) {
    return r.left >= r.right || r.top >= r.bottom;
}

// An empty target becomes the source; an empty source changes nothing; else the bounding rectangle.
void UniteRects(PF_LRect& target, const PF_LRect& source) {
    if (IsEmpty(target)) {
        target = source;
        return;
    }
    if (IsEmpty(source))
        return;
    target.left = std::min(target.left, source.left);
    target.top = std::min(target.top, source.top);
    target.right = std::max(target.right, source.right);
    target.bottom = std::max(target.bottom, source.bottom);
}

// Checks in what a getter checked out, also when a later step raises (a refused world, say).
class CheckinOnExit {
public:
    explicit CheckinOnExit(GetParamByCheckout& getter) : getter_(getter) {}
    ~CheckinOnExit() {
        if (!done_) {
            try {
                (void)ReleaseAllParams(getter_);
            } catch (...) {
                // The raised failure is the one the host hears about.
            }
        }
    }
    CheckinOnExit(const CheckinOnExit&) = delete;
    CheckinOnExit& operator=(const CheckinOnExit&) = delete;
    PF_Err Release() {
        done_ = true;
        return ReleaseAllParams(getter_);
    }

private:
    GetParamByCheckout& getter_;
    bool done_ = false;
};

PF_Err QueryFormat(RenderParams& record) {
    PF_PixelFormat format = PF_PixelFormat_INVALID;
    const PF_Err err = AEUtil::QueryPixelFormat(record.input, &format);
    if (err == PF_Err_NONE)
        record.pixelFormat = static_cast<uint32_t>(format);
    return err;
}

} // namespace

PF_Err RenderClassic(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[], PF_LayerDef* output) {
    if (in_data->appl_id == AEUtil::kPremiere)
        return in_data->utils->copy(in_data->effect_ref, &params[0]->u.ld, output, nullptr, nullptr);

    RenderParams record;
    record.in_data = in_data;
    record.out_data = out_data;
    record.input = &params[0]->u.ld;
    record.output = output;
    record.area = in_data->extent_hint;

    // The getter keeps the records it checked out, so the release walk goes through the same getter.
    GetParamByCheckout getter(in_data);
    CheckinOnExit checkin(getter);
    PF_Err err = QueryFormat(record);
    if (err == PF_Err_NONE)
        err = ReadAllParams(&record, getter);
    if (err == PF_Err_NONE)
        err = RenderFrame(record);

    const PF_Err released = checkin.Release();
    return err != PF_Err_NONE ? err : released;
}

PF_Err RenderSmartPre(PF_InData* in_data, PF_OutData*, PF_PreRenderExtra* extra) {
    PF_RenderRequest request = extra->input->output_request;

    RenderParams* record = nullptr;
    try {
        record = AEUtil::New<RenderParams>();
    } catch (const std::bad_alloc&) {
        return PF_Err_OUT_OF_MEMORY;
    }
    extra->output->pre_render_data = record;
    extra->output->delete_pre_render_data_func = ReleasePreRenderData;

    GetParamByCheckout getter(in_data);
    CheckinOnExit checkin(getter);
    const PF_Err read = ReadAllParams(record, getter);
    (void)checkin.Release();
    if (read != PF_Err_NONE)
        return read;

    // The blur must see the colour under fully transparent pixels.
    request.preserve_rgb_of_zero_alpha = 1;
    PF_CheckoutResult result{};
    const PF_Err err = extra->cb->checkout_layer(in_data->effect_ref, 0, 0, &request, in_data->current_time,
                                                 in_data->time_step, in_data->time_scale, &result);
    UniteRects(extra->output->result_rect, result.result_rect);
    UniteRects(extra->output->max_result_rect, result.max_result_rect);
    return err;
}

PF_Err RenderSmart(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra) {
    auto* record = static_cast<RenderParams*>(extra->input->pre_render_data);
    if (!record)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    record->in_data = in_data;
    record->out_data = out_data;

    record->input = nullptr;
    record->output = nullptr;
    PF_Err err = extra->cb->checkout_layer_pixels(in_data->effect_ref, 0, &record->input);
    if (err == PF_Err_NONE)
        err = extra->cb->checkout_output(in_data->effect_ref, &record->output);
    if (record->input && record->output) {
        record->area = PF_Rect{0, 0, record->input->width, record->input->height};
        if (err != PF_Err_NONE)
            return err;
        err = QueryFormat(*record);
        if (err != PF_Err_NONE)
            return err;
        err = RenderFrame(*record);
    }
    if (err != PF_Err_NONE)
        return err;
    return extra->cb->checkin_layer_pixels(in_data->effect_ref, 0);
}
