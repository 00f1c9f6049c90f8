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

void CheckImageOutputPath(const std::filesystem::path& path, bool overwrite, const std::string& compression) {
    CheckOutputPath(path, overwrite);
    auto out = OIIO::ImageOutput::create(path.string());
    if (!out)
        throw FileError("cannot write " + Quoted(path) + ": " + OneLine(OIIO::geterror()));
    CheckCompression(out->format_name(), compression);
}

} // namespace cli
