// Global setup and About: the version and flags the effect declares, and the text the host shows.
#include "filter/GlobalSetup.h"

#include "filter/EffectInfo.h"
#include "optiondlg/UiLanguage.h"
#include "platform/Platform.h"

namespace {

// Code page 932 bytes, the encoding the host shows them in.
constexpr const char* kJapaneseNotice =
    "\x90\x46\x82\xc5\x91\x49\x82\xf1\x82\xbe\x89\xe6\x91\x66\x82\xf0\x82\xda"
    "\x82\xa9\x82\xb5\x82\xdc\x82\xb7\x81\x42";
constexpr const char* kEnglishNotice = "Blurs the pixels chosen by colour.";

} // namespace

PF_Err GlobalSetup(PF_OutData* out_data) {
    out_data->my_version = effect_info::kVersion;
    out_data->out_flags = static_cast<PF_OutFlags>(effect_info::kOutFlags);
    out_data->out_flags2 = static_cast<PF_OutFlags2>(effect_info::kOutFlags2);
    // Stored float defaults are parsed with the runtime's locale, which follows the user's.
    platform::UseUserDefaultLocale();
    return PF_Err_NONE;
}

PF_Err About(PF_InData* in_data, PF_OutData* out_data) {
    using namespace effect_info;
    const char* notice = UiLanguage() == UiLanguageKind::Japanese ? kJapaneseNotice : kEnglishNotice;
    auto sprintf = in_data->utils->ansi.sprintf;
    if (platform::IsShiftKeyDown())
        sprintf(out_data->return_msg, "%s %d.%d.%d %s build:%d\r\r%s", kName, static_cast<int>(kMajor),
                static_cast<int>(kMinor), static_cast<int>(kFixLevel), kStageWord, static_cast<int>(kBuild),
                notice);
    else
        sprintf(out_data->return_msg, "%s %d.%d.%d %s\r\r%s", kName, static_cast<int>(kMajor),
                static_cast<int>(kMinor), static_cast<int>(kFixLevel), kStageWord, notice);
    return PF_Err_NONE;
}

PF_Err QueryDynamicFlags(PF_InData* in_data) {
    if (!in_data || !in_data->pica_basicP)
        return PF_Err_BAD_CALLBACK_PARAM;
    return PF_Err_NONE;
}
