#include "host/Faults.h"

namespace host {

const char* FaultName(Fault f) {
    switch (f) {
    case Fault::NewHandle:
        return "new handle";
    case Fault::LockHandle:
        return "lock handle";
    case Fault::NewWorld:
        return "new world";
    case Fault::AddParam:
        return "add_param";
    case Fault::CheckoutParam:
        return "checkout_param";
    case Fault::CheckinParam:
        return "checkin_param";
    case Fault::CheckoutLayer:
        return "checkout_layer";
    case Fault::CheckoutLayerPixels:
        return "checkout_layer_pixels";
    case Fault::CheckoutOutput:
        return "checkout_output";
    case Fault::CheckinLayerPixels:
        return "checkin_layer_pixels";
    case Fault::Copy:
        return "copy";
    case Fault::CopyHQ:
        return "copy_hq";
    case Fault::RGBtoHLS:
        return "RGBtoHLS";
    case Fault::IterateGeneric:
        return "iterate_generic";
    case Fault::Progress:
        return "progress";
    case Fault::UpdateParamUI:
        return "PF_UpdateParamUI";
    case Fault::HostMemory:
        return "host memory";
    case Fault::Count:
        break;
    }
    return "?";
}

PF_Err DefaultFaultCode(Fault f) {
    switch (f) {
    case Fault::NewHandle:
    case Fault::LockHandle:
    case Fault::NewWorld:
    case Fault::AddParam:
    case Fault::HostMemory:
        return PF_Err_OUT_OF_MEMORY;
    case Fault::Progress:
        return PF_Interrupt_CANCEL;
    default:
        return PF_Err_BAD_CALLBACK_PARAM;
    }
}

std::size_t FaultPlan::ThisThreadShard() {
    static std::atomic<std::size_t> next{0};
    thread_local const std::size_t shard = next.fetch_add(1, std::memory_order_relaxed) % kShards;
    return shard;
}

void FaultPlan::Inject(Fault f, int nth, PF_Err code, bool sticky) {
    std::lock_guard lock(mutex_);
    auto i = static_cast<std::size_t>(f);
    triggers_[i] = Trigger{nth, 0, code, sticky};
    for (Shard& s : shards_)
        s.uses[i].store(0, std::memory_order_relaxed);
    armed_[i].store(nth > 0, std::memory_order_release);
}

void FaultPlan::RefuseSuite(const std::string& name, A_long version) {
    std::lock_guard lock(mutex_);
    refusedSuites_.insert({name, version});
}

void FaultPlan::AllowSuite(const std::string& name, A_long version) {
    std::lock_guard lock(mutex_);
    refusedSuites_.erase({name, version});
}

void FaultPlan::Clear() {
    std::lock_guard lock(mutex_);
    triggers_ = {};
    for (std::size_t i = 0; i < kFaults; ++i) {
        armed_[i].store(false, std::memory_order_release);
        for (Shard& s : shards_)
            s.uses[i].store(0, std::memory_order_relaxed);
    }
    refusedSuites_.clear();
}

PF_Err FaultPlan::Hit(Fault f) {
    auto i = static_cast<std::size_t>(f);
    shards_[ThisThreadShard()].uses[i].fetch_add(1, std::memory_order_relaxed);
    if (!armed_[i].load(std::memory_order_acquire))
        return 0;
    std::lock_guard lock(mutex_);
    Trigger& t = triggers_[i];
    ++t.uses;
    if (t.nth > 0 && (t.uses == t.nth || (t.sticky && t.uses > t.nth))) {
        ++delivered_;
        return t.code;
    }
    return 0;
}

bool FaultPlan::SuiteRefused(const char* name, A_long version) const {
    std::lock_guard lock(mutex_);
    return refusedSuites_.count({name, version}) != 0;
}

int FaultPlan::Uses(Fault f) const {
    auto i = static_cast<std::size_t>(f);
    int uses = 0;
    for (const Shard& s : shards_)
        uses += s.uses[i].load(std::memory_order_relaxed);
    return uses;
}

int FaultPlan::Delivered() const {
    std::lock_guard lock(mutex_);
    return delivered_;
}

} // namespace host
