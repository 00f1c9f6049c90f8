#include <windows.h>

#include <new>

#include "platform/Files.h"

namespace platform {

namespace {

FileResult Failure(FileProblem problem, DWORD error = 0) {
    return FileResult{problem, static_cast<int>(error)};
}

FileResult FromLastError(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return Failure(FileProblem::Missing, error);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return Failure(FileProblem::NoFolder, error);
    case ERROR_ACCESS_DENIED:
        return Failure(FileProblem::Denied, error);
    case ERROR_WRITE_PROTECT:
        return Failure(FileProblem::ReadOnlyDisk, error);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return Failure(FileProblem::DiskFull, error);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return Failure(FileProblem::InUse, error);
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
        return Failure(FileProblem::NameTooLong, error);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return Failure(FileProblem::OutOfMemory, error);
    case ERROR_DIRECTORY:
        return Failure(FileProblem::NotAFile, error);
    default:
        return Failure(FileProblem::Other, error);
    }
}

// What the attributes of `path` say: nothing there (Missing, NoFolder), a folder or device (NotAFile), or
// possibly a file (None), which only its handle's type can confirm.
FileResult AttributesAt(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        // Wine reports a POSIX pipe, socket or device this way.
        if (error == ERROR_INVALID_PARAMETER)
            return Failure(FileProblem::NotAFile, error);
        return FromLastError(error);
    }
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return Failure(FileProblem::NotAFile);
    return {};
}

// Opens what the attributes allow, and keeps it only if it is a disk file. Opening neither reads nor waits;
// the type check comes before the first read.
HANDLE OpenDiskFile(const char* path, DWORD access, FileResult* result) {
    *result = AttributesAt(path);
    if (!result->Ok())
        return INVALID_HANDLE_VALUE;
    HANDLE h = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *result = FromLastError(GetLastError());
        return h;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        *result = Failure(FileProblem::NotAFile);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

FileResult KindAt(const char* path) {
    FileResult result;
    HANDLE h = OpenDiskFile(path, 0, &result);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return result;
}

bool WriteAll(HANDLE h, std::string_view bytes, DWORD* error) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t left = bytes.size() - done;
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(h, bytes.data() + done, chunk, &written, nullptr)) {
            *error = GetLastError();
            return false;
        }
        if (written == 0) {
            *error = ERROR_DISK_FULL;
            return false;
        }
        done += written;
    }
    return true;
}

// Another program that has the old file open (a virus scanner, a host reading it) blocks the replacement
// for a moment; a few tries over about a second ride that out before the store reports it.
bool MoveOver(const char* from, const char* to, DWORD* error) {
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        *error = GetLastError();
        const bool busy = *error == ERROR_SHARING_VIOLATION || *error == ERROR_LOCK_VIOLATION ||
                          *error == ERROR_ACCESS_DENIED;
        if (!busy || attempt == 20)
            return false;
        Sleep(50);
    }
}

} // namespace

FileResult ProbeRegularFile(const char* path) {
    if (!path || !*path)
        return Failure(FileProblem::Missing);
    return KindAt(path);
}

FileResult ReadRegularFile(const char* path, std::string& bytes) {
    bytes.clear();
    if (!path || !*path)
        return Failure(FileProblem::Missing);
    FileResult result;
    HANDLE h = OpenDiskFile(path, GENERIC_READ, &result);
    if (h == INVALID_HANDLE_VALUE)
        return result;
    try {
        char chunk[65536];
        for (;;) {
            DWORD n = 0;
            if (!ReadFile(h, chunk, sizeof chunk, &n, nullptr)) {
                result = FromLastError(GetLastError());
                break;
            }
            if (n == 0)
                break;
            bytes.append(chunk, n);
        }
    } catch (const std::bad_alloc&) {
        result = Failure(FileProblem::OutOfMemory, ERROR_NOT_ENOUGH_MEMORY);
    }
    CloseHandle(h);
    if (!result.Ok())
        bytes.clear();
    return result;
}

FileResult ReplaceWholeFile(const char* path, std::string_view bytes) {
    if (!path || !*path)
        return Failure(FileProblem::NoFolder);
    const FileResult kind = KindAt(path);
    if (!kind.Ok() && kind.problem != FileProblem::Missing)
        return kind;
    // The rename refuses a read-only file as well, but only after the tries meant for a busy one.
    if (kind.Ok() && (GetFileAttributesA(path) & FILE_ATTRIBUTE_READONLY))
        return Failure(FileProblem::Denied, ERROR_ACCESS_DENIED);

    // GetTempFileNameA makes a short unique name ("tov" and four hex digits, ".tmp") in the same folder,
    // so that the rename stays on one volume, and creates the file.
    char folder[MAX_PATH];
    const char* end = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/')
            end = p + 1;
    const std::size_t folderLength = static_cast<std::size_t>(end - path);
    if (folderLength + 1 > sizeof folder)
        return Failure(FileProblem::NameTooLong, ERROR_FILENAME_EXCED_RANGE);
    if (folderLength == 0) {
        folder[0] = '.';
        folder[1] = '\0';
    } else {
        CopyMemory(folder, path, folderLength);
        folder[folderLength] = '\0';
    }
    char temporary[MAX_PATH];
    if (GetTempFileNameA(folder, "tov", 0, temporary) == 0)
        return FromLastError(GetLastError());

    HANDLE h =
        CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        DeleteFileA(temporary);
        return FromLastError(error);
    }
    DWORD error = 0;
    bool written = WriteAll(h, bytes, &error);
    if (written && !FlushFileBuffers(h)) {
        error = GetLastError();
        written = false;
    }
    if (!CloseHandle(h) && written) {
        error = GetLastError();
        written = false;
    }
    if (written && !MoveOver(temporary, path, &error))
        written = false;
    if (!written) {
        DeleteFileA(temporary);
        // A file that exists but cannot be replaced is denied, not missing.
        return error == ERROR_FILE_NOT_FOUND ? Failure(FileProblem::Other, error) : FromLastError(error);
    }
    return {};
}

FileResult RemoveFile(const char* path) {
    if (!path || !*path)
        return {};
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return {};
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return Failure(FileProblem::NotAFile, ERROR_DIRECTORY);
    }
    if (!DeleteFileA(path)) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? FileResult{} : FromLastError(error);
    }
    return {};
}

} // namespace platform
