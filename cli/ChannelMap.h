#pragma once
// Which of a file's channels the effect renders, found by name, never by position: R, G, B (and A), or the
// first layer that has them ("diffuse.R", "diffuse.G", ...), or a grey Y. Every other channel (depth,
// normals, further layers) is copied through unrendered.
#include <optional>
#include <string>
#include <vector>

#include <OpenImageIO/imageio.h>

namespace cli {

struct ChannelMap {
    int red = -1, green = -1, blue = -1; // equal for a grey file
    int alpha = -1;                      // -1: none
    bool grey = false;
    std::string layer;            // "diffuse." for a layer's channels, "" for plain R, G, B
    std::vector<int> passThrough; // the other channels, in the file's order
};

// The channels of `spec` to render, or none when it has nothing the effect can render.
std::optional<ChannelMap> MapChannels(const OIIO::ImageSpec& spec);

// Where each channel starts in a pixel of `spec`'s native layout (each channel in its own type), and at the
// end the pixel's size.
std::vector<std::size_t> ChannelOffsets(const OIIO::ImageSpec& spec);

// "Z, N.x and N.y".
std::string ListChannelNames(const OIIO::ImageSpec& spec, const std::vector<int>& channels);

} // namespace cli
