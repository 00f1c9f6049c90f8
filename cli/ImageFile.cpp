#include "cli/ImageFile.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "cli/AtomicFile.h"
#include "cli/Compression.h"
#include "cli/FileChecks.h"
#include "cli/ToolError.h"

namespace cli {

using OIIO::TypeDesc;

Depth DepthOfFileType(TypeDesc type) {
    switch (type.basetype) {
    case TypeDesc::UINT8:
    case TypeDesc::INT8:
        return Depth::k8;
    case TypeDesc::UINT16:
    case TypeDesc::INT16:
        return Depth::k16;
    default:
        return Depth::k32;
    }
}

std::string FileTypeText(TypeDesc type) {
    if (type == TypeDesc::UINT8)
        return "8-bit";
    if (type == TypeDesc::UINT16)
        return "16-bit";
    if (type == TypeDesc::HALF)
        return "16-bit float (half)";
    return "32-bit float";
}

void CheckOutputPath(const std::filesystem::path& path, bool overwrite) {
    std::error_code ec;
    std::filesystem::path folder =
        path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    if (!std::filesystem::is_directory(folder, ec))
        throw FileError("cannot write " + Quoted(path) + ": the folder " + Quoted(folder) +
                        " does not exist");
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw FileError("cannot write " + Quoted(path) + ": the folder " + Quoted(folder) +
                        " is not writable");
    if (std::filesystem::is_directory(path, ec))
        throw FileError("cannot write " + Quoted(path) + ": it is a folder");
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        // The rename would replace a device, a FIFO or a socket by a file.
        if (!S_ISREG(st.st_mode))
            throw FileError("cannot write " + Quoted(path) + ": it exists and is not a regular file");
        if (!overwrite)
            throw FileError(Quoted(path) + " exists; use -y to replace it");
    } else if (errno == ELOOP) {
        throw FileError("cannot write " + Quoted(path) + ": a loop of symbolic links");
    }
}

void CheckImageOutputPath(const std::filesystem::path& path, bool overwrite, const std::string& compression) {
    CheckOutputPath(path, overwrite);
    auto out = OIIO::ImageOutput::create(path.string());
    if (!out)
        throw FileError("cannot write " + Quoted(path) + ": " + OneLine(OIIO::geterror()));
    CheckCompression(out->format_name(), compression);
}

void WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes, bool overwrite) {
    CheckOutputPath(path, overwrite);
    AtomicFile file(path, overwrite);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(file.Descriptor(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw FileError("cannot write " + Quoted(path) + ": " + std::strerror(n < 0 ? errno : EIO));
        done += std::size_t(n);
    }
    file.Publish();
}

} // namespace cli
