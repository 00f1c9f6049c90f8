#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Files.h"

namespace platform {

namespace {

FileResult Failure(FileProblem problem, int error = 0) {
    return FileResult{problem, error};
}

FileResult FromErrno(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return Failure(FileProblem::Denied, error);
    case EROFS:
        return Failure(FileProblem::ReadOnlyDisk, error);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return Failure(FileProblem::DiskFull, error);
    case EISDIR:
    case ENXIO:
    case ENODEV:
        return Failure(FileProblem::NotAFile, error);
    case ENOENT:
    case ENOTDIR:
        return Failure(FileProblem::NoFolder, error);
    case ENAMETOOLONG:
        return Failure(FileProblem::NameTooLong, error);
    case ENOMEM:
        return Failure(FileProblem::OutOfMemory, error);
    case EBUSY:
    case ETXTBSY:
        return Failure(FileProblem::InUse, error);
    default:
        return Failure(FileProblem::Other, error);
    }
}

// The folder part of a path: everything before its last '/', "/" for a file at the root, "." for none.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool FolderExists(const std::string& folder) {
    struct stat st {};
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A name for the temporary file: short and of fixed length, so that it fits wherever the real name fits,
// and hidden, so that a file manager does not show it for the moment it exists.
std::string TemporaryName(const std::string& folder, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    std::uint64_t mix =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    mix ^= static_cast<std::uint64_t>(::getpid()) << 32;
    mix ^= (static_cast<std::uint64_t>(++counter) << 16) ^ attempt;
    mix *= 0x9E3779B97F4A7C15ull;
    static const char kHex[] = "0123456789abcdef";
    std::string name = folder == "/" ? "/" : folder + "/";
    name += ".tovrin-";
    for (int i = 0; i < 8; ++i)
        name += kHex[(mix >> (60 - 4 * i)) & 0xF];
    return name;
}

bool WriteAll(int fd, std::string_view bytes, int* error) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Makes the rename itself durable; a folder that cannot be synced (some file systems refuse) changes
// nothing about the result.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    (void)::fsync(fd);
    ::close(fd);
}

FileResult ReplaceResolved(const std::string& target, std::string_view bytes) {
    struct stat st {};
    bool exists = false;
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return Failure(FileProblem::NotAFile);
        // A rename would replace a file its owner made read-only; writing it in place would be refused.
        if (::access(target.c_str(), W_OK) != 0)
            return FromErrno(errno);
        exists = true;
    } else if (errno != ENOENT) {
        return FromErrno(errno);
    }
    const std::string folder = FolderOf(target);
    if (!FolderExists(folder))
        return Failure(FileProblem::NoFolder, ENOENT);

    std::string temporary;
    int fd = -1;
    for (unsigned attempt = 0; attempt < 64 && fd < 0; ++attempt) {
        temporary = TemporaryName(folder, attempt);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return FromErrno(errno);
    }
    if (fd < 0)
        return Failure(FileProblem::Other, EEXIST);

    if (exists) {
        // The replacement keeps the old file's owner (where this account may give it) and permissions.
        (void)::fchown(fd, st.st_uid, st.st_gid);
        (void)::fchmod(fd, st.st_mode & 07777);
    }
    int error = 0;
    bool written = WriteAll(fd, bytes, &error);
    if (written && ::fsync(fd) != 0) {
        error = errno;
        written = false;
    }
    if (::close(fd) != 0 && written) {
        error = errno;
        written = false;
    }
    if (written && ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
        written = false;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        return FromErrno(error);
    }
    SyncFolder(folder);
    return {};
}

} // namespace

FileResult ProbeRegularFile(const char* path) {
    if (!path || !*path)
        return Failure(FileProblem::Missing);
    struct stat st {};
    if (::stat(path, &st) != 0) {
        const int error = errno;
        if (error == ENOENT)
            return FolderExists(FolderOf(path)) ? Failure(FileProblem::Missing, error)
                                                : Failure(FileProblem::NoFolder, error);
        return FromErrno(error);
    }
    return S_ISREG(st.st_mode) ? FileResult{} : Failure(FileProblem::NotAFile);
}

FileResult ReadRegularFile(const char* path, std::string& bytes) {
    bytes.clear();
    if (!path || !*path)
        return Failure(FileProblem::Missing);
    // Without O_NONBLOCK, opening a pipe waits for a writer; the type is checked before anything is read.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            return FolderExists(FolderOf(path)) ? Failure(FileProblem::Missing, error)
                                                : Failure(FileProblem::NoFolder, error);
        return FromErrno(error);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Failure(FileProblem::NotAFile);
    }
    FileResult result;
    try {
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::read(fd, chunk, sizeof chunk);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                result = FromErrno(errno);
                break;
            }
            if (n == 0)
                break;
            bytes.append(chunk, static_cast<std::size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        result = Failure(FileProblem::OutOfMemory, ENOMEM);
    }
    ::close(fd);
    if (!result.Ok())
        bytes.clear();
    return result;
}

FileResult ReplaceWholeFile(const char* path, std::string_view bytes) {
    if (!path || !*path)
        return Failure(FileProblem::NoFolder);
    try {
        std::string target = path;
        struct stat link {};
        if (::lstat(path, &link) == 0 && S_ISLNK(link.st_mode)) {
            // Replace what the link points to, not the link: it may be there on purpose.
            if (char* real = ::realpath(path, nullptr)) {
                target = real;
                std::free(real);
            }
        }
        return ReplaceResolved(target, bytes);
    } catch (const std::bad_alloc&) {
        return Failure(FileProblem::OutOfMemory, ENOMEM);
    }
}

FileResult RemoveFile(const char* path) {
    if (!path || !*path)
        return {};
    struct stat st {};
    if (::lstat(path, &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileResult{} : FromErrno(errno);
    if (S_ISDIR(st.st_mode))
        return Failure(FileProblem::NotAFile, EISDIR);
    if (::unlink(path) != 0)
        return errno == ENOENT ? FileResult{} : FromErrno(errno);
    return {};
}

} // namespace platform
