#pragma once
// What the effect's benchmarks share: an embedded host in production mode (as the tool runs it) with the
// effect's process-wide suites, frames copied into host worlds, a whole render of a box blur, OpenCV's box
// filter on the same frame, and a reporter that keeps every result for the ratios printed at the end.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "host/Host.h"
#include "host/Instance.h"
#include "host/World.h"
#include "params/Controls.h"
#include "params/RenderParams.h"
#include "render/RenderDriver.h"
#include "share/AEUtil/SuiteHolder.h"

namespace bench {

constexpr A_long kWidth = 3840;
constexpr A_long kHeight = 2160;

class BenchHost {
public:
    BenchHost()
        : host_(std::make_unique<host::Host>(host::Settings::Production())),
          instance_(std::make_unique<host::Instance>(*host_)), inData_(instance_->MakeInData()),
          suites_(std::make_unique<AEUtil::SuiteHolder>(host_->BasicSuite())) {
        AEUtil::SetGlobalSuites(suites_.get());
    }
    ~BenchHost() {
        AEUtil::SetGlobalSuites(nullptr);
        suites_.reset();
        instance_.reset();
        host_.reset();
    }
    BenchHost(const BenchHost&) = delete;
    BenchHost& operator=(const BenchHost&) = delete;

    host::Host& Host() { return *host_; }
    PF_InData* InData() { return &inData_; }

private:
    std::unique_ptr<host::Host> host_;
    std::unique_ptr<host::Instance> instance_;
    PF_InData inData_{};
    std::unique_ptr<AEUtil::SuiteHolder> suites_;
};

template <class Pixel>
void Fill(host::World& world, const std::vector<Pixel>& frame) {
    for (A_long y = 0; y < kHeight; ++y)
        std::memcpy(world.Row(y), &frame[std::size_t(y) * kWidth], std::size_t(kWidth) * sizeof(Pixel));
}

// A whole 16-bit render of `frame` with the given settings on `threads` threads: a box blur of one repeat
// (Blur Amount and no channel lengths), Normal mode, Keep Division on; `adjust` may change the record.
template <class Adjust>
void RunBoxRender(benchmark::State& state, BenchHost& env, const std::vector<PF_Pixel16>& frame, int threads,
                  double amount, Adjust&& adjust) {
    env.Host().SetWorkerThreads(threads);
    host::World input(env.Host(), kWidth, kHeight, PF_PixelFormat_ARGB64);
    host::World output(env.Host(), kWidth, kHeight, PF_PixelFormat_ARGB64, false);
    Fill(input, frame);
    RenderParams record;
    record.blurAmount = amount;
    record.autoAlpha = 1;
    record.mode = kModeNormal;
    record.keepDivision = 1;
    record.repeat = 1;
    record.blurType = kBlurTypeBox;
    record.in_data = env.InData();
    record.input = input.get();
    record.output = output.get();
    record.pixelFormat = PF_PixelFormat_ARGB64;
    record.area = {0, 0, kWidth, kHeight};
    adjust(record);
    for (auto _ : state)
        if (RenderFrame(record) != PF_Err_NONE)
            state.SkipWithError("the render failed");
}

// OpenCV's box filter of size × size over the frame on `threads` threads.
inline void RunCvBox(benchmark::State& state, const std::vector<PF_Pixel16>& frame, int threads, int size) {
    std::vector<PF_Pixel16> destination(frame.size());
    cv::setNumThreads(threads);
    const cv::Mat source(kHeight, kWidth, CV_16UC4, const_cast<PF_Pixel16*>(frame.data()));
    cv::Mat out(kHeight, kWidth, CV_16UC4, destination.data());
    for (auto _ : state)
        cv::boxFilter(source, out, -1, cv::Size(size, size));
}

// Keeps every result so that the ratios can be printed after the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // With --benchmark_repetitions each repetition comes with the mean, median, deviation and
        // variation after it: the median stands for the benchmark.
        for (const Run& r : runs) {
            const bool stands = r.repetitions > 1
                                    ? r.run_type == Run::RT_Aggregate && r.aggregate_name == "median"
                                    : r.run_type == Run::RT_Iteration;
            if (!r.error_occurred && stands)
                ms_[r.run_name.function_name] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // The wall time of a benchmark by name; NaN when it did not run.
    double Get(const std::string& name) const {
        const auto it = ms_.find(name);
        return it == ms_.end() ? NAN : it->second;
    }

private:
    std::map<std::string, double> ms_;
};

} // namespace bench
