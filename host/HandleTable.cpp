#include "host/HandleTable.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace host {
namespace {
constexpr std::uint8_t kGuardByte = 0xFD;
}

HandleTable::~HandleTable() {
    DisposeAll();
}

PoolBlock HandleTable::MakeBlock(std::size_t size, std::uint8_t*& data, bool& guarded) const {
    guarded = settings_.strict;
    if (!guarded) {
        PoolBlock block(pool_, size, size >= kPoolFrom);
        data = block.get();
        return block;
    }
    // Guard bytes on both sides catch writes past the handle; fresh bytes carry the poison value so that
    // reading memory the plug-in never wrote shows.
    PoolBlock block(pool_, size + 2 * kGuard, false);
    std::memset(block.get(), kGuardByte, kGuard);
    std::memset(block.get() + kGuard, settings_.poisonByte, size);
    std::memset(block.get() + kGuard + size, kGuardByte, kGuard);
    data = block.get() + kGuard;
    return block;
}

void HandleTable::CheckGuards(const Record& r, const char* when) const {
    if (!r.guarded)
        return;
    const std::uint8_t* base = r.block.get();
    for (std::size_t i = 0; i < kGuard; ++i) {
        if (base[i] != kGuardByte || base[kGuard + r.size + i] != kGuardByte) {
            std::ostringstream s;
            s << "handle #" << r.serial << " of " << r.size << " bytes: memory around it was overwritten ("
              << when << ")";
            violation_(s.str());
            return;
        }
    }
}

HandleTable::Record* HandleTable::Find(PF_Handle h, const char* operation) const {
    auto it = records_.find(h);
    if (it == records_.end()) {
        std::ostringstream s;
        s << operation << " of a handle the host does not know (" << static_cast<const void*>(h) << ")";
        violation_(s.str());
        return nullptr;
    }
    return it->second.get();
}

PF_Handle HandleTable::New(std::size_t size) {
    auto r = std::make_unique<Record>();
    std::uint8_t* data = nullptr;
    r->block = MakeBlock(size, data, r->guarded);
    r->data = data;
    r->size = size;
    PF_Handle h = &r->data;
    std::lock_guard lock(mutex_);
    r->serial = stats_.created + 1;
    records_.emplace(h, std::move(r)); // may throw: nothing is counted yet
    ++stats_.created;
    ++stats_.live;
    stats_.liveBytes += size;
    if (stats_.liveBytes > stats_.peakBytes)
        stats_.peakBytes = stats_.liveBytes;
    return h;
}

void* HandleTable::Lock(PF_Handle h) {
    std::lock_guard lock(mutex_);
    Record* r = Find(h, "lock");
    if (!r)
        return nullptr;
    ++r->locks;
    return r->data;
}

void HandleTable::Unlock(PF_Handle h) {
    std::lock_guard lock(mutex_);
    Record* r = Find(h, "unlock");
    if (r && r->locks > 0)
        --r->locks;
}

void HandleTable::Dispose(PF_Handle h) {
    if (!h)
        return;
    std::unique_ptr<Record> r;
    {
        std::lock_guard lock(mutex_);
        if (!Find(h, "dispose"))
            return;
        auto it = records_.find(h);
        r = std::move(it->second);
        records_.erase(it);
        --stats_.live;
        stats_.liveBytes -= r->size;
    }
    CheckGuards(*r, "at dispose");
}

std::size_t HandleTable::Size(PF_Handle h) {
    std::lock_guard lock(mutex_);
    Record* r = Find(h, "size query");
    return r ? r->size : 0;
}

bool HandleTable::Resize(std::size_t size, PF_Handle h) {
    std::lock_guard lock(mutex_);
    Record* r = Find(h, "resize");
    if (!r || r->locks > 0)
        return false;
    CheckGuards(*r, "at resize");
    std::uint8_t* data = nullptr;
    bool guarded = false;
    PoolBlock block = MakeBlock(size, data, guarded);
    std::memcpy(data, r->data, std::min(size, r->size));
    stats_.liveBytes = stats_.liveBytes - r->size + size;
    if (stats_.liveBytes > stats_.peakBytes)
        stats_.peakBytes = stats_.liveBytes;
    r->block = std::move(block);
    r->guarded = guarded;
    r->data = data;
    r->size = size;
    return true;
}

bool HandleTable::IsLive(PF_Handle h) const {
    std::lock_guard lock(mutex_);
    return records_.count(h) != 0;
}

void HandleTable::CountRefusal() {
    std::lock_guard lock(mutex_);
    ++stats_.refused;
}

HandleStats HandleTable::Stats() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

std::string HandleTable::LeakReport() const {
    std::lock_guard lock(mutex_);
    std::ostringstream s;
    for (const auto& [h, r] : records_)
        s << "handle #" << r->serial << ": " << r->size << " bytes, locked " << r->locks << " time(s)\n";
    return s.str();
}

void HandleTable::DisposeAll() {
    std::lock_guard lock(mutex_);
    records_.clear();
    stats_.live = 0;
    stats_.liveBytes = 0;
}

} // namespace host
