#pragma once
// Frame patterns in file names and frame lists on the command line.
//
// A pattern sits in the file name (not in the folders), one per name:
//   #      the frame number padded with zeros to four digits ("%04d")
//   ##...  padded with zeros to as many digits as there are '#'
//   @@...  padded with zeros to as many digits as there are '@' (a single '@': no padding)
//   %0Nd   padded with zeros to N digits; %Nd padded with spaces to N characters, as printf does; %d not
// Padding is at most 18 digits; a longer pattern is refused rather than cut. In a name with a pattern, "%%"
// stands for one '%', as in printf; a name without a pattern is taken as it is. Negative frames print as
// printf prints them ("-005" for -5 with four digits).
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace cli {

class FramePattern {
public:
    // The pattern of a path, or none when its file name has none. Throws a usage error for a file name with
    // two patterns or with padding beyond 18 digits.
    static std::optional<FramePattern> Find(const std::filesystem::path& path);

    std::filesystem::path Format(int frame) const;
    // The frames whose files exist, in increasing order.
    std::vector<int> FramesOnDisk() const;
    std::string Text() const; // the pattern as written

private:
    std::filesystem::path folder_;
    std::string prefix_, suffix_, text_;
    int width_ = 0;
    bool spaces_ = false; // pad with spaces instead of zeros
};

// The longest padding a pattern may ask for.
constexpr int kMaxPatternDigits = 18;

// A comma-separated list of "A", "A-B" and "A-BxSTEP" items (A ≤ B, STEP ≥ 1, frames may be negative:
// "-10--1"), e.g. "1-3,8,20-40x5". The frames in the order given, each once. Throws a usage error.
std::vector<int> ParseFrameList(const std::string& text);

} // namespace cli
