// The tool's image reader over arbitrary bytes, written to a file of one of several formats. For any bytes:
//   - the file is refused with a file error, or its header describes a picture within the host's limit,
//     and decoding it into rows of the region's size either succeeds or is refused with a file error;
//   - nothing else escapes, and nothing is read or written out of bounds (the sanitizers watch our side).
// Memory and time stay bounded: a picture the reader accepts is decoded only when its rows fit in 256 MB (the
// tool itself checks a frame's memory against the machine's before it makes its world).
//
// Input: the format (ImageFormats.h), a byte of read settings (region, alpha, depth), then the file.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "cli/FileChecks.h"
#include "cli/HostImage.h"
#include "cli/ImageFile.h"
#include "cli/ToolError.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/ImageFormats.h"

namespace {

constexpr std::size_t kMaxRowBytes = std::size_t(256) << 20;

void Read(const std::string& path, const cli::ReadRequest& request, int depthChoice) {
    cli::SourceImage source = cli::OpenImageFile(path, request);
    const cli::PixelRect& region = source.region;
    FUZZ_CHECK(region.width > 0 && region.height > 0 && region.width <= cli::kMaxWorldSide &&
                   region.height <= cli::kMaxWorldSide,
               "a region of " + cli::DescribeRect(region) + " was accepted");
    const cli::Depth depth = depthChoice == 0   ? cli::DepthOfFileType(source.fileType)
                             : depthChoice == 1 ? cli::Depth::k8
                             : depthChoice == 2 ? cli::Depth::k16
                                                : cli::Depth::k32;
    const std::size_t rowBytes = std::size_t(region.width) * cli::PixelBytes(depth);
    if (rowBytes * std::size_t(region.height) > kMaxRowBytes)
        return;
    std::vector<std::uint8_t> pixels(rowBytes * std::size_t(region.height));
    const cli::HostRows rows{pixels.data(), std::ptrdiff_t(rowBytes), int(region.width), int(region.height),
                             depth};
    FUZZ_CHECK(cli::ReadImagePixels(source, rows, nullptr), "a read without a cancel was abandoned");
    FUZZ_CHECK(source.passThrough.size() ==
                   std::size_t(region.width) * std::size_t(region.height) * source.passThroughPixelBytes,
               "the copied-through channels do not cover the region");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Bytes in(data, size);
    const char* extension = fuzz::kImageExtensions[in.Byte() % fuzz::kImageFormatCount];
    const std::uint8_t settings = in.Byte();
    const std::string bytes = in.Rest();

    const std::string path = fuzz::ScratchFolder() + "/input." + extension;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        FUZZ_CHECK(out.good(), "cannot write " + path);
    }
    cli::ReadRequest request;
    request.region = static_cast<cli::RegionChoice>(settings % 3);
    request.alpha = static_cast<cli::AlphaConvention>(settings / 3 % 3);
    try {
        Read(path, request, settings / 9 % 4);
    } catch (const cli::ToolError& e) {
        FUZZ_CHECK(e.ExitCode() == cli::kExitFile, e.what());
    }
    return 0;
}
