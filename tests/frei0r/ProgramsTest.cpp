// The module in the real applications: a 10-frame clip through ffmpeg's frei0r filter (positional
// filter_params), through melt's command line and through an MLT project (properties by the controls'
// names) gives, frame by frame, the bytes `tovrin render` gives for the same frames with the same settings.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/Process.h"
#include "tests/frei0r/Frei0rModule.h"

namespace tovrin::test {
namespace {

namespace fs = std::filesystem;

fs::path Which(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::error_code ec;
        if (!dir.empty() && fs::is_regular_file(fs::path(dir) / program, ec))
            return fs::path(dir) / program;
    }
    return {};
}

std::vector<char> ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A control set for all three programs: the tool's --set text, melt's property value, and the value
// ffmpeg's positional list takes at the control's place.
struct Setting {
    std::string name, tool, melt, ffmpeg;
};

struct Case {
    const char* name;
    std::vector<Setting> settings;
};

std::string Colour(int r, int g, int b) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.9g/%.9g/%.9g", r / 255.0f, g / 255.0f, b / 255.0f);
    return text;
}

std::vector<Case> Cases() {
    auto number = [](const char* name, const char* v) { return Setting{name, v, v, v}; };
    return {
        {"gaussian", {number("Blur Type", "1"), number("Blur Amount", "6")}},
        {"box-key-extract",
         {number("Blur Type", "2"), number("Blur Amount", "4"), Setting{"1 : Enable", "on", "1", "y"},
          Setting{"1 : Color", "255,0,0", "#ff0000", Colour(255, 0, 0)}, number("1 : Color Range", "20"),
          number("Mode", "2")}},
        {"edge-smoothing", {number("Blur Amount", "3"), number("Blur Repeat Num", "1")}},
        {"brightness", {number("Blur Amount", "2"), number("Brightness", "50")}},
    };
}

class Programs : public ::testing::Test {
protected:
    void SetUp() override {
        const char* child = std::getenv("FREI0R_TEST_CHILD");
        if (child && std::string(child) == "1")
            GTEST_SKIP() << "parent-side case";
#if !defined(TOVRIN_TOOL)
        GTEST_SKIP() << "the tovrin tool is not built";
#else
        ffmpeg = Which("ffmpeg");
        melt = Which("melt");
        if (ffmpeg.empty() || melt.empty())
            GTEST_SKIP() << "ffmpeg and melt are needed (scripts/install-deps.sh installs them)";
        dir = fs::temp_directory_path() / ("tovrin-frei0r-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        // The clip, losslessly in RGBA, and its frames as RGBA PNGs.
        Run(ffmpeg, {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=10", "-frames:v",
                     "10", "-pix_fmt", "rgba", "-c:v", "png", (dir / "clip.mov").string()});
        Run(ffmpeg, {"-v", "error", "-y", "-i", (dir / "clip.mov").string(), "-pix_fmt", "rgba",
                     (dir / "in%02d.png").string()});
#endif
    }
    void TearDown() override {
        if (!dir.empty())
            fs::remove_all(dir);
    }

    void Run(const fs::path& program, const std::vector<std::string>& args) {
        std::vector<std::pair<std::string, std::string>> env = {
            {"FREI0R_PATH", fs::path(FREI0R_MODULE).parent_path().string()}};
        if (std::string(SANITIZER_PRELOAD).size() && program != fs::path(tool))
            env.insert(env.end(), {{"LD_PRELOAD", SANITIZER_PRELOAD}, {"ASAN_OPTIONS", "detect_leaks=0"}});
        host::ProcessResult r = host::RunProcess(program, args, env);
        ASSERT_EQ(r.exitCode, 0) << program << ":\n" << r.output;
    }

    // The ten frames' pixels as RGBA bytes, whatever channels the PNGs store.
    std::vector<char> Pixels(const std::string& pattern) {
        fs::path raw = dir / (pattern + ".rgba");
        Run(ffmpeg, {"-v", "error", "-y", "-i", (dir / pattern).string(), "-f", "rawvideo", "-pix_fmt",
                     "rgba", raw.string()});
        return ReadBytes(raw);
    }

    void ExpectFramesEqual(const std::string& a, const std::string& b, const char* what) {
        constexpr std::size_t kFrame = 320 * 240 * 4;
        std::vector<char> pa = Pixels(a), pb = Pixels(b);
        ASSERT_EQ(pa.size(), 10 * kFrame) << a;
        ASSERT_EQ(pb.size(), 10 * kFrame) << b;
        for (std::size_t f = 0; f < 10; ++f)
            EXPECT_TRUE(std::equal(pa.begin() + std::ptrdiff_t(f * kFrame),
                                   pa.begin() + std::ptrdiff_t((f + 1) * kFrame),
                                   pb.begin() + std::ptrdiff_t(f * kFrame)))
                << what << ": frame " << f + 1 << " differs";
    }

    fs::path ffmpeg, melt, dir;
#if defined(TOVRIN_TOOL)
    fs::path tool = TOVRIN_TOOL;
#else
    fs::path tool;
#endif
};

TEST_F(Programs, FfmpegAndMeltRenderTheBytesTheToolRenders) {
    Frei0rModule& m = Frei0rModule::Get();
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        // The tool.
        std::vector<std::string> toolArgs = {
            "render", (dir / "in%02d.png").string(),
            "-o",     (dir / (std::string(c.name) + "-tool%02d.png")).string(),
            "-y",     "-q"};
        for (const Setting& s : c.settings)
            toolArgs.insert(toolArgs.end(), {"-s", s.name + "=" + s.tool});
        Run(tool, toolArgs);

        // ffmpeg: every value up to the last one set, in the module's order, the others at their defaults.
        f0r_instance_t defaults = m.construct(8, 8);
        int last = 0;
        for (const Setting& s : c.settings)
            last = std::max(last, m.Index(s.name));
        std::string params;
        for (int i = 0; i <= last; ++i) {
            std::string value;
            for (const Setting& s : c.settings)
                if (m.Index(s.name) == i)
                    value = s.ffmpeg;
            if (value.empty()) {
                f0r_param_info_t info{};
                m.paramInfo(&info, i);
                char text[96];
                if (info.type == F0R_PARAM_COLOR) {
                    f0r_param_color_t col{};
                    m.get(defaults, &col, i);
                    std::snprintf(text, sizeof(text), "%.9g/%.9g/%.9g", col.r, col.g, col.b);
                } else {
                    double v = 0;
                    m.get(defaults, &v, i);
                    if (info.type == F0R_PARAM_BOOL)
                        std::snprintf(text, sizeof(text), "%s", v >= 0.5 ? "y" : "n");
                    else
                        std::snprintf(text, sizeof(text), "%.17g", v);
                }
                value = text;
            }
            params += (i ? "|" : "") + value;
        }
        m.destruct(defaults);
        Run(ffmpeg, {"-v", "error", "-y", "-i", (dir / "clip.mov").string(), "-vf",
                     "format=rgba,frei0r=filter_name=tovrin:filter_params=" + params, "-pix_fmt", "rgba",
                     (dir / (std::string(c.name) + "-ffmpeg%02d.png")).string()});
        ExpectFramesEqual(std::string(c.name) + "-ffmpeg%02d.png", std::string(c.name) + "-tool%02d.png",
                          "ffmpeg");

        // melt: the controls by name; on melt's command line a name with a colon would be taken for a
        // service, so those go by their index.
        std::vector<std::string> meltArgs = {"-silent", "-quiet", (dir / "clip.mov").string(), "-filter",
                                             "frei0r.tovrin"};
        for (const Setting& s : c.settings)
            meltArgs.push_back(
                (s.name.find(':') == std::string::npos ? s.name : std::to_string(m.Index(s.name))) + "=" +
                s.melt);
        meltArgs.insert(meltArgs.end(),
                        {"-consumer", "avformat:" + (dir / (std::string(c.name) + "-melt%02d.png")).string(),
                         "vcodec=png", "pix_fmt=rgba"});
        Run(melt, meltArgs);
        ExpectFramesEqual(std::string(c.name) + "-melt%02d.png", std::string(c.name) + "-tool%02d.png",
                          "melt");

        // An MLT project, as the editors save one: every control by its name.
        fs::path project = dir / (std::string(c.name) + ".mlt");
        {
            std::ofstream xml(project);
            xml << "<mlt>\n  <producer id=\"clip\">\n    <property name=\"resource\">"
                << (dir / "clip.mov").string()
                << "</property>\n    <filter>\n      <property "
                   "name=\"mlt_service\">frei0r.tovrin</property>\n";
            for (const Setting& s : c.settings)
                xml << "      <property name=\"" << s.name << "\">" << s.melt << "</property>\n";
            xml << "    </filter>\n  </producer>\n</mlt>\n";
        }
        Run(melt, {"-silent", "-quiet", project.string(), "-consumer",
                   "avformat:" + (dir / (std::string(c.name) + "-project%02d.png")).string(), "vcodec=png",
                   "pix_fmt=rgba"});
        ExpectFramesEqual(std::string(c.name) + "-project%02d.png", std::string(c.name) + "-tool%02d.png",
                          "melt project");
    }
}

TEST_F(Programs, FfmpegWithoutTheEffectFilePassesTheClipThrough) {
    fs::path lonely = dir / "lonely";
    fs::create_directories(lonely);
    fs::copy_file(FREI0R_MODULE, lonely / "tovrin.so");
    std::vector<std::pair<std::string, std::string>> env = {{"FREI0R_PATH", lonely.string()},
                                                            {"TOVRIN_PLUGIN", ""}};
    if (std::string(SANITIZER_PRELOAD).size())
        env.insert(env.end(), {{"LD_PRELOAD", SANITIZER_PRELOAD}, {"ASAN_OPTIONS", "detect_leaks=0"}});
    host::ProcessResult r = host::RunProcess(ffmpeg,
                                             {"-v", "error", "-y", "-i", (dir / "clip.mov").string(), "-vf",
                                              "format=rgba,frei0r=filter_name=tovrin:filter_params=1|6",
                                              "-pix_fmt", "rgba", (dir / "through%02d.png").string()},
                                             env);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("cannot find the effect's file Tovrin.so"), std::string::npos) << r.output;
    ExpectFramesEqual("through%02d.png", "in%02d.png", "pass-through");
}

} // namespace
} // namespace tovrin::test
