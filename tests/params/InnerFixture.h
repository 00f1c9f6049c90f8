#pragma once
// Tests of the parameter room's inside: the controls registered in this process with an embedded host's
// instance (which keeps the registered parameters), the lifecycle ended before the host checks for leaks.
#include <vector>

#include "params/ParamsCommands.h"
#include "tests/support/EffectSuites.h"

namespace params_test {

class InnerParamsTest : public tovrin::test::EffectSuitesEnv {
protected:
    void SetUp() override {
        EffectSuitesEnv::SetUp();
        if (HasFatalFailure())
            return;
        BeginParamsLifecycle(InData());
        PF_OutData out{};
        ASSERT_EQ(ParamsSetup(InData(), &out), PF_Err_NONE);
        ASSERT_EQ(out.num_params, 30);
        ResetInData();
    }
    void TearDown() override {
        EndParamsLifecycle();
        EffectSuitesEnv::TearDown();
    }

    PF_ParamIndex Index(A_long id) { return Instance().IndexOfId(id); }

    // The host's current records as a command's parameter array would carry them.
    struct ParamArray {
        std::vector<PF_ParamDef> records;
        std::vector<PF_ParamDef*> pointers;
    };
    ParamArray CurrentParams() {
        ParamArray a;
        for (PF_ParamIndex i = 0; i < Instance().ParamCount(); ++i)
            a.records.push_back(Instance().Param(i));
        for (PF_ParamDef& def : a.records)
            a.pointers.push_back(&def);
        return a;
    }
};

} // namespace params_test
