// tovrin options: the effect's option dialog, which stores the current values as the defaults of new
// instances or restores the built-in ones (valid from the next start of a host).
#include <cstdio>
#include <cstdlib>

#include "cli/Commands.h"
#include "cli/ControlSettings.h"
#include "cli/EffectSession.h"
#include "cli/ErrorNames.h"
#include "cli/PluginLocator.h"
#include "cli/ToolError.h"

namespace cli {
namespace {

// The name under which the dialog's stand-in outside Windows finds an answer given in advance.
constexpr const char* kDialogAnswer = "TOVRIN_OPTION_DIALOG_ANSWER";

class ScopedAnswer {
public:
    explicit ScopedAnswer(const char* answer) : set_(answer != nullptr) {
        if (set_)
            ::setenv(kDialogAnswer, answer, 1);
    }
    ~ScopedAnswer() {
        if (set_)
            ::unsetenv(kDialogAnswer);
    }
    ScopedAnswer(const ScopedAnswer&) = delete;
    ScopedAnswer& operator=(const ScopedAnswer&) = delete;

private:
    bool set_;
};

} // namespace

int RunOptionDialog(const OptionDialogOptions& o) {
    if (o.store && o.restore)
        throw UsageError("--store and --restore exclude each other");
    SessionSettings settings;
    settings.plugin = LocatePlugin(o.plugin);
    EffectSession session(settings);
    const std::string matchName = session.Plugin().pipl() ? session.Plugin().pipl()->matchName : "";
    const std::vector<Control> controls = ListControls(session.Instance());
    std::vector<std::string> warnings;
    ApplyPresetAndSets(session.Instance(), controls, matchName, o.preset, o.sets, &warnings);
    for (const std::string& w : warnings)
        std::fprintf(stderr, "tovrin: warning: %s\n", w.c_str());

    PF_Err err;
    {
        ScopedAnswer answer(o.store ? "store" : o.restore ? "restore" : nullptr);
        err = session.Instance().DoDialog();
    }
    if (err != PF_Err_NONE)
        throw EffectError("the option dialog returned " + DescribePfErr(err));
    std::filesystem::path stored = settings.plugin;
    stored.replace_extension(".ini");
    std::error_code ec;
    std::printf("stored defaults: %s (%s; used from the next start of a host)\n", stored.string().c_str(),
                std::filesystem::exists(stored, ec) ? "present" : "none, built-in defaults");
    return 0;
}

} // namespace cli
