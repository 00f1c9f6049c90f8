#include "host/Instance.h"

#include <cstring>
#include <exception>
#include <sstream>

#include "host/HostImpl.h"

namespace host {

// ---- Parameters inside ------------------------------------------------------------------------------------

ParamSlot* Instance::Impl::Slot(PF_ParamIndex index) const {
    if (index < 0 || std::size_t(index) >= params.size())
        return nullptr;
    return params[std::size_t(index)].get();
}

void Instance::Impl::FillLayer(PF_ParamDef& def) const {
    std::memset(&def, 0, sizeof(def));
    def.param_type = PF_Param_LAYER;
    if (input)
        def.u.ld = *input->get();
    def.u.ld.dephault = PF_LayerDefault_MYSELF;
}

PF_Err Instance::Impl::AddParam(PF_ParamIndex index, const PF_ParamDef& def) {
    Host::Impl& h = self.host().impl();
    std::lock_guard lock(mutex);
    if (index != -1 && std::size_t(index) != params.size())
        return PF_Err_INVALID_INDEX;
    if (!std::memchr(def.name, 0, sizeof(def.name))) {
        h.Violation("add_param with a name that is not terminated within 32 characters");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    auto slot = std::make_unique<ParamSlot>();
    slot->def = def;
    // The definition's texts belong to the plug-in; the host keeps copies of its own.
    auto own = [&](const A_char*& text) {
        if (text) {
            slot->text = text;
            text = slot->text.c_str();
        }
    };
    switch (def.param_type) {
    case PF_Param_CHECKBOX:
        own(slot->def.u.bd.u.nameptr);
        break;
    case PF_Param_POPUP:
        own(slot->def.u.pd.u.namesptr);
        break;
    case PF_Param_BUTTON:
        own(slot->def.u.button_d.u.namesptr);
        break;
    default:
        break;
    }
    for (std::size_t i = 1; i < params.size(); ++i)
        if (params[i]->def.uu.id == def.uu.id) {
            h.Violation("add_param: parameter id " + std::to_string(def.uu.id) + " is used twice");
            break;
        }
    slot->enabled = (def.ui_flags & PF_PUI_DISABLED) == 0;
    slot->dephault = slot->def;
    params.push_back(std::move(slot));
    return PF_Err_NONE;
}

bool Instance::Impl::ValueAt(PF_ParamIndex index, A_long time, PF_ParamDef* param) const {
    ParamSlot* slot = Slot(index);
    if (!slot)
        return false;
    if (index == 0) {
        FillLayer(*param);
        return true;
    }
    *param = slot->def;
    if (!slot->keys.empty()) {
        // Before the first keyframe the first one holds; after it, the latest one at or before `time`.
        auto it = slot->keys.upper_bound(time);
        param->u = it == slot->keys.begin() ? it->second : std::prev(it)->second;
    }
    return true;
}

PF_Err Instance::Impl::Checkout(PF_ParamIndex index, A_long time, PF_ParamDef* param) {
    std::lock_guard lock(mutex);
    if (!ValueAt(index, time, param))
        return PF_Err_INVALID_INDEX;
    ++Slot(index)->outstanding;
    return PF_Err_NONE;
}

std::vector<PF_ParamDef> Instance::Impl::Values(A_long time) const {
    std::lock_guard lock(mutex);
    std::vector<PF_ParamDef> values(params.size());
    for (std::size_t i = 0; i < params.size(); ++i)
        ValueAt(PF_ParamIndex(i), time, &values[i]);
    return values;
}

PF_Err Instance::Impl::Checkin(PF_ParamDef* param) {
    std::lock_guard lock(mutex);
    ParamSlot* slot = nullptr;
    if (param->param_type == PF_Param_LAYER) {
        slot = params[0].get();
    } else {
        for (std::size_t i = 1; i < params.size() && !slot; ++i)
            if (params[i]->def.uu.id == param->uu.id && params[i]->def.param_type == param->param_type)
                slot = params[i].get();
    }
    if (slot && slot->outstanding > 0)
        --slot->outstanding;
    else
        ++unmatchedCheckins;
    return PF_Err_NONE;
}

PF_Err Instance::Impl::UpdateUI(PF_ParamIndex index, const PF_ParamDef& def) {
    std::lock_guard lock(mutex);
    ++updateParamUICalls;
    ParamSlot* slot = Slot(index);
    if (!slot || index == 0)
        return PF_Err_INVALID_INDEX;
    slot->def.ui_flags = def.ui_flags;
    slot->enabled = (def.ui_flags & PF_PUI_DISABLED) == 0;
    return PF_Err_NONE;
}

std::vector<PF_ParamDef*> Pointers(std::vector<PF_ParamDef>& values) {
    std::vector<PF_ParamDef*> pointers;
    for (PF_ParamDef& v : values)
        pointers.push_back(&v);
    return pointers;
}

// ---- Instance ---------------------------------------------------------------------------------------------

Instance::Instance(Host& host, std::shared_ptr<Plugin> plugin)
    : host_(host), plugin_(std::move(plugin)), impl_(std::make_unique<Impl>(*this)),
      currentTime_(host.settings().currentTime), timeStep_(host.settings().timeStep),
      timeScale_(host.settings().timeScale) {
    auto layer = std::make_unique<ParamSlot>();
    impl_->FillLayer(layer->def);
    layer->dephault = layer->def;
    impl_->params.push_back(std::move(layer));
    std::lock_guard lock(host_.impl().mutex);
    host_.impl().instances.insert(this);
    InstancesChanged();
}

Instance::~Instance() {
    ReleasePreRenderData();
    std::lock_guard lock(host_.impl().mutex);
    host_.impl().instances.erase(this);
    InstancesChanged();
}

PF_ProgPtr Instance::EffectRef() const {
    return ToEffectRef(&impl_->context);
}

void Instance::SetTime(A_long current, A_long step, A_u_long scale) {
    currentTime_ = current;
    timeStep_ = step;
    timeScale_ = scale;
}

PF_InData Instance::MakeInData() const {
    Host::Impl& h = host_.impl();
    const Settings& s = h.settings;
    PF_InData d{};
    d.inter = h.inter;
    d.utils = &h.utils;
    d.effect_ref = EffectRef();
    d.quality = s.quality;
    d.version = s.version;
    d.appl_id = s.applicationId;
    d.num_params = ParamCount();
    d.current_time = currentTime_;
    d.time_step = timeStep_;
    d.total_time = s.totalTime;
    d.local_time_step = timeStep_;
    d.time_scale = timeScale_;
    d.field = PF_Field_FRAME;
    if (impl_->input) {
        d.width = impl_->input->Width();
        d.height = impl_->input->Height();
        d.extent_hint = PF_LRect{0, 0, d.width, d.height};
    }
    d.downsample_x = s.downsampleX;
    d.downsample_y = s.downsampleY;
    d.pixel_aspect_ratio = PF_RationalScale{1, 1};
    d.in_flags = s.renderEngine ? PF_InFlag_PROJECT_IS_RENDER_ONLY : PF_InFlag_NONE;
    d.global_data = globalData_;
    d.sequence_data = sequenceData_;
    d.pica_basicP = &h.basic;
    return d;
}

PF_Err Instance::Send(PF_Cmd cmd, PF_ParamDef* params[], PF_LayerDef* output, void* extra, PF_OutData* out) {
    if (!plugin_)
        throw HostError("the instance has no plug-in to send command " + std::to_string(cmd) + " to");
    Host::Impl& h = host_.impl();
    PF_InData in = MakeInData();
    PF_OutData o{};
    o.global_data = globalData_;
    o.sequence_data = sequenceData_;
    o.num_params = ParamCount();
    ++impl_->activeCommands;
    PF_Err err;
    try {
        err = plugin_->Entry()(cmd, &in, &o, params, output, extra);
    } catch (const std::exception& e) {
        h.Violation(std::string("an exception left the entry point: ") + e.what());
        err = PF_Err_INTERNAL_STRUCT_DAMAGED;
    } catch (...) {
        h.Violation("an exception left the entry point");
        err = PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    if (--impl_->activeCommands == 0 && OutstandingCheckouts() > 0)
        h.Violation("command " + std::to_string(cmd) + " left " + std::to_string(OutstandingCheckouts()) +
                    " parameter checkout(s) without checkin");
    lastOut_ = o;
    if (out)
        *out = o;
    return err;
}

PF_Err Instance::About(std::string* message) {
    PF_OutData o{};
    PF_Err err = Send(PF_Cmd_ABOUT, nullptr, nullptr, nullptr, &o);
    if (message) {
        const char* end = static_cast<const char*>(std::memchr(o.return_msg, 0, sizeof(o.return_msg)));
        if (!end)
            host_.ReportViolation("About left return_msg unterminated");
        message->assign(static_cast<const char*>(o.return_msg),
                        end ? end : o.return_msg + sizeof(o.return_msg));
    }
    return err;
}

PF_Err Instance::GlobalSetup() {
    PF_OutData o{};
    PF_Err err = Send(PF_Cmd_GLOBAL_SETUP, nullptr, nullptr, nullptr, &o);
    globalData_ = o.global_data;
    const PiPL* pipl = plugin_->pipl();
    if (err || !pipl)
        return err;
    auto hex = [](A_u_long v) {
        std::ostringstream s;
        s << "0x" << std::hex << v;
        return s.str();
    };
    std::string disagreement;
    if (pipl->version && *pipl->version != o.my_version)
        disagreement += " version " + hex(o.my_version) + " (PiPL 'eVER' " + hex(*pipl->version) + ")";
    if (pipl->outFlags && *pipl->outFlags != A_u_long(o.out_flags))
        disagreement +=
            " out_flags " + hex(A_u_long(o.out_flags)) + " (PiPL 'eGLO' " + hex(*pipl->outFlags) + ")";
    if (pipl->outFlags2 && *pipl->outFlags2 != A_u_long(o.out_flags2))
        disagreement +=
            " out_flags2 " + hex(A_u_long(o.out_flags2)) + " (PiPL 'eGL2' " + hex(*pipl->outFlags2) + ")";
    if (!disagreement.empty())
        throw HostError("the host refuses plug-in '" + pipl->name + "': global setup answered" +
                        disagreement);
    return err;
}

PF_Err Instance::GlobalSetdown() {
    PF_Err err = Send(PF_Cmd_GLOBAL_SETDOWN);
    globalData_ = nullptr;
    return err;
}

PF_Err Instance::ParamsSetup() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->params.resize(1); // a new setup registers the list afresh
    }
    PF_OutData o{};
    PF_Err err = Send(PF_Cmd_PARAMS_SETUP, nullptr, nullptr, nullptr, &o);
    if (!err && o.num_params != ParamCount())
        host_.ReportViolation("PARAMS_SETUP: num_params is " + std::to_string(o.num_params) + " but " +
                              std::to_string(ParamCount()) + " parameters were added (with the layer)");
    return err;
}

PF_Err Instance::SequenceSetup() {
    PF_Handle before = sequenceData_;
    PF_OutData o{};
    PF_Err err = Send(PF_Cmd_SEQUENCE_SETUP, nullptr, nullptr, nullptr, &o);
    // A handle the plug-in hands over is the instance's from then on, even with an error.
    if (o.sequence_data != before)
        sequenceData_ = o.sequence_data;
    return err;
}

PF_Err Instance::SequenceSetdown() {
    PF_Err err = Send(PF_Cmd_SEQUENCE_SETDOWN);
    sequenceData_ = nullptr;
    return err;
}

PF_Err Instance::SequenceFlatten(std::vector<std::uint8_t>* flat) {
    PF_OutData o{};
    PF_Err err = Send(PF_Cmd_SEQUENCE_FLATTEN, nullptr, nullptr, nullptr, &o);
    if (err)
        return err;
    // From here the host keeps the flat data for the project; the unflat data was the plug-in's to free.
    sequenceData_ = o.sequence_data;
    if (flat)
        *flat = SequenceBytes();
    return err;
}

PF_Err Instance::SequenceResetup() {
    PF_Handle stored = sequenceData_;
    PF_OutData o{};
    PF_Err err = Send(PF_Cmd_SEQUENCE_RESETUP, nullptr, nullptr, nullptr, &o);
    bool replaced = o.sequence_data != stored;
    // The stored data is the host's: it goes once the plug-in has made its own record from it, or has
    // failed to. A plug-in that re-made its record in place keeps the stored handle.
    if (stored && (replaced || err) && host_.impl().handles.IsLive(stored))
        host_.impl().handles.Dispose(stored);
    if (replaced)
        sequenceData_ = o.sequence_data;
    else if (err)
        sequenceData_ = nullptr;
    return err;
}

PF_Err Instance::SequenceResetup(const std::vector<std::uint8_t>& stored) {
    Host::Impl& h = host_.impl();
    PF_Handle handle = h.handles.New(stored.size());
    if (!stored.empty())
        std::memcpy(*handle, stored.data(), stored.size());
    sequenceData_ = handle;
    return SequenceResetup();
}

PF_Err Instance::UpdateParamsUI() {
    std::vector<PF_ParamDef> values = impl_->Values(currentTime_);
    std::vector<PF_ParamDef*> pointers = Pointers(values);
    return Send(PF_Cmd_UPDATE_PARAMS_UI, pointers.data());
}

PF_Err Instance::UserChangedParam(PF_ParamIndex index) {
    std::vector<PF_ParamDef> values = impl_->Values(currentTime_);
    std::vector<PF_ParamDef*> pointers = Pointers(values);
    PF_UserChangedParamExtra extra{index};
    return Send(PF_Cmd_USER_CHANGED_PARAM, pointers.data(), nullptr, &extra);
}

PF_Err Instance::DoDialog() {
    std::vector<PF_ParamDef> values = impl_->Values(currentTime_);
    std::vector<PF_ParamDef*> pointers = Pointers(values);
    return Send(PF_Cmd_DO_DIALOG, pointers.data());
}

PF_Err Instance::QueryDynamicFlags() {
    return Send(PF_Cmd_QUERY_DYNAMIC_FLAGS);
}

PF_Err Instance::Apply() {
    if (PF_Err err = GlobalSetup())
        return err;
    if (PF_Err err = ParamsSetup())
        return err;
    return SequenceSetup();
}

// ---- Parameters -------------------------------------------------------------------------------------------

A_long Instance::ParamCount() const {
    std::lock_guard lock(impl_->mutex);
    return A_long(impl_->params.size());
}

const PF_ParamDef& Instance::Param(PF_ParamIndex index) const {
    std::lock_guard lock(impl_->mutex);
    ParamSlot* slot = impl_->Slot(index);
    if (!slot)
        throw HostError("no parameter at index " + std::to_string(index));
    return slot->def;
}

PF_ParamDef& Instance::MutableParam(PF_ParamIndex index) {
    return const_cast<PF_ParamDef&>(Param(index));
}

PF_ParamIndex Instance::IndexOfId(A_long id) const {
    std::lock_guard lock(impl_->mutex);
    for (std::size_t i = 1; i < impl_->params.size(); ++i)
        if (impl_->params[i]->def.uu.id == id)
            return PF_ParamIndex(i);
    return -1;
}

PF_ParamIndex Instance::IndexOfName(const std::string& name) const {
    std::lock_guard lock(impl_->mutex);
    for (std::size_t i = 1; i < impl_->params.size(); ++i)
        if (name == impl_->params[i]->def.name)
            return PF_ParamIndex(i);
    return -1;
}

bool Instance::IsEnabled(PF_ParamIndex index) const {
    std::lock_guard lock(impl_->mutex);
    ParamSlot* slot = impl_->Slot(index);
    if (!slot)
        throw HostError("no parameter at index " + std::to_string(index));
    return slot->enabled;
}

int Instance::UpdateParamUICalls() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->updateParamUICalls;
}

namespace {
PF_ParamDef& Typed(Instance& instance, PF_ParamIndex index, PF_ParamType type) {
    PF_ParamDef& def = instance.MutableParam(index);
    if (def.param_type != type)
        throw HostError("parameter " + std::to_string(index) + " has type " + std::to_string(def.param_type) +
                        ", not " + std::to_string(type));
    return def;
}
} // namespace

void Instance::SetSlider(PF_ParamIndex index, A_long value) {
    Typed(*this, index, PF_Param_SLIDER).u.sd.value = value;
}
void Instance::SetFloat(PF_ParamIndex index, double value) {
    Typed(*this, index, PF_Param_FLOAT_SLIDER).u.fs_d.value = value;
}
void Instance::SetCheckbox(PF_ParamIndex index, bool value) {
    Typed(*this, index, PF_Param_CHECKBOX).u.bd.value = value ? 1 : 0;
}
void Instance::SetPopup(PF_ParamIndex index, A_long value) {
    Typed(*this, index, PF_Param_POPUP).u.pd.value = value;
}
void Instance::SetColor(PF_ParamIndex index, PF_Pixel value) {
    Typed(*this, index, PF_Param_COLOR).u.cd.value = value;
}

void Instance::SetValueAt(PF_ParamIndex index, A_long time, const PF_ParamDefUnion& value) {
    std::lock_guard lock(impl_->mutex);
    ParamSlot* slot = impl_->Slot(index);
    if (!slot || index == 0)
        throw HostError("no parameter at index " + std::to_string(index));
    slot->keys[time] = value;
}

void Instance::ResetParams() {
    std::lock_guard lock(impl_->mutex);
    for (std::size_t i = 1; i < impl_->params.size(); ++i) {
        ParamSlot& slot = *impl_->params[i];
        slot.def.u = slot.dephault.u;
        slot.keys.clear();
    }
}

// ---- Bookkeeping ------------------------------------------------------------------------------------------

std::vector<std::uint8_t> Instance::SequenceBytes() const {
    if (!sequenceData_)
        return {};
    HandleTable& handles = host_.impl().handles;
    if (!handles.IsLive(sequenceData_))
        return {};
    std::size_t size = handles.Size(sequenceData_);
    auto* p = static_cast<const std::uint8_t*>(*sequenceData_);
    return std::vector<std::uint8_t>(p, p + size);
}

std::vector<std::pair<A_long, A_long>> Instance::ProgressCalls() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->progress;
}

int Instance::OutstandingCheckouts() const {
    std::lock_guard lock(impl_->mutex);
    int n = 0;
    for (const auto& slot : impl_->params)
        n += slot->outstanding;
    return n;
}

int Instance::UnmatchedCheckins() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->unmatchedCheckins;
}

int Instance::OutstandingLayerCheckouts() const {
    std::lock_guard lock(impl_->mutex);
    int n = 0;
    for (const auto& [id, c] : impl_->layerCheckouts)
        n += c.pixelsOut ? 1 : 0;
    return n;
}

std::string Instance::LeakReport() const {
    std::ostringstream s;
    if (int n = OutstandingCheckouts())
        s << n << " parameter checkout(s) not checked in\n";
    if (impl_->preRenderData)
        s << "pre-render data not released\n";
    return s.str();
}

} // namespace host
