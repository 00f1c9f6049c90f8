// A project saved with the effect and reopened finds its values by the persistent ids, whatever the
// order in which the project lists them, and its sequence data re-set-up to the same record.
#include <algorithm>

#include "host/Project.h"
#include "params/Controls.h"
#include "tests/params/ParamsPluginFixture.h"

namespace {

using params_test::ParamsPluginTest;

TEST_F(ParamsPluginTest, AReopenedProjectFindsItsValuesByTheirIds) {
    ASSERT_EQ(instance->Apply(), PF_Err_NONE);
    instance->SetFloat(Index(kBlurAmountId), 250.0);
    instance->SetPopup(Index(kModeId), kModeExtract);
    instance->SetCheckbox(Index(kKeepDivisionId), false);
    instance->SetColor(Index(KeyColorId(3)), PF_Pixel{255, 1, 2, 3});
    host::Project project;
    ASSERT_EQ(instance->Capture(&project), PF_Err_NONE);
    // Saved and read back as text, listed in reverse.
    project = host::ReadProjectText(host::WriteProjectText(project));
    std::reverse(project.values.begin(), project.values.end());

    ASSERT_EQ(instance->SequenceSetdown(), PF_Err_NONE);
    ASSERT_EQ(instance->GlobalSetdown(), PF_Err_NONE);
    host::Instance reopened(*hostPtr, plugin);
    ASSERT_EQ(reopened.Apply(), PF_Err_NONE);
    std::vector<A_long> unknown;
    ASSERT_EQ(reopened.Restore(project, &unknown), PF_Err_NONE);
    EXPECT_TRUE(unknown.empty());
    EXPECT_EQ(reopened.Param(reopened.IndexOfId(kBlurAmountId)).u.fs_d.value, 250.0);
    EXPECT_EQ(reopened.Param(reopened.IndexOfId(kModeId)).u.pd.value, kModeExtract);
    EXPECT_EQ(reopened.Param(reopened.IndexOfId(kKeepDivisionId)).u.bd.value, 0);
    EXPECT_EQ(reopened.Param(reopened.IndexOfId(KeyColorId(3))).u.cd.value.green, 2);
    EXPECT_EQ(reopened.Param(reopened.IndexOfId(kGreenId)).u.fs_d.value, 5.0);
    const std::vector<std::uint8_t> record = reopened.SequenceBytes();
    ASSERT_EQ(record.size(), 24u);
    EXPECT_EQ(record[0], 0x71);
    EXPECT_EQ(record[3], 0x7A);
    EXPECT_EQ(record[4], 0) << "unflattened again";
    ASSERT_EQ(reopened.SequenceSetdown(), PF_Err_NONE);
    EXPECT_EQ(reopened.GlobalSetdown(), PF_Err_NONE);
}

} // namespace
