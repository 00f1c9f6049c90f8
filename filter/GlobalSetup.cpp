// Global setup and About: the version and flags the effect declares, and the text the host shows.
#include "filter/BaseFilter.h"
#include "filter/EffectInfo.h"
#include "filter/UiLanguage.h"
#include "platform/Platform.h"

PF_Err BaseFilter::GlobalSetup(PF_InData*, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*) {
    out_data->my_version = effect_info::kVersion;
    out_data->out_flags = static_cast<PF_OutFlags>(effect_info::kOutFlags);
    out_data->out_flags2 = static_cast<PF_OutFlags2>(effect_info::kOutFlags2);
    // Stored float defaults are parsed with the runtime's locale, which follows the user's.
    platform::UseUserDefaultLocale();
    return PF_Err_NONE;
}

PF_Err BaseFilter::About(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[], PF_LayerDef*) {
    using namespace effect_info;
    const char* notice = LocalizedText(TextKind::Notice);
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
