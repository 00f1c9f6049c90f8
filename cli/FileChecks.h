#pragma once
// What is checked about a file before anything is decoded from it: that it is a regular file (a FIFO or a
// device would block or never end), that its picture fits the host, and that its header does not promise
// far more pixels than its bytes can hold (a decompression bomb would otherwise take gigabytes before the
// decoder notices).
#include <cstdint>
#include <filesystem>
#include <string>

#include "cli/OneLine.h"

#include <OpenImageIO/imageio.h>

#include "sdk/AE_Effect.h"

namespace cli {

// The largest world the host makes, per side (its own limit, from the protocol's declarations): the one size
// limit of the tool.
constexpr int kMaxWorldSide = PF_MAX_WORLD_WIDTH;
static_assert(PF_MAX_WORLD_WIDTH == PF_MAX_WORLD_HEIGHT);

// Throws a file error naming why `path` cannot be read: missing, a loop of symbolic links, a folder, not a
// regular file (FIFO, device, socket), or not readable. Returns the file's size in bytes.
std::uintmax_t CheckRegularInput(const std::filesystem::path& path);

// Throws a file error when a picture `width` × `height` does not fit the host's limit; `what` names it
// ("the image", "its data window", ...).
void CheckWorldSize(const std::filesystem::path& path, std::int64_t width, std::int64_t height,
                    const std::string& what);

// Throws a file error when the header `spec` of a file of `fileBytes` bytes in `format` claims more pixel
// data than its compression could expand those bytes into. Formats whose compression has no known bound
// are let through.
void CheckDecodedSizePlausible(const std::filesystem::path& path, const std::string& format,
                               const OIIO::ImageSpec& spec, std::uintmax_t fileBytes);

// Throws a file error when `bytes` of memory for one frame exceed what the machine has available.
void CheckMemoryAvailable(const std::filesystem::path& path, std::uintmax_t bytes);

} // namespace cli
