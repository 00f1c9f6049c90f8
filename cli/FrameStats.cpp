#include "cli/FrameStats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include <nlohmann/json.hpp>

namespace cli {
namespace {

using Clock = host::ServiceTrace::Clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return to > from ? std::chrono::duration<double>(to - from).count() : 0.0;
}

// The part of a span that lies between `from` and `to`.
double Within(const host::ServiceTrace::Span& span, Clock::time_point from, Clock::time_point to) {
    return Seconds(std::max(span.start, from), std::min(span.end, to));
}

std::string Milliseconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", seconds * 1000.0);
    return text;
}

std::string Megabytes(std::uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f MB", double(bytes) / 1e6);
    return text;
}

// Microseconds are what a clock read costs; finer digits would only be noise.
double Rounded(double seconds) {
    return std::round(seconds * 1e6) / 1e6;
}

} // namespace

RenderBreakdown BreakDownRender(const host::ServiceTrace& trace, Clock::time_point start,
                                Clock::time_point end) {
    RenderBreakdown r;
    // The preparation ends at the effect's first progress call; without one there is none.
    const bool staged = !trace.progress.empty();
    const Clock::time_point prepared = staged ? std::clamp(trace.progress.front(), start, end) : start;
    double prepTaken = 0; // of the preparation, by the host's services and the key test
    for (const auto& span : trace.memory) {
        r.worlds += Within(span, start, end);
        prepTaken += Within(span, start, prepared);
    }
    for (const auto& span : trace.copies) {
        r.copies += Within(span, start, end);
        prepTaken += Within(span, start, prepared);
    }
    r.colourCalls = trace.colourCalls;
    for (const auto& pass : trace.passes) {
        r.colourCalls += pass.colourCalls;
        if (pass.colourCalls > 0) {
            r.selection += Within(pass, start, end);
            prepTaken += Within(pass, start, prepared);
        } else if (const double after = Within(pass, prepared, end); after > 0) {
            // A pass of the preparation (brightness, parallel smoothing) stays in it.
            r.passes += after;
            r.passSeconds.push_back(after);
        }
    }
    r.smoothing = std::max(0.0, Seconds(start, prepared) - prepTaken);
    r.other = std::max(0.0, Seconds(start, end) - r.worlds - r.copies - r.selection - r.smoothing - r.passes);
    return r;
}

std::string StatsText(const FrameStats& s, bool sequence) {
    const RenderBreakdown& in = s.inside;
    std::string line = "tovrin: " + (sequence ? "frame " + std::to_string(s.frame) : s.output);
    line += s.status == "done" ? ": " : " " + s.status + " after ";
    char wall[32];
    std::snprintf(wall, sizeof wall, "%.2f s", s.wall);
    line += std::string(wall) + ": read " + Milliseconds(s.read) + " ms, render " + Milliseconds(s.render) +
            " ms (worlds " + Milliseconds(in.worlds) + ", copies " + Milliseconds(in.copies) +
            ", selection " + Milliseconds(in.selection) + ", smoothing " + Milliseconds(in.smoothing) +
            ", passes " + Milliseconds(in.passes) + " in " + std::to_string(in.passSeconds.size()) +
            ", other " + Milliseconds(in.other) + "), write " + Milliseconds(s.write) + " ms";
    if (s.peakBytes > 0 && s.frameBytes > 0) {
        char ratio[32];
        std::snprintf(ratio, sizeof ratio, "%.1f", double(s.peakBytes) / double(s.frameBytes));
        line += "; peak " + Megabytes(s.peakBytes) + (s.peakOfFrame ? "" : " since start") + ", " + ratio +
                " × the frame's " + Megabytes(s.frameBytes);
        if (s.startBytes > 0 && s.startBytes < s.peakBytes) {
            std::snprintf(ratio, sizeof ratio, "%.1f",
                          double(s.peakBytes - s.startBytes) / double(s.frameBytes));
            line +=
                " (" + Megabytes(s.startBytes) + " before the first frame, then " + ratio + " × the frame)";
        }
    }
    return line;
}

std::string SummaryText(const StatsSummary& s) {
    char text[256];
    std::snprintf(
        text, sizeof text,
        "tovrin: %d frame%s (%d done, %d failed, %d skipped) in %.2f s: read %.2f s, render %.2f s, "
        "write %.2f s; overlap %s, %d thread%s a pass",
        s.frames, s.frames == 1 ? "" : "s", s.done, s.failed, s.skipped, s.wall, s.read, s.render, s.write,
        s.overlap ? "on" : "off", s.threads, s.threads == 1 ? "" : "s");
    std::string line = text;
    if (s.peakBytes > 0)
        line += "; peak " + Megabytes(s.peakBytes);
    return line;
}

std::string StatsJson(const FrameStats& s) {
    const RenderBreakdown& in = s.inside;
    nlohmann::ordered_json passes = nlohmann::ordered_json::array();
    for (double p : in.passSeconds)
        passes.push_back(Rounded(p));
    nlohmann::ordered_json j;
    j["frame"] = s.frame;
    j["output"] = s.output;
    j["status"] = s.status;
    j["width"] = s.width;
    j["height"] = s.height;
    j["bits"] = s.bits;
    j["seconds"] = {{"wall", Rounded(s.wall)},
                    {"read", Rounded(s.read)},
                    {"render", Rounded(s.render)},
                    {"write", Rounded(s.write)}};
    j["render"] = {{"worlds", Rounded(in.worlds)},
                   {"copies", Rounded(in.copies)},
                   {"selection", Rounded(in.selection)},
                   {"smoothing", Rounded(in.smoothing)},
                   {"passes", Rounded(in.passes)},
                   {"other", Rounded(in.other)},
                   {"pass", passes},
                   {"colourCalls", in.colourCalls}};
    j["memory"] = {{"frameBytes", s.frameBytes},
                   {"peakBytes", s.peakBytes},
                   {"startBytes", s.startBytes},
                   {"peakOfFrame", s.peakOfFrame}};
    return j.dump();
}

std::string SummaryJson(const StatsSummary& s) {
    nlohmann::ordered_json j;
    j["summary"] = {{"frames", s.frames},
                    {"done", s.done},
                    {"failed", s.failed},
                    {"skipped", s.skipped},
                    {"seconds",
                     {{"wall", Rounded(s.wall)},
                      {"read", Rounded(s.read)},
                      {"render", Rounded(s.render)},
                      {"write", Rounded(s.write)}}},
                    {"overlap", s.overlap},
                    {"threads", s.threads},
                    {"peakBytes", s.peakBytes}};
    return j.dump();
}

void PeakMemory::Reset() {
    // "5" resets the peak resident set (Linux 4.0 and later).
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    if (!clear)
        perWindow_ = false;
}

namespace {

// A figure of /proc/self/status in bytes ("VmHWM:", "VmRSS:"), or 0.
std::uint64_t StatusBytes(const std::string& wanted) {
    std::ifstream status("/proc/self/status");
    for (std::string key; status >> key;) {
        if (key == wanted) {
            std::uint64_t kb = 0;
            status >> kb;
            return kb * 1024;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

} // namespace

std::uint64_t PeakMemory::Peak() const {
    return StatusBytes("VmHWM:");
}

std::uint64_t PeakMemory::Resident() {
    return StatusBytes("VmRSS:");
}

} // namespace cli
