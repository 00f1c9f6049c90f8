// Which controls the effect greys out, as the host sees it after PF_Cmd_UPDATE_PARAMS_UI.
#include <set>

#include "params/Controls.h"
#include "tests/params/ParamsPluginFixture.h"

namespace {

using params_test::ParamsPluginTest;

class UiUpdateTest : public ParamsPluginTest {
protected:
    void SetUp() override {
        ParamsPluginTest::SetUp();
        if (HasFatalFailure())
            return;
        SetUpParams();
    }

    // After an update: every control of `disabled` is disabled, every other one enabled.
    void ExpectDisabledExactly(const std::set<A_long>& disabled) {
        ASSERT_EQ(instance->UpdateParamsUI(), PF_Err_NONE);
        for (PF_ParamIndex i = 1; i < instance->ParamCount(); ++i) {
            const A_long id = instance->Param(i).uu.id;
            EXPECT_EQ(instance->IsEnabled(i), disabled.count(id) == 0)
                << "id " << id << " (" << instance->Param(i).name << ")";
        }
    }

    long ParamUtilsHeld() const {
        long held = 0;
        for (const host::SuiteUse& use : hostPtr->Suites())
            if (use.name == "PF Param Utils Suite")
                held += use.acquired;
        return held;
    }

    static std::set<A_long> KeyControls(int k) { return {KeyColorId(k), KeyColorRangeId(k)}; }
    static std::set<A_long> AllKeyControls() {
        std::set<A_long> ids;
        for (int k = 1; k <= kKeyColorCount; ++k)
            ids.merge(KeyControls(k));
        return ids;
    }
};

TEST_F(UiUpdateTest, AFreshInstanceEnablesOnlyTheKeySwitches) {
    std::set<A_long> disabled = AllKeyControls();
    disabled.insert({kInvertId, kKeepDivisionId, kAlphaId});
    ExpectDisabledExactly(disabled);
}

TEST_F(UiUpdateTest, EnablingKeyTwoEnablesItsControlsAndTheKeyOptions) {
    instance->SetCheckbox(Index(KeyEnableId(2)), true);
    std::set<A_long> disabled;
    for (int k : {1, 3, 4})
        disabled.merge(KeyControls(k));
    disabled.insert(kAlphaId);
    ExpectDisabledExactly(disabled);
}

TEST_F(UiUpdateTest, DisableAllDisablesEveryKeyControl) {
    for (int k = 1; k <= kKeyColorCount; ++k)
        instance->SetCheckbox(Index(KeyEnableId(k)), true);
    instance->SetPopup(Index(kModeId), kModeDisableAll);
    std::set<A_long> disabled = AllKeyControls();
    for (int k = 1; k <= kKeyColorCount; ++k)
        disabled.insert(KeyEnableId(k));
    disabled.insert({kInvertId, kKeepDivisionId, kAlphaId});
    ExpectDisabledExactly(disabled);

    // Extract keeps the keys working.
    instance->SetPopup(Index(kModeId), kModeExtract);
    ExpectDisabledExactly({kAlphaId});
}

TEST_F(UiUpdateTest, TurningAutoAlphaOffEnablesA) {
    instance->SetCheckbox(Index(kAutoAlphaId), false);
    std::set<A_long> disabled = AllKeyControls();
    disabled.insert({kInvertId, kKeepDivisionId});
    ExpectDisabledExactly(disabled);
}

TEST_F(UiUpdateTest, ARenderEngineDisablesEverything) {
    hostPtr->settings().renderEngine = true;
    ASSERT_EQ(instance->UpdateParamsUI(), PF_Err_NONE);
    for (PF_ParamIndex i = 1; i < instance->ParamCount(); ++i)
        EXPECT_FALSE(instance->IsEnabled(i)) << "index " << i;
}

TEST_F(UiUpdateTest, AHostWithoutParamUtilsFailsWithTheSuiteCode) {
    hostPtr->Faults().RefuseSuite("PF Param Utils Suite", 2);
    EXPECT_EQ(instance->UpdateParamsUI(), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(ParamUtilsHeld(), 0);
}

TEST_F(UiUpdateTest, ARefusedUpdateIsIgnored) {
    hostPtr->Faults().Inject(host::Fault::UpdateParamUI, 1, PF_Err_INVALID_INDEX, true);
    EXPECT_EQ(instance->UpdateParamsUI(), PF_Err_NONE);
    EXPECT_EQ(ParamUtilsHeld(), 0);
}

} // namespace
