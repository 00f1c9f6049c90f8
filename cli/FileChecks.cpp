#include "cli/FileChecks.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include "cli/ToolError.h"

namespace cli {
namespace {

std::string ReadError(const std::filesystem::path& path, const std::string& why) {
    return "cannot read " + Quoted(path) + ": " + why;
}

std::string Gigabytes(std::uintmax_t bytes) {
    std::ostringstream s;
    s.precision(bytes < (std::uintmax_t(10) << 30) ? 2 : 3);
    s << double(bytes) / double(1u << 30) << " GB";
    return s.str();
}

// How many times its compressed size a file's pixel data can be at most, by format and compression; 0 when
// unbounded or unknown. Each bound has a margin: a legitimate file must never be refused.
double MaxExpansion(const std::string& format, const std::string& compression) {
    // Deflate's longest match (258 bytes) in one bit or so: at most 1032 to 1.
    constexpr double kDeflate = 1100;
    if (format == "png")
        return kDeflate;
    if (format == "openexr") {
        if (compression == "none")
            return 1.05;
        if (compression == "rle")
            return 130; // a run of 128 bytes in two
        if (compression.rfind("zip", 0) == 0)
            return kDeflate;
        if (compression == "pxr24")
            return kDeflate * 4 / 3; // 32-bit floats cut to 24 bits, then deflated
        if (compression == "b44" || compression == "b44a")
            return 12; // 32 bytes of a 4 × 4 block in no fewer than 3
        return 0;      // piz, dwaa, dwab: no simple bound
    }
    if (format == "tiff") {
        if (compression == "none" || compression.empty())
            return 1.05;
        if (compression == "packbits")
            return 65;
        if (compression == "lzw")
            return 1400; // codes of at most 12 bits for strings growing by one byte a code
        if (compression == "zip" || compression == "deflate" || compression == "adobe_deflate")
            return kDeflate;
        return 0;
    }
    if (format == "jpeg")
        return 2100; // a bit or more for every 8 × 8 block of every component
    if (format == "pnm" || format == "dpx")
        return 1.05;
    if (format == "bmp")
        return 400; // runs of 255 palette indices in two bytes, each index three bytes of colour
    if (format == "targa" || format == "sgi")
        return 260; // runs of at most 128 pixels in two or more bytes, a palette index three bytes
    if (format == "hdr")
        return 500; // runs of 127 in two bytes, and a byte becomes a float
    return 0;
}

} // namespace

std::uintmax_t CheckRegularInput(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        switch (err) {
        case ENOENT:
        case ENOTDIR:
            throw FileError(ReadError(path, "no such file"));
        case ELOOP:
            throw FileError(ReadError(path, "a loop of symbolic links"));
        case EACCES:
            throw FileError(ReadError(path, "permission denied"));
        default:
            throw FileError(ReadError(path, std::strerror(err)));
        }
    }
    if (S_ISDIR(st.st_mode))
        throw FileError(ReadError(path, "it is a folder"));
    if (!S_ISREG(st.st_mode)) {
        const char* kind = S_ISFIFO(st.st_mode)                         ? "a FIFO"
                           : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                           : S_ISSOCK(st.st_mode)                       ? "a socket"
                                                                        : "not a regular file";
        throw FileError(ReadError(path, std::string(kind) + ", not a regular file"));
    }
    if (::access(path.c_str(), R_OK) != 0)
        throw FileError(ReadError(path, "permission denied"));
    return std::uintmax_t(st.st_size);
}

void CheckWorldSize(const std::filesystem::path& path, std::int64_t width, std::int64_t height,
                    const std::string& what) {
    if (width > kMaxWorldSide || height > kMaxWorldSide)
        throw FileError(ReadError(path, what + " is " + std::to_string(width) + " × " +
                                            std::to_string(height) + " pixels, beyond the host's limit of " +
                                            std::to_string(kMaxWorldSide) + " pixels per side"));
}

void CheckDecodedSizePlausible(const std::filesystem::path& path, const std::string& format,
                               const OIIO::ImageSpec& spec, std::uintmax_t fileBytes) {
    std::string compression = spec.get_string_attribute("compression");
    for (char& c : compression)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (const std::size_t colon = compression.find(':'); colon != std::string::npos)
        compression.resize(colon);
    const double ratio = MaxExpansion(format, compression);
    if (ratio <= 0)
        return;
    const double decoded = double(spec.width) * double(spec.height) * double(std::max(spec.depth, 1)) *
                           double(spec.pixel_bytes(true));
    if (decoded > double(fileBytes) * ratio + 65536.0)
        throw FileError(ReadError(
            path, "its header claims " + std::to_string(spec.width) + " × " + std::to_string(spec.height) +
                      " pixels (" + Gigabytes(std::uintmax_t(decoded)) + "), far more than its " +
                      std::to_string(fileBytes) + " bytes can hold; the file is damaged or hostile"));
}

void CheckMemoryAvailable(const std::filesystem::path& path, std::uintmax_t bytes) {
    std::ifstream meminfo("/proc/meminfo");
    std::uintmax_t availableKb = 0, swapKb = 0;
    bool found = false;
    for (std::string key; meminfo >> key;) {
        std::uintmax_t value = 0;
        meminfo >> value;
        meminfo.ignore(64, '\n');
        if (key == "MemAvailable:")
            availableKb = value, found = true;
        else if (key == "SwapFree:")
            swapKb = value;
    }
    if (!found)
        return;
    const std::uintmax_t available = (availableKb + swapKb) * 1024;
    if (bytes > available)
        throw FileError(ReadError(path, "its frame needs about " + Gigabytes(bytes) + " of memory; " +
                                            Gigabytes(available) + " are available"));
}

} // namespace cli
