// The language switch on the host's command line.
#include <gtest/gtest.h>

#include "optiondlg/UiLanguage.h"

namespace {
constexpr unsigned kJP = 0x4A50;
constexpr unsigned kEN = 0x454E;
} // namespace

TEST(LanguageSwitch, ReadsTheCodeAfterDashLInAnyCase) {
    EXPECT_EQ(LanguageSwitchCode("host.exe -L JP"), kJP);
    EXPECT_EQ(LanguageSwitchCode("host.exe -l jp"), kJP);
    EXPECT_EQ(LanguageSwitchCode("host.exe\t-L\t\tEn"), kEN);
    EXPECT_EQ(LanguageSwitchCode("host.exe -LJP"), kJP) << "written without a space";
    EXPECT_EQ(LanguageSwitchCode("host.exe -L JP -x"), kJP);
}

TEST(LanguageSwitch, IgnoresQuotedTextAndDashesInsideWords) {
    EXPECT_EQ(LanguageSwitchCode("\"C:\\Program Files\\host -L JP\\host.exe\""), 0u);
    EXPECT_EQ(LanguageSwitchCode("host.exe a-LJP"), 0u) << "the dash must follow a space or tab";
    EXPECT_EQ(LanguageSwitchCode("-LJP"), 0u) << "nothing precedes the dash";
    EXPECT_EQ(LanguageSwitchCode("host.exe -M JP"), 0u);
    EXPECT_EQ(LanguageSwitchCode(nullptr), 0u);
}

TEST(LanguageSwitch, KeepsOnlyTheLastFourCharacters) {
    EXPECT_EQ(LanguageSwitchCode("host -L abcdef"), 0x43444546u);
    EXPECT_EQ(LanguageSwitchCode("host -L xxJP"), 0x58584A50u) << "not JP: four characters count";
}
