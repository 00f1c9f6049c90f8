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

#include "cli/Interrupt.h"
#include "cli/OneLine.h"
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

// A hidden name in `folder`, unique per process and attempt.
std::filesystem::path HiddenName(const std::filesystem::path& folder) {
    static const std::uint64_t seed =
        (std::uint64_t(::getpid()) << 40) ^
        std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::uint64_t unique = seed + (std::uint64_t(gTempCounter.fetch_add(1)) << 20);
    char name[32];
    std::snprintf(name, sizeof name, ".tovrin-%016llx", static_cast<unsigned long long>(unique));
    return folder / name;
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
    // In the same folder, so that putting it in place cannot cross a file system.
    const std::filesystem::path folder = FolderOf(destination_);
    fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
        readPath_ = "/proc/self/fd/" + std::to_string(fd_);
        return;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        throw FileError(WriteError(destination_, errno));
    // A file system without nameless files: a hidden one (O_EXCL settles a collision with anyone else's).
    for (int attempt = 0; fd_ < 0; ++attempt) {
        temp_ = HiddenName(folder);
        fd_ = ::open(temp_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && (errno != EEXIST || attempt > 100))
            throw FileError(WriteError(destination_, errno));
    }
    // From here the hidden file exists: the destructor (or Discard) removes it unless it is published.
    named_ = true;
    RegisterPendingFile(temp_.c_str()); // a second Ctrl-C removes it before the process ends
    readPath_ = temp_;
}

AtomicFile::~AtomicFile() {
    Discard();
}

void AtomicFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (named_ && !done_)
        ::unlink(temp_.c_str());
    done_ = true;
    ClearPendingFile();
}

void AtomicFile::Sync() {
    if (fd_ >= 0 && ::fsync(fd_) != 0)
        throw FileError(WriteError(destination_, errno));
}

void AtomicFile::NameTemporary() {
    for (int attempt = 0;; ++attempt) {
        temp_ = HiddenName(FolderOf(destination_));
        if (::linkat(AT_FDCWD, readPath_.c_str(), AT_FDCWD, temp_.c_str(), AT_SYMLINK_FOLLOW) == 0)
            break;
        if (errno != EEXIST || attempt > 100)
            throw FileError(WriteError(destination_, errno));
    }
    named_ = true;
    RegisterPendingFile(temp_.c_str()); // a second Ctrl-C removes it before the process ends
    readPath_ = temp_;
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

    if (!overwrite_) {
        // Linking fails when the destination exists, so no file that appeared meanwhile is replaced.
        const bool linked = ::linkat(AT_FDCWD, readPath_.c_str(), AT_FDCWD, destination_.c_str(),
                                     named_ ? 0 : AT_SYMLINK_FOLLOW) == 0;
        const int err = errno;
        if (linked) {
            Discard(); // the hidden name, if any, goes; the destination stays
            SyncFolder(FolderOf(destination_));
            return;
        }
        if (err == EEXIST)
            throw FileError(Quoted(destination_) + " exists; use -y to replace it");
        // File systems without hard links: check, then rename.
        std::error_code ec;
        if (std::filesystem::exists(destination_, ec))
            throw FileError(Quoted(destination_) + " exists; use -y to replace it");
    }
    if (!named_)
        NameTemporary(); // a nameless file cannot be renamed over another
    ::close(fd_);
    fd_ = -1;
    if (::rename(temp_.c_str(), destination_.c_str()) != 0)
        throw FileError(WriteError(destination_, errno));
    done_ = true; // published: nothing left to remove
    ClearPendingFile();
    SyncFolder(FolderOf(destination_));
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
