// Frame lists as --frames takes them, from arbitrary text. For any text: it is refused with a usage error,
// or gives between one and a million frames, each once, which read back the same when written out as a
// list. Nothing else may escape: any other exception ends the run as a crash.
#include <algorithm>
#include <string>
#include <vector>

#include "cli/FrameSequence.h"
#include "cli/ToolError.h"
#include "fuzz/FuzzSupport.h"

namespace {

std::string ListText(const std::vector<int>& frames) {
    std::string text;
    for (int f : frames)
        text += (text.empty() ? "" : ",") + std::to_string(f);
    return text;
}

void CheckList(const std::string& text) {
    std::vector<int> frames;
    try {
        frames = cli::ParseFrameList(text);
    } catch (const cli::ToolError& e) {
        FUZZ_CHECK(e.ExitCode() == cli::kExitUsage, e.what());
        return;
    }
    FUZZ_CHECK(!frames.empty() && frames.size() <= 1000000, std::to_string(frames.size()) + " frames");
    std::vector<int> sorted = frames;
    std::sort(sorted.begin(), sorted.end());
    FUZZ_CHECK(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end(), "a frame is listed twice");
    if (frames.size() <= 10000)
        FUZZ_CHECK(cli::ParseFrameList(ListText(frames)) == frames, "the frames do not read back as a list");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckList(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
