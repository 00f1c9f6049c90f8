// A store or restore that cannot happen says so: the host gets a message naming the reason and the file
// (with the flag that makes it show the message), and the file that was there is still there, whole.
#if !defined(_WIN32)
#include <cstring>

#include "tests/optiondlg/OptionDialogFixture.h"
#include "tests/platform/tiny_disk.h"

namespace optiondlg_test {
namespace {

constexpr char kOldFile[] = "[Version=1.0]\r\nBlur Amount=7.000000\r\n";

class StoreFailureTest : public OptionDialogTest {
protected:
    // The plug-in reported in `dir`, so that its stored defaults are `dir`/Tovrin.ini.
    void PlaceIn(const std::filesystem::path& dir) {
        const std::filesystem::path name = std::filesystem::path(std::getenv("TOVRIN_PLUGIN")).filename();
        plugin->SetFile(dir / name);
        iniPath = dir / std::filesystem::path(name).replace_extension(".ini");
        StartHost(host::kAfterEffects, PF_SpecVersion{13, 28});
        instance->SetFloat(Index("Blur Amount"), 12.5);
    }
    // The message the host is asked to show after the dialog; empty when it is asked to show none.
    std::string Message() const {
        const PF_OutData& out = instance->LastOutData();
        if (!(out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE))
            return "";
        EXPECT_NE(std::memchr(out.return_msg, 0, sizeof out.return_msg), nullptr);
        return out.return_msg;
    }
};

TEST_F(StoreFailureTest, AStoreThatHappensAsksForNoMessage) {
    PlaceIn(folder);
    AnswerDialog("1\n");
    EXPECT_EQ(Message(), "");
    EXPECT_NE(ReadFile(iniPath).find("Blur Amount=12.500000"), std::string::npos);
    AnswerDialog("2\n");
    EXPECT_EQ(Message(), "");
    AnswerDialog("2\n"); // nothing left to remove
    EXPECT_EQ(Message(), "");
}

TEST_F(StoreFailureTest, AFolderInTheFilesPlaceIsNamedAndKept) {
    PlaceIn(folder);
    std::filesystem::create_directory(iniPath);
    AnswerDialog("1\n");
    EXPECT_EQ(Message(),
              "Tovrin could not store the default values (a folder or device has the file's name): " +
                  iniPath.string());
    AnswerDialog("2\n");
    EXPECT_EQ(Message(),
              "Tovrin could not remove the stored default values (a folder or device has the file's "
              "name): " +
                  iniPath.string());
    EXPECT_TRUE(std::filesystem::is_directory(iniPath));
}

TEST_F(StoreFailureTest, AMissingFolderIsNamed) {
    PlaceIn(folder / "gone");
    AnswerDialog("1\n");
    EXPECT_EQ(Message(),
              "Tovrin could not store the default values (its folder does not exist): " + iniPath.string());
    EXPECT_FALSE(std::filesystem::exists(folder / "gone"));
}

TEST_F(StoreFailureTest, AFullDiskKeepsTheOldFileWhole) {
    profile_test::TinyDisk disk(folder / "disk");
    if (!disk.Active())
        GTEST_SKIP() << disk.WhyNot();
    PlaceIn(disk.Folder());
    WriteFile(iniPath, kOldFile);
    disk.Fill();
    AnswerDialog("1\n");
    EXPECT_EQ(Message(), "Tovrin could not store the default values (the disk is full): " + iniPath.string());
    EXPECT_EQ(ReadFile(iniPath), kOldFile);
    std::size_t names = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(disk.Folder()))
        ++names;
    EXPECT_EQ(names, 3u) << "Tovrin.ini and the two fillers, no temporary file";

    // With room again the same store goes through.
    disk.Free();
    AnswerDialog("1\n");
    EXPECT_EQ(Message(), "");
    EXPECT_NE(ReadFile(iniPath).find("Blur Amount=12.500000"), std::string::npos);
}

TEST_F(StoreFailureTest, AReadOnlyDiskRefusesStoreAndRestore) {
    profile_test::TinyDisk disk(folder / "disk");
    if (!disk.Active())
        GTEST_SKIP() << disk.WhyNot();
    PlaceIn(disk.Folder());
    WriteFile(iniPath, kOldFile);
    ASSERT_TRUE(disk.MakeReadOnly());
    AnswerDialog("1\n");
    EXPECT_EQ(Message(),
              "Tovrin could not store the default values (the disk is read-only): " + iniPath.string());
    AnswerDialog("2\n");
    EXPECT_EQ(Message(), "Tovrin could not remove the stored default values (the disk is read-only): " +
                             iniPath.string());
    EXPECT_EQ(ReadFile(iniPath), kOldFile);
}

TEST_F(StoreFailureTest, AFolderWithoutWritePermissionIsNamed) {
    PlaceIn(folder / "locked");
    std::filesystem::create_directory(folder / "locked");
    WriteFile(iniPath, kOldFile);
    std::filesystem::permissions(folder / "locked",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    AnswerDialog("1\n");
    const std::string message = Message();
    if (message.empty())
        GTEST_SKIP() << "this account writes into read-only folders";
    EXPECT_EQ(message, "Tovrin could not store the default values (permission denied): " + iniPath.string());
    EXPECT_EQ(ReadFile(iniPath), kOldFile);
    std::filesystem::permissions(folder / "locked", std::filesystem::perms::owner_all);
}

} // namespace
} // namespace optiondlg_test
#endif
