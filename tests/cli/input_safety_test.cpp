// Hostile and broken inputs: only regular files are read (a FIFO or a device is refused at once, never
// waited on), a header is judged before anything is decoded (the host's size limit, a decompression bomb in
// little memory), and a file cut short is an error, not a picture with black rows. Every failure is one line.
#include <sys/stat.h>
#include <unistd.h>

#include "TestFiles.h"
#include "ToolRun.h"

namespace clitest {
namespace {

class Inputs : public ToolTest {
protected:
    ToolResult Render(const std::string& in, const std::string& out = "out.png",
                      std::vector<std::pair<std::string, std::string>> environment = {}) {
        RunOptions options;
        options.timeoutSeconds = 60;
        options.environment = std::move(environment);
        return RunTool({"render", in, "-o", File(out)}, options);
    }
};

TEST_F(Inputs, OnlyRegularFilesAreRead) {
    ASSERT_EQ(::mkfifo(Path("fifo.png").c_str(), 0644), 0);
    std::filesystem::create_symlink("loop.png", Path("loop.png"));
    std::filesystem::create_directory(Path("folder.png"));
    const struct {
        std::string in, says;
    } cases[] = {
        {File("fifo.png"), "a FIFO, not a regular file"}, {"/dev/zero", "a device, not a regular file"},
        {"/dev/urandom", "a device, not a regular file"}, {File("loop.png"), "a loop of symbolic links"},
        {File("folder.png"), "it is a folder"},           {File("missing.png"), "no such file"},
    };
    for (const auto& c : cases) {
        ToolResult r = Render(c.in);
        EXPECT_FALSE(r.timedOut) << c.in << " hangs";
        EXPECT_EQ(r.exitCode, 3) << c.in << "\n" << r.err;
        EXPECT_NE(r.err.find("cannot read \"" + c.in + "\": " + c.says), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(Path("out.png")));
}

TEST_F(Inputs, AHeaderIsJudgedBeforeAnythingIsDecoded) {
    // 13 KB claiming 30000 × 30000: refused from the header, in little memory.
    WritePngClaiming(Path("bomb.png"), 30000, 30000, 13000);
    ToolResult r = Render(File("bomb.png"));
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_NE(r.err.find("its header claims 30000 × 30000 pixels"), std::string::npos) << r.err;
    EXPECT_LT(r.peakKb, 1024 * 1024) << "the tool took " << r.peakKb << " KB";

    // A real picture wider than the host's worlds: the limit is named, before decoding.
    WriteImage(Path("wide.png"), MakeImage(30001, 2, 3, OIIO::TypeDesc::UINT8));
    r = Render(File("wide.png"));
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_NE(r.err.find("the image is 30001 × 2 pixels, beyond the host's limit of 30000 pixels per side"),
              std::string::npos)
        << r.err;
}

TEST_F(Inputs, AFileCutShortIsAnErrorOnOneLine) {
    Image picture = MakeImage(256, 256, 3, OIIO::TypeDesc::UINT8);
    for (std::size_t i = 0; i < picture.bytes.size(); ++i)
        picture.bytes[i] = std::uint8_t(i * 7919 % 251);
    for (const char* name : {"cut.tif", "cut.jpg", "cut.png"}) {
        WriteImage(Path(name), picture);
        Truncate(Path(name), 0.6);
        // The PNG decoder's error path leaks a message string inside OpenImageIO; the sanitizer build would
        // turn that into its own exit code.
        ToolResult r = Render(File(name), "out.png", {{"ASAN_OPTIONS", "detect_leaks=0"}});
        EXPECT_EQ(r.exitCode, 3) << name << "\n" << r.out << r.err;
        EXPECT_FALSE(std::filesystem::exists(Path("out.png"))) << name;
        // One FAILED line on stdout, and every line on stderr is the tool's own.
        const std::size_t failed = r.out.find("FAILED: cannot read \"" + File(name) + "\": ");
        ASSERT_NE(failed, std::string::npos) << r.out;
        EXPECT_EQ(r.out.find('\n', failed), r.out.size() - 1) << r.out;
        std::istringstream lines(r.err);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("tovrin:", 0) != 0 && line.rfind("libpng", 0) != 0)
                ADD_FAILURE() << name << ": a line that is not the tool's: " << line;
    }
}

} // namespace
} // namespace clitest
