#pragma once
// The file an image writer writes through, on a descriptor the caller owns. Some writers do not look at
// what their writes return (a full disk then yields a short file reported as a success), and the JPEG
// library ends the process on a failed write. Here every write is checked and the first failure kept; the
// writer is told that all went well, so that it runs to its end without an exit or a jump, and the caller
// asks `Failure()` afterwards. Once `Stop()` is called (a cancel), nothing more is written.
#include <atomic>
#include <cstdint>
#include <string>

#include <OpenImageIO/filesystem.h>

namespace cli {

class CheckedFileProxy final : public OIIO::Filesystem::IOProxy {
public:
    CheckedFileProxy(int fd, const std::string& name);

    const char* proxytype() const override { return "tovrin-checked"; }
    void close() override; // the descriptor stays open: it belongs to the caller
    bool seek(std::int64_t offset) override;
    std::size_t read(void* buf, std::size_t size) override;
    std::size_t write(const void* buf, std::size_t size) override;
    std::size_t pread(void* buf, std::size_t size, std::int64_t offset) override;
    std::size_t pwrite(const void* buf, std::size_t size, std::int64_t offset) override;
    std::size_t size() const override;

    void Stop() { stopped_ = true; }
    // The errno of the first failed write or read, 0 when all succeeded.
    int Failure() const { return failure_; }

private:
    // Asks the kernel to start writing what lies before `end` to the disk, a few megabytes at a time.
    void StartWriteback(std::int64_t end);

    int fd_;
    int failure_ = 0;
    std::int64_t writebackStarted_ = 0; // the bytes before this offset are on their way to the disk
    std::atomic<bool> stopped_{false};
};

} // namespace cli
