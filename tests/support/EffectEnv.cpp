#include "tests/support/EffectEnv.h"

namespace tovrin::test {

EffectEnv::EffectEnv() : host_(std::make_unique<host::Host>()) {
    instance_ = std::make_unique<host::Instance>(*host_);
    host_->SetViolationObserver([](const std::string& what) { ADD_FAILURE() << "embedded host: " << what; });
}

EffectEnv::~EffectEnv() {
    instance_.reset();
    host_.reset();
}

void EffectEnv::SetUp() {
    inData_ = instance_->MakeInData();
    InstallGlobals();
}

void EffectEnv::TearDown() {
    RemoveGlobals();
    ExpectClean();
}

void EffectEnv::ExpectClean() {
    std::string leaks = host_->LeakReport() + instance_->LeakReport();
    EXPECT_TRUE(leaks.empty()) << "the embedded host reports what the effect still holds:\n" << leaks;
}

} // namespace tovrin::test
