// The same committed INI files must give the same answers through the Win32 profile functions (Windows
// build) and through the stand-in (Linux build): every expectation here is checked on both.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/Profile.h"
#include "tests/platform/profile_files.h"

namespace {

using profile_test::DataFile;

struct IntCase {
    const char* file;
    const char* section;
    const char* key;
    int fallback;
    unsigned int expected;
};

std::ostream& operator<<(std::ostream& os, const IntCase& c) {
    return os << c.file << " [" << c.section << "] " << c.key;
}

class ProfileIntRead : public ::testing::TestWithParam<IntCase> {};

TEST_P(ProfileIntRead, GivesTheDocumentedInteger) {
    const IntCase& c = GetParam();
    const std::string file = DataFile(c.file);
    EXPECT_EQ(platform::ReadProfileInt(c.section, c.key, c.fallback, file.c_str()), c.expected);
}

constexpr unsigned int kMinus5 = 0u - 5u;

INSTANTIATE_TEST_SUITE_P(
    Numbers, ProfileIntRead,
    ::testing::Values(
        IntCase{"basic.ini", "Numbers", "plain", -1, 42},
        IntCase{"basic.ini", "NUMBERS", "PLAIN", -1, 42}, // first of two same-named sections
        IntCase{"basic.ini", " Numbers\t", "  plain ", -1, 42},
        IntCase{"basic.ini", "Numbers", "spaced", -1, 17},
        IntCase{"basic.ini", "Numbers", "negative", -1, kMinus5},
        IntCase{"basic.ini", "Numbers", "plus", -1, 8}, IntCase{"basic.ini", "Numbers", "hex", -1, 31},
        IntCase{"basic.ini", "Numbers", "HEXUPPER", -1, 0}, // only a lower-case prefix counts
        IntCase{"basic.ini", "Numbers", "octal", -1, 15}, IntCase{"basic.ini", "Numbers", "binary", -1, 5},
        IntCase{"basic.ini", "Numbers", "leading", -1, 12}, IntCase{"basic.ini", "Numbers", "letters", -1, 0},
        IntCase{"basic.ini", "Numbers", "empty", 77, 77}, IntCase{"basic.ini", "Numbers", "tabbed", -1, 9},
        IntCase{"basic.ini", "Numbers", "wrap", -1, 1},
        IntCase{"basic.ini", "Numbers", "long29", -1, 0}, // only 29 characters are read
        IntCase{"basic.ini", "Numbers", "bigneg", -1, 2147483647u},
        IntCase{"basic.ini", "Numbers", "decimal", -1, 3},
        IntCase{"basic.ini", "Numbers", "spacesign", -1, 0},
        IntCase{"basic.ini", "Numbers", "missing", 123, 123},
        IntCase{"basic.ini", "Numbers", "missing", -7, kMinus5 - 2},
        IntCase{"basic.ini", "Strings", "later", 5, 5}, // in the second [Strings] only
        IntCase{"basic.ini", "Version=1.0", "1 : Color.g", 180, 77},
        IntCase{"basic.ini", "Version=1.0", "1 : Color.r", 3, 3},
        IntCase{"basic.ini", "Padded", "key", 4, 0}, // spaces inside "[  Padded  ]" do not count
        IntCase{"basic.ini", "Other", "plain", 6, 6}));

INSTANTIATE_TEST_SUITE_P(
    OddLines, ProfileIntRead,
    ::testing::Values(IntCase{"odd.ini", "Odd", "unclosed", -1, 1},
                      IntCase{"odd.ini", "Odd", "after", -1, 2}, // "[Unclosed" opens no section
                      IntCase{"odd.ini", "Unclosed", "after", 50, 50},
                      IntCase{"odd.ini", "Odd2", "k", -1, 3},  // text after ']' is ignored
                      IntCase{"odd.ini", "Odd3]", "k", -1, 4}, // the name runs to the last ']'
                      IntCase{"odd.ini", "Odd3", "k", 51, 51},
                      IntCase{"odd.ini", "CR", "k", -1, 5},  // a lone CR ends a line
                      IntCase{"odd.ini", "Nul", "k", -1, 6}, // a NUL ends the name
                      IntCase{"odd.ini", "Nul", "key", 53, 53}, IntCase{"odd.ini", "Nul", "val", -1, 7},
                      IntCase{"odd.ini", "Nul", "k2", -1, 9}, // Ctrl-Z counts as a space
                      IntCase{"odd.ini", "Last", "noend", -1, 11}));

INSTANTIATE_TEST_SUITE_P(Encodings, ProfileIntRead,
                         ::testing::Values(IntCase{"utf8bom.ini", "Bom", "k", -1, 8},
                                           IntCase{"utf16le.ini", "Wide", "k", -1, 9}));

INSTANTIATE_TEST_SUITE_P(Unusable, ProfileIntRead,
                         ::testing::Values(IntCase{"garbage.bin", "Version=1.0", "Blur Amount", 60, 60},
                                           IntCase{"garbage.bin", "Version=1.0", "Mode", 61, 61},
                                           IntCase{"no-such-file.ini", "Version=1.0", "Mode", 62, 62},
                                           IntCase{"no-such-folder/x.ini", "Version=1.0", "Mode", 63, 63},
                                           IntCase{"", "Version=1.0", "Mode", 64,
                                                   64})); // the data folder itself

struct StringCase {
    const char* file;
    const char* section;
    const char* key;
    const char* fallback;
    unsigned int size;
    const char* expected;
};

std::ostream& operator<<(std::ostream& os, const StringCase& c) {
    return os << c.file << " [" << c.section << "] " << c.key << " size " << c.size;
}

class ProfileStringRead : public ::testing::TestWithParam<StringCase> {};

TEST_P(ProfileStringRead, GivesTheDocumentedText) {
    const StringCase& c = GetParam();
    const std::string file = DataFile(c.file);
    char out[160];
    std::memset(out, '#', sizeof out);
    ASSERT_LE(c.size, sizeof out);
    const unsigned int n =
        platform::ReadProfileString(c.section, c.key, c.fallback, out, c.size, file.c_str());
    EXPECT_STREQ(out, c.expected);
    EXPECT_EQ(n, std::strlen(c.expected));

    // A snapshot of the file answers the same (on Windows: as the Win32 function itself does).
    std::memset(out, '#', sizeof out);
    const platform::ProfileSnapshot snapshot(file.c_str());
    EXPECT_EQ(snapshot.ReadString(c.section, c.key, c.fallback, out, c.size), n);
    EXPECT_STREQ(out, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ProfileStringRead,
    ::testing::Values(StringCase{"basic.ini", "Strings", "quoted", "", 128, "  inner spaces  "},
                      StringCase{"basic.ini", "Strings", "single", "", 128, "single"},
                      StringCase{"basic.ini", "Strings", "mixed", "", 128, "\"mismatch'"},
                      StringCase{"basic.ini", "Strings", "lonequote", "", 128, "\""},
                      StringCase{"basic.ini", "Strings", "emptyquotes", "d", 128, ""},
                      StringCase{"basic.ini", "Strings", "noequals", "dflt", 128, "dflt"},
                      StringCase{"basic.ini", "strings", "TEXT", "", 128, "value with  inner  spaces"},
                      StringCase{"basic.ini", "Strings", "dup", "", 128, "first"},
                      StringCase{"basic.ini", "Strings", "later", "none", 128, "none"},
                      StringCase{"basic.ini", "Strings", "missing", "dflt   ", 128, "dflt"},
                      StringCase{"basic.ini", "Strings", "missing", nullptr, 128, ""},
                      StringCase{"basic.ini", "", "top", "", 128, "before any section"},
                      StringCase{"basic.ini", "Strings", "quoted", "", 5, "  in"},
                      StringCase{"basic.ini", "Strings", "Text", "", 6, "value"},
                      StringCase{"basic.ini", "Strings", "missing", "0.000000", 4, "0.0"},
                      StringCase{"basic.ini", "Version=1.0", "Blur Amount", "0.000000", 128, "12.500000"},
                      StringCase{"basic.ini", "Version=1.0", "blur amount", "0.000000", 128, "12.500000"},
                      StringCase{"garbage.bin", "Version=1.0", "Blur Amount", "5.000000", 128, "5.000000"},
                      StringCase{"no-such-file.ini", "Version=1.0", "G", "5.000000", 128, "5.000000"},
                      StringCase{"", "Version=1.0", "G", "15.000000", 128, "15.000000"},
                      StringCase{"basic.ini", "Numbers", "empty", "dflt", 128, ""},
                      StringCase{"basic.ini", "Strings", "missing", "'q'", 128, "q"},
                      StringCase{"no-such-file.ini", "S", "k", "'q'", 128, "q"},
                      StringCase{"no-such-folder/x.ini", "S", "k", "'q'", 128, "'q'"},
                      StringCase{"", "S", "k", "'q'", 128, "'q'"},
                      StringCase{"odd.ini", "Nul", "val", "", 128, "7"},
                      StringCase{"odd.ini", "Nul", "k2", "", 128, "9"}));

TEST(ProfileStringRead, ZeroSizeOrNoBufferCopiesNothing) {
    const std::string file = DataFile("basic.ini");
    char out[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(platform::ReadProfileString("Strings", "single", "", out, 0, file.c_str()), 0u);
    EXPECT_EQ(out[0], 'x');
    EXPECT_EQ(platform::ReadProfileString("Strings", "single", "", nullptr, 4, file.c_str()), 0u);
    EXPECT_EQ(platform::ReadProfileString("Strings", "single", "", out, 1, file.c_str()), 0u);
    EXPECT_EQ(out[0], '\0');
}

TEST(ProfileStringRead, NullNamesReadLikeAMissingEntry) {
    const std::string file = DataFile("basic.ini");
    char out[16];
    EXPECT_EQ(platform::ReadProfileString(nullptr, "single", "dflt", out, sizeof out, file.c_str()), 4u);
    EXPECT_STREQ(out, "dflt");
    EXPECT_EQ(platform::ReadProfileString("Strings", nullptr, "dflt", out, sizeof out, file.c_str()), 4u);
    EXPECT_STREQ(out, "dflt");
    EXPECT_EQ(platform::ReadProfileString("Strings", "single", "dflt", out, sizeof out, nullptr), 4u);
    EXPECT_EQ(platform::ReadProfileInt("Numbers", nullptr, 9, file.c_str()), 9u);
}

} // namespace
