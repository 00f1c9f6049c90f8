#pragma once
// Host handles with accounting: every handle the plug-in holds is known, guarded and counted.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

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
    // `poison` is read at every allocation, so a change of the host's settings applies at once.
    HandleTable(const std::uint8_t& poison, Report violation)
        : poison_(poison), violation_(std::move(violation)) {}
    ~HandleTable();

    PF_Handle New(std::size_t size);
    void* Lock(PF_Handle h);
    void Unlock(PF_Handle h);
    void Dispose(PF_Handle h);
    std::size_t Size(PF_Handle h);
    bool Resize(std::size_t size, PF_Handle h);
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
        std::unique_ptr<std::uint8_t[]> block;
    };
    static constexpr std::size_t kGuard = 32;
    std::unique_ptr<std::uint8_t[]> MakeBlock(std::size_t size, std::uint8_t*& data) const;
    void CheckGuards(const Record& r, const char* when) const;
    Record* Find(PF_Handle h, const char* operation) const;

    const std::uint8_t& poison_;
    Report violation_;
    mutable std::mutex mutex_;
    std::unordered_map<PF_Handle, std::unique_ptr<Record>> records_;
    HandleStats stats_;
};

} // namespace host
