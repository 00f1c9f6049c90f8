#pragma once
// EffectEnv with the effect framework's process-wide suite holder installed over the host's basic suite,
// so that the framework allocator works. Header-only: the support library stays independent of the
// effect's code, and only tests that link the framework include this.
#include <memory>

#include "share/AEUtil/SuiteHolder.h"
#include "tests/support/EffectEnv.h"

namespace tovrin::test {

class EffectSuitesEnv : public EffectEnv {
protected:
    void InstallGlobals() override {
        holder_ = std::make_unique<AEUtil::SuiteHolder>(Host().BasicSuite());
        AEUtil::SetGlobalSuites(holder_.get());
    }
    // The holder releases its suites before the fixture checks that none is still held.
    void RemoveGlobals() override {
        AEUtil::SetGlobalSuites(nullptr);
        holder_.reset();
    }

private:
    std::unique_ptr<AEUtil::SuiteHolder> holder_;
};

} // namespace tovrin::test
