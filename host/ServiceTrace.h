#pragma once
// Where a render's time goes, seen from the host: the spans of its memory services (worlds and handles
// made, resized and freed), of its world copies and of every iterate_generic pass, the moments of the
// progress calls, and how many colour conversions each pass asked for. The effect is not touched: what
// lies between these services is the effect's own work, which the caller may attribute by the progress
// calls the effect makes between its stages.
//
// Recorded only while the caller asks (Host::TraceServices); otherwise each service pays one relaxed
// atomic load. A service used inside a pass belongs to that pass and is not recorded on its own, so the
// spans never overlap.
#include <chrono>
#include <cstdint>
#include <vector>

#include "sdk/AE_Effect.h"

namespace host {

struct ServiceTrace {
    using Clock = std::chrono::steady_clock;
    struct Span {
        Clock::time_point start, end;
    };
    struct Pass : Span {
        A_long calls = 0;              // iterate_generic's iterations
        std::uint64_t colourCalls = 0; // RGBtoHLS calls made by the pass's functions
    };

    std::vector<Span> memory;                // new, resize and dispose of handles and worlds
    std::vector<Span> copies;                // world copies (utils copy, World Transform copy and copy_hq)
    std::vector<Pass> passes;                // iterate_generic calls, in order
    std::vector<Clock::time_point> progress; // when each progress call arrived
    std::uint64_t colourCalls = 0;           // RGBtoHLS calls outside passes
};

} // namespace host
