#pragma once
// A host with one plug-in-less instance, for tests of the host itself: violations are collected rather
// than failing the test, so that a test can expect them.
#include <gtest/gtest.h>

#include <memory>

#include "host/Host.h"
#include "host/Instance.h"
#include "sdk/AE_EffectSuites.h"

namespace tovrin::test {

class HostTest : public ::testing::Test {
protected:
    explicit HostTest(host::Settings settings = {})
        : host(settings), instance(host), in(instance.MakeInData()), utils(*in.utils) {}

    template <class Suite>
    const Suite* Acquire(const char* name, A_long version) {
        const void* suite = nullptr;
        EXPECT_EQ(host.BasicSuite()->AcquireSuite(name, version, &suite), kSPNoError)
            << name << " " << version;
        return static_cast<const Suite*>(suite);
    }
    void Release(const char* name, A_long version) {
        EXPECT_EQ(host.BasicSuite()->ReleaseSuite(name, version), kSPNoError);
    }
    PF_ProgPtr ref() const { return in.effect_ref; }

    host::Host host;
    host::Instance instance;
    PF_InData in;
    PF_UtilCallbacks& utils;
};

} // namespace tovrin::test
