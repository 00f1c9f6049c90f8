#include "cli/FrameSequence.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <unordered_set>

#include "cli/ToolError.h"

namespace cli {
namespace {

constexpr long long kMaxFrames = 1000000;

// Reads a decimal number (optionally negative) filling [begin, end) exactly.
std::optional<int> ParseFrameNumber(const char* begin, const char* end) {
    if (begin == end || *begin == '+')
        return std::nullopt;
    int value = 0;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

struct Hit {
    std::size_t pos, length;
    int width;
    bool spaces;
};

ToolError TooWide(const std::filesystem::path& path, const std::string& pattern) {
    return UsageError("\"" + path.string() + "\": the frame pattern " + pattern + " pads to more than " +
                      std::to_string(kMaxPatternDigits) + " digits");
}

// "%%" becomes "%" (printf's literal percent sign).
std::string UnescapePercent(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%')
            ++i;
    }
    return out;
}

} // namespace

std::optional<FramePattern> FramePattern::Find(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    std::vector<Hit> hits;
    for (std::size_t i = 0; i < name.size();) {
        const char c = name[i];
        if (c == '#' || c == '@') {
            std::size_t j = i;
            while (j < name.size() && name[j] == c)
                ++j;
            const std::size_t run = j - i;
            if (run > std::size_t(kMaxPatternDigits))
                throw TooWide(path, "of " + std::to_string(run) + " '" + std::string(1, c) + "'");
            hits.push_back({i, run, c == '#' && run == 1 ? 4 : int(run), false});
            i = j;
        } else if (c == '%') {
            if (i + 1 < name.size() && name[i + 1] == '%') {
                i += 2; // a literal percent sign
                continue;
            }
            std::size_t j = i + 1;
            while (j < name.size() && name[j] >= '0' && name[j] <= '9')
                ++j;
            if (j < name.size() && name[j] == 'd') {
                const std::string digits = name.substr(i + 1, j - i - 1);
                const std::string text = name.substr(i, j + 1 - i);
                int width = 0;
                if (!digits.empty()) {
                    // Leading zeros beyond the flag ("%004d") still mean zero padding to the number.
                    const std::size_t nonZero = digits.find_first_not_of('0');
                    if (nonZero != std::string::npos &&
                        (digits.size() - nonZero > 2 ||
                         std::stoi(digits.substr(nonZero)) > kMaxPatternDigits))
                        throw TooWide(path, text);
                    width = nonZero == std::string::npos ? 0 : std::stoi(digits.substr(nonZero));
                }
                hits.push_back({i, text.size(), width, !digits.empty() && digits[0] != '0'});
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
    p.prefix_ = UnescapePercent(name.substr(0, hits[0].pos));
    p.text_ = name.substr(hits[0].pos, hits[0].length);
    p.suffix_ = UnescapePercent(name.substr(hits[0].pos + hits[0].length));
    p.width_ = hits[0].width;
    p.spaces_ = hits[0].spaces;
    return p;
}

std::filesystem::path FramePattern::Format(int frame) const {
    char digits[40];
    std::snprintf(digits, sizeof digits, spaces_ ? "%*d" : "%0*d", width_, frame);
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
        std::string middle = name.substr(prefix_.size(), name.size() - prefix_.size() - suffix_.size());
        if (spaces_)
            middle.erase(0, middle.find_first_not_of(' '));
        auto frame = ParseFrameNumber(middle.data(), middle.data() + middle.size());
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

std::vector<int> ParseFrameList(const std::string& text) {
    const auto bad = [&](const std::string& item, const std::string& why) {
        return UsageError("--frames \"" + text + "\": " + (item != text ? "\"" + item + "\": " : "") + why +
                          " (expected A, A-B or A-BxSTEP, or a list of them, e.g. 1-3,8,20-40x5)");
    };
    std::vector<int> frames;
    std::unordered_set<int> seen;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.empty())
            throw bad(item, "an empty item");
        const char* s = item.data();
        const char* end = s + item.size();
        // The range's dash is the first '-' after the first character (which may be the first frame's sign).
        const char* dash = std::find(s + 1, end, '-');
        const char* x = std::find(s, end, 'x');
        if (x < dash)
            throw bad(item, "a step needs a range");
        const auto first = ParseFrameNumber(s, dash < x ? dash : x);
        if (!first)
            throw bad(item, "the first frame is not a whole number");
        int last = *first;
        long long step = 1;
        if (dash != end) {
            const auto parsed = ParseFrameNumber(dash + 1, x);
            if (!parsed)
                throw bad(item, "the last frame is not a whole number");
            last = *parsed;
        }
        if (x != end) {
            if (dash == end)
                throw bad(item, "a step needs a range");
            const auto parsed = ParseFrameNumber(x + 1, end);
            if (!parsed || *parsed < 1)
                throw bad(item, "the step is not a whole number of 1 or more");
            step = *parsed;
        }
        if (last < *first)
            throw bad(item, "the last frame comes before the first");
        if ((static_cast<long long>(last) - *first) / step + 1 + static_cast<long long>(frames.size()) >
            kMaxFrames)
            throw bad(item, "more than a million frames");
        for (long long f = *first; f <= last; f += step)
            if (seen.insert(int(f)).second)
                frames.push_back(int(f));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return frames;
}

} // namespace cli
