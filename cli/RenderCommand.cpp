// tovrin render: one file or a sequence of frames through the effect.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iterator>
#include <optional>
#include <set>

#include "cli/Commands.h"
#include "cli/ControlSettings.h"
#include "cli/EffectSession.h"
#include "cli/ErrorNames.h"
#include "cli/FrameSequence.h"
#include "cli/ImageFile.h"
#include "cli/Interrupt.h"
#include "cli/PixelConvert.h"
#include "cli/PluginLocator.h"
#include "cli/Preset.h"
#include "cli/Progress.h"
#include "cli/ToolError.h"

namespace cli {
namespace {

// A frame stopped by Ctrl-C; nothing of it is written.
struct Cancelled {};

struct Job {
    int frame = 0;
    std::filesystem::path input, output;
};

std::pair<int, int> ParseDownsample(const std::string& text) {
    const auto bad = [&] {
        return UsageError("--downsample \"" + text +
                          "\": expected X or X,Y with whole numbers from 1 to 256");
    };
    const auto parse = [&](std::string_view s) {
        int v = 0;
        auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (s.empty() || ec != std::errc() || ptr != s.data() + s.size() || v < 1 || v > 256)
            throw bad();
        return v;
    };
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos) {
        int x = parse(text);
        return {x, x};
    }
    return {parse(std::string_view(text).substr(0, comma)), parse(std::string_view(text).substr(comma + 1))};
}

AlphaConvention ParseAlpha(const std::string& text) {
    if (text == "straight")
        return AlphaConvention::Straight;
    if (text == "premultiplied")
        return AlphaConvention::Premultiplied;
    return AlphaConvention::FromFile;
}

std::optional<Depth> ParseDepth(int bits) {
    switch (bits) {
    case 8:
        return Depth::k8;
    case 16:
        return Depth::k16;
    case 32:
        return Depth::k32;
    default:
        return std::nullopt;
    }
}

std::vector<Job> PlanJobs(const RenderOptions& o) {
    const auto inPattern = FramePattern::Find(o.input);
    const auto outPattern = FramePattern::Find(o.output);
    if (inPattern && !outPattern)
        throw UsageError("the input \"" + o.input + "\" is a sequence (" + inPattern->Text() +
                         ") but the output \"" + o.output + "\" has no frame pattern");
    if (!inPattern && outPattern)
        throw UsageError("the output \"" + o.output + "\" has a frame pattern (" + outPattern->Text() +
                         ") but the input \"" + o.input + "\" has none");
    if (!inPattern) {
        if (!o.frames.empty())
            throw UsageError("--frames needs an input and output with a frame pattern (# or %04d)");
        return {Job{0, o.input, o.output}};
    }
    std::vector<int> frames;
    if (!o.frames.empty()) {
        frames = ParseFrameRange(o.frames).Frames();
    } else {
        frames = inPattern->FramesOnDisk();
        if (frames.empty())
            throw FileError("no files match the input pattern \"" + o.input + "\"");
    }
    std::vector<Job> jobs;
    for (int f : frames)
        jobs.push_back(Job{f, inPattern->Format(f), outPattern->Format(f)});
    return jobs;
}

class Renderer {
public:
    Renderer(const RenderOptions& o, EffectSession& session, ProgressReporter& reporter)
        : o_(o), session_(session), reporter_(reporter), depth_(ParseDepth(o.depth)),
          path_(o.path == "classic" ? RenderPath::Classic : RenderPath::Smart), alpha_(ParseAlpha(o.alpha)) {}

    // Throws ToolError or Cancelled.
    void Frame(const Job& job) {
        SourceImage source = ReadImageFile(job.input, alpha_);
        const Depth depth = depth_ ? *depth_ : source.pixels.depth;
        const int w = source.pixels.width, h = source.pixels.height;
        NoteOnce(job.input.string() + ": " + std::to_string(w) + " × " + std::to_string(h) + ", " +
                     FileTypeText(source.fileType) + (source.grey ? " grey" : "") +
                     (source.hasAlpha
                          ? (source.associated ? " with premultiplied alpha" : " with straight alpha")
                          : " without alpha") +
                     "; rendering in " + FormatText(depth),
                 "input " + std::to_string(int(depth)) + FileTypeText(source.fileType) +
                     std::to_string(source.hasAlpha) + std::to_string(source.associated) +
                     std::to_string(source.grey));

        host::World input(session_.Host(), w, h, FormatOf(depth));
        input.SetPixels(ConvertDepth(source.pixels, depth).bytes);
        host::World output(session_.Host(), w, h, FormatOf(depth));
        if (Interrupted())
            throw Cancelled{};
        PF_Err err = PF_Err_NONE;
        {
            RenderWatch watch(session_.Host(), session_.Instance(), reporter_);
            err = session_.Render(input, output, path_);
        }
        if (err == PF_Interrupt_CANCEL || Interrupted())
            throw Cancelled{};
        if (err != PF_Err_NONE)
            throw EffectError("the effect returned " + DescribePfErr(err));

        HostImage rendered(w, h, depth);
        rendered.bytes = output.Pixels();
        std::vector<std::string> notes;
        WriteRequest request{depth_, alpha_, o_.overwrite};
        if (!WriteImageFile(job.output, rendered, source, request, &notes, [] { return Interrupted(); }))
            throw Cancelled{};
        for (const std::string& n : notes)
            NoteOnce(job.output.string() + ": " + n, n);
    }

private:
    void NoteOnce(const std::string& text, const std::string& key) {
        if (shown_.insert(key).second)
            reporter_.Note(text);
    }

    const RenderOptions& o_;
    EffectSession& session_;
    ProgressReporter& reporter_;
    std::optional<Depth> depth_;
    RenderPath path_;
    AlphaConvention alpha_;
    std::set<std::string> shown_;
};

} // namespace

int RunRender(const RenderOptions& o) {
    // Everything the command line alone can refuse is refused before the plug-in loads.
    if (o.input.empty() != o.output.empty())
        throw UsageError(o.input.empty() ? "-o OUTPUT needs an INPUT" : "INPUT needs -o OUTPUT");
    if (o.input.empty() && o.savePreset.empty())
        throw UsageError("nothing to do: give INPUT -o OUTPUT, or --save-preset FILE");
    if (o.depth != 0 && !ParseDepth(o.depth))
        throw UsageError("--depth " + std::to_string(o.depth) + ": expected 8, 16 or 32");
    const auto [downX, downY] = ParseDownsample(o.downsample);
    std::vector<Job> jobs;
    if (!o.input.empty())
        jobs = PlanJobs(o);

    SessionSettings settings;
    settings.plugin = LocatePlugin(o.plugin);
    settings.quality = o.quality == "draft" ? PF_Quality_LO : PF_Quality_HI;
    settings.downsampleX = downX;
    settings.downsampleY = downY;
    settings.threads = o.threads;
    EffectSession session(settings);
    const std::string matchName = session.Plugin().pipl() ? session.Plugin().pipl()->matchName : "";
    const std::vector<Control> controls = ListControls(session.Instance());

    const ProgressMode mode = ChooseProgressMode(o.quiet);
    const bool sequence = !jobs.empty() && FramePattern::Find(o.input).has_value();
    // Resuming: frames whose output exists count as done and are not rendered again.
    std::vector<Job> skipped;
    if (o.skipExisting) {
        const auto exists = [](const Job& job) {
            std::error_code ec;
            return std::filesystem::exists(job.output, ec);
        };
        std::copy_if(jobs.begin(), jobs.end(), std::back_inserter(skipped), exists);
        std::erase_if(jobs, exists);
    }
    ProgressReporter reporter(mode, int(jobs.size()), sequence);

    std::vector<std::string> warnings;
    const auto given =
        ApplyPresetAndSets(session.Instance(), controls, matchName, o.preset, o.sets, &warnings);
    for (const std::string& w : warnings)
        reporter.Note("warning: " + w);
    if (!given.empty()) {
        session.UpdateParamsUI();
        for (const Control* c : given)
            if (!session.Instance().IsEnabled(c->index))
                reporter.Note("note: \"" + c->name +
                              "\" is disabled by the other settings; its value has no effect");
    }
    if (!o.savePreset.empty()) {
        SavePreset(o.savePreset, controls, session.Instance(), matchName, o.overwrite);
        reporter.Note("preset saved to \"" + o.savePreset + "\"");
    }
    if (mode == ProgressMode::Plain) {
        for (const Job& job : skipped) {
            if (sequence)
                std::printf("FRAME %d skipped %s\n", job.frame, job.output.c_str());
            else
                std::printf("SKIPPED %s\n", job.output.c_str());
        }
        std::fflush(stdout);
    }
    if (jobs.empty())
        return kExitOk;

    for (const Job& job : jobs)
        CheckImageOutputPath(job.output, o.overwrite);

    InterruptGuard interruptGuard;
    Renderer renderer(o, session, reporter);
    int worst = kExitOk, failed = 0;
    bool cancelled = false;
    for (const Job& job : jobs) {
        if (Interrupted()) {
            cancelled = true;
            break;
        }
        reporter.FrameStarted(job.frame);
        try {
            renderer.Frame(job);
            reporter.FrameDone(job.frame, job.output.string());
        } catch (const Cancelled&) {
            cancelled = true;
            break;
        } catch (const ToolError& e) {
            reporter.FrameFailed(job.frame, e.what());
            worst = std::max(worst, e.ExitCode());
            ++failed;
        } catch (const std::bad_alloc&) {
            reporter.FrameFailed(job.frame, "not enough memory");
            worst = std::max(worst, int(kExitFile));
            ++failed;
        }
    }
    reporter.Finish();
    if (cancelled) {
        std::fprintf(stderr, "tovrin: cancelled (%s); the frame in progress was not written\n",
                     DescribePfErr(PF_Interrupt_CANCEL).c_str());
        return kExitEffect;
    }
    if (sequence && failed)
        std::fprintf(stderr, "tovrin: %d of %zu frames failed\n", failed, jobs.size());
    return worst;
}

} // namespace cli
