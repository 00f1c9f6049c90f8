// tovrin render: one file or a sequence of frames through the effect.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
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
#include "cli/FrameOrder.h"
#include "cli/FramePipeline.h"
#include "cli/FrameSequence.h"
#include "cli/FrameStats.h"
#include "cli/ImageFile.h"
#include "cli/Interrupt.h"
#include "cli/PluginLocator.h"
#include "cli/Preset.h"
#include "cli/Progress.h"
#include "cli/ToolError.h"
#include "host/HostError.h"

namespace cli {
namespace {

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

// One frame between its steps: what the read made, what the render made, and the figures of --stats.
struct FrameWork {
    SourceImage source;
    std::optional<host::World> input, output;
    Depth depth = Depth::k8;
    std::string renderSpace, outputSpace;
    bool convertOut = false;
    FrameStats stats;
    std::chrono::steady_clock::time_point began, ended;
};

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

    // Whether reading and writing convert on two threads: only when no render runs beside them, which
    // would take the threads it has.
    void ConvertOnTwoThreads(bool on) { twoThreads_ = on; }

    // The steps of one frame; each throws a ToolError, or FrameCancelled after Ctrl-C. Read and Write may
    // run on their own threads, beside the Render of another frame; Render uses the effect's host.
    void Read(const Job& job, FrameWork& work) {
        // The header checked, then the pixels straight into the input world's rows.
        work.source = OpenImageFile(job.input, read_);
        SourceImage& source = work.source;
        const std::string fileSpace =
            inputSpace_.empty() ? FileColorSpace(source.spec, source.formatName) : inputSpace_;
        work.renderSpace = workingSpace_.empty() ? fileSpace : workingSpace_;
        work.outputSpace = outputSpace_.empty() ? fileSpace : outputSpace_;
        const bool convertIn = !spaces_.Same(fileSpace, work.renderSpace);
        work.convertOut = !spaces_.Same(work.renderSpace, work.outputSpace);
        // Colour conversions keep their precision in float unless a depth is asked for.
        work.depth = depth_                         ? *depth_
                     : convertIn || work.convertOut ? Depth::k32
                                                    : DepthOfFileType(source.fileType);
        const int w = int(source.region.width), h = int(source.region.height);
        DescribeInput(job, source, work.depth);
        if (convertIn || work.convertOut) {
            NoteOnce("rendering in " + work.renderSpace + " (the input is " + fileSpace + ", the output " +
                         work.outputSpace + ")",
                     "spaces " + fileSpace + work.renderSpace + work.outputSpace);
            if (work.depth != Depth::k32)
                NoteOnce("colour conversions at " + std::to_string(BitsOf(work.depth)) +
                             " bits lose precision (" + "without --depth the render is in float)",
                         "conversion depth");
        }
        work.stats.width = w;
        work.stats.height = h;
        work.stats.bits = BitsOf(work.depth);
        work.stats.frameBytes = std::uint64_t(w) * std::uint64_t(h) * PixelBytes(work.depth);
        CheckMemoryAvailable(job.input,
                             2 * std::uintmax_t(w) * std::uintmax_t(h) * PixelBytes(work.depth) +
                                 std::uintmax_t(w) * std::uintmax_t(h) * source.passThroughPixelBytes);

        // Cleared only where the file leaves pixels unwritten (outside its data window): clearing 66 MB
        // that the decoder overwrites anyway costs a 4K frame tens of milliseconds.
        const bool covered = Intersection(DataWindow(source.spec), source.region) == source.region;
        work.input.emplace(session_.Host(), w, h, FormatOf(work.depth), !covered);
        if (!ReadImagePixels(
                source, RowsOf(*work.input), [] { return Interrupted(); }, twoThreads_))
            throw FrameCancelled{};
        if (convertIn)
            spaces_.Convert(RowsOf(*work.input), fileSpace, work.renderSpace);
    }

    void Render(FrameWork& work, const RenderWatch::StepSink& onStep, bool traced) {
        // The effect writes every pixel of its output; a strict host fills it with poison to prove it.
        work.output.emplace(session_.Host(), work.input->Width(), work.input->Height(), FormatOf(work.depth),
                            false);
        if (Interrupted())
            throw FrameCancelled{};
        PF_Err err = PF_Err_NONE;
        {
            RenderWatch watch(session_.Host(), session_.Instance(), reporter_, onStep);
            if (traced)
                session_.Host().TakeServiceTrace(); // what came before this render is not its own
            const auto start = std::chrono::steady_clock::now();
            err = session_.Render(*work.input, *work.output, path_);
            const auto end = std::chrono::steady_clock::now();
            if (traced)
                work.stats.inside = BreakDownRender(session_.Host().TakeServiceTrace(), start, end);
        }
        if (err == PF_Interrupt_CANCEL || Interrupted())
            throw FrameCancelled{};
        if (err != PF_Err_NONE)
            throw EffectError("the effect returned " + DescribePfErr(err));
        work.input.reset();
    }

    void Write(const Job& job, FrameWork& work) {
        // Encoded from the output world's rows.
        if (work.convertOut)
            spaces_.Convert(RowsOf(*work.output), work.renderSpace, work.outputSpace);
        std::vector<std::string> notes;
        WriteRequest request{depth_,
                             read_.alpha,
                             o_.overwrite,
                             o_.compression,
                             o_.commandLine,
                             work.outputSpace,
                             spaces_.IsLinear(work.outputSpace),
                             twoThreads_};
        if (!WriteImageFile(job.output, RowsOf(*work.output), work.source, request, &notes,
                            [] { return Interrupted(); }))
            throw FrameCancelled{};
        for (const std::string& n : notes)
            NoteOnce(job.output.string() + ": " + n, n);
        work.output.reset();
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
        std::lock_guard lock(shownMutex_);
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
    std::mutex shownMutex_; // the reading and the writing of a sequence's frames note at the same time
    std::set<std::string> shown_;
    bool twoThreads_ = false;
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

// The frames through the pipeline, and what they tell: every report goes through the frame order, so that
// the lines come out as if the frames ran one after another.
class SequenceSteps final : public FrameSteps {
public:
    SequenceSteps(const std::vector<Job>& jobs, const RenderOptions& o, Renderer& renderer,
                  ProgressReporter& reporter, host::Host& host, bool sequence)
        : jobs_(jobs), o_(o), renderer_(renderer), reporter_(reporter), host_(host), sequence_(sequence),
          order_(jobs.size()), work_(jobs.size()), started_(jobs.size(), 0), peaks_(jobs.size(), 0) {
        summary_.frames = int(jobs.size());
        summary_.overlap = o.overlap && jobs.size() > 1;
        summary_.threads = host.WorkerThreads();
        startBytes_ = PeakMemory::Resident();
        if (Stats())
            host_.TraceServices(true);
    }
    ~SequenceSteps() override {
        if (Stats())
            host_.TraceServices(false);
    }

    bool Read(std::size_t i) override {
        const Job& job = jobs_[i];
        // Decided at the frame's turn: another task of a farm may have written it meanwhile.
        if (o_.skipExisting && OutputExists(job.output)) {
            order_.Post(i, [this, &job] { reporter_.FrameSkipped(job.frame, job.output.string()); });
            Count([this] { ++summary_.skipped; });
            return false;
        }
        started_[i] = 1;
        order_.Post(i, [this, &job] { reporter_.FrameStarted(job.frame); });
        work_[i] = std::make_unique<FrameWork>();
        FrameWork& work = *work_[i];
        work.began = std::chrono::steady_clock::now();
        renderer_.Read(job, work);
        work.stats.read = SecondsSince(work.began);
        return true;
    }

    void Render(std::size_t i) override {
        FrameWork& work = *work_[i];
        order_.Post(i, [this] { reporter_.Phase(FramePhase::Rendering); });
        const auto start = std::chrono::steady_clock::now();
        renderer_.Render(
            work,
            [this, i](A_long current, A_long total) {
                order_.Post(i, [this, current, total] { reporter_.Step(current, total); });
            },
            Stats());
        work.stats.render = SecondsSince(start);
        // No frame comes after the last one to reuse what the effect's render left in the host's pool.
        if (i + 1 == jobs_.size())
            host_.TrimPool();
    }

    void Write(std::size_t i) override {
        const Job& job = jobs_[i];
        FrameWork& work = *work_[i];
        order_.Post(i, [this] { reporter_.Phase(FramePhase::Writing); });
        const auto start = std::chrono::steady_clock::now();
        renderer_.Write(job, work);
        work.ended = std::chrono::steady_clock::now();
        work.stats.write = Seconds(start, work.ended);
        work.stats.status = "done";
        order_.Post(i, [this, &job] { reporter_.FrameDone(job.frame, job.output.string()); });
        Count([this] { ++summary_.done; });
    }

    // Whatever goes wrong with one frame is that frame's failure; the others go on.
    void Failed(std::size_t i, std::exception_ptr failure) noexcept override {
        std::string reason;
        int exitCode = kExitEffect;
        try {
            std::rethrow_exception(failure);
        } catch (const ToolError& e) {
            reason = e.what();
            exitCode = e.ExitCode();
        } catch (const std::bad_alloc&) {
            reason = "not enough memory";
            exitCode = kExitFile;
        } catch (const host::HostError& e) {
            reason = std::string("the host failed: ") + e.what();
        } catch (const std::exception& e) {
            reason = e.what();
        } catch (...) {
            reason = "an unknown failure";
        }
        if (FrameWork* work = work_[i].get()) {
            // Its memory goes now; the figures stay for --stats.
            work->input.reset();
            work->output.reset();
            work->ended = std::chrono::steady_clock::now();
            work->stats.status = "failed";
        }
        try {
            const Job& job = jobs_[i];
            order_.Post(i, [this, &job, reason] { reporter_.FrameFailed(job.frame, reason); });
            Count([&] {
                ++summary_.failed;
                worst_ = std::max(worst_, exitCode);
            });
        } catch (...) {
            std::fprintf(stderr, "tovrin: frame %d failed: %s\n", jobs_[i].frame, reason.c_str());
        }
    }

    bool StopRequested() override { return Interrupted(); }

    void RoundBegan() override {
        if (Stats())
            peak_.Reset();
    }
    void RoundEnded(std::size_t first, std::size_t last) override {
        if (!Stats())
            return;
        const std::uint64_t peak = peak_.Peak();
        for (std::size_t f = first; f <= last && f < peaks_.size(); ++f)
            peaks_[f] = std::max(peaks_[f], peak);
        summary_.peakBytes = std::max(summary_.peakBytes, peak);
    }

    void Finished(std::size_t i) override {
        if (FrameWork* work = work_[i].get(); work && Stats()) {
            FrameStats& stats = work->stats;
            stats.frame = jobs_[i].frame;
            stats.output = jobs_[i].output.string();
            stats.wall = Seconds(work->began, work->ended);
            stats.peakBytes = peaks_[i];
            stats.peakOfFrame = peak_.PerWindow();
            stats.startBytes = startBytes_;
            {
                std::lock_guard lock(countMutex_);
                summary_.read += stats.read;
                summary_.render += stats.render;
                summary_.write += stats.write;
            }
            const std::string line = o_.stats == "json" ? StatsJson(stats) : StatsText(stats, sequence_);
            order_.Post(i, [this, line] { reporter_.Line(line); });
        }
        order_.Close(i);
        work_[i].reset();
    }

    // After a cancel: the frame the reports had reached, if it had started (it prints "cancelled").
    std::optional<int> CancelledFrame() {
        const std::size_t head = order_.Head();
        if (head >= jobs_.size() || !started_[head])
            return std::nullopt;
        reporter_.FrameCancelled(jobs_[head].frame);
        return jobs_[head].frame;
    }

    bool Stats() const { return !o_.stats.empty(); }
    int Worst() const { return worst_; }
    int FailedFrames() const { return summary_.failed; }
    int SkippedFrames() const { return summary_.skipped; }
    StatsSummary Summary(double wall) {
        StatsSummary s = summary_;
        s.wall = wall;
        return s;
    }

private:
    static double Seconds(std::chrono::steady_clock::time_point from,
                          std::chrono::steady_clock::time_point to) {
        return std::chrono::duration<double>(to - from).count();
    }
    static double SecondsSince(std::chrono::steady_clock::time_point from) {
        return Seconds(from, std::chrono::steady_clock::now());
    }
    template <class F>
    void Count(F&& change) {
        std::lock_guard lock(countMutex_);
        change();
    }

    const std::vector<Job>& jobs_;
    const RenderOptions& o_;
    Renderer& renderer_;
    ProgressReporter& reporter_;
    host::Host& host_;
    bool sequence_;
    FrameOrder order_;
    // One entry per frame, each touched by one step at a time (the pipeline hands a frame from step to step).
    std::vector<std::unique_ptr<FrameWork>> work_;
    std::vector<std::uint8_t> started_;
    std::vector<std::uint64_t> peaks_;
    PeakMemory peak_;
    std::uint64_t startBytes_ = 0;
    std::mutex countMutex_;
    StatsSummary summary_;
    int worst_ = kExitOk;
};

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
    renderer.ConvertOnTwoThreads(!(o.overlap && jobs.size() > 1) && session.Host().WorkerThreads() >= 2);
    SequenceSteps steps(jobs, o, renderer, reporter, session.Host(), sequence);
    const auto began = std::chrono::steady_clock::now();
    const bool cancelled = RunFramePipeline(jobs.size(), steps, o.overlap);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    // The JSON always ends with its summary; a person reading one file's line needs none.
    if (steps.Stats() && (o.stats == "json" || jobs.size() > 1)) {
        const StatsSummary summary = steps.Summary(wall);
        reporter.Line(o.stats == "json" ? SummaryJson(summary) : SummaryText(summary));
    }
    const int worst = steps.Worst(), failed = steps.FailedFrames(), skipped = steps.SkippedFrames();
    if (cancelled) {
        const std::optional<int> cancelledFrame = steps.CancelledFrame();
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
