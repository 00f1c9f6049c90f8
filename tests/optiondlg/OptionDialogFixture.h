#pragma once
// The built plug-in in an embedded host, reporting a file path in a folder of the test's own, so that the
// stored-defaults file lands there; and, outside Windows, the option dialog answered through a script
// with its transcript kept.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "host/Host.h"
#include "host/Instance.h"
#include "host/Plugin.h"

namespace optiondlg_test {

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A folder of its own for each test, removed afterwards.
inline std::filesystem::path MakeTestFolder() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("tovrin-optiondlg-" + std::string(info->test_suite_name()) + "-" + info->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

class OptionDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = std::getenv("TOVRIN_PLUGIN");
        ASSERT_NE(path, nullptr) << "TOVRIN_PLUGIN names the plug-in file";
        folder = MakeTestFolder();
        LoadPlugin();
        iniPath = folder / std::filesystem::path(path).filename().replace_extension(".ini");
    }

    void LoadPlugin() {
        const std::filesystem::path path = std::getenv("TOVRIN_PLUGIN");
        plugin = host::Plugin::Load(path);
        plugin->SetFile(folder / path.filename());
    }

    void TearDown() override {
        EndLifecycle();
        hostPtr.reset();
        plugin.reset();
        unsetenv("TOVRIN_DIALOG_INPUT");
        unsetenv("TOVRIN_DIALOG_OUTPUT");
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    // A host of the given application and effect API version with the effect applied: global, parameter
    // and sequence setup. A host that exists already goes first, with a set-down of the effect.
    void StartHost(A_long application, PF_SpecVersion version) {
        EndLifecycle();
        hostPtr.reset();
        host::Settings settings;
        settings.applicationId = application;
        settings.version = version;
        hostPtr = std::make_unique<host::Host>(settings);
        StartLifecycle();
    }

    // The host stops, unloading the plug-in, and starts again as it was.
    void RestartHost() {
        const host::Settings settings = hostPtr->settings();
        EndLifecycle();
        hostPtr.reset();
        plugin.reset();
        LoadPlugin();
        StartHost(settings.applicationId, settings.version);
    }

    // A new lifecycle of the plug-in in the same host: the stored defaults are read again.
    void StartLifecycle() {
        instance = std::make_unique<host::Instance>(*hostPtr, plugin);
        ASSERT_EQ(instance->Apply(), PF_Err_NONE);
    }

    void EndLifecycle() {
        if (!instance)
            return;
        EXPECT_EQ(instance->SequenceSetdown(), PF_Err_NONE);
        EXPECT_EQ(instance->GlobalSetdown(), PF_Err_NONE);
        instance.reset();
        EXPECT_EQ(hostPtr->LeakReport(), "");
        EXPECT_TRUE(hostPtr->Violations().empty());
    }

    PF_ParamIndex Index(const char* name) const {
        const PF_ParamIndex index = instance->IndexOfName(name);
        EXPECT_GT(index, 0) << name;
        return index;
    }
    const PF_ParamDef& Param(const char* name) const { return instance->Param(Index(name)); }

    // Opens the dialog with these answers, one per line; returns what the dialog wrote.
    std::string AnswerDialog(const std::string& answers) {
        const std::filesystem::path input = folder / "answers.txt";
        const std::filesystem::path output = folder / "dialog.txt";
        WriteFile(input, answers);
        setenv("TOVRIN_DIALOG_INPUT", input.string().c_str(), 1);
        setenv("TOVRIN_DIALOG_OUTPUT", output.string().c_str(), 1);
        EXPECT_EQ(instance->DoDialog(), PF_Err_NONE);
        return ReadFile(output);
    }

    std::filesystem::path folder;
    std::filesystem::path iniPath;
    std::shared_ptr<host::Plugin> plugin;
    std::unique_ptr<host::Host> hostPtr;
    std::unique_ptr<host::Instance> instance;
};

inline int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
        ++n;
    return n;
}

} // namespace optiondlg_test
