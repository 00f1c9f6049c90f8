#include "host/WorldStore.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace host {
namespace {
constexpr std::uint8_t kGuardByte = 0xFE;
constexpr std::uint8_t kPadByte = 0xFB;
constexpr std::size_t kAlign = 16;
} // namespace

int PixelSize(PF_PixelFormat format) {
    switch (format) {
    case PF_PixelFormat_ARGB32:
        return 4;
    case PF_PixelFormat_ARGB64:
        return 8;
    case PF_PixelFormat_ARGB128:
        return 16;
    default:
        return 0;
    }
}

std::string PixelFormatName(PF_PixelFormat format) {
    std::string s(4, '?');
    for (int i = 0; i < 4; ++i) {
        char c = char(static_cast<A_u_long>(format) >> (8 * i));
        if (c >= 0x20 && c < 0x7F)
            s[i] = c;
    }
    return "'" + s + "'";
}

std::uint8_t* WorldStore::Block::pixels() const {
    if (!guarded)
        return memory.get();
    // Pixel rows start 16-byte aligned after the front guard.
    auto base = reinterpret_cast<std::uintptr_t>(memory.get()) + kGuard;
    base = (base + kAlign - 1) & ~std::uintptr_t(kAlign - 1);
    return reinterpret_cast<std::uint8_t*>(base);
}

PF_Err WorldStore::Create(A_long width, A_long height, PF_PixelFormat format, bool clear, bool hostOwned,
                          PF_EffectWorld* world) {
    int size = PixelSize(format);
    if (!world || size == 0 || width < 0 || height < 0 || width > PF_MAX_WORLD_WIDTH ||
        height > PF_MAX_WORLD_HEIGHT)
        return PF_Err_BAD_CALLBACK_PARAM;
    // Rows are padded beyond width × pixel size so that code stepping by anything but rowbytes fails.
    A_long padding = (std::max<A_long>(settings_.rowPaddingBytes, 0) + size - 1) / size * size;
    Block b;
    b.width = width;
    b.height = height;
    b.rowbytes = width * size + padding;
    b.format = format;
    b.hostOwned = hostOwned;
    b.guarded = settings_.strict;
    b.bytes = std::size_t(b.rowbytes) * std::size_t(height);
    std::size_t line = std::size_t(width) * std::size_t(size);
    if (b.guarded) {
        b.memory = PoolBlock(pool_, b.bytes + 2 * kGuard + kAlign, false);
        std::memset(b.memory.get(), kGuardByte, b.bytes + 2 * kGuard + kAlign);
        std::uint8_t* pixels = b.pixels();
        for (A_long y = 0; y < height; ++y) {
            std::uint8_t* row = pixels + std::size_t(y) * std::size_t(b.rowbytes);
            std::memset(row, clear ? 0 : settings_.poisonByte, line);
            std::memset(row + line, kPadByte, std::size_t(padding));
        }
    } else {
        // Memory from the pool may hold an earlier world's pixels: a cleared world is cleared here.
        b.memory = PoolBlock(pool_, b.bytes, true);
        if (clear && padding == 0)
            std::memset(b.memory.get(), 0, b.bytes);
        else if (clear)
            for (A_long y = 0; y < height; ++y)
                std::memset(b.pixels() + std::size_t(y) * std::size_t(b.rowbytes), 0, line);
    }
    std::uint8_t* pixels = b.pixels();
    {
        std::lock_guard lock(mutex_);
        b.serial = stats_.created + 1;
        blocks_.emplace(pixels, std::move(b)); // may throw: nothing is counted yet
        ++stats_.created;
        (hostOwned ? stats_.liveHostWorlds : stats_.livePluginWorlds)++;
    }

    std::memset(world, 0, sizeof(*world));
    world->world_flags = PF_WorldFlag_WRITEABLE | (format == PF_PixelFormat_ARGB64 ? PF_WorldFlag_DEEP : 0);
    world->data = reinterpret_cast<PF_PixelPtr>(pixels);
    world->rowbytes = b.rowbytes;
    world->width = width;
    world->height = height;
    world->extent_hint = PF_LRect{0, 0, width, height};
    world->pix_aspect_ratio = PF_RationalScale{1, 1};
    return PF_Err_NONE;
}

PF_Err WorldStore::Dispose(PF_EffectWorld* world, bool hostOwned) {
    if (!world) {
        violation_("dispose_world with a null world");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    Block b;
    {
        std::lock_guard lock(mutex_);
        auto it = blocks_.find(world->data);
        if (it == blocks_.end()) {
            violation_("dispose of a world the host does not know (disposed twice, or never made by it)");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (it->second.hostOwned != hostOwned) {
            violation_(hostOwned ? "the host's caller disposed a world the plug-in made"
                                 : "the plug-in disposed a world the host owns (an input or output)");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        b = std::move(it->second);
        blocks_.erase(it);
        (hostOwned ? stats_.liveHostWorlds : stats_.livePluginWorlds)--;
    }
    CheckBlock(b, "at dispose");
    world->data = nullptr; // a use after disposal reads null rather than freed memory
    return PF_Err_NONE;
}

bool WorldStore::FormatOf(const PF_EffectWorld* world, PF_PixelFormat* format) const {
    if (!world)
        return false;
    std::lock_guard lock(mutex_);
    auto it = blocks_.find(world->data);
    if (it == blocks_.end())
        return false;
    *format = it->second.format;
    return true;
}

void WorldStore::Check(const PF_EffectWorld* world, const char* when) const {
    std::lock_guard lock(mutex_);
    auto it = blocks_.find(world->data);
    if (it != blocks_.end())
        CheckBlock(it->second, when);
}

void WorldStore::CheckBlock(const Block& b, const char* when) const {
    if (!b.guarded)
        return;
    const std::uint8_t* pixels = b.pixels();
    const std::uint8_t* begin = b.memory.get();
    const std::uint8_t* end = begin + b.bytes + 2 * kGuard + kAlign;
    auto report = [&](const char* what) {
        std::ostringstream s;
        s << "world #" << b.serial << " (" << b.width << "x" << b.height << " " << PixelFormatName(b.format)
          << "): " << what << " (" << when << ")";
        violation_(s.str());
    };
    for (const std::uint8_t* p = begin; p < pixels; ++p)
        if (*p != kGuardByte)
            return report("memory before the first row was overwritten");
    for (const std::uint8_t* p = pixels + b.bytes; p < end; ++p)
        if (*p != kGuardByte)
            return report("memory after the last row was overwritten");
    std::size_t used = std::size_t(b.width) * PixelSize(b.format);
    for (A_long y = 0; y < b.height; ++y) {
        const std::uint8_t* row = pixels + std::size_t(y) * std::size_t(b.rowbytes);
        for (std::size_t x = used; x < std::size_t(b.rowbytes); ++x)
            if (row[x] != kPadByte)
                return report("the padding beyond a row's last pixel was overwritten");
    }
}

void WorldStore::CountRefusal() {
    std::lock_guard lock(mutex_);
    ++stats_.refused;
}

WorldStats WorldStore::Stats() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

std::string WorldStore::LeakReport() const {
    std::lock_guard lock(mutex_);
    std::ostringstream s;
    for (const auto& [p, b] : blocks_)
        if (!b.hostOwned)
            s << "world #" << b.serial << ": " << b.width << "x" << b.height << " "
              << PixelFormatName(b.format) << " made by the plug-in and never disposed\n";
    return s.str();
}

void WorldStore::DisposeAll() {
    std::lock_guard lock(mutex_);
    blocks_.clear();
    stats_.livePluginWorlds = 0;
    stats_.liveHostWorlds = 0;
}

} // namespace host
