// Storing many keys at once: the file is replaced whole, so a reader sees every key of one store and never
// a mix or a part; a store that cannot happen says why and leaves the old file and nothing else behind.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Files.h"
#include "platform/Profile.h"
#include "tests/platform/profile_files.h"
#include "tests/platform/tiny_disk.h"

namespace {

using namespace std::string_literals;
using platform::FileProblem;
using platform::ProfileEntry;
using profile_test::ReadBytes;
using profile_test::ReadString;
using profile_test::ScratchFolder;

// The names in the folder: a store must leave no temporary file behind.
std::vector<std::string> Names(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ProfileStore, SetsEveryKeyAsSeparateWritesWouldInOneWrite) {
    ScratchFolder folder;
    const std::string start =
        "; note\r\n[Other]\r\nBlur Type=9\r\n[Version=1.0]\r\nblur type=1\r\nkept=x\r\n";
    const std::string together = folder.Write("together.ini", start);
    const std::string apart = folder.Write("apart.ini", start);
    const ProfileEntry entries[] = {{"Blur Type", "2"}, {"Blur Amount", "  0.123457"}, {"1 : Color.r", "3"}};
    ASSERT_TRUE(platform::WriteProfileEntries("Version=1.0", entries, 3, together.c_str()).Ok());
    for (const ProfileEntry& e : entries)
        ASSERT_TRUE(platform::WriteProfileEntry("Version=1.0", e.key, e.value, apart.c_str()));
    for (const char* key : {"Blur Type", "Blur Amount", "1 : Color.r", "kept"})
        EXPECT_EQ(ReadString("Version=1.0", key, together), ReadString("Version=1.0", key, apart)) << key;
    EXPECT_EQ(ReadString("Version=1.0", "Blur Amount", together), "0.123457");
    EXPECT_EQ(ReadString("Other", "Blur Type", together), "9");
    EXPECT_EQ(ReadBytes(together),
              "; note\r\n[Other]\r\nBlur Type=9\r\n[Version=1.0]\r\nblur type=2\r\nkept=x\r\n"
              "Blur Amount=0.123457\r\n1 : Color.r=3\r\n");

    // A new file holds the section and the keys in their order.
    const std::string fresh = folder.File("fresh.ini");
    ASSERT_TRUE(platform::WriteProfileEntries("Version=1.0", entries, 3, fresh.c_str()).Ok());
    EXPECT_EQ(ReadBytes(fresh), "[Version=1.0]\r\nBlur Type=2\r\nBlur Amount=0.123457\r\n1 : Color.r=3\r\n");
    EXPECT_EQ(Names(folder.Path()), (std::vector<std::string>{"apart.ini", "fresh.ini", "together.ini"}));
}

TEST(ProfileStore, SaysWhyNothingWasStoredAndLeavesTheOldFile) {
    ScratchFolder folder;
    const ProfileEntry entry{"k", "1"};

    EXPECT_EQ(
        platform::WriteProfileEntries("S", &entry, 1, folder.File("no-such-folder/x.ini").c_str()).problem,
        FileProblem::NoFolder);

    std::filesystem::create_directory(folder.Path() / "dir.ini");
    EXPECT_EQ(platform::WriteProfileEntries("S", &entry, 1, folder.File("dir.ini").c_str()).problem,
              FileProblem::NotAFile);
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path() / "dir.ini"));

    // A UTF-16 file is read through an 8-bit view that loses its other text: it is not rewritten.
    const std::string wide = "\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\x42\x30\r\0\n\0"s;
    const std::string utf16 = folder.Write("wide.ini", wide);
    EXPECT_EQ(platform::WriteProfileEntries("S", &entry, 1, utf16.c_str()).problem, FileProblem::NotEditable);
    EXPECT_EQ(ReadBytes(utf16), wide);

    EXPECT_EQ(Names(folder.Path()), (std::vector<std::string>{"dir.ini", "wide.ini"}));
}

TEST(ProfileStore, AReadOnlyFolderOrDiskIsNamed) {
    ScratchFolder folder;
    const ProfileEntry entry{"k", "2"};
    profile_test::TinyDisk disk(folder.Path() / "disk");
    if (disk.Active()) {
        const std::string file = (disk.Folder() / "x.ini").string();
        ASSERT_TRUE(platform::WriteProfileEntries("S", &entry, 1, file.c_str()).Ok());
        ASSERT_TRUE(disk.MakeReadOnly());
        const ProfileEntry changed{"k", "3"};
        EXPECT_EQ(platform::WriteProfileEntries("S", &changed, 1, file.c_str()).problem,
                  FileProblem::ReadOnlyDisk);
        EXPECT_EQ(ReadString("S", "k", file), "2");
    }
    // Permissions stop every account but an administrator's.
    const std::filesystem::path locked = folder.Path() / "locked";
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(locked,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const std::string file = (locked / "x.ini").string();
    const platform::FileResult result = platform::WriteProfileEntries("S", &entry, 1, file.c_str());
    if (result.Ok() && !disk.Active())
        GTEST_SKIP() << "this account writes into read-only folders, and " << disk.WhyNot();
    if (!result.Ok()) {
        EXPECT_EQ(result.problem, FileProblem::Denied);
        EXPECT_FALSE(std::filesystem::exists(file));
    }
}

TEST(ProfileStore, AReadOnlyFileIsNotReplaced) {
    ScratchFolder folder;
    const std::string file = folder.Write("x.ini", "[S]\r\nk=1\r\n");
    std::filesystem::permissions(file,
                                 std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    const ProfileEntry entry{"k", "2"};
    const platform::FileResult result = platform::WriteProfileEntries("S", &entry, 1, file.c_str());
    std::filesystem::permissions(file, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    if (result.Ok())
        GTEST_SKIP() << "this account writes read-only files";
    EXPECT_EQ(result.problem, FileProblem::Denied);
    EXPECT_EQ(ReadBytes(file), "[S]\r\nk=1\r\n");
    EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"x.ini"});
}

TEST(ProfileStore, AFullDiskIsNamedAndTheOldFileSurvivesWhole) {
    ScratchFolder folder;
    profile_test::TinyDisk disk(folder.Path() / "disk");
    if (!disk.Active())
        GTEST_SKIP() << disk.WhyNot();
    const std::string file = (disk.Folder() / "Tovrin.ini").string();
    const std::string old = "[Version=1.0]\r\nBlur Amount=1.000000\r\nMode=2\r\n";
    {
        const ProfileEntry entries[] = {{"Blur Amount", "1.000000"}, {"Mode", "2"}};
        ASSERT_TRUE(platform::WriteProfileEntries("Version=1.0", entries, 2, file.c_str()).Ok());
    }
    ASSERT_EQ(ReadBytes(file), old);
    disk.Fill();

    const std::string large(4000, '7');
    const ProfileEntry entries[] = {{"Blur Amount", "2.000000"}, {"Mode", "3"}, {"Padding", large.c_str()}};
    const platform::FileResult result =
        platform::WriteProfileEntries("Version=1.0", entries, 3, file.c_str());
    EXPECT_EQ(result.problem, FileProblem::DiskFull);
    EXPECT_EQ(ReadBytes(file), old);
    EXPECT_EQ(Names(disk.Folder()), (std::vector<std::string>{"Tovrin.ini", "filler", "filler-tail"}));

    disk.Free();
    EXPECT_TRUE(platform::WriteProfileEntries("Version=1.0", entries, 3, file.c_str()).Ok());
    EXPECT_EQ(ReadString("Version=1.0", "Mode", file), "3");
}

#if !defined(_WIN32)
TEST(ProfileStore, TheFileKeepsItsPermissionsAndALinkStaysALink) {
    ScratchFolder folder;
    const std::string target = folder.Write("real.ini", "[S]\r\nk=1\r\n");
    std::filesystem::permissions(target,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::create_symlink("real.ini", folder.Path() / "link.ini");
    const ProfileEntry entry{"k", "2"};
    ASSERT_TRUE(platform::WriteProfileEntries("S", &entry, 1, folder.File("link.ini").c_str()).Ok());
    EXPECT_TRUE(std::filesystem::is_symlink(folder.Path() / "link.ini"));
    EXPECT_EQ(ReadBytes(target), "[S]\r\nk=2\r\n");
    EXPECT_EQ(std::filesystem::status(target).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}
#endif

// One thread stores all keys with one value, then all with another, again and again; another reads the
// file once per round, as a host starting up does, and must find every key from the same store.
TEST(ProfileStore, AReaderDuringStoresNeverSeesMixedOrMissingValues) {
    ScratchFolder folder;
    const std::string file = folder.File("Tovrin.ini");
    constexpr int kKeys = 40;
    std::vector<std::string> keys;
    for (int i = 0; i < kKeys; ++i)
        keys.push_back("key " + std::to_string(i));
    auto store = [&](const char* value) {
        std::vector<ProfileEntry> entries;
        for (const std::string& key : keys)
            entries.push_back(ProfileEntry{key.c_str(), value});
        return platform::WriteProfileEntries("Version=1.0", entries.data(), entries.size(), file.c_str())
            .Ok();
    };
    ASSERT_TRUE(store("first"));

    std::atomic<bool> done{false};
    std::atomic<int> stores{0}, failures{0};
    std::thread writer([&] {
        for (int round = 0; round < 300; ++round) {
            if (!store(round % 2 ? "odd" : "even"))
                ++failures;
            ++stores;
        }
        done = true;
    });
    int reads = 0, mixed = 0;
    while (!done || reads < 10) {
        const platform::ProfileSnapshot snapshot(file.c_str());
        char first[32];
        snapshot.ReadString("Version=1.0", keys[0].c_str(), "<none>", first, sizeof first);
        for (const std::string& key : keys) {
            char value[32];
            snapshot.ReadString("Version=1.0", key.c_str(), "<none>", value, sizeof value);
            if (std::string(value) != first || std::string(value) == "<none>") {
                ++mixed;
                break;
            }
        }
        ++reads;
        // A host reads the file once as it starts; Windows lets no rename replace a file that is open.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    writer.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(mixed, 0) << "of " << reads << " reads during " << stores.load() << " stores";
    EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"Tovrin.ini"});
}

} // namespace
