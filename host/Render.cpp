// Classic and SmartFX renders on host-owned worlds, and the SmartFX callbacks.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

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

// What a strict host does around a render: outputs filled with the poison byte before it, the input's
// bytes copied before and compared after, the guards of both worlds checked after. A production host does
// none of it and keeps no copy.
class RenderCheck {
public:
    RenderCheck(Host::Impl& h, World& input, World& output) : h_(h), input_(input), output_(output) {
        if (!h.settings.strict)
            return;
        if (h.settings.poisonOutputBeforeRender)
            output.FillBytes(h.settings.poisonByte);
        try {
            h.ChargeHostMemory();
            before_ = input.Pixels();
        } catch (const std::bad_alloc&) {
            throw HostError("the host ran out of memory for the copy of the input layer that a strict host "
                            "compares after the render; the effect was not asked to render");
        }
        taken_ = true;
    }
    void After() const {
        if (!taken_)
            return;
        input_.Check("after the render");
        output_.Check("after the render");
        // Row by row against the copy: the check itself needs no memory.
        std::size_t line = std::size_t(input_.Width()) * std::size_t(input_.PixelSize());
        for (A_long y = 0; y < input_.Height(); ++y)
            if (std::memcmp(input_.Row(y), before_.data() + line * std::size_t(y), line) != 0) {
                h_.Violation("the render wrote into its input layer");
                return;
            }
    }

private:
    Host::Impl& h_;
    const World& input_;
    const World& output_;
    std::vector<std::uint8_t> before_;
    bool taken_ = false;
};

// The host's own memory running out outside any callback (its records of the render) is the host's
// failure, said so.
[[noreturn]] void HostOutOfMemory(const char* during) {
    throw HostError(std::string("the host ran out of memory ") + during);
}

PF_Err CheckoutLayer(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long checkout_id,
                     const PF_RenderRequest* req, A_long, A_long, A_u_long, PF_CheckoutResult* result) {
    return Guarded("checkout_layer", [&]() -> PF_Err {
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
    });
}

PF_Err GuidMixInPtr(PF_ProgPtr effect_ref, A_u_long, const void*) {
    return Guarded("GuidMixInPtr", [&]() -> PF_Err {
        return InstanceOf(effect_ref, "GuidMixInPtr") ? PF_Err_NONE : PF_Err_BAD_CALLBACK_PARAM;
    });
}

PF_Err CheckoutLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id, PF_EffectWorld** pixels) {
    return Guarded("checkout_layer_pixels", [&]() -> PF_Err {
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
    });
}

PF_Err CheckinLayerPixels(PF_ProgPtr effect_ref, A_long checkout_id) {
    return Guarded("checkin_layer_pixels", [&]() -> PF_Err {
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
    });
}

PF_Err CheckoutOutput(PF_ProgPtr effect_ref, PF_EffectWorld** output) {
    return Guarded("checkout_output", [&]() -> PF_Err {
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
    });
}

} // namespace

PF_Err Instance::Render(World& input, World& output) {
    RenderScope scope(*impl_, &input, &output);
    RenderCheck check(host_.impl(), input, output);
    PF_Err err;
    try {
        std::vector<PF_ParamDef> values = impl_->Values(currentTime_);
        std::vector<PF_ParamDef*> pointers = Pointers(values);
        err = Send(PF_Cmd_RENDER, pointers.data(), output.get());
    } catch (const std::bad_alloc&) {
        HostOutOfMemory("preparing the render");
    }
    check.After();
    return err;
}

PF_Err Instance::SmartPreRender(World& input, PreRenderResult* result, const PF_LRect* request) {
    ReleasePreRenderData();
    RenderScope scope(*impl_, &input, nullptr);
    // Whatever happens here, pre-render data that no render will use goes back to the plug-in.
    struct ReleaseUnlessKept {
        Instance& self;
        bool keep = false;
        ~ReleaseUnlessKept() {
            if (!keep)
                self.ReleasePreRenderData();
        }
    } release{*this};
    try {
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
        release.keep = err == PF_Err_NONE; // after an error, the render that would use it will not come
        return err;
    } catch (const std::bad_alloc&) {
        HostOutOfMemory("during the pre-render");
    }
}

PF_Err Instance::SmartRender(World& input, World& output) {
    RenderScope scope(*impl_, &input, &output);
    // The render ends what pre-render began, on every path: the plug-in's checkouts and its data.
    struct EndRender {
        Instance& self;
        ~EndRender() {
            {
                std::lock_guard lock(self.impl().mutex);
                self.impl().layerCheckouts.clear();
                self.impl().outputCheckedOut = false;
            }
            self.ReleasePreRenderData();
        }
    } end{*this};
    RenderCheck check(host_.impl(), input, output);
    PF_SmartRenderInput in{};
    in.output_request.rect = PF_LRect{0, 0, output.Width(), output.Height()};
    in.output_request.field = PF_Field_FRAME;
    in.output_request.channel_mask = PF_ChannelMask_ARGB;
    in.bitdepth = BitDepth(input.Format());
    in.pre_render_data = impl_->preRenderData;
    PF_SmartRenderCallbacks cb{&CheckoutLayerPixels, &CheckinLayerPixels, &CheckoutOutput};
    PF_SmartRenderExtra extra{&in, &cb};
    PF_Err err;
    try {
        err = Send(PF_Cmd_SMART_RENDER, nullptr, nullptr, &extra);
    } catch (const std::bad_alloc&) {
        HostOutOfMemory("during the render");
    }
    check.After();
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
