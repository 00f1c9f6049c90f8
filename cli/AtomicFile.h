#pragma once
// A temporary file in the destination's folder, put in the destination's place when complete, so that a
// reader never sees a partial file and a failed or cancelled write leaves nothing behind.
//
// Where the file system allows, the temporary file has no name at all until it is complete (O_TMPFILE): a
// process killed while writing (SIGKILL, a second Ctrl-C) leaves nothing. Elsewhere it is a hidden file
// named ".tovrin-" and 16 hexadecimal digits: short and of fixed length, so any legal destination name has
// one. Before it takes the destination's place the file is flushed to the disk (so that a crash cannot leave
// an empty file under the destination's name) and given the mode of the file it replaces.
#include <filesystem>
#include <string>

namespace cli {

// Refuses, before any work, an output that could not be written: a missing or unwritable folder, a
// destination that is not a regular file, an existing file without `overwrite`.
void CheckOutputPath(const std::filesystem::path& path, bool overwrite);

// Writes `bytes` to `path` atomically, as AtomicFile below does (presets, job scripts).
void WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes, bool overwrite);

class AtomicFile {
public:
    // Creates the temporary file. Throws a file error.
    AtomicFile(std::filesystem::path destination, bool overwrite);
    ~AtomicFile(); // removes the temporary file unless it was published
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // A path that opens the temporary file (for reading it back).
    const std::filesystem::path& TempPath() const { return readPath_; }
    const std::filesystem::path& Destination() const { return destination_; }
    // Open for reading and writing; owned by this object.
    int Descriptor() const { return fd_; }

    // Flushes the temporary file to the disk. Throws a file error (a full disk may only show here).
    void Sync();
    // Syncs, then puts the temporary file in the destination's place, keeping the mode (and, where allowed,
    // the owner) of a file it replaces. Without `overwrite`, an existing destination is kept and a file
    // error names it. Throws a file error.
    void Publish();
    // Removes the temporary file now.
    void Discard();

private:
    // Gives the nameless temporary file a hidden name in the destination's folder.
    void NameTemporary();

    std::filesystem::path destination_;
    std::filesystem::path temp_;     // the hidden name, once the file has one
    std::filesystem::path readPath_; // temp_, or /proc/self/fd/N while the file has no name
    int fd_ = -1;
    bool overwrite_;
    bool named_ = false; // temp_ exists in the folder
    bool done_ = false;
};

} // namespace cli
