// The PiPL parser: the effect's own layout read back, and malformed lists refused with a reason.
#include "host/PiPL.h"

#include <gtest/gtest.h>

namespace tovrin::test {
namespace {

host::PiPLDescription Tovrin() {
    return {"Tovrin", "Ostrel",   "EntryPointFunc", "OSTREL TOVRIN",
            {13, 0},  0x00081602, 0x06000470,       0x00001498};
}

TEST(PiPL, TheEffectsListReadsBackFieldByField) {
    std::vector<std::uint8_t> bytes = host::MakeEffectPiPL(Tovrin());
    EXPECT_EQ(bytes.size(), 282u); // 10 + 12 × 16 + the padded data 4+8+8+16+4+4+4+4+4+4+16+4
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(std::string(bytes.begin() + 10, bytes.begin() + 18), "MIB8dnik");
    std::string error;
    auto pipl = host::ParsePiPL(bytes, &error);
    ASSERT_TRUE(pipl) << error;
    EXPECT_EQ(pipl->properties.size(), 12u);
    EXPECT_EQ(pipl->kind, host::FourCC("eFKT"));
    EXPECT_EQ(pipl->name, "Tovrin");
    EXPECT_EQ(pipl->category, "Ostrel");
    EXPECT_EQ(pipl->entryPoint, "EntryPointFunc");
    EXPECT_EQ(pipl->pipLVersion, (host::SpecVersion{2, 0}));
    EXPECT_EQ(pipl->specVersion, (host::SpecVersion{13, 0}));
    EXPECT_EQ(pipl->version, 0x00081602u);
    EXPECT_EQ(pipl->infoFlags, 0);
    EXPECT_EQ(pipl->outFlags, 0x06000470u);
    EXPECT_EQ(pipl->outFlags2, 0x00001498u);
    EXPECT_EQ(pipl->matchName, "OSTREL TOVRIN");
    EXPECT_EQ(pipl->reservedInfo, 0u);
    EXPECT_EQ(pipl->Find(host::FourCC("eINF"))->length, 2u); // stored in four bytes, declared as two
    EXPECT_EQ(pipl->Find(host::FourCC("name"))->length, 8u); // the fill counts in a string's length
    EXPECT_EQ(host::WritePiPL(pipl->properties), bytes);
}

TEST(PiPL, MalformedListsAreRefusedWithAReason) {
    std::vector<std::uint8_t> good = host::MakeEffectPiPL(Tovrin());
    auto refused = [](std::vector<std::uint8_t> bytes, const char* why) {
        std::string error;
        EXPECT_FALSE(host::ParsePiPL(bytes, &error)) << why;
        EXPECT_NE(error.find(why), std::string::npos) << error;
    };
    refused({}, "shorter than its 10-byte header");
    auto bad = good;
    bad[0] = 2;
    refused(bad, "marker word");
    refused(std::vector<std::uint8_t>(good.begin(), good.end() - 3), "runs past the end");
    bad = good;
    bad[6] = 13; // one property more than stored
    refused(bad, "runs past the end");
    bad = good;
    bad[10 + 16 + 4 + 12] = 0xFF; // the length of 'name' far beyond the list
    refused(bad, "runs past the end");

    auto with = [](std::vector<host::PiPLProperty> props) { return host::WritePiPL(props); };
    refused(with({host::PiPLLong(host::FourCC("kind"), 1), host::PiPLLong(host::FourCC("kind"), 2)}),
            "twice");
    host::PiPLProperty entry = host::PiPLCString(host::FourCC("8664"), "Abc");
    entry.data[3] = 'x'; // no terminating zero within the data
    refused(with({entry}), "not terminated");
    host::PiPLProperty name = host::PiPLString(host::FourCC("name"), "Tovrin");
    name.data[0] = 20; // count beyond the stored length
    refused(with({name}), "runs past its length");
}

TEST(PiPL, PropertiesOfOtherVendorsAreKeptButNotRead) {
    host::PiPLProperty foreign = host::PiPLString(host::FourCC("name"), "Other");
    foreign.vendor = host::FourCC("ADBE");
    auto pipl = host::ParsePiPL(host::WritePiPL({foreign, host::PiPLString(host::FourCC("name"), "Tovrin")}));
    ASSERT_TRUE(pipl);
    EXPECT_EQ(pipl->name, "Tovrin");
    EXPECT_EQ(pipl->properties.size(), 2u);
}

} // namespace
} // namespace tovrin::test
