#pragma once
// A world the host owns (an input layer or an output buffer), with rows padded beyond width × pixel size.
#include <cstdint>
#include <vector>

#include "sdk/AE_Effect.h"

namespace host {

class Host;

class World {
public:
    // A world of the given format ('argb', 'ae16' or 'ae32'); pixels cleared to 0, or poisoned.
    World(Host& host, A_long width, A_long height, PF_PixelFormat format, bool clear = true);
    ~World();
    World(World&& other) noexcept;
    World& operator=(World&&) = delete;
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    PF_EffectWorld* get() { return &world_; }
    const PF_EffectWorld* get() const { return &world_; }
    PF_PixelFormat Format() const { return format_; }
    int PixelSize() const;
    A_long Width() const { return world_.width; }
    A_long Height() const { return world_.height; }
    A_long RowBytes() const { return world_.rowbytes; }

    std::uint8_t* Row(A_long y) {
        return reinterpret_cast<std::uint8_t*>(world_.data) + std::ptrdiff_t(y) * world_.rowbytes;
    }
    const std::uint8_t* Row(A_long y) const {
        return reinterpret_cast<const std::uint8_t*>(world_.data) + std::ptrdiff_t(y) * world_.rowbytes;
    }
    PF_Pixel8& At8(A_long x, A_long y) { return reinterpret_cast<PF_Pixel8*>(Row(y))[x]; }
    PF_Pixel16& At16(A_long x, A_long y) { return reinterpret_cast<PF_Pixel16*>(Row(y))[x]; }
    PF_PixelFloat& AtFloat(A_long x, A_long y) { return reinterpret_cast<PF_PixelFloat*>(Row(y))[x]; }
    const PF_Pixel8& At8(A_long x, A_long y) const { return reinterpret_cast<const PF_Pixel8*>(Row(y))[x]; }
    const PF_Pixel16& At16(A_long x, A_long y) const {
        return reinterpret_cast<const PF_Pixel16*>(Row(y))[x];
    }
    const PF_PixelFloat& AtFloat(A_long x, A_long y) const {
        return reinterpret_cast<const PF_PixelFloat*>(Row(y))[x];
    }

    // The pixels row after row without the padding.
    std::vector<std::uint8_t> Pixels() const;
    void SetPixels(const std::vector<std::uint8_t>& packed);
    // Every pixel byte set to `value` (the padding keeps its guard pattern).
    void FillBytes(std::uint8_t value);
    // Checks the guard bytes and row padding now.
    void Check(const char* when) const;

private:
    Host* host_;
    PF_PixelFormat format_;
    PF_EffectWorld world_{};
};

} // namespace host
