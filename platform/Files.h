#pragma once
// Whole-file reads and writes of small settings files: a read that never waits on something that is not a
// regular file (a pipe with no writer, a device), and a replacement that readers see whole or not at all.
// Win32 on Windows, POSIX elsewhere.
#include <string>
#include <string_view>

namespace platform {

// What stopped a file operation, in terms a message to the user can name.
enum class FileProblem {
    None,
    Missing,      // the file does not exist (a read treats it as empty, a removal as done)
    NoFolder,     // the folder it should be in does not exist
    NotAFile,     // a folder, a pipe or a device is where the file should be
    Denied,       // no permission to read or write it, or to write into its folder
    ReadOnlyDisk, // the disk or the file system is read-only
    DiskFull,     // no space (or no quota) left
    InUse,        // another program holds it locked
    NameTooLong,
    NotEditable, // text that a rewrite would lose (a UTF-16 file)
    OutOfMemory,
    Other, // see the system's error number
};

struct FileResult {
    FileProblem problem = FileProblem::None;
    int systemError = 0; // errno or GetLastError when the system reported the problem, else 0

    bool Ok() const { return problem == FileProblem::None; }
};

// What lies at `path`, found without opening it in a way that could wait: None for a regular file,
// Missing or NoFolder for nothing, NotAFile for a folder, pipe, socket or device.
FileResult ProbeRegularFile(const char* path);

// Reads the whole of a regular file into `bytes` (emptied first). Missing when there is no file in an
// existing folder; NotAFile for a folder, pipe, socket or device, found without waiting on it.
FileResult ReadRegularFile(const char* path, std::string& bytes);

// Replaces the file's contents by `bytes`: writes them to a new file in the same folder, flushes it to the
// disk and renames it over `path`, so that a reader sees the old file or the new one, never a part, and a
// failure at any step leaves the old file as it was and no temporary file behind. A new file gets the
// permissions new files get in that folder, an existing one keeps its own; a symbolic link stays a link and
// its target is replaced. A folder, pipe or device at `path` is refused (NotAFile), and so is a file this
// account may not write (Denied), although the rename alone could replace it.
FileResult ReplaceWholeFile(const char* path, std::string_view bytes);

// Deletes the file. Nothing to delete is no failure; a folder is refused (NotAFile).
FileResult RemoveFile(const char* path);

} // namespace platform
