// tovrin options: the effect's option dialog, which stores the current values as the defaults of new
// instances or restores the built-in ones (valid from the next start of a host).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include <unistd.h>

#include "cli/Commands.h"
#include "cli/ControlSettings.h"
#include "cli/EffectSession.h"
#include "cli/ErrorNames.h"
#include "cli/PluginLocator.h"
#include "cli/ToolError.h"

namespace cli {
namespace {

// The dialog's buttons, by control id: a scripted answer presses one whatever the numbering of the choices.
constexpr const char* kStoreAnswer = "#2001\n";
constexpr const char* kRestoreAnswer = "#2002\n";

// Answers the dialog without asking: outside Windows the dialog reads its answers from the file named by
// TOVRIN_DIALOG_INPUT and writes its text to TOVRIN_DIALOG_OUTPUT. The answer comes through a pipe.
class ScriptedDialog {
public:
    explicit ScriptedDialog(const char* answer) {
        if (!answer)
            return;
        int fds[2];
        if (::pipe(fds) != 0)
            throw EffectError("cannot answer the option dialog: no pipe");
        readEnd_ = fds[0];
        const std::size_t length = std::strlen(answer);
        const bool written = ::write(fds[1], answer, length) == ssize_t(length);
        ::close(fds[1]);
        if (!written)
            throw EffectError("cannot answer the option dialog: the pipe refused the answer");
        Set("TOVRIN_DIALOG_INPUT", "/proc/self/fd/" + std::to_string(readEnd_));
        Set("TOVRIN_DIALOG_OUTPUT", "/dev/null");
    }
    ~ScriptedDialog() {
        for (const auto& [name, previous] : saved_) {
            if (previous)
                ::setenv(name.c_str(), previous->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        if (readEnd_ >= 0)
            ::close(readEnd_);
    }
    ScriptedDialog(const ScriptedDialog&) = delete;
    ScriptedDialog& operator=(const ScriptedDialog&) = delete;

private:
    void Set(const std::string& name, const std::string& value) {
        const char* previous = std::getenv(name.c_str());
        saved_.emplace_back(name, previous ? std::optional<std::string>(previous) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    int readEnd_ = -1;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
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
        ScriptedDialog answer(o.store ? kStoreAnswer : o.restore ? kRestoreAnswer : nullptr);
        err = session.Instance().DoDialog();
    }
    if (err != PF_Err_NONE)
        throw EffectError("the option dialog returned " + DescribePfErr(err));
    // A store or restore that did not happen says why in the message the host would show.
    const PF_OutData& out = session.Instance().LastOutData();
    if (out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) {
        const char* end = static_cast<const char*>(std::memchr(out.return_msg, 0, sizeof out.return_msg));
        throw FileError(std::string(out.return_msg, end ? end : out.return_msg + sizeof out.return_msg));
    }
    std::filesystem::path stored = settings.plugin;
    stored.replace_extension(".ini");
    std::error_code ec;
    const bool present = std::filesystem::exists(stored, ec);
    if (o.store && !present)
        throw EffectError(
            "the option dialog did not store the defaults (its store button may be disabled on this "
            "host); nothing was written to \"" +
            stored.string() + "\"");
    if (o.restore && present)
        throw EffectError("the option dialog did not remove \"" + stored.string() + "\"");
    std::printf("stored defaults: %s (%s; used from the next start of a host)\n", stored.string().c_str(),
                present ? "present" : "none, built-in defaults");
    return 0;
}

} // namespace cli
