#pragma once
// Loads the built plug-in file into an embedded host, as a host application does, with the plug-in's
// path reported in a folder of the test's own: the stored-defaults file beside it belongs to this test
// alone. After each test the plug-in must have left nothing behind and broken no protocol rule.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "host/Host.h"
#include "host/Instance.h"
#include "host/Plugin.h"

namespace params_test {

class ParamsPluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = std::getenv("TOVRIN_PLUGIN");
        ASSERT_NE(path, nullptr) << "TOVRIN_PLUGIN names the plug-in file";
        static std::atomic<int> counter{0};
        folder =
            std::filesystem::temp_directory_path() /
            ("tovrin-params-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
             "-" + std::to_string(counter++));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);

        plugin = host::Plugin::Load(path);
        pluginFile = folder / std::filesystem::path(path).filename();
        plugin->SetFile(pluginFile);
        hostPtr = std::make_unique<host::Host>(settings);
        hostPtr->SetViolationObserver(
            [](const std::string& what) { ADD_FAILURE() << "embedded host: " << what; });
        instance = std::make_unique<host::Instance>(*hostPtr, plugin);
    }

    void TearDown() override {
        if (instance && instance->plugin()) {
            instance->ReleasePreRenderData();
            if (instance->SequenceData())
                instance->SequenceSetdown();
            instance->GlobalSetdown();
        }
        instance.reset();
        if (hostPtr) {
            EXPECT_EQ(hostPtr->LeakReport(), "");
            hostPtr.reset();
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    // The stored-defaults file: the plug-in's path with the extension ".ini".
    std::filesystem::path IniFile() const {
        std::filesystem::path ini = pluginFile;
        return ini.replace_extension(".ini");
    }
    void WriteIni(std::string_view text) const {
        std::ofstream out(IniFile(), std::ios::binary);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }

    // Global setup and parameter setup.
    void SetUpParams() {
        ASSERT_EQ(instance->GlobalSetup(), PF_Err_NONE);
        ASSERT_EQ(instance->ParamsSetup(), PF_Err_NONE);
    }

    PF_ParamIndex Index(A_long id) const { return instance->IndexOfId(id); }
    const PF_ParamDef& ById(A_long id) const { return instance->Param(Index(id)); }

    host::Settings settings;
    std::filesystem::path folder;
    std::filesystem::path pluginFile;
    std::shared_ptr<host::Plugin> plugin;
    std::unique_ptr<host::Host> hostPtr;
    std::unique_ptr<host::Instance> instance;
};

} // namespace params_test
