// Writes that cannot lie: a write that fails (a full disk) is exit 3 with nothing left behind, an existing
// output stays whole and the sequence goes on; a replaced file keeps its mode; any legal output name works,
// however long.
#include <csignal>
#include <fstream>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ToolRun.h"

namespace clitest {
namespace {

// A 64 KB file system of its own (root only: CI runs as root).
class FullDisk : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        disk_ = dir_ / "disk";
        std::filesystem::create_directory(disk_);
        if (::geteuid() != 0)
            GTEST_SKIP() << "mounting a small file system needs root; run as root to test full disks";
        if (::mount("tmpfs", disk_.c_str(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno) << ")";
        mounted_ = true;
    }
    void TearDown() override {
        if (mounted_)
            ::umount(disk_.c_str());
        ToolTest::TearDown();
    }
    std::vector<std::string> DiskListing() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(disk_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path disk_;
    bool mounted_ = false;
};

// Noise does not compress: an 8-bit RGBA frame of `side` × `side` takes about 4 × side² bytes in any format.
Image Noise(int side) {
    Image image = MakeImage(side, side, 4, OIIO::TypeDesc::UINT8);
    std::uint32_t state = 12345;
    for (std::uint8_t& b : image.bytes) {
        state = state * 1664525u + 1013904223u;
        b = std::uint8_t(state >> 24);
    }
    for (std::size_t i = 3; i < image.bytes.size(); i += 4)
        image.bytes[i] = 255;
    return image;
}

TEST_F(FullDisk, EveryFormatFailsWithExitThreeAndLeavesNothing) {
    WriteImage(Path("noise.png"), Noise(300));
    for (const char* ext : {"png", "jpg", "sgi", "tif", "exr"}) {
        const std::string out = (disk_ / (std::string("out.") + ext)).string();
        std::vector<std::string> args{"render", File("noise.png"), "-o", out};
        for (const std::string& s : NoWorkSettings())
            args.push_back(s);
        ToolResult r = RunTool(args);
        EXPECT_EQ(r.exitCode, 3) << ext << "\n" << r.out << r.err;
        EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << ext << "\n" << r.err;
        EXPECT_NE(r.out.find("FAILED: cannot write"), std::string::npos) << ext << "\n" << r.out;
        EXPECT_EQ(DiskListing(), std::vector<std::string>{}) << ext;
    }
}

TEST_F(FullDisk, AnExistingOutputStaysWholeAndTheSequenceGoesOn) {
    WriteImage(Path("in.0001.png"), Noise(300)); // too big for the disk
    WriteImage(Path("in.0002.png"), CelFrame8(16, 16));
    WriteImage(disk_ / "out.0001.png", CelFrame8(8, 8)); // a good earlier result
    const std::uintmax_t before = std::filesystem::file_size(disk_ / "out.0001.png");
    std::vector<std::string> args{"render", File("in.####.png"), "-o", (disk_ / "out.####.png").string(),
                                  "-y"};
    for (const std::string& s : NoWorkSettings())
        args.push_back(s);
    ToolResult r = RunTool(args);
    EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
    EXPECT_NE(r.out.find("FRAME 1 failed: cannot write"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("FRAME 2 done"), std::string::npos) << r.out;
    EXPECT_EQ(DiskListing(), (std::vector<std::string>{"out.0001.png", "out.0002.png"}));
    EXPECT_EQ(std::filesystem::file_size(disk_ / "out.0001.png"), before);
    EXPECT_EQ(ReadImage(disk_ / "out.0001.png").width, 8);
    EXPECT_EQ(ReadImage(disk_ / "out.0002.png").width, 16);
}

using Writes = ToolTest;

TEST_F(Writes, AReplacedFileKeepsItsModeAndANewOneFollowsTheUmask) {
    WriteImage(Path("in.png"), CelFrame8(8, 8));
    std::ofstream(Path("private.png")) << "old";
    ASSERT_EQ(::chmod(Path("private.png").c_str(), 0600), 0);
    ASSERT_EQ(RunTool({"render", File("in.png"), "-o", File("private.png"), "-y", "-q"}).exitCode, 0);
    ASSERT_EQ(RunTool({"render", File("in.png"), "-o", File("fresh.png"), "-q"}).exitCode, 0);
    struct stat kept {
    }, fresh{};
    ASSERT_EQ(::stat(Path("private.png").c_str(), &kept), 0);
    ASSERT_EQ(::stat(Path("fresh.png").c_str(), &fresh), 0);
    EXPECT_EQ(kept.st_mode & 07777, 0600u);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(fresh.st_mode & 07777, 0666u & ~mask);
    EXPECT_EQ(ReadImage(Path("private.png")).width, 8);
}

TEST_F(Writes, OutputNamesUpToTheLongestLegalOneWork) {
    WriteImage(Path("in.0001.png"), CelFrame8(8, 8));
    WriteImage(Path("in.0002.png"), CelFrame8(8, 8, 1));
    const std::string single = std::string(251, 's') + ".png";        // 255 bytes
    const std::string sequence = std::string(242, 'q') + ".####.png"; // 255 bytes with the frame number
    ToolResult r = RunTool({"render", File("in.0001.png"), "-o", File(single), "-q"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = RunTool({"render", File("in.####.png"), "-o", File(sequence), "-q"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(Listing(),
              (std::vector<std::string>{"in.0001.png", "in.0002.png", std::string(242, 'q') + ".0001.png",
                                        std::string(242, 'q') + ".0002.png", single}));
}

// Whether the tool `pid` holds the temporary file of an output in `folder` (nameless where the file system
// allows, hidden otherwise).
bool WritingInto(int pid, const std::filesystem::path& folder) {
    std::error_code ec;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        const std::string target = std::filesystem::read_symlink(fd.path(), ec).string();
        if (target.rfind(folder.string() + "/", 0) == 0 &&
            (target.find("/#") != std::string::npos || target.find("/.tovrin-") != std::string::npos))
            return true;
    }
    return false;
}

TEST_F(Writes, ACancelOrAKillDuringTheWriteLeavesNothingBehind) {
    // A frame whose write takes long (the smallest PNG of noise).
    WriteImage(Path("in.png"), Noise(1500));
    std::vector<std::string> args{"render", File("in.png"), "-o", File("out.png"), "--compression", "9"};
    for (const std::string& s : NoWorkSettings())
        args.push_back(s);

    RunOptions cancel;
    cancel.interruptWhenProcess = [&](int pid) { return WritingInto(pid, dir_); };
    ToolResult r = RunTool(args, cancel);
    EXPECT_NE(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out.find("DONE"), std::string::npos) << r.out;
    EXPECT_EQ(Listing(), std::vector<std::string>{"in.png"});

    // Nothing can run after SIGKILL: the temporary file must be one the kernel drops by itself.
    RunOptions kill;
    kill.interruptWhenProcess = [&](int pid) { return WritingInto(pid, dir_) && ::kill(pid, SIGKILL) == 0; };
    r = RunTool(args, kill);
    EXPECT_EQ(r.exitCode, -1) << r.out << r.err;
    EXPECT_EQ(Listing(), std::vector<std::string>{"in.png"});
}

} // namespace
} // namespace clitest
