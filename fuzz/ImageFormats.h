#pragma once
// The file formats the image reader's fuzz target writes its input as, by the input's first byte; the seed
// generator writes its seeds with the same numbering.
#include <cstddef>
#include <iterator>

namespace fuzz {

inline constexpr const char* kImageExtensions[] = {"png", "exr", "tif", "jpg", "bmp",
                                                   "tga", "hdr", "ppm", "sgi", "dpx"};
inline constexpr std::size_t kImageFormatCount = std::size(kImageExtensions);

} // namespace fuzz
