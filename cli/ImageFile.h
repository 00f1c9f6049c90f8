#pragma once
// Image files in and out through OpenImageIO, with the tool's file conventions: 8-bit files map to 'argb'
// unchanged, 16-bit files to 'ae16' by h = (v × 32768 + 32767) div 65535 and back by
// v = (h × 65535 + 16384) div 32768, float and half files to 'ae32' unchanged; colour is straight inside.
//
// A frame is decoded band by band straight into the rows of the host's input world and encoded band by
// band from the rows of its output world: the worlds are the only full-size copies of the picture. The
// channels the effect does not render travel beside them, in their own types, and the file's other parts
// are copied through when the output is written.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <OpenImageIO/imageio.h>

#include "cli/AtomicFile.h"
#include "cli/ChannelMap.h"
#include "cli/HostImage.h"
#include "cli/ImageRegion.h"

namespace cli {

// How the files' colour relates to their alpha: as the file says, or as the user declares.
enum class AlphaConvention { FromFile, Straight, Premultiplied };

struct ReadRequest {
    AlphaConvention alpha = AlphaConvention::FromFile;
    RegionChoice region = RegionChoice::Union;
};

struct SourceImage {
    std::filesystem::path path;
    std::string formatName;  // OpenImageIO's name of the format ("png", "openexr", ...)
    int part = 0;            // the part (subimage) that is rendered
    int parts = 1;           // how many the file has
    OIIO::ImageSpec spec;    // that part's description and metadata
    PixelRect region;        // what is rendered, in the file's pixel coordinates
    OIIO::TypeDesc fileType; // UINT8, UINT16, HALF or FLOAT: the depth an output keeps
    ChannelMap channels;
    bool hasAlpha = false;
    bool grey = false;
    bool associated = false; // whether the file's colour was premultiplied (after --alpha)

    // The channels copied through, over the region: per pixel, channel after channel in its own type.
    std::vector<std::uint8_t> passThrough;
    std::size_t passThroughPixelBytes = 0;

    std::unique_ptr<OIIO::ImageInput> input; // open between OpenImageFile and ReadImagePixels
};

// The host depth a file of this channel type maps to.
Depth DepthOfFileType(OIIO::TypeDesc type);
// "8-bit", "16-bit", "16-bit float (half)", "32-bit float".
std::string FileTypeText(OIIO::TypeDesc type);

// Opens `path` and checks its header before anything is decoded: a regular file, a picture within the
// host's size limit, no more pixels than its bytes can hold, something to render. Throws a file error naming
// the file and the reason.
SourceImage OpenImageFile(const std::filesystem::path& path, const ReadRequest& request);

// Decodes the rendered channels into `rows` (the region's size, at any depth, cleared beforehand: what lies
// outside the data window stays transparent) and the others into `source.passThrough`. Returns false when
// `abandon` answered true between two bands. Throws a file error, also for a file the decoder found
// damaged or cut short while still handing out rows. With `twoThreads` the pixels are converted on two
// threads (the same values).
bool ReadImagePixels(SourceImage& source, const HostRows& rows, const std::function<bool()>& abandon,
                     bool twoThreads = false);

// The same, and a format that OpenImageIO writes with a `--compression` it takes (empty: the default).
void CheckImageOutputPath(const std::filesystem::path& path, bool overwrite,
                          const std::string& compression = "");

struct WriteRequest {
    std::optional<Depth> depth; // the output's depth; none keeps the input file's
    AlphaConvention alpha = AlphaConvention::FromFile;
    bool overwrite = false;
    std::string compression; // --compression; empty: the input's (same format) or the format's default
    std::string commandLine; // recorded in the file's history
    std::string colorSpace;  // the space of the rendered pixels, recorded in the file
    bool colorSpaceLinear = false;
    bool twoThreads = false; // a band's conversion may run beside the encoding of the one before
};

// Writes the rendered pixels with the source's metadata, channels and parts, atomically: into a temporary
// file in the same folder, checked (every write, then the file read back), flushed to the disk and renamed
// over `path`. When `abandon` answers true (between bands, and just before the rename) the temporary file is
// removed and false is returned. `notes` receives what had to change (a depth the format cannot hold, alpha
// added or dropped, channels or parts the format cannot hold, an unusual colour encoding). Throws a file
// error, with the temporary file removed.
bool WriteImageFile(const std::filesystem::path& path, const HostRows& rendered, const SourceImage& source,
                    const WriteRequest& request, std::vector<std::string>* notes,
                    const std::function<bool()>& abandon);

} // namespace cli
