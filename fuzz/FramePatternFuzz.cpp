// Frame patterns in file names, from arbitrary text. For any file name: it is refused with a usage error,
// or has no pattern, or has one whose names tell every frame apart (the int range's ends included) and put
// it in the name's folder; and the frames whose names are written to disk are found there again, exactly
// those, in order. Nothing else may escape: any other exception ends the run as a crash.
//
// Input: the file name.
#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "cli/FrameSequence.h"
#include "cli/ToolError.h"
#include "fuzz/FuzzSupport.h"

namespace {

namespace fs = std::filesystem;

// Frames to write: edges of the int range, around zero, and a few drawn from the name.
std::vector<int> SomeFrames(const std::string& name) {
    std::set<int> frames = {INT_MIN, INT_MIN + 1, -1000, -1, 0, 1, 9, 10, 99999, INT_MAX};
    unsigned h = 2166136261u;
    for (unsigned char c : name)
        h = (h ^ c) * 16777619u;
    for (int i = 0; i < 6; ++i, h = h * 1103515245u + 12345u)
        frames.insert(static_cast<int>(h % 200001u) - 100000);
    return std::vector<int>(frames.begin(), frames.end());
}

// A name the file system can hold: one component, not "." or "..", within NAME_MAX.
bool UsableName(const std::string& name) {
    return !name.empty() && name.size() <= NAME_MAX && name != "." && name != ".." &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

void CheckPattern(const std::string& name) {
    if (!UsableName(name))
        return;
    static const fs::path folder = [] {
        const fs::path f = fs::path(fuzz::ScratchFolder()) / "frames";
        fs::create_directories(f);
        return f;
    }();

    std::optional<cli::FramePattern> pattern;
    try {
        pattern = cli::FramePattern::Find(folder / name);
    } catch (const cli::ToolError& e) {
        FUZZ_CHECK(e.ExitCode() == cli::kExitUsage, e.what());
        return;
    }
    if (!pattern)
        return;

    // Every frame's name is its own; a few of them are written, to be found again.
    std::vector<int> written;
    std::set<std::string> names;
    const std::vector<int> frames = SomeFrames(name);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const int frame = frames[i];
        const fs::path path = pattern->Format(frame);
        FUZZ_CHECK(path.parent_path() == folder, "frame " + std::to_string(frame) + " of \"" + name +
                                                     "\" lands in " + path.parent_path().string());
        const std::string file = path.filename().string();
        FUZZ_CHECK(names.insert(file).second,
                   "two frames of \"" + name + "\" share the name \"" + file + "\"");
        if (i % 3 != 0 || !UsableName(file))
            continue;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        FUZZ_CHECK(fd >= 0 || errno == ENAMETOOLONG, "cannot create \"" + file + "\"");
        if (fd >= 0) {
            ::close(fd);
            written.push_back(frame);
        }
    }
    std::sort(written.begin(), written.end());
    const std::vector<int> found = pattern->FramesOnDisk();
    for (int frame : written)
        ::unlink(pattern->Format(frame).c_str());
    FUZZ_CHECK(found == written, "the frames of \"" + name + "\" found on disk are not the frames written");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckPattern(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
