// tovrin render: one file or a sequence of frames through the effect.
#include <algorithm>
#include <charconv>
#include <csignal>
#include <map>
#include <optional>
#include <set>

#include <sys/stat.h>

#include "cli/ColorSpaces.h"
#include "cli/Commands.h"
#include "cli/Compression.h"
#include "cli/ControlSettings.h"
#include "cli/EffectSession.h"
#include "cli/ErrorNames.h"
#include "cli/FileChecks.h"
#include "cli/FrameSequence.h"
#include "cli/ImageFile.h"
#include "cli/Interrupt.h"
#include "cli/PluginLocator.h"
#include "cli/Preset.h"
#include "cli/Progress.h"
#include "cli/ToolError.h"
#include "host/HostError.h"

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
        frames = ParseFrameList(o.frames);
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

// What of the command line concerns files alone, checked before the plug-in loads.
void CheckFileOptions(const RenderOptions& o) {
    ParseRegionChoice(o.region);
    if (!o.workingSpace.empty() || !o.inputSpace.empty() || !o.outputSpace.empty()) {
        ColorSpaces spaces;
        if (!o.workingSpace.empty())
            spaces.ResolveOption("--working-space", o.workingSpace);
        if (!o.inputSpace.empty())
            spaces.ResolveOption("--input-space", o.inputSpace);
        if (!o.outputSpace.empty())
            spaces.ResolveOption("--output-space", o.outputSpace);
    }
    if (!o.compression.empty() && !o.output.empty())
        if (auto out = OIIO::ImageOutput::create(o.output))
            CheckCompression(out->format_name(), o.compression);
}

class Renderer {
public:
    Renderer(const RenderOptions& o, EffectSession& session, ProgressReporter& reporter)
        : o_(o), session_(session), reporter_(reporter), depth_(ParseDepth(o.depth)),
          path_(o.path == "classic" ? RenderPath::Classic : RenderPath::Smart),
          read_(ReadRequest{ParseAlpha(o.alpha), ParseRegionChoice(o.region)}),
          workingSpace_(o.workingSpace.empty() ? ""
                                               : spaces_.ResolveOption("--working-space", o.workingSpace)),
          inputSpace_(o.inputSpace.empty() ? "" : spaces_.ResolveOption("--input-space", o.inputSpace)),
          outputSpace_(o.outputSpace.empty() ? "" : spaces_.ResolveOption("--output-space", o.outputSpace)) {}

    // Throws ToolError or Cancelled.
    void Frame(const Job& job) {
        // Read: the header checked, then the pixels straight into the input world's rows.
        SourceImage source = OpenImageFile(job.input, read_);
        const std::string fileSpace =
            inputSpace_.empty() ? FileColorSpace(source.spec, source.formatName) : inputSpace_;
        const std::string renderSpace = workingSpace_.empty() ? fileSpace : workingSpace_;
        const std::string outputSpace = outputSpace_.empty() ? fileSpace : outputSpace_;
        const bool convertIn = !spaces_.Same(fileSpace, renderSpace);
        const bool convertOut = !spaces_.Same(renderSpace, outputSpace);
        // Colour conversions keep their precision in float unless a depth is asked for.
        const Depth depth = depth_                    ? *depth_
                            : convertIn || convertOut ? Depth::k32
                                                      : DepthOfFileType(source.fileType);
        const int w = int(source.region.width), h = int(source.region.height);
        DescribeInput(job, source, depth);
        if (convertIn || convertOut) {
            NoteOnce("rendering in " + renderSpace + " (the input is " + fileSpace + ", the output " +
                         outputSpace + ")",
                     "spaces " + fileSpace + renderSpace + outputSpace);
            if (depth != Depth::k32)
                NoteOnce("colour conversions at " + std::to_string(BitsOf(depth)) + " bits lose precision (" +
                             "without --depth the render is in float)",
                         "conversion depth");
        }
        CheckMemoryAvailable(job.input,
                             2 * std::uintmax_t(w) * std::uintmax_t(h) * PixelBytes(depth) +
                                 std::uintmax_t(w) * std::uintmax_t(h) * source.passThroughPixelBytes);

        std::optional<host::World> input(std::in_place, session_.Host(), w, h, FormatOf(depth));
        if (!ReadImagePixels(source, RowsOf(*input), [] { return Interrupted(); }))
            throw Cancelled{};
        if (convertIn)
            spaces_.Convert(RowsOf(*input), fileSpace, renderSpace);

        // Render.
        host::World output(session_.Host(), w, h, FormatOf(depth));
        if (Interrupted())
            throw Cancelled{};
        reporter_.Phase(FramePhase::Rendering);
        PF_Err err = PF_Err_NONE;
        {
            RenderWatch watch(session_.Host(), session_.Instance(), reporter_);
            err = session_.Render(*input, output, path_);
        }
        if (err == PF_Interrupt_CANCEL || Interrupted())
            throw Cancelled{};
        if (err != PF_Err_NONE)
            throw EffectError("the effect returned " + DescribePfErr(err));
        input.reset();

        reporter_.Phase(FramePhase::Writing);
        // Write: encoded from the output world's rows.
        if (convertOut)
            spaces_.Convert(RowsOf(output), renderSpace, outputSpace);
        std::vector<std::string> notes;
        WriteRequest request{depth_,
                             read_.alpha,
                             o_.overwrite,
                             o_.compression,
                             o_.commandLine,
                             outputSpace,
                             spaces_.IsLinear(outputSpace)};
        if (!WriteImageFile(job.output, RowsOf(output), source, request, &notes,
                            [] { return Interrupted(); }))
            throw Cancelled{};
        for (const std::string& n : notes)
            NoteOnce(job.output.string() + ": " + n, n);
    }

private:
    void DescribeInput(const Job& job, const SourceImage& source, Depth depth) {
        const PixelRect data = DataWindow(source.spec);
        std::string region;
        if (!(source.region == data) || !(DisplayWindow(source.spec) == data))
            region = " (data window " + DescribeRect(data) + ", display window " +
                     DescribeRect(DisplayWindow(source.spec)) + "; rendering " + DescribeRect(source.region) +
                     ")";
        NoteOnce(
            job.input.string() + ": " + std::to_string(data.width) + " × " + std::to_string(data.height) +
                ", " + FileTypeText(source.fileType) + (source.grey ? " grey" : "") +
                (source.hasAlpha ? (source.associated ? " with premultiplied alpha" : " with straight alpha")
                                 : " without alpha") +
                region + "; rendering in " + FormatText(depth),
            "input " + std::to_string(int(depth)) + FileTypeText(source.fileType) +
                std::to_string(source.hasAlpha) + std::to_string(source.associated) +
                std::to_string(source.grey) + region);
    }

    void NoteOnce(const std::string& text, const std::string& key) {
        if (shown_.insert(key).second)
            reporter_.Note(text);
    }

    const RenderOptions& o_;
    EffectSession& session_;
    ProgressReporter& reporter_;
    std::optional<Depth> depth_;
    RenderPath path_;
    ReadRequest read_;
    ColorSpaces spaces_;
    std::string workingSpace_, inputSpace_, outputSpace_;
    std::set<std::string> shown_;
};

// Exists as a name (a dangling link counts: publishing onto it would fail just the same).
bool OutputExists(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// An output that is an input file (the same file, also through links) would replace that input; the same
// frame's own input only with --in-place, another frame's input never (it would be gone before it is read).
void RefuseOutputsThatAreInputs(const std::vector<Job>& jobs, bool inPlace) {
    std::map<std::pair<dev_t, ino_t>, const Job*> inputs;
    struct stat st {};
    for (const Job& job : jobs)
        if (::stat(job.input.c_str(), &st) == 0)
            inputs.emplace(std::pair(st.st_dev, st.st_ino), &job);
    for (const Job& job : jobs) {
        if (::stat(job.output.c_str(), &st) != 0)
            continue;
        const auto found = inputs.find(std::pair(st.st_dev, st.st_ino));
        if (found == inputs.end())
            continue;
        const Job& owner = *found->second;
        if (&owner == &job || owner.input == job.input) {
            if (!inPlace)
                throw UsageError("the output \"" + job.output.string() + "\" is the input file \"" +
                                 job.input.string() + "\"; give --in-place to replace the input");
        } else {
            throw UsageError("the output of frame " + std::to_string(job.frame) + ", \"" +
                             job.output.string() + "\", is the input of frame " +
                             std::to_string(owner.frame) + ", \"" + owner.input.string() +
                             "\", which it would replace before it is read");
        }
    }
}

const char* SignalName(int signal) {
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    default:
        return "a signal";
    }
}

} // namespace

int RunRender(const RenderOptions& options) {
    // From the start, so that a signal while the plug-in loads cancels like one during a frame.
    InterruptGuard interruptGuard;
    // --in-place replaces the input, which exists by definition.
    RenderOptions o = options;
    o.overwrite = options.overwrite || options.inPlace;

    // Everything the command line alone can refuse is refused before the plug-in loads.
    if (o.input.empty() != o.output.empty())
        throw UsageError(o.input.empty() ? "-o OUTPUT needs an INPUT" : "INPUT needs -o OUTPUT");
    if (o.input.empty() && o.savePreset.empty())
        throw UsageError("nothing to do: give INPUT -o OUTPUT, or --save-preset FILE");
    if (o.depth != 0 && !ParseDepth(o.depth))
        throw UsageError("--depth " + std::to_string(o.depth) + ": expected 8, 16 or 32");
    const auto [downX, downY] = ParseDownsample(o.downsample);
    CheckFileOptions(o);
    std::vector<Job> jobs;
    if (!o.input.empty()) {
        jobs = PlanJobs(o);
        RefuseOutputsThatAreInputs(jobs, o.inPlace);
    }

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
    ProgressReporter reporter(mode, int(jobs.size()), sequence);
    SetCancelLine(mode == ProgressMode::Plain ? "CANCELLED\n" : nullptr);
    struct CancelLineReset {
        ~CancelLineReset() { SetCancelLine(nullptr); }
    } cancelLineReset;

    std::vector<std::string> warnings;
    const auto setByHand =
        ApplyPresetAndSets(session.Instance(), controls, matchName, o.preset, o.sets, &warnings);
    for (const std::string& w : warnings)
        reporter.Note("warning: " + w);
    // Only for values given with --set: a preset holds every control, most of them as they were.
    if (!setByHand.empty())
        session.UpdateParamsUI();
    for (const Control* c : setByHand)
        if (!session.Instance().IsEnabled(c->index))
            reporter.Note("note: \"" + c->name +
                          "\" is disabled by the other settings; its value has no effect");
    if (!o.savePreset.empty()) {
        SavePreset(o.savePreset, controls, session.Instance(), matchName, o.overwrite);
        reporter.Note("preset saved to \"" + o.savePreset + "\"");
    }
    if (jobs.empty())
        return kExitOk;

    for (const Job& job : jobs)
        if (!(o.skipExisting && OutputExists(job.output)))
            CheckImageOutputPath(job.output, o.overwrite, o.compression);

    Renderer renderer(o, session, reporter);
    int worst = kExitOk, failed = 0, skipped = 0;
    std::optional<int> cancelledFrame;
    bool cancelled = false;
    for (const Job& job : jobs) {
        if (Interrupted()) {
            cancelled = true;
            break;
        }
        // Decided at the frame's turn: another task of a farm may have written it meanwhile.
        if (o.skipExisting && OutputExists(job.output)) {
            reporter.FrameSkipped(job.frame, job.output.string());
            ++skipped;
            continue;
        }
        reporter.FrameStarted(job.frame);
        // Whatever goes wrong with one frame is that frame's failure; the others go on.
        const auto fail = [&](const std::string& reason, int exitCode) {
            reporter.FrameFailed(job.frame, reason);
            worst = std::max(worst, exitCode);
            ++failed;
        };
        try {
            renderer.Frame(job);
            reporter.FrameDone(job.frame, job.output.string());
        } catch (const Cancelled&) {
            reporter.FrameCancelled(job.frame);
            cancelledFrame = job.frame;
            cancelled = true;
            break;
        } catch (const ToolError& e) {
            fail(e.what(), e.ExitCode());
        } catch (const std::bad_alloc&) {
            fail("not enough memory", kExitFile);
        } catch (const host::HostError& e) {
            fail(std::string("the host failed: ") + e.what(), kExitEffect);
        } catch (const std::exception& e) {
            fail(e.what(), kExitEffect);
        } catch (...) {
            fail("an unknown failure", kExitEffect);
        }
    }
    if (cancelled) {
        const std::string name = SignalName(InterruptSignal());
        reporter.Cancelled("cancelled by " + name + " (" + DescribePfErr(PF_Interrupt_CANCEL) + "); " +
                           (cancelledFrame
                                ? (sequence ? "frame " + std::to_string(*cancelledFrame) + " was not written"
                                            : std::string("the output was not written"))
                                : std::string("no frame was in progress")));
        reporter.Finish();
        return CancelExitCode();
    }
    reporter.Finish();
    if (skipped && mode != ProgressMode::Quiet)
        std::fprintf(stderr, "tovrin: %d of %zu %s skipped: the output%s existed (--skip-existing)\n",
                     skipped, jobs.size(), jobs.size() == 1 ? "file" : "frames", skipped == 1 ? "" : "s");
    if (sequence && failed)
        std::fprintf(stderr, "tovrin: %d of %zu frames failed\n", failed, jobs.size());
    return worst;
}

} // namespace cli
