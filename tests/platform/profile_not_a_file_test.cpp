// A pipe or a device named like the profile file reads as an unreadable file, at once: nothing waits for a
// writer that never comes or reads an endless device.
#include <chrono>
#include <filesystem>
#include <future>
#include <string>

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/Files.h"
#include "platform/Profile.h"
#include "tests/platform/profile_files.h"

namespace {

using platform::FileProblem;

// Runs `body` on a thread of its own and fails the test when it has not finished within a few seconds;
// `release` then frees whatever it waits on, so that the test ends either way.
template <class Body, class Release>
void ExpectPromptly(Body body, Release release) {
    auto running = std::async(std::launch::async, body);
    if (running.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
        ADD_FAILURE() << "still waiting after 5 s";
        release();
    }
    running.get();
}

void ExpectReadsAsUnreadable(const std::string& path) {
    char out[32];
    EXPECT_EQ(platform::ReadProfileString("S", "k", "'dflt'", out, sizeof out, path.c_str()), 6u);
    EXPECT_STREQ(out, "'dflt'"); // as for a folder: the caller's default untouched
    EXPECT_EQ(platform::ReadProfileInt("S", "k", 5, path.c_str()), 5u);
    const platform::ProfileSnapshot snapshot(path.c_str());
    EXPECT_EQ(snapshot.ReadString("S", "k", "'dflt'", out, sizeof out), 6u);
    EXPECT_EQ(platform::ProbeRegularFile(path.c_str()).problem, FileProblem::NotAFile);
    std::string bytes;
    EXPECT_EQ(platform::ReadRegularFile(path.c_str(), bytes).problem, FileProblem::NotAFile);
}

#if !defined(_WIN32)
TEST(ProfileNotAFile, APipeNamedLikeTheFileIsNeitherReadNorWritten) {
    profile_test::ScratchFolder folder;
    const std::string fifo = folder.File("Tovrin.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    // Opening the pipe for writing lets a reader that waits for a writer go on.
    auto release = [&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    };
    ExpectPromptly([&] { ExpectReadsAsUnreadable(fifo); }, release);
    ExpectPromptly(
        [&] {
            const platform::ProfileEntry entry{"k", "1"};
            EXPECT_EQ(platform::WriteProfileEntries("S", &entry, 1, fifo.c_str()).problem,
                      FileProblem::NotAFile);
            EXPECT_FALSE(platform::WriteProfileEntry("S", "k", "1", fifo.c_str()));
        },
        release);
    struct stat st {};
    ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}
#endif

TEST(ProfileNotAFile, ADeviceIsNotRead) {
#if defined(_WIN32)
    ExpectPromptly([&] { ExpectReadsAsUnreadable("NUL"); }, [] {});
#else
    ExpectPromptly([&] { ExpectReadsAsUnreadable("/dev/zero"); }, [] {}); // it never ends
#endif
}

TEST(ProfileNotAFile, AFolderIsRefusedAndKept) {
    profile_test::ScratchFolder folder;
    const std::filesystem::path dir = folder.Path() / "Tovrin.ini";
    std::filesystem::create_directory(dir);
    ExpectReadsAsUnreadable(dir.string());
    const platform::ProfileEntry entry{"k", "1"};
    EXPECT_EQ(platform::WriteProfileEntries("S", &entry, 1, dir.string().c_str()).problem,
              FileProblem::NotAFile);
    EXPECT_EQ(platform::RemoveFile(dir.string().c_str()).problem, FileProblem::NotAFile);
    EXPECT_TRUE(std::filesystem::is_directory(dir));
}

TEST(ProfileNotAFile, RemovingAMissingFileIsNoFailure) {
    profile_test::ScratchFolder folder;
    EXPECT_TRUE(platform::RemoveFile(folder.File("none.ini").c_str()).Ok());
    EXPECT_TRUE(platform::RemoveFile(folder.File("no-such-folder/none.ini").c_str()).Ok());
    const std::string file = folder.Write("x.ini", "[S]\r\n");
    EXPECT_TRUE(platform::RemoveFile(file.c_str()).Ok());
    EXPECT_FALSE(std::filesystem::exists(file));
}

} // namespace
