#include "cli/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/FileChecks.h"
#include "cli/ToolError.h"

namespace cli {
namespace {

std::atomic<unsigned> gTempCounter{0};

std::string WriteError(const std::filesystem::path& path, int err) {
    return "cannot write " + Quoted(path) + ": " + std::strerror(err);
}

std::filesystem::path FolderOf(const std::filesystem::path& path) {
    return path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
}

// Makes the rename itself durable; a file system that cannot sync a folder is left as it is.
void SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

AtomicFile::AtomicFile(std::filesystem::path destination, bool overwrite)
    : destination_(std::move(destination)), overwrite_(overwrite) {
    // Hidden, unique per process and write (O_EXCL settles a collision with anyone else's), and in the same
    // folder so that the rename cannot cross a file system.
    const std::uint64_t seed = (std::uint64_t(::getpid()) << 40) ^
                               std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; fd_ < 0; ++attempt) {
        const std::uint64_t unique = seed + (std::uint64_t(gTempCounter.fetch_add(1)) << 20);
        char name[32];
        std::snprintf(name, sizeof name, ".tovrin-%016llx", static_cast<unsigned long long>(unique));
        temp_ = FolderOf(destination_) / name;
        fd_ = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && (errno != EEXIST || attempt > 100))
            throw FileError(WriteError(destination_, errno));
    }
    // From here the temporary file exists: the destructor (or Discard) removes it unless it is published.
}

AtomicFile::~AtomicFile() {
    Discard();
}

void AtomicFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!done_) {
        ::unlink(temp_.c_str());
        done_ = true;
    }
}

void AtomicFile::Sync() {
    if (fd_ >= 0 && ::fsync(fd_) != 0)
        throw FileError(WriteError(destination_, errno));
}

void AtomicFile::Publish() {
    Sync();
    // A file replaced keeps its mode (a private output stays private) and, where the process may, its
    // owner.
    struct stat old {};
    if (::lstat(destination_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        mode_t mode = old.st_mode & 07777;
        struct stat now {};
        if (::fstat(fd_, &now) == 0 && (now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
            ::fchown(fd_, old.st_uid, old.st_gid) != 0)
            mode &= ~mode_t(S_ISUID | S_ISGID);
        ::fchmod(fd_, mode);
    }
    ::close(fd_);
    fd_ = -1;

    if (!overwrite_) {
        // link() fails when the destination exists, so no file that appeared meanwhile is replaced.
        if (::link(temp_.c_str(), destination_.c_str()) == 0) {
            ::unlink(temp_.c_str());
            done_ = true;
            SyncFolder(FolderOf(destination_));
            return;
        }
        const int err = errno;
        if (err == EEXIST)
            throw FileError(Quoted(destination_) + " exists; use -y to replace it");
        // File systems without hard links: check, then rename.
        std::error_code ec;
        if (std::filesystem::exists(destination_, ec))
            throw FileError(Quoted(destination_) + " exists; use -y to replace it");
    }
    if (::rename(temp_.c_str(), destination_.c_str()) != 0)
        throw FileError(WriteError(destination_, errno));
    done_ = true; // published: nothing left to remove
    SyncFolder(FolderOf(destination_));
}

} // namespace cli
