#pragma once
// Loads the built plug-in file into an embedded host, as a host application does, and checks after each
// test that the plug-in left nothing behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "host/Host.h"
#include "host/Instance.h"
#include "host/Plugin.h"

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = std::getenv("TOVRIN_PLUGIN");
        ASSERT_NE(path, nullptr) << "TOVRIN_PLUGIN names the plug-in file";
        plugin = host::Plugin::Load(path);
        hostPtr = std::make_unique<host::Host>(settings);
        instance = std::make_unique<host::Instance>(*hostPtr, plugin);
    }
    void TearDown() override {
        if (instance && instance->plugin())
            instance->GlobalSetdown();
        instance.reset();
        EXPECT_EQ(hostPtr->LeakReport(), "");
        EXPECT_TRUE(hostPtr->Violations().empty());
        hostPtr.reset();
    }
    host::Settings settings;
    std::shared_ptr<host::Plugin> plugin;
    std::unique_ptr<host::Host> hostPtr;
    std::unique_ptr<host::Instance> instance;
};
