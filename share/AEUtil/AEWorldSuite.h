#pragma once
// Host worlds made through the World suite, held by reference-counted handles: the world is disposed
// through the host when the last handle goes.
#include <cstdint>

#include "sdk/AE_Effect.h"

namespace AEUtil {

struct WorldBlock {
    PF_ProgPtr effectRef;
    PF_EffectWorld world;
    uint32_t count;
};

class EffectWorldPtr {
public:
    EffectWorldPtr() noexcept = default;
    explicit EffectWorldPtr(WorldBlock* block) noexcept;
    EffectWorldPtr(const EffectWorldPtr& other) noexcept;
    EffectWorldPtr& operator=(const EffectWorldPtr& other) noexcept;
    ~EffectWorldPtr() { reset(); }

    void reset() noexcept;
    PF_EffectWorld* get() const noexcept { return world_; }
    PF_EffectWorld* operator->() const noexcept { return world_; }
    explicit operator bool() const noexcept { return world_ != nullptr; }
    uint32_t use_count() const noexcept { return block_ ? block_->count : 0; }

private:
    WorldBlock* block_ = nullptr;
    PF_EffectWorld* world_ = nullptr;
};

class WorldSuite {
public:
    // A world of the given size and format; a host error raises AEException with the host's code.
    static EffectWorldPtr newWorld(PF_ProgPtr effectRef, long width, long height, char clear,
                                   long pixelFormat);
};

// The pixel format of a world: World suite 2 when the host has it, else the world's deep flag.
PF_Err QueryPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* format);

} // namespace AEUtil
