// Classic and SmartFX renders on host-owned worlds, and the SmartFX callbacks.
#include <algorithm>
#include <cstring>
#include <utility>

#include "host/HostImpl.h"
#include "host/Unserved.h"

namespace host {
namespace {

bool Empty(const PF_LRect& r) {
    return r.left >= r.right || r.top >= r.bottom;
}

PF_LRect Intersect(const PF_LRect& a, const PF_LRect& b) {
    PF_LRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
    return Empty(r) ? PF_LRect{0, 0, 0, 0} : r;
}

short BitDepth(PF_PixelFormat format) {
    switch (format) {
    case PF_PixelFormat_ARGB64:
        return 16;
    case PF_PixelFormat_ARGB128:
        return 32;
    default:
        return 8;
    }
}

// Sets and clears the worlds of the command in progress.
struct RenderScope {
    Instance::Impl& impl;
    RenderScope(Instance::Impl& impl, World* input, World* output) : impl(impl) {
        std::lock_guard lock(impl.mutex);
        impl.input = input;
        impl.output = output;
    }
    ~RenderScope() {
        std::lock_guard lock(impl.mutex);
        impl.input = nullptr;
        impl.output = nullptr;
    }
};

void PrepareOutput(Host::Impl& h, World& output) {
    if (h.settings.poisonOutputBeforeRender)
        output.FillBytes(h.settings.poisonByte);
}

void CheckAfterRender(Host::Impl& h, const World& input, const std::vector<std::uint8_t>& before,
                      const World& output) {
    input.Check("after the render");
    output.Check("after the render");
    if (input.Pixels() != before)
        h.Violation("the render wrote into its input layer");
}

PF_Err CheckoutLayer(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_id,
                     const PF_RenderRequest* req, A_long, A_long, A_u_long, PF_CheckoutResult* result) {
    Instance* instance = InstanceOf(effect_ref, "checkout_layer");
    if (!instance || !req || !result)
        return PF_Err_BAD_CALLBACK_PARAM;
    Host::Impl& h = instance->host().impl();
    if (PF_Err err = h.faults.Hit(Fault::CheckoutLayer))
        return err;
    Instance::Impl& impl = instance->impl();
    std::lock_guard lock(impl.mutex);
    if (index != 0 || !impl.input)
        return PF_Err_INVALID_INDEX;
    if (checkout_id < 0 || impl.layerCheckouts.count(checkout_id)) {
        h.Violation("checkout_layer with checkout id " + std::to_string(checkout_id) +
                    " (ids must be unique and not negative)");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    impl.layerCheckouts[checkout_id] = LayerCheckout{index, *req, false};
    impl.layerRequests.push_back(*req);
    PF_LRect bounds{0, 0, impl.input->Width(), impl.input->Height()};
    std::memset(result, 0, sizeof(*result));
    result->result_rect = Intersect(req->rect, bounds);
    result->max_result_rect = bounds;
    result->par = PF_RationalScale{1, 1};
    result->ref_width = bounds.right;
    result->ref_height = bounds.bottom;
    return PF_Err_NONE;
}

PF_Err GuidMixInPtr(PF_ProgPtr effect_ref, A_u_long, const void*) {
    return InstanceOf(effect_ref, "GuidMixInPtr") ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
}

PF_Err CheckoutLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id, PF_EffectWorld** pixels) {
    Instance* instance = InstanceOf(effect_ref, "checkout_layer_pixels");
    if (!instance || !pixels)
        return PF_Err_BAD_CALLBACK_PARAM;
    Host::Impl& h = instance->host().impl();
    *pixels = nullptr;
    if (PF_Err err = h.faults.Hit(Fault::CheckoutLayerPixels))
        return err;
    Instance::Impl& impl = instance->impl();
    std::lock_guard lock(impl.mutex);
    auto it = impl.layerCheckouts.find(checkout_id);
    if (it == impl.layerCheckouts.end() || !impl.input) {
        h.Violation("checkout_layer_pixels of checkout id " + std::to_string(checkout_id) +
                    ", which pre-render did not check out");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    it->second.pixelsOut = true;
    *pixels = impl.input->get();
    return PF_Err_NONE;
}

PF_Err CheckinLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id) {
    Instance* instance = InstanceOf(effect_ref, "checkin_layer_pixels");
    if (!instance)
        return PF_Err_BAD_CALLBACK_PARAM;
    Host::Impl& h = instance->host().impl();
    Instance::Impl& impl = instance->impl();
    {
        std::lock_guard lock(impl.mutex);
        auto it = impl.layerCheckouts.find(checkout_id);
        if (it == impl.layerCheckouts.end() || !it->second.pixelsOut) {
            h.Violation("checkin_layer_pixels of checkout id " + std::to_string(checkout_id) +
                        ", whose pixels are not checked out");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        it->second.pixelsOut = false;
    }
    return h.faults.Hit(Fault::CheckinLayerPixels);
}

PF_Err CheckoutOutput(PF_ProgPtr effect_ref, PF_EffectWorld** output) {
    Instance* instance = InstanceOf(effect_ref, "checkout_output");
    if (!instance || !output)
        return PF_Err_BAD_CALLBACK_PARAM;
    *output = nullptr;
    Host::Impl& h = instance->host().impl();
    if (PF_Err err = h.faults.Hit(Fault::CheckoutOutput))
        return err;
    Instance::Impl& impl = instance->impl();
    std::lock_guard lock(impl.mutex);
    if (!impl.output)
        return PF_Err_BAD_CALLBACK_PARAM;
    impl.outputCheckedOut = true;
    *output = impl.output->get();
    return PF_Err_NONE;
}

} // namespace

PF_Err Instance::Render(World& input, World& output) {
    Host::Impl& h = host_.impl();
    RenderScope scope(*impl_, &input, &output);
    PrepareOutput(h, output);
    std::vector<std::uint8_t> before = input.Pixels();
    std::vector<PF_ParamDef> values = impl_->Values(currentTime_);
    std::vector<PF_ParamDef*> pointers = Pointers(values);
    PF_Err err = Send(PF_Cmd_RENDER, pointers.data(), output.get());
    CheckAfterRender(h, input, before, output);
    return err;
}

PF_Err Instance::SmartPreRender(World& input, PreRenderResult* result, const PF_LRect* request) {
    ReleasePreRenderData();
    RenderScope scope(*impl_, &input, nullptr);
    {
        std::lock_guard lock(impl_->mutex);
        impl_->layerCheckouts.clear();
        impl_->layerRequests.clear();
    }
    PF_PreRenderInput in{};
    in.output_request.rect = request ? *request : PF_LRect{0, 0, input.Width(), input.Height()};
    in.output_request.field = PF_Field_FRAME;
    in.output_request.channel_mask = PF_ChannelMask_ARGB;
    in.bitdepth = BitDepth(input.Format());
    PF_PreRenderOutput out{};
    PF_PreRenderCallbacks cb{&CheckoutLayer, &GuidMixInPtr};
    PF_PreRenderExtra extra{&in, &out, &cb};
    PF_Err err = Send(PF_Cmd_SMART_PRE_RENDER, nullptr, nullptr, &extra);
    impl_->preRenderData = out.pre_render_data;
    impl_->deletePreRenderData = out.delete_pre_render_data_func;
    if (out.pre_render_data && !out.delete_pre_render_data_func)
        host_.ReportViolation("pre-render handed the host data without a function to release it");
    if (result) {
        result->request = in.output_request;
        result->output = out;
        std::lock_guard lock(impl_->mutex);
        result->layerRequests = impl_->layerRequests;
    }
    if (err)
        ReleasePreRenderData(); // the render that would have used it will not come
    return err;
}

PF_Err Instance::SmartRender(World& input, World& output) {
    Host::Impl& h = host_.impl();
    RenderScope scope(*impl_, &input, &output);
    PrepareOutput(h, output);
    std::vector<std::uint8_t> before = input.Pixels();
    PF_SmartRenderInput in{};
    in.output_request.rect = PF_LRect{0, 0, output.Width(), output.Height()};
    in.output_request.field = PF_Field_FRAME;
    in.output_request.channel_mask = PF_ChannelMask_ARGB;
    in.bitdepth = BitDepth(input.Format());
    in.pre_render_data = impl_->preRenderData;
    PF_SmartRenderCallbacks cb{&CheckoutLayerPixels, &CheckinLayerPixels, &CheckoutOutput};
    PF_SmartRenderExtra extra{&in, &cb};
    PF_Err err = Send(PF_Cmd_SMART_RENDER, nullptr, nullptr, &extra);
    CheckAfterRender(h, input, before, output);
    {
        // Whatever the plug-in left checked out ends with the render, as in the real host.
        std::lock_guard lock(impl_->mutex);
        impl_->layerCheckouts.clear();
        impl_->outputCheckedOut = false;
    }
    ReleasePreRenderData();
    return err;
}

PF_Err Instance::SmartRenderFrame(World& input, World& output, PreRenderResult* result) {
    if (PF_Err err = SmartPreRender(input, result))
        return err;
    return SmartRender(input, output);
}

void Instance::ReleasePreRenderData() {
    void* data = std::exchange(impl_->preRenderData, nullptr);
    PF_DeletePreRenderDataFunc release = std::exchange(impl_->deletePreRenderData, nullptr);
    if (data && release)
        release(data);
}

} // namespace host
