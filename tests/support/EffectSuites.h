#pragma once
// EffectEnv with the effect framework's process-wide suite holder installed over the host's basic suite,
// so that the framework allocator works, and the pending-error list, as the first-call setup makes them.
// Header-only: the support library stays independent of the effect's code, and only tests that link the
// framework include this.
#include <memory>

#include "share/AEUtil/PendingErrors.h"
#include "share/AEUtil/SuiteHolder.h"
#include "tests/support/EffectEnv.h"

namespace tovrin::test {

class EffectSuitesEnv : public EffectEnv {
protected:
    void InstallGlobals() override {
        holder_ = std::make_unique<AEUtil::SuiteHolder>(Host().BasicSuite());
        AEUtil::SetGlobalSuites(holder_.get());
        AEUtil::CreatePendingErrors();
        AEUtil::ClearPendingErrors();
    }
    // The holder releases its suites before the fixture checks that none is still held.
    void RemoveGlobals() override {
        AEUtil::DestroyPendingErrors();
        AEUtil::SetGlobalSuites(nullptr);
        holder_.reset();
    }

private:
    std::unique_ptr<AEUtil::SuiteHolder> holder_;
};

} // namespace tovrin::test
