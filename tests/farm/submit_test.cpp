// tovrin submit through the built tool, with stand-ins for Slurm's commands on PATH: the job script and
// its preset, what is refused before anything is written, the job id and its record, the script run as a
// task would run it, and the status of a job from its outputs, logs and the queue.
#include <algorithm>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "ToolRun.h"
#include "cli/ChildProcess.h"

namespace clitest {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class Submit : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        fs::create_directories(Path("bin"));
        fs::create_directories(Path("shot"));
        for (int f = 1; f <= 12; ++f)
            WriteImage(Frame("in", f), CelFrame8(24, 16, f));
    }

    fs::path Frame(const std::string& stem, int f) const {
        char name[64];
        std::snprintf(name, sizeof name, "%s.%04d.png", stem.c_str(), f);
        return Path(name);
    }
    fs::path ShotFrame(int f) const { return Path("shot") / Frame("shot", f).filename(); }
    fs::path Script() const { return Path("shot") / "shot.sbatch"; }

    // A stand-in for one of Slurm's commands.
    void WriteProgram(const std::string& name, const std::string& body) {
        const fs::path path = Path("bin") / name;
        WriteText(path, "#!/bin/sh\n" + body);
        fs::permissions(path, fs::perms::owner_all);
    }
    // Slurm's commands are looked up in bin/ first; without `system`, only there.
    std::vector<std::pair<std::string, std::string>> Environment(bool system = true) const {
        return {{"PATH", File("bin") + (system ? ":/usr/bin:/bin" : "")},
                {"XDG_STATE_HOME", File("state")},
                {"SLURM_CONF", File("no-such-slurm.conf")}};
    }
    ToolResult Run(std::vector<std::string> args, bool system = true) {
        RunOptions options;
        options.environment = Environment(system);
        return RunTool(args, options);
    }
    std::vector<std::string> SubmitArgs(std::vector<std::string> extra = {}) const {
        std::vector<std::string> args{"submit",   File("in.####.png"),
                                      "-o",       File("shot/shot.####.png"),
                                      "--frames", "1-12",
                                      "--chunk",  "4",
                                      "-s",       "Blur Amount=3"};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    std::vector<std::string> ShotListing() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(Path("shot")))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // A task of the job, run on this machine as Slurm would run it.
    cli::ProgramResult RunTask(int task) const {
        return cli::RunProgram({"/usr/bin/env", "SLURM_ARRAY_TASK_ID=" + std::to_string(task),
                                "SLURM_CPUS_PER_TASK=2", "/bin/bash", Script().string()});
    }
};

double PresetValue(const fs::path& preset, const std::string& control) {
    const nlohmann::json doc = nlohmann::json::parse(ReadText(preset));
    for (const auto& [id, entry] : doc["controls"].items())
        if (entry["name"] == control)
            return entry["value"].get<double>();
    ADD_FAILURE() << control << " is not in " << preset;
    return 0;
}

TEST_F(Submit, DryRunPrintsTheScriptAndNeedsNoScheduler) {
    // Relative paths become absolute: the tasks run elsewhere.
    const fs::path relativeIn = fs::relative(Path("in.####.png"));
    ToolResult r = Run({"submit",    relativeIn.string(),
                        "-o",        File("shot/shot.####.png"),
                        "--frames",  "1-12",
                        "--chunk",   "4",
                        "--dry-run", "--partition",
                        "render",    "--time",
                        "0:30:00",   "--cpus-per-task",
                        "3",         "--sbatch-arg=--mem=2G",
                        "--depth",   "16",
                        "--quality", "draft"},
                       false);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string tool = fs::canonical(std::getenv("TOVRIN_CLI")).string();
    const std::string plugin = fs::absolute(std::getenv("TOVRIN_PLUGIN")).lexically_normal().string();
    for (const std::string& line : std::vector<std::string>{
             "#!/bin/bash\n", "#SBATCH --job-name=shot\n", "#SBATCH --array=0-2\n",
             "#SBATCH --output=" + File("shot/shot") + ".%A_%a.log\n", "#SBATCH --partition=render\n",
             "#SBATCH --time=0:30:00\n", "#SBATCH --cpus-per-task=3\n", "#SBATCH --mem=2G\n",
             "\ntool='" + tool + "'\n", "\nplugin='" + plugin + "'\n",
             "\ninput='" + File("in.####.png") + "'\n", "\noutput='" + File("shot/shot.####.png") + "'\n",
             "\nchunks=(1-4 5-8 9-12)\n",
             "--skip-existing --threads \"$threads\" --depth 16 --quality draft\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
    EXPECT_NE(r.err.find("dry run"), std::string::npos) << r.err;
    EXPECT_EQ(ShotListing(), std::vector<std::string>{});
}

TEST_F(Submit, MistakesAreRefusedBeforeAnythingIsWritten) {
    WriteProgram("sbatch", "touch \"$0.called\"\necho 1\n");
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"submit", File("in.0001.png"), "-o", File("shot/shot.####.png")}, "frame pattern"},
        {SubmitArgs({"--chunk", "0"}), "chunk"},
        {SubmitArgs({"--job-name", "my shot"}), "--job-name"},
        {SubmitArgs({"--sbatch-arg=--array=0-3"}), "--chunk"},
        {SubmitArgs({"--sbatch-arg=-o/tmp/x.log"}), "log names"},
        {SubmitArgs({"--sbatch-arg=mem"}), "sbatch option"},
        {SubmitArgs({"--partition", "a b"}), "--partition"},
        {SubmitArgs({"--downsample", "0"}), "--downsample"},
        {SubmitArgs({"--frames", "5-1"}), "--frames"},
        {SubmitArgs({"-s", "Blur Amout=3"}), "Blur Amout"},
        {{"submit", "--status", "abc"}, "job id"},
        {{"submit", "--status", "12", File("in.####.png")}, "--status"},
    };
    for (const auto& c : cases) {
        ToolResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.args.back() << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << c.says << "\n" << r.err;
    }
    EXPECT_FALSE(fs::exists(Path("bin/sbatch.called")));
    EXPECT_EQ(ShotListing(), std::vector<std::string>{});

    // Without Slurm's commands: the package to install.
    fs::remove(Path("bin/sbatch"));
    ToolResult r = Run(SubmitArgs(), false);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("apt-get install slurm-client"), std::string::npos) << r.err;
    EXPECT_EQ(ShotListing(), std::vector<std::string>{});
}

TEST_F(Submit, TheJobIdIsPrintedAndTheJobRemembered) {
    WriteProgram("sbatch", "printf '%s\\n' \"$@\" > \"$0.args\"\necho '42;cluster'\n");
    ToolResult r = Run(SubmitArgs());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "42\n");
    EXPECT_EQ(ReadText(Path("bin/sbatch.args")), "--parsable\n" + Script().string() + "\n");
    EXPECT_EQ(ShotListing(), (std::vector<std::string>{"shot.preset.json", "shot.sbatch"}));
    EXPECT_EQ(PresetValue(Path("shot/shot.preset.json"), "Blur Amount"), 3.0);
    EXPECT_NE(ReadText(Path("state/tovrin/slurm-jobs")).find("42\t" + Script().string() + "\n"),
              std::string::npos);

    // The same job again is fine; other settings under the same name would change the files under tasks
    // that may still wait for them.
    EXPECT_EQ(Run(SubmitArgs()).exitCode, 0);
    r = Run(SubmitArgs({"-s", "Blur Amount=5"}));
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("-y"), std::string::npos) << r.err;
    EXPECT_EQ(PresetValue(Path("shot/shot.preset.json"), "Blur Amount"), 3.0);
    ASSERT_EQ(Run(SubmitArgs({"-s", "Blur Amount=5", "-y"})).exitCode, 0);
    EXPECT_EQ(PresetValue(Path("shot/shot.preset.json"), "Blur Amount"), 5.0);

    // sbatch's refusal is passed on; the script stays for a later sbatch.
    WriteProgram("sbatch", "echo 'sbatch: error: invalid partition specified: nope' >&2\nexit 1\n");
    r = Run(SubmitArgs({"-s", "Blur Amount=5", "--partition", "nope", "-y"}));
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("invalid partition specified: nope"), std::string::npos) << r.err;
    EXPECT_NE(ReadText(Script()).find("--partition=nope"), std::string::npos);
}

TEST_F(Submit, ATaskRendersItsChunkWithTheSubmittedSettings) {
    // A plug-in of its own, so that the stored defaults this test changes are its own.
    fs::create_directories(Path("plugin"));
    fs::copy_file(std::getenv("TOVRIN_PLUGIN"), Path("plugin/Tovrin.so"));
    const std::string plugin = File("plugin/Tovrin.so");
    fs::create_directories(Path("ref"));
    ASSERT_EQ(Run({"render", File("in.####.png"), "-o", File("ref/ref.####.png"), "--frames", "1-12", "-s",
                   "Blur Amount=3", "--plugin", plugin, "-q"})
                  .exitCode,
              0);
    WriteProgram("sbatch", "echo 7\n");
    ASSERT_EQ(Run(SubmitArgs({"--plugin", plugin})).exitCode, 0);

    // Other stored defaults meanwhile change a plain render, not the job's.
    ASSERT_EQ(Run({"options", "--store", "-s", "B=0", "-s", "Blur Type=Box", "--plugin", plugin}).exitCode,
              0);
    ASSERT_EQ(Run({"render", File("in.0005.png"), "-o", File("plain.png"), "-s", "Blur Amount=3", "--plugin",
                   plugin, "-q"})
                  .exitCode,
              0);
    EXPECT_FALSE(SamePixels(Path("plain.png"), Path("ref/ref.0005.png")));

    cli::ProgramResult task = RunTask(1);
    ASSERT_EQ(task.exitCode, 0) << task.out << task.err;
    for (int f = 1; f <= 12; ++f) {
        EXPECT_EQ(fs::exists(ShotFrame(f)), f >= 5 && f <= 8) << f;
        if (f >= 5 && f <= 8) {
            EXPECT_TRUE(SamePixels(ShotFrame(f), Path("ref") / Frame("ref", f).filename())) << f;
        }
    }
    EXPECT_NE(task.out.find("FRAME 8 done " + ShotFrame(8).string() + "\n"), std::string::npos) << task.out;
    EXPECT_NE(task.out.find("EXIT 0\n"), std::string::npos) << task.out;

    // Run again, it renders nothing.
    struct stat before {};
    ::stat(ShotFrame(6).c_str(), &before);
    task = RunTask(1);
    EXPECT_EQ(task.exitCode, 0) << task.err;
    EXPECT_NE(task.out.find("FRAME 6 skipped"), std::string::npos) << task.out;
    EXPECT_EQ(task.out.find(" done "), std::string::npos) << task.out;
    struct stat after {};
    ::stat(ShotFrame(6).c_str(), &after);
    EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(before.st_ino, after.st_ino);

    // A frame that cannot be read fails its task; the others of the chunk are rendered.
    WriteText(Frame("in", 10), "not an image");
    task = RunTask(2);
    EXPECT_EQ(task.exitCode, 3) << task.out << task.err;
    EXPECT_NE(task.out.find("FRAME 10 failed: "), std::string::npos) << task.out;
    EXPECT_NE(task.out.find("EXIT 3\n"), std::string::npos) << task.out;
    for (int f : {9, 11, 12})
        EXPECT_TRUE(fs::exists(ShotFrame(f))) << f;

    task = RunTask(3);
    EXPECT_NE(task.exitCode, 0);
    EXPECT_NE(task.err.find("no chunk for task 3"), std::string::npos) << task.err;
}

TEST_F(Submit, StatusFromTheOutputsTheLogsAndTheQueue) {
    WriteProgram("sbatch", "echo 42\n");
    ASSERT_EQ(Run(SubmitArgs()).exitCode, 0);
    for (int f : {1, 2, 3, 4, 5, 7, 8})
        WriteText(ShotFrame(f), "");
    WriteText(Path("shot/shot.42_0.log"), "FRAME 1 start\nFRAME 1 done x\nFRAME 2 done x\nFRAME 3 done x\n"
                                          "FRAME 4 done x\nEXIT 0\n");
    WriteText(Path("shot/shot.42_1.log"),
              "FRAME 5 done x\nFRAME 6 start\nFRAME 6 failed: cannot read \"in\"\n"
              "FRAME 7 done x\nFRAME 8 done x\nEXIT 3\n");
    WriteText(Path("shot/shot.42_2.log"), "FRAME 9 start\n");
    WriteProgram("squeue", "echo '2 RUNNING'\n");
    WriteProgram("scontrol",
                 "[ \"$3\" = 42 ] || [ \"$3\" = 45 ] || { echo 'Invalid job id specified' >&2; exit 1; }\n"
                 "echo \"JobId=$3 ArrayJobId=42 ArrayTaskId=2 JobName=shot\"\n"
                 "echo '   Command=" +
                     Script().string() + "'\n");

    const std::string expected = "job 42 (shot): 12 frames in 3 tasks, " + Script().string() +
                                 "\n"
                                 "done: 7 frames\n"
                                 "failed: 1 frame (6)\n"
                                 "pending: 4 frames (9-12)\n"
                                 "task 0, frames 1-4: finished\n"
                                 "task 1, frames 5-8: failed (exit 3)\n"
                                 "  frame 6: cannot read \"in\"\n"
                                 "task 2, frames 9-12: running\n";
    ToolResult r = Run({"submit", "--status", "42"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, expected);

    // One task's id, or the job once its record is gone: Slurm names the script while it knows the job.
    EXPECT_EQ(Run({"submit", "--status", "45"}).out, expected);
    fs::remove(Path("state/tovrin/slurm-jobs"));
    EXPECT_EQ(Run({"submit", "--status", "42_1"}).out, expected);
    r = Run({"submit", "--status", "43"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("job 43"), std::string::npos) << r.err;
}

} // namespace
} // namespace clitest
