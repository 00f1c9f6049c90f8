#include "cli/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#include <unistd.h>

#include "cli/Interrupt.h"
#include "cli/ToolError.h"

namespace cli {
namespace {
std::atomic<unsigned> gTempCounter{0};

std::string Quoted(const std::filesystem::path& p) {
    return "\"" + p.string() + "\"";
}
} // namespace

AtomicFile::AtomicFile(std::filesystem::path destination, bool overwrite)
    : destination_(std::move(destination)), overwrite_(overwrite) {
    // Hidden, unique per process and write, and in the same folder so that the rename cannot cross a
    // file system.
    // (Appended piece by piece: GCC 12 at -O3 warns falsely about "." + string.)
    std::string name(1, '.');
    name += destination_.filename().string();
    name +=
        ".tovrin-" + std::to_string(::getpid()) + "-" + std::to_string(gTempCounter.fetch_add(1)) + ".tmp";
    temp_ = destination_.parent_path() / name;
    RegisterPendingFile(temp_.c_str());
}

AtomicFile::~AtomicFile() {
    if (!published_) {
        std::error_code ignored;
        std::filesystem::remove(temp_, ignored);
    }
    ClearPendingFile();
}

void AtomicFile::Publish() {
    if (!overwrite_) {
        // link() fails when the destination exists, so no file that appeared meanwhile is replaced.
        if (::link(temp_.c_str(), destination_.c_str()) == 0) {
            ::unlink(temp_.c_str());
            ClearPendingFile();
            published_ = true;
            return;
        }
        int err = errno;
        if (err == EEXIST)
            throw FileError(Quoted(destination_) + " exists; use -y to replace it");
        // File systems without hard links: check, then rename.
        if (std::filesystem::exists(destination_))
            throw FileError(Quoted(destination_) + " exists; use -y to replace it");
    }
    std::error_code ec;
    std::filesystem::rename(temp_, destination_, ec);
    if (ec)
        throw FileError("cannot write " + Quoted(destination_) + ": " + ec.message());
    ClearPendingFile();
    published_ = true;
}

} // namespace cli
