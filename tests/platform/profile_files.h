#pragma once
// Paths for the profile tests: the committed INI files and a private scratch folder per test.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "platform/Profile.h"

namespace profile_test {

// The committed test files, found through the folder the build names (a compiler cache may make __FILE__
// relative to another folder).
inline std::string DataFile(const char* name) {
    return std::filesystem::absolute(std::filesystem::path(TOVRIN_PLATFORM_TEST_DATA) / name).string();
}

// A fresh empty folder, removed with everything in it when the object goes.
class ScratchFolder {
public:
    ScratchFolder() {
        static std::atomic<int> counter{0};
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name =
            std::string("tovrin-profile-") + (info ? info->name() : "test") + "-" + std::to_string(counter++);
        path_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string File(const char* name) const { return (path_ / name).string(); }

    std::string Write(const char* name, std::string_view bytes) const {
        const std::string file = File(name);
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file;
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The key's value as ReadProfileString gives it, "<none>" when the file does not hold it.
inline std::string ReadString(const char* section, const char* key, const std::string& file) {
    char out[128];
    platform::ReadProfileString(section, key, "<none>", out, sizeof out, file.c_str());
    return out;
}

} // namespace profile_test
