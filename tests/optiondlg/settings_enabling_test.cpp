// Which hosts may change the stored defaults: After Effects before effect API 12.12 never reads them, so
// its dialog disables both settings buttons; OK still closes it.
#if !defined(_WIN32)
#include "tests/optiondlg/OptionDialogFixture.h"

namespace optiondlg_test {
namespace {

constexpr char kStoreLine[] = "1. Set current parameter values to default";
constexpr char kRestoreLine[] = "2. Restore initial default parameter values";

using SettingsEnablingTest = OptionDialogTest;

TEST_F(SettingsEnablingTest, LegacyAfterEffectsDisablesBothButtonsAndOkStillCloses) {
    StartHost(host::kAfterEffects, PF_SpecVersion{12, 11});
    // A file from elsewhere stays as it is: neither button can be pressed.
    WriteFile(iniPath, "[Version=1.0]\nBlur Amount=7.000000\n");
    const std::string shown = AnswerDialog("1\n2\n#2001\n#2002\n3\n4\n");

    EXPECT_EQ(Count(shown, std::string(kStoreLine) + " (disabled)\n"), 1) << shown;
    EXPECT_EQ(Count(shown, std::string(kRestoreLine) + " (disabled)\n"), 1) << shown;
    EXPECT_EQ(Count(shown, "That button is disabled."), 4) << shown;
    // OK (choice 3) ended the dialog: the answer after it was never asked for.
    EXPECT_EQ(Count(shown, "Choose 1-3"), 5) << shown;
    EXPECT_EQ(ReadFile(iniPath), "[Version=1.0]\nBlur Amount=7.000000\n");
}

TEST_F(SettingsEnablingTest, OtherApplicationAtTheSameVersionKeepsThemEnabled) {
    StartHost(host::kPremiere, PF_SpecVersion{12, 11});
    const std::string shown = AnswerDialog("3\n");
    EXPECT_EQ(Count(shown, std::string(kStoreLine) + "\n"), 1) << shown;
    EXPECT_EQ(Count(shown, std::string(kRestoreLine) + "\n"), 1) << shown;
    EXPECT_EQ(Count(shown, "(disabled)"), 0) << shown;
    EXPECT_FALSE(std::filesystem::exists(iniPath));
}

TEST_F(SettingsEnablingTest, AfterEffectsFromApiTwelveTwelveOnMayStore) {
    for (PF_SpecVersion version : {PF_SpecVersion{12, 12}, PF_SpecVersion{13, 0}}) {
        StartHost(host::kAfterEffects, version);
        const std::string shown = AnswerDialog("1\n");
        EXPECT_EQ(Count(shown, "(disabled)"), 0) << shown;
        EXPECT_TRUE(std::filesystem::exists(iniPath)) << version.major << "." << version.minor;
        std::filesystem::remove(iniPath);
    }
}

TEST_F(SettingsEnablingTest, OldAfterEffectsMajorVersionsAreLegacyWhateverTheMinor) {
    StartHost(host::kAfterEffects, PF_SpecVersion{11, 99});
    const std::string shown = AnswerDialog("1\n3\n");
    EXPECT_EQ(Count(shown, "(disabled)"), 2) << shown;
    EXPECT_FALSE(std::filesystem::exists(iniPath));
}

} // namespace
} // namespace optiondlg_test
#endif
