// Sequence data through the host: the record a new instance gets, its flat form in a project, and every
// kind of stored data that re-setup may be handed.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "tests/params/ParamsPluginFixture.h"

namespace {

using params_test::ParamsPluginTest;
using Bytes = std::vector<std::uint8_t>;

// In memory: magic, flat marker 0, size 24, version 1, reserved zeros (little-endian on every host).
const Bytes kDefaultRecord = {0x71, 0x73, 0x76, 0x7A, 0, 0, 0, 0, 0x18, 0, 0, 0,
                              1,    0,    0,    0,    0, 0, 0, 0, 0,    0, 0, 0};
// Flat: magic, marker 1, version 1, size 24, reserved zeros.
const Bytes kFlatRecord = {0x71, 0x73, 0x76, 0x7A, 1, 0, 0, 0, 1, 0, 0, 0,
                           0x18, 0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0};

class SequenceDataTest : public ParamsPluginTest {
protected:
    void SetUp() override {
        ParamsPluginTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(instance->GlobalSetup(), PF_Err_NONE);
    }

    Bytes ResetupFrom(const Bytes& stored) {
        if (instance->SequenceData()) {
            EXPECT_EQ(instance->SequenceSetdown(), PF_Err_NONE);
        }
        EXPECT_EQ(instance->SequenceResetup(stored), PF_Err_NONE);
        return instance->SequenceBytes();
    }
};

TEST_F(SequenceDataTest, SetupGivesTheDefaultRecord) {
    ASSERT_EQ(instance->SequenceSetup(), PF_Err_NONE);
    EXPECT_EQ(instance->SequenceBytes(), kDefaultRecord);
}

TEST_F(SequenceDataTest, FlattenWritesTheFixedBytesAndRoundTrips) {
    ASSERT_EQ(instance->SequenceSetup(), PF_Err_NONE);
    Bytes flat;
    ASSERT_EQ(instance->SequenceFlatten(&flat), PF_Err_NONE);
    EXPECT_EQ(flat, kFlatRecord);
    ASSERT_EQ(instance->SequenceResetup(), PF_Err_NONE);
    EXPECT_EQ(instance->SequenceBytes(), kDefaultRecord);
    // Flattening again gives the same bytes: nothing drifts through a save and reopen.
    ASSERT_EQ(instance->SequenceFlatten(&flat), PF_Err_NONE);
    EXPECT_EQ(flat, kFlatRecord);
}

TEST_F(SequenceDataTest, ReservedBytesSurviveTheRoundTrip) {
    Bytes stored = kFlatRecord;
    for (int i = 16; i < 24; ++i)
        stored[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    Bytes expected = kDefaultRecord;
    for (int i = 16; i < 24; ++i)
        expected[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(ResetupFrom(stored), expected);
    Bytes flat;
    ASSERT_EQ(instance->SequenceFlatten(&flat), PF_Err_NONE);
    EXPECT_EQ(flat, stored);
}

TEST_F(SequenceDataTest, BadStoredDataGivesTheDefaultRecord) {
    Bytes wrongVersion = kFlatRecord;
    wrongVersion[8] = 2;
    Bytes wrongSize = kFlatRecord;
    wrongSize[12] = 25;
    Bytes foreign = kFlatRecord;
    foreign[0] = 'x';
    Bytes nonzeroReservedWithBadVersion = wrongVersion;
    nonzeroReservedWithBadVersion[20] = 0xEE;
    const Bytes shortWithMagic(kFlatRecord.begin(), kFlatRecord.begin() + 20);
    const Bytes magicOnly(kFlatRecord.begin(), kFlatRecord.begin() + 4);
    const Bytes shorterThanMagic = {0x71, 0x73, 0x76};
    const Bytes empty;
    Bytes longer = kFlatRecord;
    longer.resize(4096, 0xAB);

    for (const Bytes* stored : std::initializer_list<const Bytes*>{
             &wrongVersion, &wrongSize, &foreign, &nonzeroReservedWithBadVersion, &shortWithMagic, &magicOnly,
             &shorterThanMagic, &empty}) {
        SCOPED_TRACE(stored->size());
        EXPECT_EQ(ResetupFrom(*stored), kDefaultRecord);
    }
    // Trailing bytes after a good record are ignored.
    EXPECT_EQ(ResetupFrom(longer), kDefaultRecord);
}

TEST_F(SequenceDataTest, ResetupWithoutStoredDataIsAFreshSetup) {
    ASSERT_EQ(instance->SequenceResetup(), PF_Err_NONE);
    EXPECT_EQ(instance->SequenceBytes(), kDefaultRecord);
}

TEST_F(SequenceDataTest, HandleFailuresGiveTheirCodesAndLeakNothing) {
    hostPtr->Faults().Inject(host::Fault::NewHandle, 1);
    EXPECT_EQ(instance->SequenceSetup(), PF_Err_OUT_OF_MEMORY);
    hostPtr->Faults().Inject(host::Fault::LockHandle, 1);
    EXPECT_EQ(instance->SequenceSetup(), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(instance->SequenceData(), nullptr);

    ASSERT_EQ(instance->SequenceSetup(), PF_Err_NONE);
    hostPtr->Faults().Inject(host::Fault::NewHandle, 1);
    EXPECT_EQ(instance->SequenceFlatten(), PF_Err_OUT_OF_MEMORY);
    hostPtr->Faults().Inject(host::Fault::LockHandle, 2); // the flat form's handle
    EXPECT_EQ(instance->SequenceFlatten(), PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(instance->SequenceBytes(), kDefaultRecord); // the record is still there, unflattened
}

TEST_F(SequenceDataTest, SetdownAndFlattenGiveTheRecordBack) {
    const auto before = hostPtr->Handles().live;
    ASSERT_EQ(instance->SequenceSetup(), PF_Err_NONE);
    ASSERT_EQ(instance->SequenceFlatten(), PF_Err_NONE);
    EXPECT_EQ(hostPtr->Handles().live, before + 1) << "only the flat form is left";
    ASSERT_EQ(instance->SequenceResetup(), PF_Err_NONE);
    EXPECT_EQ(hostPtr->Handles().live, before + 1) << "only the record is left";
    ASSERT_EQ(instance->SequenceSetdown(), PF_Err_NONE);
    EXPECT_EQ(hostPtr->Handles().live, before);
}

} // namespace
