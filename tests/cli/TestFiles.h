#pragma once
// Files the tests of the tool's file handling make and read back in their native layout: data windows,
// named channels of mixed types, several parts, and hand-made headers.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <OpenImageIO/imageio.h>

namespace clitest {

// One part of a file: its header and its pixels in the native layout (per-channel types, channel after
// channel per pixel).
struct Part {
    OIIO::ImageSpec spec;
    std::vector<std::uint8_t> pixels;

    std::size_t PixelBytes() const { return spec.pixel_bytes(true); }
    // The value of channel `c` at data-window pixel (x, y), converted to float.
    float Value(int x, int y, int c) const;
    void SetValue(int x, int y, int c, float v);
    int Channel(const std::string& name) const; // -1 when absent
    // The raw bytes of one channel over the whole data window.
    std::vector<std::uint8_t> ChannelBytes(int c) const;
};

// A part of `width` × `height` with channels `names` of types `types` (one type for all if a single one is
// given), pixels zeroed, data window at (x, y).
Part MakePart(int width, int height, const std::vector<std::string>& names,
              const std::vector<OIIO::TypeDesc>& types, int x = 0, int y = 0);

void WriteParts(const std::filesystem::path& path, const std::vector<Part>& parts);
std::vector<Part> ReadParts(const std::filesystem::path& path);

// A PNG made of its chunks: a header claiming `width` × `height` 8-bit RGB and `payload` bytes of data,
// whatever they hold (the tool must refuse it from the header alone).
void WritePngClaiming(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
                      std::size_t payload);

// Cuts a file to `fraction` of its size.
void Truncate(const std::filesystem::path& path, double fraction);

} // namespace clitest
