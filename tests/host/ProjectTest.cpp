// Projects: values stored by parameter id with the flat sequence data, and reopened by those ids.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "host/HostError.h"
#include "host/Project.h"
#include "tests/host/FakeEffect.h"
#include "tests/host/HostFixture.h"

namespace tovrin::test {
namespace {

TEST(ProjectText, RoundTripsEveryStoredKindExactly) {
    host::Project p;
    p.matchName = "OSTREL TOVRIN";
    p.version = 0x00081602;
    host::ProjectValue v;
    v.id = 3;
    v.type = PF_Param_FLOAT_SLIDER;
    v.value.fs_d.value = 0.1 + 0.2; // needs all 17 digits
    p.values.push_back(v);
    v = {};
    v.id = 7;
    v.type = PF_Param_COLOR;
    v.value.cd.value = PF_Pixel{255, 1, 2, 3};
    p.values.push_back(v);
    v = {};
    v.id = 9;
    v.type = PF_Param_POPUP;
    v.value.pd.value = -2;
    p.values.push_back(v);
    p.sequenceData = {0x71, 0x73, 0x76, 0x7A, 0, 255};

    host::Project back = host::ReadProjectText(host::WriteProjectText(p));
    EXPECT_EQ(back.matchName, p.matchName);
    EXPECT_EQ(back.version, p.version);
    ASSERT_EQ(back.values.size(), 3u);
    EXPECT_EQ(back.values[0].value.fs_d.value, 0.1 + 0.2);
    EXPECT_EQ(back.values[1].value.cd.value.blue, 3);
    EXPECT_EQ(back.values[2].value.pd.value, -2);
    EXPECT_EQ(back.sequenceData, p.sequenceData);
}

TEST(ProjectText, BadFilesNameTheLineAtFault) {
    EXPECT_THROW(host::ReadProjectText("something else\n"), host::HostError);
    try {
        host::ReadProjectText("Tovrin project 1\neffect X\nparam 4 slider ten\n");
        FAIL();
    } catch (const host::HostError& e) {
        EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
    }
    EXPECT_THROW(host::ReadProjectText("Tovrin project 1\neffect X\nparam 4 layer 1\n"), host::HostError);
    EXPECT_THROW(host::ReadProjectText("Tovrin project 1\neffect X\nparam 4 color 1 2 3 300\n"),
                 host::HostError);
    EXPECT_THROW(host::ReadProjectText("Tovrin project 1\neffect X\nsequence abc\n"), host::HostError);
    EXPECT_THROW(host::ReadProjectText("Tovrin project 1\nparam 4 slider 1\n"), host::HostError);
    EXPECT_THROW(host::LoadProject("/nonexistent/project.txt"), host::HostError);
}

class ProjectFile : public ::testing::Test {
protected:
    ProjectFile() : plugin(host::Plugin::Wrap(&fake::Entry, fake::Pipl())) { fake::behaviour = {}; }
    void TearDown() override {
        std::filesystem::remove(file);
        EXPECT_EQ(host.LeakReport(), "");
    }
    host::Host host;
    std::shared_ptr<host::Plugin> plugin;
    std::filesystem::path file = std::filesystem::temp_directory_path() / "tovrin-host-project-test.txt";
};

TEST_F(ProjectFile, AReopenedProjectFindsItsValuesByTheIds) {
    {
        host::Instance saved(host, plugin);
        ASSERT_EQ(saved.Apply(), PF_Err_NONE);
        saved.SetSlider(saved.IndexOfId(fake::kAmount), 64);
        saved.SetFloat(saved.IndexOfId(fake::kGain), 0.125);
        saved.SetColor(saved.IndexOfId(fake::kTint), PF_Pixel{255, 9, 8, 7});
        ASSERT_EQ(saved.SaveProject(file), PF_Err_NONE);
        EXPECT_NE(saved.SequenceData(), nullptr); // the instance goes on after the save
        saved.SequenceSetdown();
    }
    // Another file lists the ids in another order and one the effect does not have.
    host::Project p = host::LoadProject(file);
    std::reverse(p.values.begin(), p.values.end());
    host::ProjectValue stranger;
    stranger.id = 4242;
    stranger.type = PF_Param_SLIDER;
    p.values.push_back(stranger);
    host::SaveProject(p, file);

    host::Instance reopened(host, plugin);
    ASSERT_EQ(reopened.GlobalSetup(), PF_Err_NONE);
    ASSERT_EQ(reopened.ParamsSetup(), PF_Err_NONE);
    std::vector<A_long> unknown;
    ASSERT_EQ(reopened.OpenProject(file, &unknown), PF_Err_NONE);
    EXPECT_EQ(unknown, std::vector<A_long>{4242});
    EXPECT_EQ(reopened.Param(reopened.IndexOfId(fake::kAmount)).u.sd.value, 64);
    EXPECT_EQ(reopened.Param(reopened.IndexOfId(fake::kGain)).u.fs_d.value, 0.125);
    EXPECT_EQ(reopened.Param(reopened.IndexOfId(fake::kTint)).u.cd.value.red, 9);
    EXPECT_EQ(reopened.Param(reopened.IndexOfId(fake::kMode)).u.pd.value, 2);
    EXPECT_EQ(reopened.SequenceBytes()[4], 2); // restored from the flat data, not set up afresh
    reopened.SequenceSetdown();
}

TEST_F(ProjectFile, AProjectOfAnotherEffectIsRefused) {
    host::Instance instance(host, plugin);
    host::Project p;
    p.matchName = "SOMEONE ELSE";
    EXPECT_THROW(instance.Restore(p), host::HostError);
}

} // namespace
} // namespace tovrin::test
