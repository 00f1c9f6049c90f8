#pragma once
// Fault injection: make the n-th use of a host service fail, to test the plug-in's error paths.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "sdk/AE_Effect.h"

namespace host {

enum class Fault : int {
    NewHandle,           // host_new_handle returns null
    LockHandle,          // host_lock_handle returns null
    NewWorld,            // PF_NewWorld / new_world fail
    AddParam,            // add_param
    CheckoutParam,       // checkout_param
    CheckinParam,        // checkin_param
    CheckoutLayer,       // SmartFX checkout_layer
    CheckoutLayerPixels, // SmartFX checkout_layer_pixels
    CheckoutOutput,      // SmartFX checkout_output
    CheckinLayerPixels,  // SmartFX checkin_layer_pixels
    Copy,                // utils->copy and World Transform copy
    CopyHQ,              // World Transform copy_hq
    RGBtoHLS,            // colorCB.RGBtoHLS
    IterateGeneric,      // iterate_generic (the function is never called)
    Progress,            // inter.progress answers PF_Interrupt_CANCEL
    UpdateParamUI,       // PF_UpdateParamUI
    HostMemory,          // the host's own memory (blocks of handles and worlds, the input snapshot) runs out
    Count
};

const char* FaultName(Fault f);
// The code a failing service returns unless the test names another.
PF_Err DefaultFaultCode(Fault f);

// Counting a use takes no lock while no failure is armed for that service, so that services called from
// every thread of a pass (the colour callback, say) do not serialise the threads.
class FaultPlan {
public:
    // The n-th use (1-based, counted from now) fails; with `sticky`, every later use fails too.
    void Inject(Fault f, int nth, PF_Err code, bool sticky = false);
    void Inject(Fault f, int nth) { Inject(f, nth, DefaultFaultCode(f)); }
    // The suite (name, version) is reported missing.
    void RefuseSuite(const std::string& name, A_long version);
    void AllowSuite(const std::string& name, A_long version);
    void Clear();

    // Counts one use of `f`; returns the code to fail with, or 0.
    PF_Err Hit(Fault f);
    // Whether a failure is armed for `f`: a production host asks this before Hit for the services called
    // once per pixel colour, and counts their uses only while one is.
    bool Armed(Fault f) const noexcept {
        return armed_[static_cast<std::size_t>(f)].load(std::memory_order_acquire);
    }
    bool SuiteRefused(const char* name, A_long version) const;
    // How many uses of `f` were counted since the last Inject/Clear (a production host counts RGBtoHLS only
    // while a failure is armed for it).
    int Uses(Fault f) const;
    // How many injected failures have been delivered in total.
    int Delivered() const;

private:
    static constexpr std::size_t kFaults = static_cast<std::size_t>(Fault::Count);
    static constexpr std::size_t kShards = 16;
    struct Trigger {
        int nth = 0;
        int uses = 0;
        PF_Err code = 0;
        bool sticky = false;
    };
    // Uses counted per thread shard, one cache line each, summed when asked.
    struct alignas(64) Shard {
        std::array<std::atomic<int>, kFaults> uses{};
    };
    static std::size_t ThisThreadShard();

    mutable std::mutex mutex_;
    std::array<Trigger, kFaults> triggers_{};
    std::array<std::atomic<bool>, kFaults> armed_{};
    std::array<Shard, kShards> shards_{};
    std::set<std::pair<std::string, A_long>> refusedSuites_;
    int delivered_ = 0;
};

} // namespace host
