#pragma once
// How output files are compressed: `--compression` per format (PNG a zlib level 0-9; OpenEXR none, rle,
// zips, zip, piz, pxr24, b44, b44a, dwaa, dwab, zip and dwa with an optional ":LEVEL"; TIFF none, lzw, zip,
// packbits), and defaults chosen for intermediates on a render farm: fast to write, still small (PNG level
// 1, OpenEXR piz, TIFF zip at level 1).
#include <string>

#include <OpenImageIO/imageio.h>

namespace cli {

// Throws a usage error when `choice` is not a compression of `format` (OpenImageIO's format name).
void CheckCompression(const std::string& format, const std::string& choice);

// Sets `spec`'s compression for a file in `format`: `choice` when given; else the input's own when the
// input is of the same format and says which (`inputCompression`); else the format's default.
void ApplyCompression(OIIO::ImageSpec& spec, const std::string& format, const std::string& choice,
                      const std::string& inputCompression);

} // namespace cli
