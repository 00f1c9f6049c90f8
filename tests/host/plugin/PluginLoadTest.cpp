// The host loads the built plug-in file as the real host does: reads its PiPL, finds the entry point the
// PiPL names, and accepts the global-setup answers only when they agree with the PiPL.
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/HostError.h"
#include "host/Instance.h"
#include "host/Plugin.h"

namespace tovrin::test {
namespace {

std::string PluginPath() {
    const char* path = std::getenv("TOVRIN_PLUGIN");
    return path ? path : "";
}

class PluginFile : public ::testing::Test {
protected:
    void SetUp() override {
        if (PluginPath().empty())
            GTEST_SKIP() << "TOVRIN_PLUGIN is not set";
        host.SetViolationObserver(
            [](const std::string& what) { ADD_FAILURE() << "embedded host: " << what; });
        plugin = host::Plugin::Load(PluginPath());
    }
    host::Host host;
    std::shared_ptr<host::Plugin> plugin;
};

TEST_F(PluginFile, ThePiPLDescribesTheEffect) {
    const host::PiPL* pipl = plugin->pipl();
    ASSERT_NE(pipl, nullptr);
    EXPECT_EQ(pipl->kind, host::FourCC("eFKT"));
    EXPECT_EQ(pipl->name, "Tovrin");
    EXPECT_EQ(pipl->category, "Ostrel");
    EXPECT_EQ(pipl->entryPoint, "EntryPointFunc");
    EXPECT_EQ(pipl->matchName, "OSTREL TOVRIN");
    EXPECT_EQ(pipl->specVersion, (host::SpecVersion{13, 0}));
    EXPECT_EQ(pipl->pipLVersion, (host::SpecVersion{2, 0}));
    EXPECT_EQ(pipl->version, 0x00081602u);
    EXPECT_EQ(pipl->outFlags, 0x06000470u);
    EXPECT_EQ(pipl->outFlags2, 0x00001498u);
    EXPECT_EQ(pipl->properties.size(), 12u);
    EXPECT_NE(plugin->Entry(), nullptr);
}

TEST_F(PluginFile, TheResourceHoldsExactlyTheEffectsBytes) {
    host::PiPLDescription tovrin{"Tovrin", "Ostrel",   "EntryPointFunc", "OSTREL TOVRIN",
                                 {13, 0},  0x00081602, 0x06000470,       0x00001498};
    EXPECT_EQ(host::Plugin::ReadPiPLBytes(plugin->Module()), host::MakeEffectPiPL(tovrin));
}

TEST_F(PluginFile, ALifecycleThroughTheFileLeavesNothingBehind) {
    {
        host::Instance instance(host, plugin);
        ASSERT_EQ(instance.GlobalSetup(), PF_Err_NONE); // throws when the answers disagree with the PiPL
        std::string about;
        EXPECT_EQ(instance.About(&about), PF_Err_NONE);
        EXPECT_EQ(about.rfind("Tovrin 1.0.2", 0), 0u) << about;
        ASSERT_EQ(instance.ParamsSetup(), PF_Err_NONE);
        ASSERT_EQ(instance.SequenceSetup(), PF_Err_NONE);
        EXPECT_EQ(instance.SequenceSetdown(), PF_Err_NONE);
        EXPECT_EQ(instance.GlobalSetdown(), PF_Err_NONE);
    }
    EXPECT_EQ(host.LeakReport(), "");
    EXPECT_GT(host.Handles().created, 0u); // the effect's memory came from host handles
}

TEST(PluginLoad, FilesThatAreNotEffectsAreRefusedWithTheReason) {
    host::Host host;
    try {
        host::Plugin::Load("no-such-plugin.aex");
        FAIL() << "loaded";
    } catch (const host::HostError& e) {
        EXPECT_NE(std::string(e.what()).find("no-such-plugin.aex"), std::string::npos) << e.what();
    }
}

} // namespace
} // namespace tovrin::test
