#include "fuzz/EffectHost.h"

#include <filesystem>

#include "fuzz/FuzzSupport.h"

namespace fuzz {

EffectHost& TheEffectHost() {
    static EffectHost* effect = [] {
        auto* e = new EffectHost;
        e->plugin = host::Plugin::Load(PluginPath());
        e->plugin->SetFile(std::filesystem::path(ScratchFolder()) /
                           std::filesystem::path(PluginPath()).filename());
        e->host = std::make_unique<host::Host>();
        return e;
    }();
    return *effect;
}

AppliedInstance::AppliedInstance(EffectHost& effect, bool sequenceSetup)
    : effect_(effect), instance_(std::make_unique<host::Instance>(*effect.host, effect.plugin)) {
    FUZZ_CHECK(instance_->GlobalSetup() == PF_Err_NONE, "global setup failed");
    FUZZ_CHECK(instance_->ParamsSetup() == PF_Err_NONE, "parameter setup failed");
    if (sequenceSetup)
        FUZZ_CHECK(instance_->SequenceSetup() == PF_Err_NONE, "sequence setup failed");
}

AppliedInstance::~AppliedInstance() {
    if (instance_)
        FUZZ_CHECK(false, "an instance was not finished");
}

std::string AppliedInstance::Finish() {
    std::string complaints;
    instance_->ReleasePreRenderData();
    complaints += instance_->LeakReport();
    if (instance_->SequenceData() && instance_->SequenceSetdown() != PF_Err_NONE)
        complaints += "sequence setdown failed\n";
    if (instance_->GlobalSetdown() != PF_Err_NONE)
        complaints += "global setdown failed\n";
    instance_.reset();
    for (const std::string& violation : effect_.host->Violations())
        complaints += violation + "\n";
    effect_.host->ClearViolations();
    complaints += effect_.host->LeakReport();
    return complaints;
}

} // namespace fuzz
