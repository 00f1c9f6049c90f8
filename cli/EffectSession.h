#pragma once
// The plug-in loaded into the embedded host and applied once, as a host does before it renders: global
// setup, parameter setup, sequence setup; set down again when the session ends.
#include <filesystem>
#include <memory>

#include "host/Host.h"
#include "host/Instance.h"
#include "host/Plugin.h"
#include "host/World.h"

namespace cli {

enum class RenderPath { Smart, Classic };

struct SessionSettings {
    std::filesystem::path plugin;
    PF_Quality quality = PF_Quality_HI;
    int downsampleX = 1; // the host renders at 1/X × 1/Y
    int downsampleY = 1;
    int threads = 0; // iterate_generic calls per pass; 0: one per processor
};

class EffectSession {
public:
    // Throws an effect error when the plug-in cannot be loaded or a setup command fails.
    explicit EffectSession(const SessionSettings& settings);
    ~EffectSession();
    EffectSession(const EffectSession&) = delete;
    EffectSession& operator=(const EffectSession&) = delete;

    host::Host& Host() { return *host_; }
    host::Instance& Instance() { return *instance_; }
    const host::Instance& Instance() const { return *instance_; }
    const host::Plugin& Plugin() const { return *plugin_; }
    // The output record of global setup and the parameter count of parameter setup.
    const PF_OutData& GlobalSetupAnswer() const { return globalSetup_; }
    A_long NumParams() const { return numParams_; }

    // Sends the UI update, so that the host records which controls the effect enables. Throws.
    void UpdateParamsUI();
    // One frame; returns the effect's code.
    PF_Err Render(host::World& input, host::World& output, RenderPath path);

private:
    std::unique_ptr<host::Host> host_;
    std::shared_ptr<host::Plugin> plugin_;
    std::unique_ptr<host::Instance> instance_;
    PF_OutData globalSetup_{};
    A_long numParams_ = 0;
    bool globalSetUp_ = false;
    bool sequenceSetUp_ = false;
};

} // namespace cli
