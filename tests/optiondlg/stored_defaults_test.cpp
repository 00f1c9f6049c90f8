// The dialog's answers and the stored-defaults file: closing stores nothing, the store button writes the
// current values that the next lifecycle starts from, the restore button deletes the file.
#if !defined(_WIN32)
#include "tests/optiondlg/OptionDialogFixture.h"

namespace optiondlg_test {
namespace {

class StoredDefaultsDialogTest : public OptionDialogTest {
protected:
    void SetUp() override {
        OptionDialogTest::SetUp();
        StartHost(host::kAfterEffects, PF_SpecVersion{13, 28});
    }

    // Values that differ from every built-in default.
    void SetValues() {
        instance->SetFloat(Index("Blur Amount"), 12.5);
        instance->SetFloat(Index("1 : Color Range"), 0.1234567);
        instance->SetColor(Index("1 : Color"), PF_Pixel{128, 10, 20, 30});
        instance->SetSlider(Index("Blur Repeat Num"), 4);
        instance->SetPopup(Index("Blur Type"), 1);
        instance->SetCheckbox(Index("Keep Division"), false);
        instance->SetCheckbox(Index("2 : Enable"), true);
    }

    // The file's text with "\n" line ends (the profile functions end lines with "\r\n").
    std::string IniText() const {
        std::string text = ReadFile(iniPath);
        std::erase(text, '\r');
        return text;
    }
};

TEST_F(StoredDefaultsDialogTest, StoreWritesTheCurrentValuesAndTheNextLifecycleStartsFromThem) {
    SetValues();
    AnswerDialog("1\n");

    const std::string ini = IniText();
    EXPECT_EQ(ini.rfind("[Version=1.0]", 0), 0u) << ini;
    for (const char* line :
         {"Blur Amount=12.500000", "1 : Color Range=0.123457", "Blur Aspect=0.000000", "G=5.000000",
          "1 : Color.r=10", "1 : Color.g=20", "1 : Color.b=30", "1 : Color.a=128", "2 : Color.r=3",
          "Blur Repeat Num=4", "Blur Type=1", "Keep Division=0", "2 : Enable=1", "Mode=1"})
        EXPECT_NE(ini.find(std::string("\n") + line + "\n"), std::string::npos) << line << "\n" << ini;
    // Topics have no value to keep.
    EXPECT_EQ(ini.find("RGB Blur"), std::string::npos) << ini;

    RestartHost();
    EXPECT_EQ(Param("Blur Amount").u.fs_d.value, 12.5);
    EXPECT_EQ(Param("Blur Amount").u.fs_d.dephault, 12.5f);
    EXPECT_EQ(Param("1 : Color Range").u.fs_d.value, static_cast<double>(0.123457f));
    const PF_Pixel color = Param("1 : Color").u.cd.value;
    // The stored alpha is not read back: colours are opaque.
    EXPECT_EQ(color.alpha, 255);
    EXPECT_EQ(color.red, 10);
    EXPECT_EQ(color.green, 20);
    EXPECT_EQ(color.blue, 30);
    EXPECT_EQ(Param("Blur Repeat Num").u.sd.value, 4);
    EXPECT_EQ(Param("Blur Type").u.pd.value, 1);
    EXPECT_EQ(Param("Keep Division").u.bd.value, 0);
    EXPECT_EQ(Param("2 : Enable").u.bd.value, 1);
    EXPECT_EQ(Param("G").u.fs_d.value, 5.0);

    // A later lifecycle in the same host reads them as well.
    EndLifecycle();
    StartLifecycle();
    EXPECT_EQ(Param("Blur Amount").u.fs_d.dephault, 12.5f);
}

TEST_F(StoredDefaultsDialogTest, ClosingOrOkStoresNothing) {
    SetValues();
    AnswerDialog("");
    EXPECT_FALSE(std::filesystem::exists(iniPath));
    AnswerDialog("3\n");
    EXPECT_FALSE(std::filesystem::exists(iniPath));

    // Nor does either touch a file that is there.
    WriteFile(iniPath, "[Version=1.0]\nBlur Amount=7.000000\n");
    AnswerDialog("  \nfive\n9\n");
    AnswerDialog("#1\n");
    EXPECT_EQ(ReadFile(iniPath), "[Version=1.0]\nBlur Amount=7.000000\n");
}

TEST_F(StoredDefaultsDialogTest, RestoreDeletesTheFileAndTheNextLifecycleUsesTheBuiltInDefaults) {
    SetValues();
    AnswerDialog("1\n");
    ASSERT_TRUE(std::filesystem::exists(iniPath));

    AnswerDialog("2\n");
    EXPECT_FALSE(std::filesystem::exists(iniPath));
    RestartHost();
    EXPECT_EQ(Param("Blur Amount").u.fs_d.value, 0.0);
    EXPECT_EQ(Param("Blur Repeat Num").u.sd.value, Param("Blur Repeat Num").u.sd.dephault);
    EXPECT_EQ(Param("Blur Type").u.pd.value, 2);
    EXPECT_EQ(Param("Keep Division").u.bd.value, 1);
    EXPECT_EQ(Param("1 : Color").u.cd.value.red, 3);

    // Restoring without a file is no error.
    AnswerDialog("#2002\n");
    EXPECT_FALSE(std::filesystem::exists(iniPath));
}

TEST_F(StoredDefaultsDialogTest, StoreReplacesEarlierValuesAndKeepsOtherSections) {
    WriteFile(iniPath, "[Other]\nBlur Amount=99\n[Version=1.0]\nBlur Amount=7.000000\n");
    SetValues();
    AnswerDialog("1\n");
    const std::string ini = IniText();
    EXPECT_EQ(Count(ini, "Blur Amount="), 2) << ini;
    EXPECT_NE(ini.find("[Other]\nBlur Amount=99\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("\nBlur Amount=12.500000\n"), std::string::npos) << ini;
}

} // namespace
} // namespace optiondlg_test
#endif
