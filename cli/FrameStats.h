#pragma once
// Where a frame's time goes (render --stats): the frame's read, render and write, and inside the render the
// stages the host can see without the effect's help. The host records its own services while the effect
// renders (host::ServiceTrace); the effect's progress calls mark where its preparation ends and after each
// blur pass. From that:
//
//   worlds     time inside the host's memory services outside passes: worlds and handles made, resized,
//              freed (a cleared world is zeroed there)
//   copies     time inside the host's world copies outside passes
//   selection  the passes that asked the host for colour conversions: the key-colour test
//   smoothing  the rest of the preparation, from the render's start to the effect's first progress call:
//              edge smoothing with the masked copy it works on, and the brightness lift when on
//   passes     the iterate_generic passes after the preparation: the blur passes and the conversions and
//              masks around them
//   other      the rest of the render: the effect's serial work after its preparation, the host's
//              commands around the render
//
// The six add up to the render's time. A render without progress calls (one with nothing to do) has no
// preparation: its time outside the host's services is all "other".
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "host/ServiceTrace.h"

namespace cli {

struct RenderBreakdown {
    double worlds = 0, copies = 0, selection = 0, smoothing = 0, passes = 0, other = 0; // seconds
    std::vector<double> passSeconds; // each pass counted in `passes`, in order
    std::uint64_t colourCalls = 0;   // the effect's colour conversions through the host
};

// The stages of a render that ran from `start` to `end`, from what the host recorded meanwhile.
RenderBreakdown BreakDownRender(const host::ServiceTrace& trace, host::ServiceTrace::Clock::time_point start,
                                host::ServiceTrace::Clock::time_point end);

struct FrameStats {
    int frame = 0;                          // the frame number (0 for a single file)
    std::string output;                     // the output file
    std::string status;                     // "done" or "failed"
    int width = 0, height = 0;              // the rendered region
    int bits = 0;                           // the render depth: 8, 16 or 32
    double read = 0, render = 0, write = 0; // seconds in each step
    double wall = 0;                        // from the start of the read to the end of the write
    RenderBreakdown inside;
    std::uint64_t frameBytes = 0; // one frame at the render depth
    std::uint64_t peakBytes = 0;  // the process's peak resident memory while the frame was in flight
    std::uint64_t startBytes = 0; // the process's resident memory before its first frame (its libraries)
    bool peakOfFrame = true;      // false: the process's peak since its start (the system keeps no other)
};

struct StatsSummary {
    int frames = 0, done = 0, failed = 0, skipped = 0;
    double wall = 0;                        // the command's frames, first read to last write
    double read = 0, render = 0, write = 0; // sums over the frames
    bool overlap = false;
    int threads = 0; // the effect's iterate_generic calls per pass
    std::uint64_t peakBytes = 0;
};

// One line each, without a newline: for people ...
std::string StatsText(const FrameStats& stats, bool sequence);
std::string SummaryText(const StatsSummary& summary);
// ... and as one JSON object each.
std::string StatsJson(const FrameStats& stats);
std::string SummaryJson(const StatsSummary& summary);

// The process's peak resident memory over windows of time: Reset starts a window where the system allows
// it (Linux: /proc/self/clear_refs); elsewhere the peak is the process's since its start.
class PeakMemory {
public:
    void Reset();
    std::uint64_t Peak() const;      // bytes; 0 when the system does not tell
    static std::uint64_t Resident(); // the resident memory now, in bytes; 0 when the system does not tell
    bool PerWindow() const { return perWindow_; }

private:
    bool perWindow_ = true;
};

} // namespace cli
