#include "cli/FrameSequence.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>

#include "cli/ToolError.h"

namespace cli {
namespace {

// Reads a non-negative decimal number filling [begin, end) exactly.
std::optional<int> ParseCount(const char* begin, const char* end) {
    if (begin == end)
        return std::nullopt;
    int value = 0;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end || value < 0 || *begin == '-' || *begin == '+')
        return std::nullopt;
    return value;
}

} // namespace

std::optional<FramePattern> FramePattern::Find(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    struct Hit {
        std::size_t pos, length;
        int width;
    };
    std::vector<Hit> hits;
    for (std::size_t i = 0; i < name.size();) {
        if (name[i] == '#') {
            std::size_t j = i;
            while (j < name.size() && name[j] == '#')
                ++j;
            hits.push_back({i, j - i, j - i == 1 ? 4 : int(j - i)});
            i = j;
        } else if (name[i] == '%') {
            std::size_t j = i + 1;
            while (j < name.size() && name[j] >= '0' && name[j] <= '9')
                ++j;
            if (j < name.size() && name[j] == 'd') {
                std::string digits = name.substr(i + 1, j - i - 1);
                int width = 0;
                if (!digits.empty()) {
                    auto parsed = ParseCount(digits.data(), digits.data() + digits.size());
                    if (!parsed || *parsed > 16)
                        throw UsageError("\"" + path.string() + "\": the frame pattern %" + digits +
                                         "d pads to too many digits");
                    width = *parsed;
                }
                hits.push_back({i, j + 1 - i, width});
                i = j + 1;
            } else {
                ++i;
            }
        } else {
            ++i;
        }
    }
    if (hits.empty())
        return std::nullopt;
    if (hits.size() > 1)
        throw UsageError("\"" + path.string() + "\" has more than one frame pattern");
    FramePattern p;
    p.folder_ = path.parent_path();
    p.prefix_ = name.substr(0, hits[0].pos);
    p.text_ = name.substr(hits[0].pos, hits[0].length);
    p.suffix_ = name.substr(hits[0].pos + hits[0].length);
    p.width_ = hits[0].width;
    return p;
}

std::filesystem::path FramePattern::Format(int frame) const {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%0*d", width_, frame);
    return folder_ / (prefix_ + digits + suffix_);
}

std::vector<int> FramePattern::FramesOnDisk() const {
    std::vector<int> frames;
    std::error_code ec;
    const std::filesystem::path folder = folder_.empty() ? std::filesystem::path(".") : folder_;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= prefix_.size() + suffix_.size() || name.compare(0, prefix_.size(), prefix_) != 0 ||
            name.compare(name.size() - suffix_.size(), suffix_.size(), suffix_) != 0)
            continue;
        const std::string middle = name.substr(prefix_.size(), name.size() - prefix_.size() - suffix_.size());
        auto frame = ParseCount(middle.data(), middle.data() + middle.size());
        // Only names the pattern itself would produce ("7" is not frame 7 of "####").
        if (frame && Format(*frame).filename().string() == name)
            frames.push_back(*frame);
    }
    std::sort(frames.begin(), frames.end());
    return frames;
}

std::string FramePattern::Text() const {
    return text_;
}

std::vector<int> FrameRange::Frames() const {
    std::vector<int> frames;
    for (long long f = first; f <= last; f += step)
        frames.push_back(int(f));
    return frames;
}

FrameRange ParseFrameRange(const std::string& text) {
    const auto bad = [&](const std::string& why) {
        return UsageError("--frames \"" + text + "\": " + why +
                          " (expected A, A-B or A-BxSTEP, e.g. 1-100x2)");
    };
    const char* s = text.data();
    const char* end = s + text.size();
    const char* dash = std::find(s, end, '-');
    const char* x = std::find(s, end, 'x');
    FrameRange r;
    auto first = ParseCount(s, dash < x ? dash : x);
    if (!first)
        throw bad("the first frame is not a whole number of 0 or more");
    r.first = r.last = *first;
    if (dash != end) {
        auto last = ParseCount(dash + 1, x);
        if (!last)
            throw bad("the last frame is not a whole number of 0 or more");
        r.last = *last;
    }
    if (x != end) {
        if (dash == end || x < dash)
            throw bad("a step needs a range");
        auto step = ParseCount(x + 1, end);
        if (!step || *step < 1)
            throw bad("the step is not a whole number of 1 or more");
        r.step = *step;
    }
    if (r.last < r.first)
        throw bad("the last frame comes before the first");
    if ((long long)(r.last) - r.first >= 1000000LL * r.step)
        throw bad("more than a million frames");
    return r;
}

} // namespace cli
