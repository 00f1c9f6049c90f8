// The fixture for tests of the effect's inside fails a test that leaks or breaks a protocol rule.
#include <gtest/gtest-spi.h>

#include "tests/support/EffectEnv.h"

namespace tovrin::test {
namespace {

class EffectEnvCheck : public EffectEnv {
protected:
    void SetUp() override {
        EffectEnv::SetUp();
        current = this;
    }
    static EffectEnvCheck* current;
    static void CheckNow() { current->ExpectClean(); }
    static void DisposeForeignHandle() {
        void* foreign = nullptr;
        current->InData()->utils->host_dispose_handle(&foreign);
    }
};
EffectEnvCheck* EffectEnvCheck::current = nullptr;

TEST_F(EffectEnvCheck, ALeftHandleFailsTheCheck) {
    PF_Handle h = InData()->utils->host_new_handle(12);
    EXPECT_NONFATAL_FAILURE(CheckNow(), "12 bytes");
    InData()->utils->host_dispose_handle(h);
}

TEST_F(EffectEnvCheck, AViolationFailsTheTestAtOnce) {
    EXPECT_NONFATAL_FAILURE(DisposeForeignHandle(), "does not know");
}

TEST_F(EffectEnvCheck, ItsInputRecordServesTheCallbacks) {
    host::World w = MakeWorld(3, 2, PF_PixelFormat_ARGB128);
    PF_Fixed hls[3];
    PF_Pixel red{255, 255, 0, 0};
    EXPECT_EQ(InData()->utils->colorCB.RGBtoHLS(InData()->effect_ref, &red, hls), PF_Err_NONE);
    EXPECT_EQ(InData()->appl_id, host::kAfterEffects);
    EXPECT_EQ(InData()->pica_basicP, Host().BasicSuite());
}

} // namespace
} // namespace tovrin::test
