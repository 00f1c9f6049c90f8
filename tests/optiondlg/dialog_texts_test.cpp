// The dialog's texts: the caption and the three texts of the host's language replace the template's.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "optiondlg/AEFxOptionDialog.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

constexpr const char* kJapaneseUtf8[] = {
    "設定 （次回起動から有効になります）",
    "現在のパラメータ設定をデフォルト値として記憶する",
    "パラメータのデフォルト値設定を初期状態に復帰する",
};
constexpr const char* kEnglish[] = {
    "Settings (Valid from next start-up)",
    "Set current parameter values to default",
    "Restore initial default parameter values",
};

// Code page 932 text as UTF-8, through the system's own converter.
std::string Cp932ToUtf8(const char* text) {
#if defined(_WIN32)
    const int n = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (n <= 0)
        return "<not code page 932>";
    std::wstring wide(std::size_t(n), L'\0');
    MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, text, -1, wide.data(), n);
    const int m = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, out.data(), m, nullptr, nullptr);
    out.resize(std::strlen(out.c_str()));
    return out;
#else
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "<no CP932 converter>";
    char buffer[512] = {};
    char* in = const_cast<char*>(text);
    std::size_t inLeft = std::strlen(text);
    char* out = buffer;
    std::size_t outLeft = sizeof buffer - 1;
    const std::size_t r = iconv(cd, &in, &inLeft, &out, &outLeft);
    iconv_close(cd);
    return r == static_cast<std::size_t>(-1) ? "<not code page 932>" : std::string(buffer);
#endif
}

TEST(DialogTexts, JapaneseTextsAreTheCodePage932FormOfTheTable) {
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Cp932ToUtf8(FxOptionDlg::OptionDialogText(FxOptionDlg::kLanguageJapanese, i)),
                  kJapaneseUtf8[i])
            << "text " << i;
}

TEST(DialogTexts, EnglishAndAnyOtherLanguageGiveTheEnglishTable) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_STREQ(FxOptionDlg::OptionDialogText(FxOptionDlg::kLanguageEnglish, i), kEnglish[i]);
        EXPECT_STREQ(FxOptionDlg::OptionDialogText(0, i), kEnglish[i]);
    }
    EXPECT_STREQ(FxOptionDlg::OptionDialogText(FxOptionDlg::kLanguageJapanese, 3), "");
    EXPECT_STREQ(FxOptionDlg::OptionDialogText(FxOptionDlg::kLanguageEnglish, -1), "");
}

} // namespace

#if !defined(_WIN32)
#include "tests/optiondlg/OptionDialogFixture.h"

namespace optiondlg_test {
namespace {

using DialogLanguageTest = OptionDialogTest;

TEST_F(DialogLanguageTest, EnglishHostShowsEnglishTextsAndNoneOfTheTemplates) {
    if (std::getenv("TOVRIN_TEST_JAPANESE"))
        GTEST_SKIP() << "the Japanese run checks the Japanese texts";
    StartHost(host::kAfterEffects, PF_SpecVersion{13, 28});
    const std::string shown = AnswerDialog("");
    EXPECT_NE(shown.find("== Tovrin ==\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\nSettings (Valid from next start-up)\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("  1. Set current parameter values to default\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("  2. Restore initial default parameter values\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\n3. OK\n"), std::string::npos) << shown;
    // The template's caption and Japanese texts are all gone: nothing outside ASCII is shown.
    EXPECT_EQ(shown.find("Option"), std::string::npos) << shown;
    for (unsigned char c : shown)
        ASSERT_LT(c, 0x80) << shown;
}

// Runs under a Japanese locale (code page 932), where the host's language is Japanese.
TEST_F(DialogLanguageTest, JapaneseHostShowsJapaneseTexts) {
    if (!std::getenv("TOVRIN_TEST_JAPANESE"))
        GTEST_SKIP() << "runs in the Japanese-locale run of this test program";
    StartHost(host::kAfterEffects, PF_SpecVersion{13, 28});
    const std::string shown = AnswerDialog("");
    EXPECT_NE(shown.find("== Tovrin ==\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find(std::string("\n") + kJapaneseUtf8[0] + "\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find(std::string("  1. ") + kJapaneseUtf8[1] + "\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find(std::string("  2. ") + kJapaneseUtf8[2] + "\n"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Settings"), std::string::npos) << shown;
}

} // namespace
} // namespace optiondlg_test
#endif
