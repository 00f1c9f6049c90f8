#pragma once
// Host handles with accounting: every handle the plug-in holds is known and counted, and guarded when the
// host is strict.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "host/BlockPool.h"
#include "host/Settings.h"
#include "sdk/AE_Effect.h"

namespace host {

struct HandleStats {
    std::size_t live = 0;      // handles not yet disposed
    std::size_t liveBytes = 0; // their sizes
    std::size_t created = 0;   // handles made since the host started
    std::size_t peakBytes = 0; // the most bytes live at once
    std::size_t refused = 0;   // allocations or locks refused by fault injection
};

class HandleTable {
public:
    using Report = std::function<void(const std::string&)>;
    // The settings (strictness, poison) are read at every allocation, so a change applies at once.
    HandleTable(const Settings& settings, BlockPool& pool, Report violation)
        : settings_(settings), pool_(pool), violation_(std::move(violation)) {}
    ~HandleTable();

    // Throws std::bad_alloc when the host's memory runs out.
    PF_Handle New(std::size_t size);
    void* Lock(PF_Handle h);
    void Unlock(PF_Handle h);
    void Dispose(PF_Handle h);
    std::size_t Size(PF_Handle h);
    bool Resize(std::size_t size, PF_Handle h); // throws std::bad_alloc
    bool IsLive(PF_Handle h) const;
    void CountRefusal();

    HandleStats Stats() const;
    // One line per live handle (size, lock count, creation number); empty when none.
    std::string LeakReport() const;
    // Disposes every live handle without reporting (host shutdown after the leak report).
    void DisposeAll();

private:
    struct Record {
        void* data = nullptr; // the master pointer: a PF_Handle points here
        std::size_t size = 0;
        int locks = 0;
        std::size_t serial = 0;
        PoolBlock block;
        bool guarded = false; // made by a strict host: guard bytes on both sides
    };
    static constexpr std::size_t kGuard = 32;
    // Handles from this size on reuse pooled blocks in a production host.
    static constexpr std::size_t kPoolFrom = std::size_t(64) << 10;
    // A block for `size` bytes; sets `data` to the handle's bytes inside it.
    PoolBlock MakeBlock(std::size_t size, std::uint8_t*& data, bool& guarded) const;
    void CheckGuards(const Record& r, const char* when) const;
    Record* Find(PF_Handle h, const char* operation) const;

    const Settings& settings_;
    BlockPool& pool_;
    Report violation_;
    mutable std::mutex mutex_;
    std::unordered_map<PF_Handle, std::unique_ptr<Record>> records_;
    HandleStats stats_;
};

} // namespace host
