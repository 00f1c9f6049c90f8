#pragma once
// Inside of the host, shared by its source files; not for callers.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/Host.h"
#include "host/HostError.h"
#include "host/Instance.h"
#include "host/ServiceTrace.h"
#include "host/WorkerPool.h"
#include "sdk/AE_EffectSuites.h"
#include "sdk/SPBasic.h"

namespace host {

// What an effect reference points to.
struct EffectContext {
    static constexpr std::uint64_t kMagic = 0x54564E5248535421ull;
    std::uint64_t magic = kMagic;
    Instance* instance = nullptr;
};

inline PF_ProgPtr ToEffectRef(EffectContext* c) {
    return reinterpret_cast<PF_ProgPtr>(c);
}

struct Host::Impl {
    explicit Impl(Host& self, Settings s);
    ~Impl();

    Host& self;
    Settings settings;
    FaultPlan faults;
    BlockPool memory; // before the tables whose blocks it holds, so that it goes after them
    HandleTable handles;
    WorldStore worlds;

    std::mutex poolMutex;
    std::unique_ptr<WorkerPool> pool;
    WorkerPool& Pool(); // made on first use with the settings' thread count

    mutable std::mutex mutex; // suites, violations, blocks
    std::map<std::pair<std::string, A_long>, SuiteUse> suites;
    std::vector<std::string> violations;
    std::function<void(const std::string&)> observer;
    std::unordered_map<void*, std::size_t> blocks; // SPBasicSuite AllocateBlock
    std::set<Instance*> instances;

    SPBasicSuite basic{};
    PF_UtilCallbacks utils{};
    PF_InteractCallbacks inter{};

    // The service trace (Host::TraceServices): `tracing` is read by every traced service without a lock.
    std::atomic<bool> tracing{false};
    std::atomic<std::uint64_t> colourCallsOutsidePasses{0};
    std::mutex traceMutex;
    ServiceTrace trace;
    // Appends a span to the trace; a span that cannot be kept (no memory) is dropped.
    void RecordSpan(std::vector<ServiceTrace::Span> ServiceTrace::*list,
                    ServiceTrace::Clock::time_point start) noexcept;

    void Violation(const std::string& what);
    // Called before the host takes memory of its own (blocks, the input snapshot): throws std::bad_alloc
    // when the fault plan says the host's memory has run out.
    void ChargeHostMemory();
};

// Whether a service called now is traced: tracing is on and the caller is not inside a pass (whose span
// already holds the service's time).
inline bool TracingService(const Host::Impl* h) {
    return h && h->tracing.load(std::memory_order_relaxed) && !WorkerPool::InsideCall();
}

// Times one memory or copy service into the trace when it is traced.
class TracedSpan {
public:
    TracedSpan(Host::Impl* h, std::vector<ServiceTrace::Span> ServiceTrace::*list)
        : host_(TracingService(h) ? h : nullptr), list_(list) {
        if (host_)
            start_ = ServiceTrace::Clock::now();
    }
    ~TracedSpan() {
        if (host_)
            host_->RecordSpan(list_, start_);
    }
    TracedSpan(const TracedSpan&) = delete;
    TracedSpan& operator=(const TracedSpan&) = delete;

private:
    Host::Impl* host_;
    std::vector<ServiceTrace::Span> ServiceTrace::*list_;
    ServiceTrace::Clock::time_point start_{};
};

// The colour conversions this thread made while tracing, which a pass adds up over its calls.
std::uint64_t& ColourCallsOfThisThread();

// A failure of the host itself inside a callback: printed as the host's, never blamed on the plug-in.
void ReportHostFailure(const char* callback, const char* what) noexcept;

// The body of a callback runs inside one of these, so that the host's own failures stop at the callback's
// boundary and no exception crosses the plug-in: running out of memory answers `outOfMemory`, any other
// failure `failed` (and is printed as the host's).
template <class R, class F>
R AtBoundary(const char* callback, R outOfMemory, R failed, F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return outOfMemory;
    } catch (const std::exception& e) {
        ReportHostFailure(callback, e.what());
    } catch (...) {
        ReportHostFailure(callback, "an unknown exception");
    }
    return failed;
}
// Callbacks answering a PF_Err, a basic-suite SPErr, or a value (null, 0) for any failure.
template <class F>
PF_Err Guarded(const char* callback, F&& body) noexcept {
    return AtBoundary<PF_Err>(callback, PF_Err_OUT_OF_MEMORY, PF_Err_INTERNAL_STRUCT_DAMAGED, body);
}
template <class F>
SPErr GuardedSP(const char* callback, F&& body) noexcept {
    return AtBoundary<SPErr>(callback, kSPOutOfMemoryError, kSPBadParameterError, body);
}
template <class R, class F>
R GuardedValue(const char* callback, R onFailure, F&& body) noexcept {
    return AtBoundary<R>(callback, onFailure, onFailure, body);
}

// The host serving callbacks now; reports and returns null when there is none.
Host::Impl* CurrentHost(const char* callback);
// The instance behind an effect reference; reports a violation and returns null for a bad reference.
Instance* InstanceOf(PF_ProgPtr effect_ref, const char* callback);
// Called whenever an instance or a host is made or goes (InstanceOf trusts what it checked only until then).
void InstancesChanged();

// The tables every host hands out (filled once; their functions find the current host).
void FillUtilCallbacks(PF_UtilCallbacks& utils);
void FillInteractCallbacks(PF_InteractCallbacks& inter);
void FillBasicSuite(SPBasicSuite& basic);
PF_HandleSuite1 MakeHandleSuite();
PF_WorldSuite1 MakeWorldSuite1();
// The suite table for (name, version), or null when the host does not serve it.
const void* ServedSuite(const char* name, A_long version);

std::vector<PF_ParamDef*> Pointers(std::vector<PF_ParamDef>& values);

// Shared by utils->copy and the World Transform suite.
PF_Err CopyWorld(Host::Impl& host, PF_EffectWorld* src, PF_EffectWorld* dst, const PF_Rect* srcRect,
                 const PF_Rect* dstRect);

struct ParamSlot {
    PF_ParamDef def{};      // current value and UI state; its text pointers point into `text`
    PF_ParamDef dephault{}; // as added
    std::string text;       // checkbox label, popup choices or button names, owned by the host
    std::map<A_long, PF_ParamDefUnion> keys; // values from a time on
    bool enabled = true;
    int outstanding = 0; // checkouts not yet checked in
};

struct LayerCheckout {
    PF_ParamIndex index = 0;
    PF_RenderRequest request{};
    bool pixelsOut = false;
};

struct Instance::Impl {
    explicit Impl(Instance& self) : self(self) { context.instance = &self; }
    Instance& self;
    EffectContext context;
    mutable std::mutex mutex;
    std::vector<std::unique_ptr<ParamSlot>> params; // [0]: the input layer
    int updateParamUICalls = 0;
    int unmatchedCheckins = 0;
    std::vector<std::pair<A_long, A_long>> progress;
    std::atomic<int> activeCommands{0};

    // Render state of the command in progress.
    World* input = nullptr;
    World* output = nullptr;
    void* preRenderData = nullptr;
    PF_DeletePreRenderDataFunc deletePreRenderData = nullptr;
    std::map<A_long, LayerCheckout> layerCheckouts;
    std::vector<PF_RenderRequest> layerRequests;
    bool outputCheckedOut = false;

    ParamSlot* Slot(PF_ParamIndex index) const;
    PF_Err AddParam(PF_ParamIndex index, const PF_ParamDef& def);
    bool ValueAt(PF_ParamIndex index, A_long time, PF_ParamDef* param) const; // caller holds the mutex
    std::vector<PF_ParamDef> Values(A_long time) const; // the command's parameter array, index 0 the layer
    PF_Err Checkout(PF_ParamIndex index, A_long time, PF_ParamDef* param);
    PF_Err Checkin(PF_ParamDef* param);
    PF_Err UpdateUI(PF_ParamIndex index, const PF_ParamDef& def);
    void FillLayer(PF_ParamDef& def) const;
};

} // namespace host
