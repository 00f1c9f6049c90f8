// Plug-in files the host refuses, each with a message that says why.
#include <gtest/gtest.h>

#include <functional>

#include "host/HostError.h"
#include "host/Instance.h"
#include "host/Plugin.h"

namespace tovrin::test {
namespace {

std::string Refusal(const std::function<void()>& f) {
    try {
        f();
    } catch (const host::HostError& e) {
        return e.what();
    }
    return "";
}

TEST(PluginRefusal, AGlobalSetupThatDisagreesWithThePiPLIsRefused) {
    host::Host host;
    auto plugin = host::Plugin::Load(HOST_MODULE_MISMATCH);
    EXPECT_EQ(plugin->pipl()->name, "host_module_mismatch");
    EXPECT_EQ(plugin->pipl()->outFlags, 0x400u);
    host::Instance instance(host, plugin);
    std::string why = Refusal([&] { instance.GlobalSetup(); });
    EXPECT_NE(why.find("out_flags 0x404 (PiPL 'eGLO' 0x400)"), std::string::npos) << why;
}

TEST(PluginRefusal, AnEntryPointTheFileDoesNotExportIsRefused) {
    std::string why = Refusal([] { host::Plugin::Load(HOST_MODULE_NOENTRY); });
    EXPECT_NE(why.find("does not export the entry point 'MissingEntry'"), std::string::npos) << why;
}

TEST(PluginRefusal, AFileWithoutAPiPLIsRefused) {
    std::string why = Refusal([] { host::Plugin::Load(HOST_MODULE_NOPIPL); });
    EXPECT_NE(why.find("no PiPL"), std::string::npos) << why;
}

} // namespace
} // namespace tovrin::test
