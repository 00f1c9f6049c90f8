#pragma once
// Image files in and out through OpenImageIO, with the tool's file conventions: 8-bit files map to 'argb'
// unchanged, 16-bit files to 'ae16' by h = (v × 32768 + 32767) div 65535 and back by
// v = (h × 65535 + 16384) div 32768, float and half files to 'ae32' unchanged; colour is straight inside.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <OpenImageIO/imageio.h>

#include "cli/HostImage.h"

namespace cli {

// How the files' colour relates to their alpha: as the file says, or as the user declares.
enum class AlphaConvention { FromFile, Straight, Premultiplied };

struct SourceImage {
    HostImage pixels;        // at the file's depth, straight alpha
    OIIO::ImageSpec spec;    // the file's description and metadata
    OIIO::TypeDesc fileType; // UINT8, UINT16, HALF or FLOAT: the depth an output keeps
    std::string formatName;  // OpenImageIO's name of the format ("png", "openexr", ...)
    bool hasAlpha = false;
    bool grey = false;
    bool associated = false; // whether the file's colour was premultiplied (after --alpha)
};

// The host depth a file of this channel type maps to.
Depth DepthOfFileType(OIIO::TypeDesc type);
// "8-bit", "16-bit", "16-bit float (half)", "32-bit float".
std::string FileTypeText(OIIO::TypeDesc type);

// Throws a file error naming the file and the reason.
SourceImage ReadImageFile(const std::filesystem::path& path, AlphaConvention alpha);

// Refuses, before any work, an output that could not be written: a missing or unwritable folder, a
// format nobody writes, an existing file without `overwrite`.
void CheckOutputPath(const std::filesystem::path& path, bool overwrite);
// The same, and a format that OpenImageIO writes.
void CheckImageOutputPath(const std::filesystem::path& path, bool overwrite);

struct WriteRequest {
    std::optional<Depth> depth; // the output's depth; none keeps the input file's
    AlphaConvention alpha = AlphaConvention::FromFile;
    bool overwrite = false;
};

// Writes the rendered pixels with the source's metadata, atomically: into a temporary file in the same
// folder, renamed over `path` when complete. When `abandon` answers true just before the rename, the
// temporary file is removed and false is returned. `notes` receives what had to change (a depth the format
// cannot hold, alpha added or dropped). Throws a file error.
bool WriteImageFile(const std::filesystem::path& path, const HostImage& rendered, const SourceImage& source,
                    const WriteRequest& request, std::vector<std::string>* notes,
                    const std::function<bool()>& abandon);

// Writes `bytes` to `path` atomically in the same way (presets).
void WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes, bool overwrite);

} // namespace cli
