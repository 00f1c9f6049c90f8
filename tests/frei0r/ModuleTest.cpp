// The frei0r module in-process: the effect's controls by its own names and units, values clamped to each
// control's range, settings that apply from the next frame without a trace of the last, instances updated
// on several threads at once, and frames that pass through when the effect fails or is missing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <thread>

#include "host/Process.h"
#include "tests/frei0r/Frei0rModule.h"

namespace tovrin::test {
namespace {

Frei0rModule& M() {
    return Frei0rModule::Get();
}

double GetDouble(f0r_instance_t fx, const char* name) {
    double v = -1;
    M().get(fx, &v, M().Index(name));
    return v;
}

void SetDouble(f0r_instance_t fx, const char* name, double v) {
    M().set(fx, &v, M().Index(name));
}

Frame Render(f0r_instance_t fx, const Frame& in) {
    Frame out(in.size(), 0xDEADBEEF);
    M().update(fx, 0.0, in.data(), out.data());
    return out;
}

// The child-side cases run only in a child started by the test that checks them.
bool InChild() {
    const char* child = std::getenv("FREI0R_TEST_CHILD");
    return child && std::string(child) == "1";
}

class Module : public ::testing::Test {
protected:
    void SetUp() override {
        if (InChild())
            GTEST_SKIP() << "parent-side case";
    }
};

TEST_F(Module, TheControlsAreTheEffectsInItsOrderWithItsNamesAndStartingValues) {
    std::vector<std::string> expected = {"Blur Type",
                                         "Blur Amount",
                                         "Blur Repeat Num",
                                         "Blur Aspect",
                                         "Brightness",
                                         "R",
                                         "G",
                                         "B",
                                         "Auto Alpha",
                                         "A",
                                         "1 : Enable",
                                         "1 : Color",
                                         "1 : Color Range",
                                         "2 : Enable",
                                         "2 : Color",
                                         "2 : Color Range",
                                         "3 : Enable",
                                         "3 : Color",
                                         "3 : Color Range",
                                         "4 : Enable",
                                         "4 : Color",
                                         "4 : Color Range",
                                         "Mode",
                                         "Invert",
                                         "Keep Division"};
    EXPECT_EQ(M().Names(), expected);
    f0r_plugin_info_t info{};
    M().pluginInfo(&info);
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_RGBA8888);
    EXPECT_EQ(info.plugin_type, F0R_PLUGIN_TYPE_FILTER);
    f0r_param_info_t p{};
    M().paramInfo(&p, M().Index("Auto Alpha"));
    EXPECT_EQ(p.type, F0R_PARAM_BOOL);
    M().paramInfo(&p, M().Index("2 : Color"));
    EXPECT_EQ(p.type, F0R_PARAM_COLOR);
    M().paramInfo(&p, M().Index("Mode"));
    EXPECT_EQ(p.type, F0R_PARAM_DOUBLE);
    EXPECT_STREQ(p.explanation, "1 Normal, 2 Extract, 3 Disable All");

    f0r_instance_t fx = M().construct(16, 8);
    ASSERT_NE(fx, nullptr);
    EXPECT_EQ(GetDouble(fx, "Blur Type"), 2); // Box
    EXPECT_EQ(GetDouble(fx, "Blur Repeat Num"), 3);
    EXPECT_EQ(GetDouble(fx, "B"), 15);
    EXPECT_EQ(GetDouble(fx, "Auto Alpha"), 1);
    f0r_param_color_t c{};
    M().get(fx, &c, M().Index("1 : Color"));
    EXPECT_FLOAT_EQ(c.g, 180 / 255.0f);
    M().destruct(fx);
}

TEST_F(Module, ValuesOutsideAControlsRangeAreClampedNeverPassedOn) {
    f0r_instance_t fx = M().construct(40, 30);
    f0r_instance_t at = M().construct(40, 30);
    struct Clamp {
        const char* name;
        double given, kept;
    };
    for (Clamp c :
         {Clamp{"Blur Amount", 5000, 1000}, Clamp{"Blur Amount", -3, 0}, Clamp{"Blur Aspect", -250, -100},
          Clamp{"Blur Repeat Num", 0, 1}, Clamp{"Blur Repeat Num", 2.6, 3},
          Clamp{"Blur Repeat Num", 1e300, 10}, Clamp{"Mode", 7, 3}, Clamp{"Blur Type", -1, 1},
          Clamp{"1 : Color Range", 101, 100}, Clamp{"Auto Alpha", 0.2, 0}, Clamp{"Auto Alpha", 0.7, 1}}) {
        SetDouble(fx, c.name, c.given);
        EXPECT_EQ(GetDouble(fx, c.name), c.kept) << c.name << " " << c.given;
    }
    SetDouble(fx, "Brightness", 30);
    SetDouble(fx, "Brightness", std::nan(""));
    EXPECT_EQ(GetDouble(fx, "Brightness"), 30);
    f0r_param_color_t wild{1.7f, -0.4f, 0.5f};
    M().set(fx, &wild, M().Index("3 : Color"));
    f0r_param_color_t got{};
    M().get(fx, &got, M().Index("3 : Color"));
    EXPECT_FLOAT_EQ(got.r, 1.0f);
    EXPECT_FLOAT_EQ(got.g, 0.0f);
    EXPECT_FLOAT_EQ(got.b, 128 / 255.0f);

    // The clamped value is what renders: the same frame as the range's end given directly.
    SetDouble(fx, "Blur Amount", 5000);
    SetDouble(at, "Blur Amount", 1000);
    for (const char* n : {"Blur Aspect", "Blur Repeat Num", "Mode", "Blur Type", "Auto Alpha", "Brightness"})
        SetDouble(at, n, GetDouble(fx, n));
    Frame in = MakeFrame(40, 30, 2);
    EXPECT_EQ(Render(fx, in), Render(at, in));
    M().destruct(fx);
    M().destruct(at);
}

TEST_F(Module, ASettingAppliesFromTheNextFrameAndLeavesNoTraceInLaterFrames) {
    f0r_instance_t fx = M().construct(50, 20);
    Frame in = MakeFrame(50, 20, 1);
    Frame plain = Render(fx, in);
    SetDouble(fx, "Blur Type", 1);
    SetDouble(fx, "Blur Amount", 4);
    Frame blurred = Render(fx, in);
    EXPECT_NE(blurred, plain);
    SetDouble(fx, "Blur Type", 2);
    SetDouble(fx, "Blur Amount", 0);
    EXPECT_EQ(Render(fx, in), plain);

    f0r_instance_t fresh = M().construct(50, 20);
    SetDouble(fresh, "Blur Type", 1);
    SetDouble(fresh, "Blur Amount", 4);
    EXPECT_EQ(Render(fresh, in), blurred);
    M().destruct(fresh);
    M().destruct(fx);
}

TEST_F(Module, InstancesUpdatedOnSeveralThreadsAtOnceRenderAsTheyDoAlone) {
    struct Job {
        unsigned w, h;
        double amount, type;
        f0r_instance_t fx;
        std::vector<Frame> frames, expected;
    };
    std::vector<Job> jobs = {{64, 48, 3, 2, nullptr, {}, {}},
                             {80, 30, 9, 1, nullptr, {}, {}},
                             {33, 65, 1.5, 2, nullptr, {}, {}},
                             {64, 48, 12, 1, nullptr, {}, {}}};
    for (Job& j : jobs) {
        j.fx = M().construct(j.w, j.h);
        SetDouble(j.fx, "Blur Amount", j.amount);
        SetDouble(j.fx, "Blur Type", j.type);
        for (int f = 0; f < 4; ++f) {
            j.frames.push_back(MakeFrame(j.w, j.h, f));
            j.expected.push_back(Render(j.fx, j.frames.back()));
        }
    }
    std::vector<std::thread> threads;
    std::vector<int> mismatches(jobs.size(), 0);
    for (std::size_t k = 0; k < jobs.size(); ++k)
        threads.emplace_back([&, k] {
            for (int round = 0; round < 3; ++round)
                for (std::size_t f = 0; f < jobs[k].frames.size(); ++f)
                    mismatches[k] += Render(jobs[k].fx, jobs[k].frames[f]) != jobs[k].expected[f];
        });
    // Meanwhile instances come and go on another thread.
    const Frame churnIn = MakeFrame(20, 10, 9);
    f0r_instance_t first = M().construct(20, 10);
    const Frame churnOut = Render(first, churnIn);
    M().destruct(first);
    int churnMismatches = 0;
    threads.emplace_back([&] {
        for (int k = 0; k < 6; ++k) {
            f0r_instance_t fx = M().construct(20, 10);
            churnMismatches += Render(fx, churnIn) != churnOut;
            M().destruct(fx);
        }
    });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(mismatches, std::vector<int>(jobs.size(), 0));
    EXPECT_EQ(churnMismatches, 0);
    for (Job& j : jobs)
        M().destruct(j.fx);
}

TEST_F(Module, AFrameTheHostCannotHoldPassesThroughAndSaysSoOnce) {
    f0r_instance_t fx = M().construct(40000, 2); // wider than any world
    ASSERT_NE(fx, nullptr);
    Frame in = MakeFrame(40000, 2, 0);
    EXPECT_EQ(Render(fx, in), in);
    EXPECT_EQ(Render(fx, in), in);
    M().destruct(fx);
}

// ---- Another effect file: in a child process, since the process has one host ----------------------------

host::ProcessResult RunChild(const char* test, const std::string& plugin) {
    return host::RunProcess(host::SelfPath(), {std::string("--gtest_filter=Child.") + test},
                            {{"FREI0R_TEST_CHILD", "1"}, {"TOVRIN_PLUGIN", plugin}});
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST_F(Module, AnEffectThatFailsLeavesEachFrameAsItCameAndSaysSoOnce) {
    host::ProcessResult r = RunChild("FramesPassThrough", FAILING_EFFECT);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(Count(r.output, "the effect failed a frame: PF_Err_OUT_OF_MEMORY (4)"), 1u) << r.output;
}

TEST_F(Module, AMissingEffectFileLoadsWithAMessageAndFramesPassThrough) {
    host::ProcessResult r = RunChild("FramesPassThrough", "/no/such/folder/Tovrin.so");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(Count(r.output, "cannot find the effect's file Tovrin.so"), 1u) << r.output;
    EXPECT_NE(r.output.find("frames pass through unchanged"), std::string::npos) << r.output;
}

TEST(Child, FramesPassThrough) {
    if (!InChild())
        GTEST_SKIP() << "child-side case";
    f0r_instance_t fx = M().construct(24, 10);
    ASSERT_NE(fx, nullptr);
    double gain = 5;
    M().set(fx, &gain, 0); // ignored when the effect has no such control
    for (int f = 0; f < 3; ++f) {
        Frame in = MakeFrame(24, 10, f);
        EXPECT_EQ(Render(fx, in), in) << f;
    }
    M().destruct(fx);
    M().deinit();
}

} // namespace
} // namespace tovrin::test
