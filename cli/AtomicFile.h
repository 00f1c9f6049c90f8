#pragma once
// A temporary file in the destination's folder, renamed onto the destination when complete, so that a
// reader never sees a partial file and a failed or cancelled write leaves nothing behind.
#include <filesystem>

namespace cli {

class AtomicFile {
public:
    AtomicFile(std::filesystem::path destination, bool overwrite);
    ~AtomicFile(); // removes the temporary file unless it was published
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    const std::filesystem::path& TempPath() const { return temp_; }
    // Renames the temporary file onto the destination. Without `overwrite`, an existing destination is
    // kept and a file error names it. Throws a file error.
    void Publish();

private:
    std::filesystem::path destination_;
    std::filesystem::path temp_;
    bool overwrite_;
    bool published_ = false;
};

} // namespace cli
