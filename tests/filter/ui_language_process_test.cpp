// The About text's language as a host started with a given command line and locale shows it. The
// effect reads the command line once per process, so each case runs in a child process.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "host/Host.h"
#include "host/Instance.h"
#include "host/Plugin.h"
#include "host/Process.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

const std::string kJapaneseNotice =
    "\x90\x46\x82\xc5\x91\x49\x82\xf1\x82\xbe\x89\xe6\x91\x66\x82\xf0\x82\xda\x82"
    "\xa9\x82\xb5\x82\xdc\x82\xb7\x81\x42";
const std::string kEnglishNotice = "Blurs the pixels chosen by colour.";

std::string Hex(const std::string& bytes) {
    std::string out;
    char buf[3];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "%02x", c);
        out += buf;
    }
    return out;
}

// The notice line the child printed, as hex.
std::string NoticeShownBy(const std::vector<std::string>& switches,
                          std::vector<std::pair<std::string, std::string>> environment) {
    std::vector<std::string> arguments = {"--gtest_filter=UiLanguageChild.PrintAbout"};
    arguments.insert(arguments.end(), switches.begin(), switches.end());
    environment.emplace_back("TOVRIN_ABOUT_CHILD", "1");
    const host::ProcessResult r = host::RunProcess(host::SelfPath(), arguments, environment);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    const std::size_t at = r.output.find("notice=");
    if (at == std::string::npos)
        return "(nothing printed) " + r.output;
    std::string notice = r.output.substr(at + 7, r.output.find('\n', at) - at - 7);
    if (!notice.empty() && notice.back() == '\r')
        notice.pop_back(); // text-mode output on Windows
    return notice;
}

// The notice a host without a switch shows. Under Wine a child process keeps the code page the Wine
// session started with, whatever its environment says; Linux children follow their locale.
std::string ExpectedWithoutSwitch(bool japaneseLocale) {
#if defined(_WIN32)
    japaneseLocale = GetACP() == 932;
#endif
    return Hex(japaneseLocale ? kJapaneseNotice : kEnglishNotice);
}

} // namespace

TEST(UiLanguageChild, PrintAbout) {
    if (!std::getenv("TOVRIN_ABOUT_CHILD"))
        GTEST_SKIP() << "runs only as a child";
    host::Host h;
    host::Instance instance(h, host::Plugin::Load(std::getenv("TOVRIN_PLUGIN")));
    ASSERT_EQ(instance.GlobalSetup(), PF_Err_NONE);
    std::string message;
    ASSERT_EQ(instance.About(&message), PF_Err_NONE);
    std::printf("notice=%s\n", Hex(message.substr(message.find("\r\r") + 2)).c_str());
    std::fflush(stdout);
    EXPECT_EQ(instance.GlobalSetdown(), PF_Err_NONE);
}

TEST(UiLanguage, SwitchOnTheCommandLineDecides) {
    EXPECT_EQ(NoticeShownBy({"-L", "JP"}, {{"LC_ALL", "C"}}), Hex(kJapaneseNotice));
    EXPECT_EQ(NoticeShownBy({"-l", "en"}, {{"LC_ALL", "ja_JP.UTF-8"}, {"LANG", "ja_JP.UTF-8"}}),
              Hex(kEnglishNotice));
    EXPECT_EQ(NoticeShownBy({"-LJP"}, {{"LC_ALL", "C"}}), Hex(kJapaneseNotice));
}

TEST(UiLanguage, WithoutASwitchTheCodePageDecides) {
    EXPECT_EQ(NoticeShownBy({}, {{"LC_ALL", "ja_JP.UTF-8"}, {"LANG", "ja_JP.UTF-8"}}),
              ExpectedWithoutSwitch(true));
    EXPECT_EQ(NoticeShownBy({}, {{"LC_ALL", "C"}, {"LANG", "C"}}), ExpectedWithoutSwitch(false));
    EXPECT_EQ(NoticeShownBy({"quoted -L JP"}, {{"LC_ALL", "C"}, {"LANG", "C"}}), ExpectedWithoutSwitch(false))
        << "a switch inside a quoted argument does not count";
}
