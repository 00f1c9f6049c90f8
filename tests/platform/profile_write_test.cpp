// Writing a key: the file, the section and the key are made as needed, an existing key is replaced in
// place, everything else in the file survives, and a write that cannot happen fails quietly.
#include <filesystem>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "platform/Profile.h"
#include "platform/ProfileText.h"
#include "tests/platform/profile_files.h"

namespace {

using profile_test::ReadBytes;
using profile_test::ReadString;
using profile_test::ScratchFolder;

TEST(ProfileWrite, ANewFileHoldsTheSectionAndKeysInWritingOrder) {
    ScratchFolder folder;
    const std::string file = folder.File("new.ini");
    ASSERT_TRUE(platform::WriteProfileEntry("Version=1.0", "Blur Type", "2", file.c_str()));
    ASSERT_TRUE(platform::WriteProfileEntry("Version=1.0", "Blur Amount", "0.123457", file.c_str()));
    ASSERT_TRUE(platform::WriteProfileEntry("Version=1.0", "1 : Color.r", "3", file.c_str()));
    EXPECT_EQ(ReadBytes(file), "[Version=1.0]\r\nBlur Type=2\r\nBlur Amount=0.123457\r\n1 : Color.r=3\r\n");
}

TEST(ProfileWrite, ReplacesOnlyTheFirstMatchAndKeepsTheRest) {
    ScratchFolder folder;
    const std::string file = folder.Write("dup.ini", "; note\r\n"
                                                     "[S]\r\n"
                                                     "Key=old\r\n"
                                                     "other=x\r\n"
                                                     "[T]\r\n"
                                                     "Key=t\r\n"
                                                     "[s]\r\n"
                                                     "Key=second\r\n");
    ASSERT_TRUE(platform::WriteProfileEntry("S", "KEY", "new", file.c_str()));
    EXPECT_EQ(ReadString("S", "Key", file), "new");
    EXPECT_EQ(ReadString("S", "other", file), "x");
    EXPECT_EQ(ReadString("T", "Key", file), "t");
    const std::string bytes = ReadBytes(file);
    EXPECT_EQ(bytes.find("old"), std::string::npos);
    EXPECT_NE(bytes.find("Key=second"), std::string::npos);
    EXPECT_NE(bytes.find("; note"), std::string::npos);
}

TEST(ProfileWrite, AddsAKeyToTheSectionItBelongsTo) {
    ScratchFolder folder;
    const std::string file = folder.Write("add.ini", "[S]\r\na=1\r\n\r\n[T]\r\nb=2\r\n");
    ASSERT_TRUE(platform::WriteProfileEntry("s", "c", "3", file.c_str()));
    EXPECT_EQ(ReadString("S", "c", file), "3");
    EXPECT_EQ(ReadString("T", "c", file), "<none>");
    EXPECT_EQ(ReadString("S", "a", file), "1");
    EXPECT_EQ(ReadString("T", "b", file), "2");
}

TEST(ProfileWrite, AddsASectionAfterALastLineWithoutLineEnd) {
    ScratchFolder folder;
    const std::string file = folder.Write("end.ini", "[S]\r\na=1");
    ASSERT_TRUE(platform::WriteProfileEntry("S", "b", "2", file.c_str()));
    ASSERT_TRUE(platform::WriteProfileEntry("U", "c", "3", file.c_str()));
    EXPECT_EQ(ReadString("S", "a", file), "1");
    EXPECT_EQ(ReadString("S", "b", file), "2");
    EXPECT_EQ(ReadString("U", "c", file), "3");
    EXPECT_EQ(ReadString("S", "c", file), "<none>");
}

TEST(ProfileWrite, GivesAKeyWithoutValueItsValue) {
    ScratchFolder folder;
    const std::string file = folder.Write("flag.ini", "[S]\r\nflag\r\n");
    EXPECT_EQ(ReadString("S", "flag", file), "<none>");
    ASSERT_TRUE(platform::WriteProfileEntry("S", "flag", "1", file.c_str()));
    EXPECT_EQ(platform::ReadProfileInt("S", "flag", 0, file.c_str()), 1u);
}

TEST(ProfileWrite, DropsLeadingSpacesOfTheValue) {
    ScratchFolder folder;
    const std::string file = folder.File("spaces.ini");
    ASSERT_TRUE(platform::WriteProfileEntry("S", "k", "   v w  ", file.c_str()));
    EXPECT_EQ(ReadString("S", "k", file), "v w");
}

TEST(ProfileWrite, AnEightBitFileNeverComesToStartWithAByteOrderMark) {
    using platform::profile_text::Document;
    using platform::profile_text::Encoding;
    // The first key line loses its leading tab; a new key goes first in the file.
    const std::pair<std::string, std::string> cases[] = {
        {"\t\xFE\xFF\r\n[S]\r\nk=v\r\n", "\xFE\xFF"},
        {"[S]\r\nk=v\r\n", "\xFF\xFEkey"},
        {"[S]\r\nk=v\r\n", "\xEF\xBB\xBFkey"},
    };
    for (const auto& [text, key] : cases) {
        SCOPED_TRACE(key.substr(key.size() - 1));
        Document doc(text);
        ASSERT_TRUE(doc.Set("", key, "x"));
        EXPECT_EQ(doc.encoding(), Encoding::Ansi);
        const auto* set = doc.FindKey("", key);
        ASSERT_NE(set, nullptr);
        EXPECT_EQ(set->value, "x");
        const auto* other = doc.FindKey("S", "k");
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(other->value, "v");
    }
}

TEST(ProfileWrite, FailsQuietlyWhereNothingCanBeWritten) {
    ScratchFolder folder;
    const std::string inMissingFolder = folder.File("no-such-folder/x.ini");
    EXPECT_FALSE(platform::WriteProfileEntry("S", "k", "1", inMissingFolder.c_str()));
    EXPECT_FALSE(std::filesystem::exists(inMissingFolder));

    // A folder where a file should be.
    std::filesystem::create_directory(folder.Path() / "dir.ini");
    EXPECT_FALSE(platform::WriteProfileEntry("S", "k", "1", folder.File("dir.ini").c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path() / "dir.ini"));

    // A read-only file system lets nobody write, not even an administrator.
    if (std::filesystem::is_directory("/proc/self")) {
        EXPECT_FALSE(platform::WriteProfileEntry("S", "k", "1", "/proc/self/tovrin-profile.ini"));
    }

    EXPECT_FALSE(platform::WriteProfileEntry(nullptr, "k", "1", folder.File("n.ini").c_str()));
    EXPECT_FALSE(platform::WriteProfileEntry("S", nullptr, "1", folder.File("n.ini").c_str()));
    EXPECT_FALSE(platform::WriteProfileEntry("S", "k", nullptr, folder.File("n.ini").c_str()));
    EXPECT_FALSE(std::filesystem::exists(folder.File("n.ini")));
}

TEST(ProfileWrite, AReadOnlyFolderRefusesANewFile) {
    ScratchFolder folder;
    const std::filesystem::path locked = folder.Path() / "locked";
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(locked,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const std::string file = (locked / "x.ini").string();
    const bool wrote = platform::WriteProfileEntry("S", "k", "1", file.c_str());
    if (wrote && std::filesystem::exists(file))
        GTEST_SKIP() << "this account writes into read-only folders";
    EXPECT_FALSE(wrote);
    EXPECT_EQ(platform::ReadProfileInt("S", "k", 5, file.c_str()), 5u);
}

} // namespace
