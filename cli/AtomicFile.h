#pragma once
// A temporary file in the destination's folder, renamed onto the destination when complete, so that a
// reader never sees a partial file and a failed or cancelled write leaves nothing behind.
//
// The temporary name is short and of fixed length (".tovrin-" and 16 hexadecimal digits), so any legal
// destination name has one. Before the rename the file is flushed to the disk (so that a crash cannot
// leave an empty file under the destination's name) and given the mode of the file it replaces.
#include <filesystem>

namespace cli {

class AtomicFile {
public:
    // Creates the temporary file. Throws a file error.
    AtomicFile(std::filesystem::path destination, bool overwrite);
    ~AtomicFile(); // removes the temporary file unless it was published
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    const std::filesystem::path& TempPath() const { return temp_; }
    const std::filesystem::path& Destination() const { return destination_; }
    // Open for reading and writing; owned by this object.
    int Descriptor() const { return fd_; }

    // Flushes the temporary file to the disk. Throws a file error (a full disk may only show here).
    void Sync();
    // Syncs, then renames the temporary file onto the destination, keeping the mode (and, where allowed,
    // the owner) of a file it replaces. Without `overwrite`, an existing destination is kept and a file
    // error names it. Throws a file error.
    void Publish();
    // Removes the temporary file now.
    void Discard();

private:
    std::filesystem::path destination_;
    std::filesystem::path temp_;
    int fd_ = -1;
    bool overwrite_;
    bool done_ = false;
};

} // namespace cli
