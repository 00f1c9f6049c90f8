#pragma once
// The cache of host suites: each suite is acquired on first use and released when the holder goes.
#include <array>
#include <atomic>
#include <cstddef>

#include "sdk/AE_Effect.h"
#include "sdk/AE_EffectSuites.h"
#include "sdk/SPBasic.h"

namespace AEUtil {

struct SuiteEntry {
    const char* name;
    A_long version;
};

// Every suite version the framework knows, in one table; the effect uses five of them.
extern const std::array<SuiteEntry, 101> kSuiteEntries;

class SuiteHolder {
public:
    // A null basic suite raises the suite failure (516).
    explicit SuiteHolder(SPBasicSuite* basic);
    ~SuiteHolder();
    SuiteHolder(const SuiteHolder&) = delete;
    SuiteHolder& operator=(const SuiteHolder&) = delete;

    SPBasicSuite* Basic() const noexcept { return basic_; }

    // The suite of entry `index` of kSuiteEntries, acquired on first use; raises 516 when the host
    // reports an error or yields nothing.
    const void* Get(std::size_t index);
    // The index of (name, version) in kSuiteEntries; raises 516 when the framework does not know it.
    static std::size_t IndexOf(const char* name, A_long version);

    const PF_HandleSuite1* HandleSuite();                 // "PF Handle Suite" 2
    const PFAppSuite4* AppSuite();                        // "PF AE App Suite" 6
    const PF_ParamUtilsSuite1* ParamUtilsSuite();         // "PF Param Utils Suite" 2
    const PF_WorldSuite1* WorldSuite1();                  // "PF World Suite" 1
    const PF_WorldTransformSuite1* WorldTransformSuite(); // "PF World Transform Suite" 1

private:
    SPBasicSuite* basic_;
    // Filled lazily by whichever command needs a suite first; every writer stores the same pointer.
    std::array<std::atomic<const void*>, 101> suites_{};
};

// The process-wide holder: created by the first-call setup, destroyed last at teardown; null between.
SuiteHolder* GlobalSuites() noexcept;
void SetGlobalSuites(SuiteHolder* holder) noexcept;

// True when the host runs as a render engine (After Effects only; asks "PF AE App Suite" 6).
bool IsRenderEngine(const PF_InData* in_data);

} // namespace AEUtil
