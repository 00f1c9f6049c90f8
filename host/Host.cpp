#include "host/Host.h"

#include <cstdio>
#include <sstream>
#include <thread>

#include "host/HostImpl.h"

namespace host {
namespace {
std::atomic<Host*> gCurrent{nullptr};
}

Host::Impl::Impl(Host& self, Settings s)
    : self(self), settings(s), memory([this] { ChargeHostMemory(); }),
      handles(settings, memory, [this](const std::string& w) { Violation(w); }),
      worlds(settings, memory, [this](const std::string& w) { Violation(w); }) {
    FillBasicSuite(basic);
    FillUtilCallbacks(utils);
    FillInteractCallbacks(inter);
}

Host::Impl::~Impl() = default;

WorkerPool& Host::Impl::Pool() {
    std::lock_guard lock(poolMutex);
    int wanted = settings.workerThreads > 0 ? settings.workerThreads
                                            : int(std::max(1u, std::thread::hardware_concurrency()));
    if (!pool || pool->Threads() != wanted)
        pool = std::make_unique<WorkerPool>(wanted);
    return *pool;
}

void Host::Impl::RecordSpan(std::vector<ServiceTrace::Span> ServiceTrace::*list,
                            ServiceTrace::Clock::time_point start) noexcept {
    const auto end = ServiceTrace::Clock::now();
    try {
        std::lock_guard lock(traceMutex);
        if (tracing.load(std::memory_order_relaxed))
            (trace.*list).push_back(ServiceTrace::Span{start, end});
    } catch (...) {
        // A trace that cannot grow loses the span, never the service.
    }
}

std::uint64_t& ColourCallsOfThisThread() {
    thread_local std::uint64_t calls = 0;
    return calls;
}

void Host::Impl::Violation(const std::string& what) {
    std::function<void(const std::string&)> call;
    {
        std::lock_guard lock(mutex);
        violations.push_back(what);
        call = observer;
    }
    std::fprintf(stderr, "embedded host: %s\n", what.c_str());
    if (call)
        call(what);
}

void Host::Impl::ChargeHostMemory() {
    if (faults.Hit(Fault::HostMemory))
        throw std::bad_alloc();
}

void ReportHostFailure(const char* callback, const char* what) noexcept {
    std::fprintf(stderr, "embedded host: %s failed inside the host: %s\n", callback, what);
}

Host::Impl* CurrentHost(const char* callback) {
    Host* h = gCurrent.load();
    if (!h) {
        std::fprintf(stderr, "embedded host: %s called while no host exists\n", callback);
        return nullptr;
    }
    return &h->impl();
}

namespace {
// Changes whenever an instance or a host comes or goes, so that a reference a thread found valid once is
// taken on trust only while nothing changed.
std::atomic<std::uint64_t> gGeneration{1};

struct KnownReference {
    const Host::Impl* host = nullptr;
    const void* context = nullptr;
    std::uint64_t generation = 0;
};
thread_local KnownReference tKnown;
} // namespace

void InstancesChanged() {
    gGeneration.fetch_add(1, std::memory_order_acq_rel);
}

Instance* InstanceOf(PF_ProgPtr effect_ref, const char* callback) {
    Host::Impl* h = CurrentHost(callback);
    if (!h)
        return nullptr;
    auto* c = reinterpret_cast<EffectContext*>(effect_ref);
    // Callbacks called from every thread of a pass (the colour conversion) check a reference this thread
    // has seen before without taking the host's lock.
    std::uint64_t generation = gGeneration.load(std::memory_order_acquire);
    if (c && tKnown.host == h && tKnown.context == c && tKnown.generation == generation)
        return c->instance;
    bool known = false;
    if (c) {
        std::lock_guard lock(h->mutex);
        for (Instance* i : h->instances)
            if (&i->impl().context == c)
                known = true;
    }
    if (!known || c->magic != EffectContext::kMagic) {
        h->Violation(std::string(callback) + " with an effect reference the host did not give");
        return nullptr;
    }
    tKnown = KnownReference{h, c, generation};
    return c->instance;
}

Host::Host(Settings settings) {
    impl_ = std::make_unique<Impl>(*this, settings);
    Host* expected = nullptr;
    if (!gCurrent.compare_exchange_strong(expected, this))
        throw HostError("another embedded host exists; only one can serve the callbacks at a time");
    InstancesChanged();
}

Host::~Host() {
    if (!impl_->instances.empty())
        std::fprintf(stderr, "embedded host: destroyed while %zu instance(s) still refer to it\n",
                     impl_->instances.size());
    // Worker threads stop before the tables they may still be calling go.
    {
        std::lock_guard lock(impl_->poolMutex);
        impl_->pool.reset();
    }
    gCurrent.store(nullptr);
    InstancesChanged();
}

Host* Host::Current() {
    return gCurrent.load();
}

const Settings& Host::settings() const {
    return impl_->settings;
}
Settings& Host::settings() {
    return impl_->settings;
}
FaultPlan& Host::Faults() {
    return impl_->faults;
}
SPBasicSuite* Host::BasicSuite() {
    return &impl_->basic;
}
PF_UtilCallbacks* Host::Utils() {
    return &impl_->utils;
}
const PF_InteractCallbacks& Host::Interact() const {
    return impl_->inter;
}

HandleStats Host::Handles() const {
    return impl_->handles.Stats();
}
WorldStats Host::Worlds() const {
    return impl_->worlds.Stats();
}
PoolStats Host::Pool() const {
    return impl_->memory.Stats();
}
void Host::TrimPool() {
    impl_->memory.Trim();
}

void Host::TraceServices(bool on) {
    std::lock_guard lock(impl_->traceMutex);
    if (on) {
        impl_->trace = ServiceTrace{};
        impl_->colourCallsOutsidePasses.store(0);
    }
    impl_->tracing.store(on);
}

ServiceTrace Host::TakeServiceTrace() {
    std::lock_guard lock(impl_->traceMutex);
    ServiceTrace taken = std::move(impl_->trace);
    impl_->trace = ServiceTrace{};
    taken.colourCalls = impl_->colourCallsOutsidePasses.exchange(0);
    return taken;
}

std::vector<SuiteUse> Host::Suites() const {
    std::lock_guard lock(impl_->mutex);
    std::vector<SuiteUse> out;
    for (const auto& [key, use] : impl_->suites)
        out.push_back(use);
    return out;
}

long Host::SuitesHeld() const {
    std::lock_guard lock(impl_->mutex);
    long held = 0;
    for (const auto& [key, use] : impl_->suites)
        held += use.acquired;
    return held;
}

std::string Host::LeakReport() const {
    std::ostringstream s;
    s << impl_->handles.LeakReport() << impl_->worlds.LeakReport();
    {
        std::lock_guard lock(impl_->mutex);
        for (const auto& [key, use] : impl_->suites)
            if (use.acquired > 0)
                s << "suite \"" << use.name << "\" " << use.version << " acquired " << use.acquired
                  << " time(s) more than released\n";
        for (const auto& [p, size] : impl_->blocks)
            s << "basic-suite block of " << size << " bytes not freed\n";
    }
    return s.str();
}

std::vector<std::string> Host::Violations() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->violations;
}

void Host::ClearViolations() {
    std::lock_guard lock(impl_->mutex);
    impl_->violations.clear();
}

void Host::SetViolationObserver(std::function<void(const std::string&)> observer) {
    std::lock_guard lock(impl_->mutex);
    impl_->observer = std::move(observer);
}

void Host::ReportViolation(const std::string& what) {
    impl_->Violation(what);
}

int Host::WorkerThreads() const {
    return impl_->Pool().Threads();
}

void Host::SetWorkerThreads(int threads) {
    impl_->settings.workerThreads = threads;
}

} // namespace host
