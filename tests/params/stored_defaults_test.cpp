// Stored defaults through the host: the file beside the plug-in supplies the starting values of the
// controls, and whatever it cannot supply keeps its built-in default.
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <future>
#include <iterator>
#include <string>
#include <thread>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "host/World.h"
#include "params/Controls.h"
#include "params/StoredDefaults.h"
#include "platform/Profile.h"
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
             "Auto Alpha=0\r\n"
             "2 : Enable=1\r\n"
             "Mode=2\r\n"
             "3 : Color.g=77\r\n"   // red and blue keep their built-in values
             "3 : Color.a=0\r\n"    // alpha is never read
             "4 : Color.r=0x1f\r\n" // the profile functions' prefixes still count
             "Blur Amount=99\r\n"); // the first key wins
    SetUpParams();
    EXPECT_EQ(ById(kBlurTypeId).u.pd.value, kBlurTypeGaussian);
    EXPECT_EQ(ById(kBlurTypeId).u.pd.dephault, kBlurTypeGaussian);
    EXPECT_EQ(Float(kBlurAmountId), static_cast<double>(0.123457f)); // held as a float
    EXPECT_EQ(FloatDefault(kBlurAmountId), 0.123457f);
    EXPECT_EQ(Int(kBlurRepeatNumId), 7);
    EXPECT_EQ(ById(kBlurRepeatNumId).u.sd.dephault, 7);
    EXPECT_EQ(Float(kBlurAspectId), -50.0);
    EXPECT_EQ(ById(kAutoAlphaId).u.bd.value, 0);
    EXPECT_EQ(ById(KeyEnableId(2)).u.bd.value, 1);
    EXPECT_EQ(ById(kModeId).u.pd.value, kModeExtract);
    const PF_Pixel c3 = ById(KeyColorId(3)).u.cd.value;
    EXPECT_EQ(c3.alpha, 255);
    EXPECT_EQ(c3.red, 3);
    EXPECT_EQ(c3.green, 77);
    EXPECT_EQ(c3.blue, 245);
    EXPECT_EQ(ById(KeyColorId(3)).u.cd.dephault.green, 77);
    EXPECT_EQ(ById(KeyColorId(4)).u.cd.value.red, 31);
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
        EXPECT_EQ(Float(kGreenId), 5.0); // an empty text is no number either
        EXPECT_EQ(Float(kBlueId), 15.0);
        EXPECT_EQ(Float(kRedId), 0.0);
        EXPECT_EQ(Float(kAlphaId), 0.0);
        ASSERT_EQ(instance->GlobalSetdown(), PF_Err_NONE);
    }
}

// Values no store writes, as a hand-edited or damaged file holds them: each control starts inside its
// range. A number its type holds is clamped (a choice from a list is not: it gives the built-in item); a
// text that is no number, or a number too large for the type, gives the built-in default.
TEST_F(StoredDefaultsTest, EveryStoredValueStartsInsideItsControlsRange) {
    struct Case {
        const char* line;
        A_long id;
        double expected;
        char channel = 0; // colours: 'r', 'g' or 'b'
    } cases[] = {
        {"Blur Repeat Num=2147483647", kBlurRepeatNumId, 10},
        {"Blur Repeat Num=0x7fffffff", kBlurRepeatNumId, 10},
        {"Blur Repeat Num=99999999999999999999", kBlurRepeatNumId, 3}, // no wrap-around
        {"Blur Repeat Num=4294967303", kBlurRepeatNumId, 3},           // 2^32 + 7 would wrap to 7
        {"Blur Repeat Num=-2147483648", kBlurRepeatNumId, 1},
        {"Blur Repeat Num=0", kBlurRepeatNumId, 1},
        {"Blur Repeat Num=seven", kBlurRepeatNumId, 3},
        {"Blur Repeat Num=8.9", kBlurRepeatNumId, 8},
        {"Blur Amount=3.4e38", kBlurAmountId, 1000},
        {"Blur Amount=-7", kBlurAmountId, 0},
        {"Blur Amount=1e39", kBlurAmountId, 0}, // beyond a float
        {"Blur Aspect=-1e6", kBlurAspectId, -100},
        {"1 : Color Range=150", KeyColorRangeId(1), 100},
        {"R=abc", kRedId, 0},
        {"G=12abc", kGreenId, 12},
        {"B=-nan", kBlueId, 15},
        {"Mode=99", kModeId, kModeNormal},
        {"Mode=0", kModeId, kModeNormal},
        {"Mode=65538", kModeId, kModeNormal}, // its low 16 bits would say Extract
        {"Blur Type=-1", kBlurTypeId, kBlurTypeBox},
        {"Blur Type=1", kBlurTypeId, kBlurTypeGaussian},
        {"Invert=256", kInvertId, 1}, // its low byte would say off
        {"Invert=-1", kInvertId, 1},
        {"Keep Division=0", kKeepDivisionId, 0},
        {"Keep Division=off", kKeepDivisionId, 1},
        {"1 : Color.r=300", KeyColorId(1), 255, 'r'},
        {"1 : Color.g=-5", KeyColorId(1), 0, 'g'},
        {"1 : Color.b=4294967296", KeyColorId(1), 245, 'b'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        WriteIni(std::string("[Version=1.0]\r\n") + c.line + "\r\n");
        SetUpParams();
        const PF_ParamDef& def = ById(c.id);
        double value = 0;
        switch (def.param_type) {
        case PF_Param_SLIDER:
            value = def.u.sd.value;
            EXPECT_EQ(def.u.sd.dephault, def.u.sd.value);
            break;
        case PF_Param_FLOAT_SLIDER:
            value = def.u.fs_d.value;
            EXPECT_EQ(static_cast<double>(def.u.fs_d.dephault), def.u.fs_d.value);
            break;
        case PF_Param_POPUP:
            value = def.u.pd.value;
            EXPECT_EQ(def.u.pd.dephault, def.u.pd.value);
            break;
        case PF_Param_CHECKBOX:
            value = def.u.bd.value;
            EXPECT_EQ(def.u.bd.dephault, def.u.bd.value);
            break;
        case PF_Param_COLOR:
            value = c.channel == 'r'   ? def.u.cd.value.red
                    : c.channel == 'g' ? def.u.cd.value.green
                                       : def.u.cd.value.blue;
            break;
        default:
            ADD_FAILURE() << "no case for this control";
        }
        EXPECT_EQ(value, c.expected);
        ASSERT_EQ(instance->GlobalSetdown(), PF_Err_NONE);
    }
}

// The values of a damaged file all at once: the render they start from finishes, as an ordinary one does.
TEST_F(StoredDefaultsTest, ARenderFromHostileStoredValuesFinishes) {
    for (const char* repeat : {"2147483647", "99999999999999999999"}) {
        SCOPED_TRACE(repeat);
        WriteIni(std::string("[Version=1.0]\r\nBlur Amount=3.4e38\r\nMode=99\r\nBlur Type=-1\r\n"
                             "Blur Repeat Num=") +
                 repeat + "\r\nR=1e30\r\nBrightness=1e300\r\nBlur Aspect=-3.4e38\r\n");
        SetUpParams();
        ASSERT_EQ(instance->SequenceSetup(), PF_Err_NONE);
        host::World input(*hostPtr, 16, 8, PF_PixelFormat_ARGB64);
        host::World output(*hostPtr, 16, 8, PF_PixelFormat_ARGB64);
        for (A_long y = 0; y < 8; ++y)
            for (A_long x = 0; x < 16; ++x)
                input.At16(x, y) = PF_Pixel16{32768, static_cast<A_u_short>(x * 2000), 100, 32768};
        EXPECT_EQ(instance->Render(input, output), PF_Err_NONE);
        ASSERT_EQ(instance->SequenceSetdown(), PF_Err_NONE);
        ASSERT_EQ(instance->GlobalSetdown(), PF_Err_NONE);
    }
}

#if !defined(_WIN32)
TEST_F(StoredDefaultsTest, APipeNamedLikeTheFileDoesNotHoldUpTheStart) {
    ASSERT_EQ(::mkfifo(IniFile().c_str(), 0644), 0);
    auto start = std::async(std::launch::async, [&] { SetUpParams(); });
    if (start.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
        ADD_FAILURE() << "the parameter setup waits on the pipe";
        const int fd = ::open(IniFile().c_str(), O_WRONLY | O_NONBLOCK); // lets it go on
        if (fd >= 0)
            ::close(fd);
    }
    start.get();
    ExpectBuiltInDefaults();
}
#endif

// A host that starts while the option dialog of another stores the defaults again and again: it reads the
// file once, so every control comes from the same store.
TEST_F(StoredDefaultsTest, AStartDuringStoresReadsOneStoreWhole) {
    auto store = [&](int n) {
        const std::string v = std::to_string(n);
        const std::string f = v + ".000000";
        const platform::ProfileEntry entries[] = {
            {"Blur Repeat Num", v.c_str()},        {"Blur Amount", f.c_str()},
            {"Mode", n == 2 ? "2" : "3"},          {"1 : Color.r", v.c_str()},
            {"Keep Division", n == 2 ? "0" : "1"},
        };
        return platform::WriteProfileEntries("Version=1.0", entries, std::size(entries),
                                             IniFile().string().c_str())
            .Ok();
    };
    ASSERT_TRUE(store(2));
    ASSERT_EQ(instance->GlobalSetup(), PF_Err_NONE);
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::thread writer([&] {
        for (int round = 0; !done; ++round)
            if (!store(round % 2 ? 2 : 4))
                ++failures;
    });
    int mixed = 0;
    for (int start = 0; start < 200; ++start) {
        ASSERT_EQ(instance->ParamsSetup(), PF_Err_NONE);
        const A_long n = Int(kBlurRepeatNumId);
        const bool same =
            (n == 2 || n == 4) && Float(kBlurAmountId) == n && ById(kModeId).u.pd.value == (n == 2 ? 2 : 3) &&
            ById(KeyColorId(1)).u.cd.value.red == n && ById(kKeepDivisionId).u.bd.value == (n == 2 ? 0 : 1);
        mixed += same ? 0 : 1;
    }
    done = true;
    writer.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(mixed, 0) << "of 200 starts";
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
