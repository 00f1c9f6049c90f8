#include "host/World.h"

#include <cstring>
#include <stdexcept>

#include "host/Host.h"
#include "host/HostImpl.h"

namespace host {

World::World(Host& host, A_long width, A_long height, PF_PixelFormat format, bool clear)
    : host_(&host), format_(format) {
    if (host.impl().worlds.Create(width, height, format, clear, true, &world_) != PF_Err_NONE)
        throw HostError("the host cannot make a " + std::to_string(width) + "x" + std::to_string(height) +
                        " " + PixelFormatName(format) + " world");
}

World::~World() {
    if (host_ && world_.data)
        host_->impl().worlds.Dispose(&world_, true);
}

World::World(World&& other) noexcept : host_(other.host_), format_(other.format_), world_(other.world_) {
    other.host_ = nullptr;
    other.world_.data = nullptr;
}

int World::PixelSize() const {
    return host::PixelSize(format_);
}

std::vector<std::uint8_t> World::Pixels() const {
    std::size_t line = std::size_t(Width()) * PixelSize();
    std::vector<std::uint8_t> out(line * std::size_t(Height()));
    for (A_long y = 0; y < Height(); ++y)
        std::memcpy(out.data() + line * std::size_t(y), Row(y), line);
    return out;
}

void World::SetPixels(const std::vector<std::uint8_t>& packed) {
    std::size_t line = std::size_t(Width()) * PixelSize();
    if (packed.size() != line * std::size_t(Height()))
        throw HostError("SetPixels: the bytes do not match the world's size");
    for (A_long y = 0; y < Height(); ++y)
        std::memcpy(Row(y), packed.data() + line * std::size_t(y), line);
}

void World::FillBytes(std::uint8_t value) {
    std::size_t line = std::size_t(Width()) * PixelSize();
    for (A_long y = 0; y < Height(); ++y)
        std::memset(Row(y), value, line);
}

void World::Check(const char* when) const {
    host_->impl().worlds.Check(&world_, when);
}

} // namespace host
