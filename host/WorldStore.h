#pragma once
// Every world the host makes, for the plug-in or for the caller: pixel memory, the pixel format the world
// was made in and, when the host is strict, padded rows and guard bytes around the pixels.
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

// Bytes per pixel of 'argb', 'ae16' and 'ae32'; 0 for any other format.
int PixelSize(PF_PixelFormat format);
std::string PixelFormatName(PF_PixelFormat format);

struct WorldStats {
    std::size_t livePluginWorlds = 0; // made through the World suites and not yet disposed
    std::size_t liveHostWorlds = 0;   // made by the host's caller (host::World)
    std::size_t created = 0;
    std::size_t refused = 0;
};

class WorldStore {
public:
    using Report = std::function<void(const std::string&)>;
    // The settings (strictness, poison, row padding) are read at every creation, so a change applies.
    WorldStore(const Settings& settings, BlockPool& pool, Report violation)
        : settings_(settings), pool_(pool), violation_(std::move(violation)) {}

    // Fills `world`; 0 or PF_Err_BAD_CALLBACK_PARAM for a size or format the host cannot make. Cleared
    // worlds hold zeros, whether their memory is fresh or reused. Throws std::bad_alloc when the host's
    // memory runs out.
    PF_Err Create(A_long width, A_long height, PF_PixelFormat format, bool clear, bool hostOwned,
                  PF_EffectWorld* world);
    // Disposes a world made by Create; reports a world the host does not know, or damaged guards.
    PF_Err Dispose(PF_EffectWorld* world, bool hostOwned);
    // The format of a world the host made; false for a world it does not know.
    bool FormatOf(const PF_EffectWorld* world, PF_PixelFormat* format) const;
    // Checks the guard bytes and row padding of a world now (the store also checks at disposal).
    void Check(const PF_EffectWorld* world, const char* when) const;

    void CountRefusal();
    WorldStats Stats() const;
    std::string LeakReport() const;
    void DisposeAll();

private:
    struct Block {
        PoolBlock memory;
        std::size_t bytes = 0; // rows × rowbytes
        A_long width = 0, height = 0, rowbytes = 0;
        PF_PixelFormat format = 0;
        bool hostOwned = false;
        bool guarded = false; // made by a strict host: guards and row padding to check
        std::size_t serial = 0;
        std::uint8_t* pixels() const;
    };
    static constexpr std::size_t kGuard = 64;
    void CheckBlock(const Block& b, const char* when) const;

    const Settings& settings_;
    BlockPool& pool_;
    Report violation_;
    mutable std::mutex mutex_;
    std::unordered_map<const void*, Block> blocks_; // by pixel address
    WorldStats stats_;
};

} // namespace host
