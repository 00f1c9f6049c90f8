#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <unistd.h>

void FuzzFailure(const char* file, int line, const std::string& what) {
    std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, what.c_str());
    std::fflush(stderr);
    std::abort();
}

namespace fuzz {

std::string PluginPath() {
    if (const char* path = std::getenv("TOVRIN_PLUGIN"); path && *path)
        return path;
    return TOVRIN_FUZZ_PLUGIN;
}

namespace {

struct Scratch {
    std::filesystem::path folder;
    std::string text;
    Scratch() {
        std::error_code ec;
        const std::filesystem::path shm = "/dev/shm";
        const std::filesystem::path base =
            std::filesystem::is_directory(shm, ec) && ::access(shm.c_str(), W_OK) == 0
                ? shm
                : std::filesystem::temp_directory_path();
        folder = base / ("tovrin-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        text = folder.string();
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

} // namespace

const std::string& ScratchFolder() {
    static Scratch scratch;
    return scratch.text;
}

} // namespace fuzz
