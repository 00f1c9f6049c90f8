#pragma once
// A GoogleTest fixture for tests that call the effect's inside directly: an embedded host, an instance
// without a plug-in whose input record the test passes to the effect's functions, and at teardown the
// check that nothing leaked and no protocol rule was broken.
//
// The fixture does not know the effect's framework. Tests that need the process-wide suite holder (for
// the allocator) derive from EffectSuitesEnv in tests/support/EffectSuites.h instead.
#include <gtest/gtest.h>

#include <memory>

#include "host/Host.h"
#include "host/Instance.h"
#include "host/World.h"

namespace tovrin::test {

class EffectEnv : public ::testing::Test {
protected:
    EffectEnv();
    ~EffectEnv() override;
    void SetUp() override;
    void TearDown() override;

    // Hooks for derived fixtures: installed after the host exists, removed before the leak check.
    virtual void InstallGlobals() {}
    virtual void RemoveGlobals() {}

    host::Host& Host() { return *host_; }
    host::Instance& Instance() { return *instance_; }
    // The input record of the fixture's instance, made at SetUp; refresh with ResetInData after changing
    // the host's settings.
    PF_InData* InData() { return &inData_; }
    void ResetInData() { inData_ = instance_->MakeInData(); }
    host::World MakeWorld(A_long width, A_long height, PF_PixelFormat format, bool clear = true) {
        return host::World(*host_, width, height, format, clear);
    }

    // Fails the test when the host saw a leak or a violation (called by TearDown).
    void ExpectClean();

private:
    std::unique_ptr<host::Host> host_;
    std::unique_ptr<host::Instance> instance_;
    PF_InData inData_{};
};

} // namespace tovrin::test
