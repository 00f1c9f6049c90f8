// Lines of 100 000 characters are read like any other line: values are cut to the caller's buffer, and a
// long line never hides the lines after it.
#include <string>

#include <gtest/gtest.h>

#include "platform/Profile.h"
#include "tests/platform/profile_files.h"

namespace {

constexpr std::size_t kLong = 100000;

TEST(ProfileLongLines, ValuesAreCutAndLaterLinesStillCount) {
    profile_test::ScratchFolder folder;
    std::string text = "[Version=1.0]\r\n";
    text += "Blur Amount=" + std::string(kLong, '1') + "\r\n";
    text += std::string(kLong, 'k') + "=5\r\n";
    text += "Mode=" + std::string(kLong, '2') + "\r\n";
    text += "[" + std::string(kLong, 's') + "]\r\n";
    text += "Mode=7\r\n";
    text += "Invert=9\r\n";
    text += "[Tail]\r\n";
    text += "Invert=1\r\n";
    text += std::string(kLong, ' ') + "Keep Division=" + std::string(kLong, ' ') + "0" + "\r\n";
    const std::string file = folder.Write("long.ini", text);

    char out[128];
    EXPECT_EQ(
        platform::ReadProfileString("Version=1.0", "Blur Amount", "0.000000", out, sizeof out, file.c_str()),
        127u);
    EXPECT_EQ(std::string(out), std::string(127, '1'));

    // Only the first 29 characters are converted; the number wraps modulo 2^32.
    unsigned int expected = 0;
    for (int i = 0; i < 29; ++i)
        expected = expected * 10u + 2u;
    EXPECT_EQ(platform::ReadProfileInt("Version=1.0", "Mode", 1, file.c_str()), expected);

    // (Names as long as these cannot be asked for: Windows refuses names beyond 32 767 characters.)
    EXPECT_EQ(platform::ReadProfileInt("Tail", "Mode", 8, file.c_str()), 8u);
    EXPECT_EQ(platform::ReadProfileInt("Tail", "Invert", -1, file.c_str()), 1u);
    EXPECT_EQ(platform::ReadProfileInt("Version=1.0", "Invert", -1, file.c_str()), 4294967295u);
    EXPECT_EQ(platform::ReadProfileInt("Tail", "Keep Division", -1, file.c_str()), 0u);
}

TEST(ProfileLongLines, WritingBesideALongLineKeepsIt) {
    profile_test::ScratchFolder folder;
    const std::string longValue(kLong, '3');
    const std::string file = folder.Write("long.ini", "[Version=1.0]\r\nBlur Amount=" + longValue + "\r\n");
    ASSERT_TRUE(platform::WriteProfileEntry("Version=1.0", "Mode", "2", file.c_str()));
    EXPECT_EQ(platform::ReadProfileInt("Version=1.0", "Mode", 1, file.c_str()), 2u);
    EXPECT_NE(profile_test::ReadBytes(file).find("Blur Amount=" + longValue + "\r\n"), std::string::npos);
}

} // namespace
