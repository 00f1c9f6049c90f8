#include "cli/EffectSession.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/ErrorNames.h"
#include "cli/ToolError.h"
#include "host/HostError.h"

namespace cli {
namespace {

void Check(PF_Err err, const char* command) {
    if (err != PF_Err_NONE)
        throw EffectError(std::string("the effect failed ") + command + ": " + DescribePfErr(err));
}

} // namespace

EffectSession::EffectSession(const SessionSettings& settings) {
    // The tool renders with the production host; TOVRIN_HOST_STRICT=1 runs it with the strict host of the
    // tests (guards, poison, the input compared after every render).
    const char* strict = std::getenv("TOVRIN_HOST_STRICT");
    host::Settings hs =
        strict && std::string(strict) == "1" ? host::Settings{} : host::Settings::Production();
    hs.quality = settings.quality;
    hs.downsampleX = PF_RationalScale{1, A_u_long(settings.downsampleX)};
    hs.downsampleY = PF_RationalScale{1, A_u_long(settings.downsampleY)};
    hs.workerThreads = settings.threads;
    try {
        host_ = std::make_unique<host::Host>(hs);
        plugin_ = host::Plugin::Load(settings.plugin);
        instance_ = std::make_unique<host::Instance>(*host_, plugin_);
        Check(instance_->GlobalSetup(), "global setup");
        globalSetUp_ = true;
        globalSetup_ = instance_->LastOutData();
        Check(instance_->ParamsSetup(), "parameter setup");
        numParams_ = instance_->LastOutData().num_params;
        Check(instance_->SequenceSetup(), "sequence setup");
        sequenceSetUp_ = true;
    } catch (const host::HostError& e) {
        throw EffectError("the host cannot use the plug-in \"" + settings.plugin.string() +
                          "\": " + e.what());
    }
}

EffectSession::~EffectSession() {
    if (!instance_)
        return;
    try {
        if (sequenceSetUp_)
            instance_->SequenceSetdown();
        if (globalSetUp_)
            instance_->GlobalSetdown();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tovrin: warning: setting the effect down: %s\n", e.what());
    }
    instance_.reset();
    if (host_) {
        std::string leaks = host_->LeakReport();
        if (!leaks.empty())
            std::fprintf(stderr, "tovrin: warning: the effect left resources with the host:\n%s",
                         leaks.c_str());
    }
}

void EffectSession::UpdateParamsUI() {
    try {
        Check(instance_->UpdateParamsUI(), "the UI update");
    } catch (const host::HostError& e) {
        throw EffectError(std::string("the host failed the UI update: ") + e.what());
    }
}

PF_Err EffectSession::Render(host::World& input, host::World& output, RenderPath path) {
    try {
        return path == RenderPath::Smart ? instance_->SmartRenderFrame(input, output)
                                         : instance_->Render(input, output);
    } catch (const host::HostError& e) {
        throw EffectError(std::string("the host failed the render: ") + e.what());
    }
}

} // namespace cli
