#pragma once
// Frame patterns in file names and frame ranges on the command line.
//
// A pattern sits in the file name (not in the folders): a run of '#' is the frame number padded with
// zeros to the run's length, except that a single '#' pads to four digits like "%04d"; "%0Nd" pads to N
// digits and "%d" does not pad.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace cli {

class FramePattern {
public:
    // The pattern of a path, or none when its file name has none. Throws a usage error for a file name with
    // two patterns.
    static std::optional<FramePattern> Find(const std::filesystem::path& path);

    std::filesystem::path Format(int frame) const;
    // The frames whose files exist, in increasing order.
    std::vector<int> FramesOnDisk() const;
    std::string Text() const; // the pattern as written

private:
    std::filesystem::path folder_;
    std::string prefix_, suffix_, text_;
    int width_ = 0;
};

struct FrameRange {
    int first = 0;
    int last = 0;
    int step = 1;
    std::vector<int> Frames() const;
};

// "A", "A-B" or "A-BxSTEP" with 0 ≤ A ≤ B and STEP ≥ 1. Throws a usage error.
FrameRange ParseFrameRange(const std::string& text);

} // namespace cli
