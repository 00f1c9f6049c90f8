#pragma once
// The plug-in file loaded into a strict embedded host, as a host application loads it: one host and one
// loaded file per fuzzing process, and for each input an instance applied afresh and set down again, after
// which the host must hold nothing of the plug-in's. The plug-in's path is reported in the fuzzer's scratch
// folder, so that no stored defaults of the build's plug-in folder reach it.
#include <memory>
#include <string>

#include "host/Host.h"
#include "host/Instance.h"
#include "host/Plugin.h"

namespace fuzz {

struct EffectHost {
    std::shared_ptr<host::Plugin> plugin;
    std::unique_ptr<host::Host> host;
};

// Made on first use; lives until the process ends.
EffectHost& TheEffectHost();

// An instance with global setup, parameter setup and (unless told otherwise) sequence setup done.
class AppliedInstance {
public:
    explicit AppliedInstance(EffectHost& effect, bool sequenceSetup = true);
    ~AppliedInstance();
    AppliedInstance(const AppliedInstance&) = delete;
    AppliedInstance& operator=(const AppliedInstance&) = delete;

    host::Instance& operator*() { return *instance_; }
    host::Instance* operator->() { return instance_.get(); }

    // Sets the instance down (sequence, then global) and ends it; returns what went wrong meanwhile: the
    // protocol violations the host saw, a setdown that failed, and whatever the plug-in still holds. Empty
    // when nothing.
    std::string Finish();

private:
    EffectHost& effect_;
    std::unique_ptr<host::Instance> instance_;
};

} // namespace fuzz
