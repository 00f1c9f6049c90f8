// The 29 controls as the host receives them at parameter setup: order, ids, names, kinds, ranges,
// defaults and flags; the same again after a new lifecycle; disabled on a render engine.
#include <cstring>
#include <string>

#include "params/Controls.h"
#include "tests/params/ParamsPluginFixture.h"

namespace {

using params_test::ParamsPluginTest;

struct Control {
    PF_ParamIndex index;
    A_long id;
    const char* name;
    PF_ParamType type;
};

// The host order; the ids are what projects store.
const Control kControls[] = {
    {1, 50, "Blur Type", PF_Param_POPUP},
    {2, 51, "Blur Amount", PF_Param_FLOAT_SLIDER},
    {3, 52, "Blur Repeat Num", PF_Param_SLIDER},
    {4, 53, "Blur Aspect", PF_Param_FLOAT_SLIDER},
    {5, 55, "Brightness", PF_Param_FLOAT_SLIDER},
    {6, 100, "RGB Blur", PF_Param_GROUP_START},
    {7, 103, "R", PF_Param_FLOAT_SLIDER},
    {8, 104, "G", PF_Param_FLOAT_SLIDER},
    {9, 105, "B", PF_Param_FLOAT_SLIDER},
    {10, 102, "Auto Alpha", PF_Param_CHECKBOX},
    {11, 106, "A", PF_Param_FLOAT_SLIDER},
    {12, 101, "", PF_Param_GROUP_END},
    {13, 150, "Key Colors", PF_Param_GROUP_START},
    {14, 152, "1 : Enable", PF_Param_CHECKBOX},
    {15, 153, "1 : Color", PF_Param_COLOR},
    {16, 154, "1 : Color Range", PF_Param_FLOAT_SLIDER},
    {17, 155, "2 : Enable", PF_Param_CHECKBOX},
    {18, 156, "2 : Color", PF_Param_COLOR},
    {19, 157, "2 : Color Range", PF_Param_FLOAT_SLIDER},
    {20, 158, "3 : Enable", PF_Param_CHECKBOX},
    {21, 159, "3 : Color", PF_Param_COLOR},
    {22, 160, "3 : Color Range", PF_Param_FLOAT_SLIDER},
    {23, 161, "4 : Enable", PF_Param_CHECKBOX},
    {24, 162, "4 : Color", PF_Param_COLOR},
    {25, 163, "4 : Color Range", PF_Param_FLOAT_SLIDER},
    {26, 164, "Mode", PF_Param_POPUP},
    {27, 165, "Invert", PF_Param_CHECKBOX},
    {28, 54, "Keep Division", PF_Param_CHECKBOX},
    {29, 151, "", PF_Param_GROUP_END},
};

struct FloatControl {
    A_long id;
    float validMin, validMax, sliderMin, sliderMax, dflt;
    PF_ValueDisplayFlags displayFlags;
};

const FloatControl kFloats[] = {
    {51, 0, 1000, 0, 100, 0, PF_ValueDisplayFlag_NONE},
    {53, -100, 100, -10, 10, 0, PF_ValueDisplayFlag_NONE},
    {55, 0, 100, 0, 100, 0, PF_ValueDisplayFlag_NONE},
    {103, 0, 1000, 0, 100, 0, PF_ValueDisplayFlag_NONE},
    {104, 0, 1000, 0, 100, 5, PF_ValueDisplayFlag_NONE},
    {105, 0, 1000, 0, 100, 15, PF_ValueDisplayFlag_NONE},
    {106, 0, 1000, 0, 100, 0, PF_ValueDisplayFlag_NONE},
    {154, 0, 100, 0, 50, 0, PF_ValueDisplayFlag_PERCENT},
    {157, 0, 100, 0, 50, 0, PF_ValueDisplayFlag_PERCENT},
    {160, 0, 100, 0, 50, 0, PF_ValueDisplayFlag_PERCENT},
    {163, 0, 100, 0, 50, 0, PF_ValueDisplayFlag_PERCENT},
};

TEST_F(ParamsPluginTest, RegistersTheControlsInHostOrderWithTheirIds) {
    SetUpParams();
    EXPECT_EQ(instance->LastOutData().num_params, 30);
    ASSERT_EQ(instance->ParamCount(), 30);
    for (const Control& c : kControls) {
        SCOPED_TRACE(c.index);
        const PF_ParamDef& def = instance->Param(c.index);
        EXPECT_EQ(def.uu.id, c.id);
        EXPECT_STREQ(def.name, c.name);
        EXPECT_EQ(def.param_type, c.type);
        // Only "RGB Blur" opens expanded; every definition carries the flag otherwise.
        EXPECT_EQ(def.flags, c.id == kRgbBlurTopicId ? 0 : PF_ParamFlag_COLLAPSE_TWIRLY);
        EXPECT_EQ(def.ui_flags & PF_PUI_DISABLED, 0);
    }
}

TEST_F(ParamsPluginTest, ControlsStartAtTheirBuiltInDefaults) {
    SetUpParams();
    for (const FloatControl& f : kFloats) {
        SCOPED_TRACE(f.id);
        const PF_FloatSliderDef& fs = ById(f.id).u.fs_d;
        EXPECT_EQ(fs.value, static_cast<double>(f.dflt));
        EXPECT_EQ(fs.dephault, f.dflt);
        EXPECT_EQ(fs.valid_min, f.validMin);
        EXPECT_EQ(fs.valid_max, f.validMax);
        EXPECT_EQ(fs.slider_min, f.sliderMin);
        EXPECT_EQ(fs.slider_max, f.sliderMax);
        EXPECT_EQ(fs.precision, 1);
        EXPECT_EQ(fs.display_flags, f.displayFlags);
        EXPECT_EQ(fs.fs_flags, 0u);
        EXPECT_EQ(fs.curve_tolerance, 0.05f);
    }

    const PF_SliderDef& repeat = ById(kBlurRepeatNumId).u.sd;
    EXPECT_EQ(repeat.value, 3);
    EXPECT_EQ(repeat.dephault, 3);
    EXPECT_EQ(repeat.valid_min, 1);
    EXPECT_EQ(repeat.valid_max, 10);
    EXPECT_EQ(repeat.slider_min, 1);
    EXPECT_EQ(repeat.slider_max, 10);
    EXPECT_STREQ(repeat.value_str, "");
    EXPECT_STREQ(repeat.value_desc, "");

    const PF_PopupDef& blurType = ById(kBlurTypeId).u.pd;
    EXPECT_EQ(blurType.value, kBlurTypeBox);
    EXPECT_EQ(blurType.dephault, kBlurTypeBox);
    EXPECT_EQ(blurType.num_choices, 2);
    EXPECT_STREQ(blurType.u.namesptr, "Gaussian|Box");
    const PF_PopupDef& mode = ById(kModeId).u.pd;
    EXPECT_EQ(mode.value, kModeNormal);
    EXPECT_EQ(mode.dephault, kModeNormal);
    EXPECT_EQ(mode.num_choices, 3);
    EXPECT_STREQ(mode.u.namesptr, "Normal|Extract|Disable All");

    const struct {
        A_long id;
        A_long value;
    } checkboxes[] = {{kAutoAlphaId, 1},   {KeyEnableId(1), 0}, {KeyEnableId(2), 0}, {KeyEnableId(3), 0},
                      {KeyEnableId(4), 0}, {kInvertId, 0},      {kKeepDivisionId, 1}};
    for (const auto& c : checkboxes) {
        SCOPED_TRACE(c.id);
        const PF_CheckBoxDef& bd = ById(c.id).u.bd;
        EXPECT_EQ(bd.value, c.value);
        EXPECT_EQ(bd.dephault, c.value);
        ASSERT_NE(bd.u.nameptr, nullptr);
        EXPECT_STREQ(bd.u.nameptr, "");
    }

    for (int k = 1; k <= kKeyColorCount; ++k) {
        SCOPED_TRACE(k);
        const PF_ColorDef& cd = ById(KeyColorId(k)).u.cd;
        for (const PF_Pixel& p : {cd.value, cd.dephault}) {
            EXPECT_EQ(p.alpha, 255);
            EXPECT_EQ(p.red, 3);
            EXPECT_EQ(p.green, 180);
            EXPECT_EQ(p.blue, 245);
        }
    }
}

TEST_F(ParamsPluginTest, ANewLifecycleGivesTheSameIndicesAndCount) {
    SetUpParams();
    ASSERT_EQ(instance->GlobalSetdown(), PF_Err_NONE);
    host::Instance again(*hostPtr, plugin);
    ASSERT_EQ(again.GlobalSetup(), PF_Err_NONE);
    ASSERT_EQ(again.ParamsSetup(), PF_Err_NONE);
    EXPECT_EQ(again.LastOutData().num_params, 30);
    ASSERT_EQ(again.ParamCount(), 30);
    for (const Control& c : kControls)
        EXPECT_EQ(again.Param(c.index).uu.id, c.id) << "index " << c.index;
    EXPECT_EQ(again.GlobalSetdown(), PF_Err_NONE);
}

TEST_F(ParamsPluginTest, ARenderEngineRegistersEveryControlDisabled) {
    hostPtr->settings().renderEngine = true;
    SetUpParams();
    for (PF_ParamIndex i = 1; i < instance->ParamCount(); ++i) {
        EXPECT_NE(instance->Param(i).ui_flags & PF_PUI_DISABLED, 0) << "index " << i;
        EXPECT_FALSE(instance->IsEnabled(i)) << "index " << i;
    }
}

TEST_F(ParamsPluginTest, AFailedAddParamStopsTheSetupWithItsCode) {
    ASSERT_EQ(instance->GlobalSetup(), PF_Err_NONE);
    hostPtr->Faults().Inject(host::Fault::AddParam, 5, PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(instance->ParamsSetup(), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(instance->ParamCount(), 5); // the layer and the four definitions before the failure
    hostPtr->Faults().Clear();
    // The next setup registers the whole list.
    EXPECT_EQ(instance->ParamsSetup(), PF_Err_NONE);
    EXPECT_EQ(instance->ParamCount(), 30);
}

} // namespace
