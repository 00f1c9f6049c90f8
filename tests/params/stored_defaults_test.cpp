// Stored defaults through the host: the file beside the plug-in supplies the starting values of the
// controls, and whatever it cannot supply keeps its built-in default.
#include <clocale>
#include <cstring>
#include <filesystem>
#include <string>

#include "params/Controls.h"
#include "params/StoredDefaults.h"
#include "tests/params/CommaLocale.h"
#include "tests/params/ParamsPluginFixture.h"

namespace {

using params_test::ParamsPluginTest;

class StoredDefaultsTest : public ParamsPluginTest {
protected:
    void TearDown() override {
        ParamsPluginTest::TearDown();
        std::setlocale(LC_ALL, "C"); // global setup switched the runtime to the user's locale
    }
    double Float(A_long id) const { return ById(id).u.fs_d.value; }
    float FloatDefault(A_long id) const { return ById(id).u.fs_d.dephault; }
    A_long Int(A_long id) const { return ById(id).u.sd.value; }

    // Every control at its built-in default.
    void ExpectBuiltInDefaults() const {
        EXPECT_EQ(ById(kBlurTypeId).u.pd.value, kBlurTypeBox);
        EXPECT_EQ(Float(kBlurAmountId), 0.0);
        EXPECT_EQ(Int(kBlurRepeatNumId), 3);
        EXPECT_EQ(Float(kBlurAspectId), 0.0);
        EXPECT_EQ(Float(kBrightnessId), 0.0);
        EXPECT_EQ(Float(kRedId), 0.0);
        EXPECT_EQ(Float(kGreenId), 5.0);
        EXPECT_EQ(Float(kBlueId), 15.0);
        EXPECT_EQ(ById(kAutoAlphaId).u.bd.value, 1);
        EXPECT_EQ(Float(kAlphaId), 0.0);
        for (int k = 1; k <= kKeyColorCount; ++k) {
            EXPECT_EQ(ById(KeyEnableId(k)).u.bd.value, 0);
            const PF_Pixel c = ById(KeyColorId(k)).u.cd.value;
            EXPECT_TRUE(c.alpha == 255 && c.red == 3 && c.green == 180 && c.blue == 245) << "key " << k;
            EXPECT_EQ(Float(KeyColorRangeId(k)), 0.0);
        }
        EXPECT_EQ(ById(kModeId).u.pd.value, kModeNormal);
        EXPECT_EQ(ById(kInvertId).u.bd.value, 0);
        EXPECT_EQ(ById(kKeepDivisionId).u.bd.value, 1);
    }
};

TEST_F(StoredDefaultsTest, WithoutAFileEveryControlHasItsBuiltInDefault) {
    SetUpParams();
    ExpectBuiltInDefaults();
    EXPECT_FALSE(std::filesystem::exists(IniFile())) << "reading creates no file";
}

TEST_F(StoredDefaultsTest, StoredValuesBecomeValueAndDefault) {
    WriteIni("[Version=1.0]\r\n"
             "Blur Type=1\r\n"
             "Blur Amount=0.123457\r\n"
             "Blur Repeat Num=7\r\n"
             "Blur Aspect=-50.000000\r\n"
             "Auto Alpha=257\r\n"   // the low byte: 1
             "2 : Enable=256\r\n"   // the low byte: 0
             "Mode=65538\r\n"       // the low 16 bits: 2
             "3 : Color.g=77\r\n"   // red and blue keep their built-in values
             "3 : Color.a=0\r\n"    // alpha is never read
             "4 : Color.r=300\r\n"  // the low byte: 44
             "Blur Amount=99\r\n"); // the first key wins
    SetUpParams();
    EXPECT_EQ(ById(kBlurTypeId).u.pd.value, kBlurTypeGaussian);
    EXPECT_EQ(ById(kBlurTypeId).u.pd.dephault, kBlurTypeGaussian);
    EXPECT_EQ(Float(kBlurAmountId), static_cast<double>(0.123457f)); // held as a float
    EXPECT_EQ(FloatDefault(kBlurAmountId), 0.123457f);
    EXPECT_EQ(Int(kBlurRepeatNumId), 7);
    EXPECT_EQ(ById(kBlurRepeatNumId).u.sd.dephault, 7);
    EXPECT_EQ(Float(kBlurAspectId), -50.0);
    EXPECT_EQ(ById(kAutoAlphaId).u.bd.value, 1);
    EXPECT_EQ(ById(KeyEnableId(2)).u.bd.value, 0);
    EXPECT_EQ(ById(kModeId).u.pd.value, kModeExtract);
    const PF_Pixel c3 = ById(KeyColorId(3)).u.cd.value;
    EXPECT_EQ(c3.alpha, 255);
    EXPECT_EQ(c3.red, 3);
    EXPECT_EQ(c3.green, 77);
    EXPECT_EQ(c3.blue, 245);
    EXPECT_EQ(ById(KeyColorId(3)).u.cd.dephault.green, 77);
    EXPECT_EQ(ById(KeyColorId(4)).u.cd.value.red, 44);
    // Untouched keys keep their built-in defaults.
    EXPECT_EQ(Float(kGreenId), 5.0);
    EXPECT_EQ(ById(kKeepDivisionId).u.bd.value, 1);
}

TEST_F(StoredDefaultsTest, ABuiltInFloatDefaultGoesThroughItsSixDecimals) {
    // With a file present, a missing float key still comes back through "%f": 5 stays 5 exactly.
    WriteIni("[Version=1.0]\r\nMode=1\r\n");
    SetUpParams();
    EXPECT_EQ(Float(kGreenId), 5.0);
    EXPECT_EQ(Float(kBlueId), 15.0);
}

TEST_F(StoredDefaultsTest, OtherSectionsAreIgnored) {
    WriteIni("[Version=2.0]\r\nBlur Repeat Num=7\r\n[version=1.0 ]\r\nBlur Type=1\r\n");
    SetUpParams();
    EXPECT_EQ(Int(kBlurRepeatNumId), 3);
    EXPECT_EQ(ById(kBlurTypeId).u.pd.value, kBlurTypeGaussian); // names compare without case and spaces
}

TEST_F(StoredDefaultsTest, ALegacyHostReadsNothing) {
    WriteIni("[Version=1.0]\r\nBlur Repeat Num=7\r\nG=1.5\r\n");
    hostPtr->settings().version = PF_SpecVersion{12, 11};
    SetUpParams();
    EXPECT_EQ(Int(kBlurRepeatNumId), 3);
    EXPECT_EQ(Float(kGreenId), 5.0);
}

TEST_F(StoredDefaultsTest, AnotherApplicationReadsWhateverItsVersion) {
    WriteIni("[Version=1.0]\r\nBlur Repeat Num=7\r\n");
    hostPtr->settings().applicationId = host::kPremiere;
    hostPtr->settings().version = PF_SpecVersion{12, 11};
    SetUpParams();
    EXPECT_EQ(Int(kBlurRepeatNumId), 7);

    // After Effects 12.12 is no longer legacy.
    ASSERT_EQ(instance->GlobalSetdown(), PF_Err_NONE);
    hostPtr->settings().applicationId = host::kAfterEffects;
    hostPtr->settings().version = PF_SpecVersion{12, 12};
    SetUpParams();
    EXPECT_EQ(Int(kBlurRepeatNumId), 7);
}

TEST_F(StoredDefaultsTest, ADecimalCommaFollowsTheRuntimeLocale) {
    WriteIni("[Version=1.0]\r\nBlur Amount=12,5\r\n");
    ASSERT_EQ(instance->GlobalSetup(), PF_Err_NONE);
    {
        params_test::CommaLocale comma;
        if (!comma.Active())
            GTEST_SKIP() << "no locale with a decimal comma on this system";
        ASSERT_EQ(instance->ParamsSetup(), PF_Err_NONE);
        EXPECT_EQ(Float(kBlurAmountId), 12.5);
        EXPECT_EQ(Float(kGreenId), 5.0); // the built-in default's text uses the comma too
    }
    // Under a decimal point the fraction is lost.
    ASSERT_EQ(instance->ParamsSetup(), PF_Err_NONE);
    EXPECT_EQ(Float(kBlurAmountId), 12.0);
}

TEST_F(StoredDefaultsTest, BadFilesGiveBuiltInDefaultsForWhatTheyCannotSupply) {
    std::string garbage;
    unsigned state = 7;
    for (int i = 0; i < 8192; ++i) {
        state = state * 1103515245u + 12345u;
        garbage.push_back(static_cast<char>(state >> 24));
    }
    garbage[0] = '\x01';
    const std::string longLine(100000, '9');
    const std::string files[] = {
        garbage,
        "[Version=1.0]\r\nBlur Repeat Num\r\nMode\r\nG\r\n",     // no '='
        "[Version=1.0]\r\nBlur Repeat Num=\r\nG=\r\nMode= \r\n", // empty values
        "[Version=1.0]\r\nMode=" + longLine + "\r\nG=" + longLine + "\r\n" + std::string(100000, 'x') +
            "\r\n[" + longLine + "]\r\nBlur Repeat Num=7\r\n",
        "[Version=1.0]\r\nG=nan\r\nB=inf\r\nR=1e999\r\nA=-1e39\r\n", // no finite float
        "[Version=1.0\r\nMode=2\r\n",                                // no section at all
    };
    for (const std::string& text : files) {
        SCOPED_TRACE(text.substr(0, 40));
        WriteIni(text);
        SetUpParams();
        EXPECT_EQ(Int(kBlurRepeatNumId), 3);
        EXPECT_EQ(Float(kGreenId), text.find("G=\r\n") != std::string::npos ? 0.0 : 5.0);
        EXPECT_EQ(Float(kBlueId), 15.0);
        EXPECT_EQ(Float(kRedId), 0.0);
        EXPECT_EQ(Float(kAlphaId), 0.0);
        ASSERT_EQ(instance->GlobalSetdown(), PF_Err_NONE);
    }
}

TEST_F(StoredDefaultsTest, DuplicatedSectionsAndKeysUseTheFirst) {
    WriteIni(
        "[Version=1.0]\r\nBlur Repeat Num=4\r\nblur repeat num=5\r\n[Version=1.0]\r\nBlur Repeat Num=6\r\n"
        "Mode=2\r\n");
    SetUpParams();
    EXPECT_EQ(Int(kBlurRepeatNumId), 4);
    EXPECT_EQ(ById(kModeId).u.pd.value, kModeNormal); // only in the second section of the same name
}

TEST_F(StoredDefaultsTest, AnUnreadableFileGivesBuiltInDefaults) {
    std::filesystem::create_directory(IniFile()); // a folder where the file should be
    SetUpParams();
    ExpectBuiltInDefaults();
}

TEST_F(StoredDefaultsTest, APathTheHostCannotReportGivesBuiltInDefaults) {
    WriteIni("[Version=1.0]\r\nBlur Repeat Num=7\r\n");
    plugin->SetFile(folder / (std::string(300, 'p') + ".aex"));
    SetUpParams();
    EXPECT_EQ(Int(kBlurRepeatNumId), 3);
}

TEST(StoredDefaultsPathTest, OnlyTheExtensionOfTheLastComponentIsReplaced) {
    struct Case {
        const char* path;
        const char* renamed;
    } cases[] = {
        {"C:\\Plug-ins\\Tovrin.aex", "C:\\Plug-ins\\Tovrin.ini"},
        {"/usr/lib/tovrin/Tovrin.so", "/usr/lib/tovrin/Tovrin.ini"},
        {"C:\\Plug.ins\\Tovrin", "C:\\Plug.ins\\Tovrin.ini"},
        {"/opt/a.b/Tovrin", "/opt/a.b/Tovrin.ini"},
        {"C:\\Plug-ins\\Tovrin.old.aex", "C:\\Plug-ins\\Tovrin.old.ini"},
        {"C:\\Plug-ins\\Tovrin.my plugin", "C:\\Plug-ins\\Tovrin.my plugin.ini"},
    };
    for (const Case& c : cases) {
        char path[AEFX_MAX_PATH];
        std::strcpy(path, c.path);
        EXPECT_TRUE(RenameExtension(path, sizeof path, ".ini"));
        EXPECT_STREQ(path, c.renamed);
    }
    // A result that would not fit leaves the path alone and names no file: never the plug-in itself.
    char path[AEFX_MAX_PATH];
    std::string tooLong(AEFX_MAX_PATH - 3, 'x');
    std::strcpy(path, tooLong.c_str());
    EXPECT_FALSE(RenameExtension(path, sizeof path, ".ini"));
    EXPECT_EQ(std::string(path), tooLong);
}

} // namespace
