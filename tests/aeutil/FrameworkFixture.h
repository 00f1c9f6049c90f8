#pragma once
// An embedded host with the framework's process-wide suite holder over its basic suite, as the first
// command would make it; the test fails if anything is left behind.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "host/Host.h"
#include "host/Instance.h"
#include "share/AEUtil/PendingErrors.h"
#include "share/AEUtil/SuiteHolder.h"

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        hostPtr = std::make_unique<host::Host>(settings);
        instance = std::make_unique<host::Instance>(*hostPtr);
        in_data = instance->MakeInData();
        holder.emplace(in_data.pica_basicP);
        AEUtil::SetGlobalSuites(&*holder);
        AEUtil::CreatePendingErrors();
        AEUtil::ClearPendingErrors();
    }
    void TearDown() override {
        AEUtil::DestroyPendingErrors();
        AEUtil::SetGlobalSuites(nullptr);
        holder.reset();
        instance.reset();
        EXPECT_EQ(hostPtr->LeakReport(), "");
        EXPECT_TRUE(hostPtr->Violations().empty());
        hostPtr.reset();
    }
    host::Settings settings;
    std::unique_ptr<host::Host> hostPtr;
    std::unique_ptr<host::Instance> instance;
    PF_InData in_data{};
    std::optional<AEUtil::SuiteHolder> holder;
};
