// The option dialog's store: every parameter writes the value its read fetched, under the section the
// parameter setup chose, with the keys and texts of the stored-defaults file.
#include <clocale>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "optiondlg/StoreDefaults.h"
#include "params/Controls.h"
#include "params/ParamReading.h"
#include "params/ParamsCommands.h"
#include "params/StoredDefaults.h"
#include "tests/params/CommaLocale.h"
#include "tests/params/InnerFixture.h"

namespace {

using params_test::InnerParamsTest;

std::string KeyLines(int k, int enable, int r, int g, int b, int a, const char* range) {
    const std::string n = std::to_string(k) + " : ";
    return n + "Enable=" + std::to_string(enable) + "\r\n" + n + "Color.r=" + std::to_string(r) + "\r\n" + n +
           "Color.g=" + std::to_string(g) + "\r\n" + n + "Color.b=" + std::to_string(b) + "\r\n" + n +
           "Color.a=" + std::to_string(a) + "\r\n" + n + "Color Range=" + range + "\r\n";
}

class StoreDefaultsTest : public InnerParamsTest {
protected:
    void SetUp() override {
        InnerParamsTest::SetUp();
        folder_ =
            std::filesystem::temp_directory_path() /
            ("tovrin-store-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        path_ = (folder_ / "Tovrin.ini").string();
    }
    void TearDown() override {
        std::setlocale(LC_ALL, "C");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
        InnerParamsTest::TearDown();
    }

    StoreResult Store(const ParamArray& params) {
        GetParamFromArray getter(const_cast<PF_ParamDef**>(params.pointers.data()));
        (void)ReadAllParams(nullptr, getter);
        return SaveAllDefaults(path_.c_str(), getter);
    }
    // The stored float of the control `id`, or of a control like it under another name and default.
    float StoredFloat(A_long id, const char* name = nullptr, float builtIn = 0) const {
        ControlDef control = ControlAt(IndexOfControl(id));
        if (name) {
            control.name = name;
            control.defaultValue = builtIn;
        }
        return StoredDefaultsReader(path_.c_str()).Float(control);
    }
    std::string FileText() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::filesystem::path folder_;
    std::string path_;
};

TEST_F(StoreDefaultsTest, WritesEveryKeyInHostOrder) {
    Instance().SetFloat(Index(kBlurAmountId), 0.1234567);
    Instance().SetFloat(Index(kBlurAspectId), -2.5);
    Instance().SetColor(Index(KeyColorId(2)), PF_Pixel{128, 10, 20, 30});
    Instance().SetCheckbox(Index(KeyEnableId(2)), true);
    Instance().SetPopup(Index(kModeId), kModeExtract);
    EXPECT_EQ(Store(CurrentParams()).outcome, StoreOutcome::Done);
    EXPECT_EQ(FileText(), "[Version=1.0]\r\n"
                          "Blur Type=2\r\n"
                          "Blur Amount=0.123457\r\n"
                          "Blur Repeat Num=3\r\n"
                          "Blur Aspect=-2.500000\r\n"
                          "Brightness=0.000000\r\n"
                          "R=0.000000\r\n"
                          "G=5.000000\r\n"
                          "B=15.000000\r\n"
                          "Auto Alpha=1\r\n"
                          "A=0.000000\r\n" +
                              KeyLines(1, 0, 3, 180, 245, 255, "0.000000") +
                              KeyLines(2, 1, 10, 20, 30, 128, "0.000000") +
                              KeyLines(3, 0, 3, 180, 245, 255, "0.000000") +
                              KeyLines(4, 0, 3, 180, 245, 255, "0.000000") +
                              "Mode=2\r\n"
                              "Invert=0\r\n"
                              "Keep Division=1\r\n");
}

TEST_F(StoreDefaultsTest, ReadingStopsAtTheFirstErrorAndTheRestKeepTheirRegisteredValues) {
    Instance().SetPopup(Index(kBlurTypeId), kBlurTypeGaussian);
    Instance().SetFloat(Index(kGreenId), 2.5);
    ParamArray params = CurrentParams();
    params.pointers[static_cast<std::size_t>(Index(kBlurAspectId))] = nullptr;
    Store(params);
    const std::string text = FileText();
    EXPECT_NE(text.find("Blur Type=1\r\n"), std::string::npos);
    EXPECT_NE(text.find("Blur Aspect=0.000000\r\n"), std::string::npos);
    EXPECT_NE(text.find("G=5.000000\r\n"), std::string::npos) << "read after the failure: not fetched";
}

TEST_F(StoreDefaultsTest, AStoredFloatReadsBackAtSixDecimals) {
    Instance().SetFloat(Index(kBlurAmountId), 0.1234567);
    Store(CurrentParams());
    EXPECT_EQ(StoredFloat(kBlurAmountId), 0.123457f);
    // A missing key gives the built-in default through the same text: rounded to six decimals as well.
    EXPECT_EQ(StoredFloat(kBlurAmountId, "missing", 0.1234567f), 0.123457f);
}

TEST_F(StoreDefaultsTest, AFloatIsWrittenWithTheLocalesDecimalSeparator) {
    Instance().SetFloat(Index(kBlurAmountId), 0.1234567);
    params_test::CommaLocale comma;
    if (!comma.Active())
        GTEST_SKIP() << "no locale with a decimal comma on this system";
    Store(CurrentParams());
    EXPECT_NE(FileText().find("Blur Amount=0,123457\r\n"), std::string::npos);
    EXPECT_EQ(StoredFloat(kBlurAmountId), 0.123457f);
}

TEST_F(StoreDefaultsTest, NothingIsWrittenWithoutASectionOrAPlaceForTheFile) {
    // A legacy host's parameter setup empties the section: the store then has nowhere to write.
    {
        host::Instance legacyInstance(Host());
        PF_InData legacy = legacyInstance.MakeInData();
        legacy.version = PF_SpecVersion{12, 11};
        PF_OutData out{};
        ASSERT_EQ(ParamsSetup(&legacy, &out), PF_Err_NONE);
        EXPECT_STREQ(StoredDefaultsSection(), "");
        EXPECT_EQ(Store(CurrentParams()).outcome, StoreOutcome::NotUsed);
        EXPECT_FALSE(std::filesystem::exists(path_));

        host::Instance currentInstance(Host());
        PF_InData current = currentInstance.MakeInData();
        ASSERT_EQ(ParamsSetup(&current, &out), PF_Err_NONE);
        EXPECT_STREQ(StoredDefaultsSection(), "Version=1.0");
    }
    path_ = (folder_ / "no-such-folder" / "Tovrin.ini").string();
    const StoreResult noFolder = Store(CurrentParams());
    EXPECT_EQ(noFolder.outcome, StoreOutcome::FileFailed);
    EXPECT_EQ(noFolder.file.problem, platform::FileProblem::NoFolder);
    EXPECT_FALSE(std::filesystem::exists(path_));

    // Without a plug-in path from the host, the dialog's store writes nothing and says so.
    ParamArray params = CurrentParams();
    EXPECT_EQ(StoreCurrentDefaults(InData(), params.pointers.data()).outcome, StoreOutcome::NoPlace);
}

} // namespace
