#include "share/AEUtil/SuiteHolder.h"

#include <cstring>
#include <string_view>

#include "share/AEUtil/AEException.h"
#include "share/AEUtil/HostApplication.h"

namespace AEUtil {

namespace {
constexpr std::array<SuiteEntry, 101> kTable = {{
    {"AEGP Keyframe Suite", 1},
    {"AEGP Keyframe Suite", 3},
    {"AEGP Keyframe Suite", 4},
    {"AEGP Stream Suite", 4},
    {"AEGP Stream Suite", 7},
    {"AEGP Stream Suite", 8},
    {"AEGP Stream Suite", 9},
    {"AEGP Marker Suite", 1},
    {"AEGP Marker Suite", 2},
    {"AEGP Comp Suite", 4},
    {"AEGP Comp Suite", 9},
    {"AEGP Comp Suite", 11},
    {"AEGP Comp Suite", 14},
    {"AEGP Layer Suite", 5},
    {"AEGP Layer Suite", 8},
    {"AEGP Layer Suite", 10},
    {"AEGP Layer Suite", 11},
    {"AEGP Layer Suite", 12},
    {"AEGP Layer Suite", 13},
    {"AEGP Dynamic Stream Suite", 2},
    {"AEGP Dynamic Stream Suite", 3},
    {"AEGP Dynamic Stream Suite", 5},
    {"AEGP Canvas Suite", 10},
    {"AEGP Canvas Suite", 11},
    {"AEGP Camera Suite", 2},
    {"AEGP Register Suite", 6},
    {"AEGP Memory Suite", 1},
    {"AEGP Item Suite", 3},
    {"AEGP Item Suite", 7},
    {"AEGP Item Suite", 10},
    {"AEGP Item Suite", 11},
    {"AEGP Item Suite", 13},
    {"AEGP Light Suite", 1},
    {"AEGP Light Suite", 2},
    {"AEGP Effect Suite", 1},
    {"AEGP Effect Suite", 2},
    {"AEGP Effect Suite", 3},
    {"AEGP Layer Mask Suite", 2},
    {"AEGP Layer Mask Suite", 5},
    {"AEGP Mask Outline Suite", 2},
    {"AEGP Mask Outline Suite", 3},
    {"AEGP Command Suite", 1},
    {"AEGP Utility Suite", 3},
    {"AEGP Utility Suite", 7},
    {"AEGP Utility Suite", 10},
    {"AEGP Utility Suite", 11},
    {"AEGP Render Suite", 1},
    {"AEGP Render Suite", 2},
    {"PF ANSI Suite", 1},
    {kPFHandleSuite, kPFHandleSuiteVersion1},
    {"PF Fill Matte Suite", 2},
    {kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1},
    {"AEGP QueryXform Suite", 4},
    {"AEGP Composite Suite", 4},
    {kPFWorldSuite, kPFWorldSuiteVersion1},
    {"AEGP PF Interface Suite", 1},
    {"PF Path Query Suite", 1},
    {"PF Path Data Suite", 1},
    {kPFParamUtilsSuite, kPFParamUtilsSuiteVersion1},
    {kPFAppSuite, kPFAppSuiteVersion4},
    {"PF AE Adv App Suite", 1},
    {"PF AE Adv App Suite", 2},
    {"AEGP IO In Suite", 5},
    {"AEGP IO Out Suite", 7},
    {"AEGP Persistent Data Suite", 3},
    {"AEGP Render Queue Suite", 1},
    {"AEGP Render Queue Item Suite", 3},
    {"AEGP Render Queue Item Suite", 4},
    {"AEGP Output Module Suite", 4},
    {"AEGP File Import Manager Suite", 3},
    {"PF Sampling8 Suite", 1},
    {"PF Sampling16 Suite", 1},
    {"PF Iterate8 Suite", 1},
    {"PF iterate16 Suite", 1},
    {"PF iterateFloat Suite", 1},
    {"AEGP Collection Suite", 1},
    {"AEGP Collection Suite", 2},
    {"AEGP Text Document Suite", 1},
    {"AEGP Sound Data Suite", 1},
    {"AEGP Text Layer Suite", 1},
    {"AEGP Artisan Util Suite", 1},
    {"AEGP World Suite", 2},
    {"AEGP World Suite", 3},
    {"AEGP Render Options Suite", 1},
    {"AEGP Render Options Suite", 2},
    {"AEGP Tracker Suite", 1},
    {"AEGP Tracker Utility Suite", 1},
    {"AE Plugin Helper Suite2", 2},
    {"AEGP Proj Suite", 8},
    {"AEGP Footage Suite", 11},
    {"PF Color Settings Suite", 1},
    {"PF Color Settings Suite", 3},
    {"PF AE Adv Item Suite", 1},
    {"PF ColorParamSuite", 1},
    {"PF SamplingFloat Suite", 1},
    {"PF Effect Custom UI Suite", 1},
    {"PF Effect Custom UI Overlay Theme Suite", 1},
    {"DRAWBOT Draw Suite", 1},
    {"DRAWBOT Supplier Suite", 1},
    {"DRAWBOT Surface Suite", 1},
    {"DRAWBOT Path Suite", 1},
}};

constexpr std::size_t Find(std::string_view name, A_long version) {
    for (std::size_t i = 0; i < kTable.size(); ++i)
        if (kTable[i].name == name && kTable[i].version == version)
            return i;
    return kTable.size();
}

constexpr std::size_t kHandle = Find(kPFHandleSuite, kPFHandleSuiteVersion1);
constexpr std::size_t kApp = Find(kPFAppSuite, kPFAppSuiteVersion4);
constexpr std::size_t kParamUtils = Find(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion1);
constexpr std::size_t kWorld1 = Find(kPFWorldSuite, kPFWorldSuiteVersion1);
constexpr std::size_t kWorldTransform = Find(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
static_assert(kHandle < kTable.size() && kApp < kTable.size() && kParamUtils < kTable.size() &&
              kWorld1 < kTable.size() && kWorldTransform < kTable.size());

std::atomic<SuiteHolder*> g_suites{nullptr};
} // namespace

const std::array<SuiteEntry, 101> kSuiteEntries = kTable;

SuiteHolder::SuiteHolder(SPBasicSuite* basic) : basic_(basic) {
    if (!basic_)
        ThrowSuiteFailure();
}

SuiteHolder::~SuiteHolder() {
    for (std::size_t i = 0; i < suites_.size(); ++i)
        if (suites_[i].load(std::memory_order_acquire))
            basic_->ReleaseSuite(kTable[i].name, kTable[i].version);
}

const void* SuiteHolder::Get(std::size_t index) {
    if (index >= suites_.size())
        ThrowSuiteFailure();
    if (const void* cached = suites_[index].load(std::memory_order_acquire))
        return cached;
    const void* suite = nullptr;
    if (basic_->AcquireSuite(kTable[index].name, kTable[index].version, &suite) != kSPNoError || !suite)
        ThrowSuiteFailure();
    const void* expected = nullptr;
    if (!suites_[index].compare_exchange_strong(expected, suite, std::memory_order_acq_rel)) {
        // Another command filled the entry first; give back the extra acquisition.
        basic_->ReleaseSuite(kTable[index].name, kTable[index].version);
        return expected;
    }
    return suite;
}

std::size_t SuiteHolder::IndexOf(const char* name, A_long version) {
    const std::size_t i = Find(name ? name : "", version);
    if (i >= kTable.size())
        ThrowSuiteFailure();
    return i;
}

const PF_HandleSuite1* SuiteHolder::HandleSuite() {
    return static_cast<const PF_HandleSuite1*>(Get(kHandle));
}
const PFAppSuite4* SuiteHolder::AppSuite() {
    return static_cast<const PFAppSuite4*>(Get(kApp));
}
const PF_ParamUtilsSuite1* SuiteHolder::ParamUtilsSuite() {
    return static_cast<const PF_ParamUtilsSuite1*>(Get(kParamUtils));
}
const PF_WorldSuite1* SuiteHolder::WorldSuite1() {
    return static_cast<const PF_WorldSuite1*>(Get(kWorld1));
}
const PF_WorldTransformSuite1* SuiteHolder::WorldTransformSuite() {
    return static_cast<const PF_WorldTransformSuite1*>(Get(kWorldTransform));
}

SuiteHolder* GlobalSuites() noexcept {
    return g_suites.load(std::memory_order_acquire);
}

void SetGlobalSuites(SuiteHolder* holder) noexcept {
    g_suites.store(holder, std::memory_order_release);
}

bool IsRenderEngine(const PF_InData* in_data) {
    if (!in_data || in_data->appl_id != kAfterEffects)
        return false;
    SuiteHolder local(in_data->pica_basicP);
    PF_Boolean renderEngine = 0;
    local.AppSuite()->PF_IsRenderEngine(&renderEngine);
    return renderEngine != 0;
}

} // namespace AEUtil
