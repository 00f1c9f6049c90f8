#include "cli/Compression.h"

#include <charconv>
#include <string_view>

#include "cli/ToolError.h"

namespace cli {
namespace {

// Measured on a 3840 × 2160 frame with film grain (README, "Compression", bench/tool_files.py): PNG level 1
// writes as small a file as levels 2 and 3 and far faster than the library's 6 (16-bit: 3.5 s against
// 10.9 s a copy render); OpenEXR piz is both the fastest and the smallest lossless choice on grain (half:
// 1.7 s and 31.8 MB, zip 2.2 s and 32.9 MB); TIFF zip at level 1 takes 3.1 s against 8.6 s at the
// library's 6 for 2 % more bytes, and lzw hardly compresses grain at all.
constexpr int kDefaultPngLevel = 1;
constexpr const char* kDefaultExr = "piz";
constexpr const char* kDefaultTiff = "zip";
constexpr int kDefaultTiffZipLevel = 1;

bool ParseLevel(std::string_view text, int low, int high, int* level) {
    int v = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() || v < low || v > high)
        return false;
    *level = v;
    return true;
}

// "zip:5" → "zip" and "5".
std::pair<std::string, std::string> SplitLevel(const std::string& choice) {
    const std::size_t colon = choice.find(':');
    if (colon == std::string::npos)
        return {choice, ""};
    return {choice.substr(0, colon), choice.substr(colon + 1)};
}

bool ValidExr(const std::string& choice) {
    auto [name, level] = SplitLevel(choice);
    int v = 0;
    if (name == "zip" || name == "zips")
        return level.empty() || ParseLevel(level, 1, 9, &v);
    if (name == "dwaa" || name == "dwab")
        return level.empty() || ParseLevel(level, 1, 100000, &v);
    return level.empty() && (name == "none" || name == "rle" || name == "piz" || name == "pxr24" ||
                             name == "b44" || name == "b44a");
}

bool ValidTiff(const std::string& choice) {
    auto [name, level] = SplitLevel(choice);
    int v = 0;
    if (name == "zip")
        return level.empty() || ParseLevel(level, 1, 9, &v);
    return level.empty() && (name == "none" || name == "lzw" || name == "packbits");
}

} // namespace

void CheckCompression(const std::string& format, const std::string& choice) {
    if (choice.empty())
        return;
    int level = 0;
    bool valid = false;
    std::string takes;
    if (format == "png") {
        valid = ParseLevel(choice, 0, 9, &level);
        takes = "a zlib level from 0 (none, fastest) to 9 (smallest)";
    } else if (format == "openexr") {
        valid = ValidExr(choice);
        takes = "none, rle, zips, zip, piz, pxr24, b44, b44a, dwaa or dwab (zip:1-9, dwaa:LEVEL)";
    } else if (format == "tiff") {
        valid = ValidTiff(choice);
        takes = "none, lzw, zip (zip:1-9) or packbits";
    } else {
        throw UsageError("--compression \"" + choice + "\": " + format +
                         " files take no --compression (PNG, OpenEXR and TIFF do)");
    }
    if (!valid)
        throw UsageError("--compression \"" + choice + "\": " + format + " files take " + takes);
}

void ApplyCompression(OIIO::ImageSpec& spec, const std::string& format, const std::string& choice,
                      const std::string& inputCompression) {
    if (format == "png") {
        int level = kDefaultPngLevel;
        if (!choice.empty())
            ParseLevel(choice, 0, 9, &level);
        spec.attribute("png:compressionLevel", level);
        return;
    }
    std::string value = choice;
    if (value.empty() && !inputCompression.empty() &&
        (format == "openexr" ? ValidExr(inputCompression) : format == "tiff" && ValidTiff(inputCompression)))
        value = inputCompression;
    if (value.empty())
        value = format == "openexr" ? kDefaultExr : format == "tiff" ? kDefaultTiff : "";
    if (value.empty())
        return;
    auto [name, level] = SplitLevel(value);
    if (format == "tiff" && name == "zip") {
        spec.attribute("compression", "zip");
        spec.attribute("tiff:zipquality", level.empty() ? kDefaultTiffZipLevel : std::stoi(level));
        return;
    }
    spec.attribute("compression", value);
}

} // namespace cli
