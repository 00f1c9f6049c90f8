#include "share/AEUtil/AEWorldSuite.h"

#include <cstring>

#include "share/AEUtil/AEException.h"
#include "share/AEUtil/Allocator.h"
#include "share/AEUtil/SuiteHolder.h"

namespace AEUtil {

namespace {
constexpr const char* kSourceFile = ".\\share\\AEUtil\\AEWorldSuite";
constexpr int kSourceLine = 151;

// World suite 2 is acquired around each use, outside the suite cache; null when the host has none.
class WorldSuite2Lease {
public:
    WorldSuite2Lease() {
        SuiteHolder* holder = GlobalSuites();
        if (!holder)
            return;
        basic_ = holder->Basic();
        const void* suite = nullptr;
        if (basic_->AcquireSuite(kPFWorldSuite, kPFWorldSuiteVersion2, &suite) == kSPNoError && suite)
            suite_ = static_cast<const PF_WorldSuite2*>(suite);
    }
    ~WorldSuite2Lease() { (void)Release(); }
    WorldSuite2Lease(const WorldSuite2Lease&) = delete;
    WorldSuite2Lease& operator=(const WorldSuite2Lease&) = delete;

    const PF_WorldSuite2* get() const { return suite_; }
    PF_Err Release() {
        if (!suite_)
            return PF_Err_NONE;
        suite_ = nullptr;
        return basic_->ReleaseSuite(kPFWorldSuite, kPFWorldSuiteVersion2);
    }

private:
    SPBasicSuite* basic_ = nullptr;
    const PF_WorldSuite2* suite_ = nullptr;
};

void DisposeWorld(WorldBlock* block) noexcept {
    try {
        WorldSuite2Lease v2;
        if (v2.get()) {
            v2.get()->PF_DisposeWorld(block->effectRef, &block->world);
        } else if (SuiteHolder* holder = GlobalSuites()) {
            holder->WorldSuite1()->dispose_world(block->effectRef, &block->world);
        }
    } catch (...) {
        // Disposal failures are not reported: the render's own result stands.
    }
}
} // namespace

EffectWorldPtr::EffectWorldPtr(WorldBlock* block) noexcept
    : block_(block), world_(block ? &block->world : nullptr) {
    if (block_)
        ++block_->count;
}

EffectWorldPtr::EffectWorldPtr(const EffectWorldPtr& other) noexcept
    : block_(other.block_), world_(other.world_) {
    if (block_)
        ++block_->count;
}

EffectWorldPtr& EffectWorldPtr::operator=(const EffectWorldPtr& other) noexcept {
    if (this != &other) {
        if (other.block_)
            ++other.block_->count;
        reset();
        block_ = other.block_;
        world_ = other.world_;
    }
    return *this;
}

void EffectWorldPtr::reset() noexcept {
    if (!block_)
        return;
    if (--block_->count == 0) {
        // A block whose world was never made (the host refused it) has nothing to dispose of.
        if (block_->world.data)
            DisposeWorld(block_);
        Delete(block_);
    }
    block_ = nullptr;
    world_ = nullptr;
}

EffectWorldPtr WorldSuite::newWorld(PF_ProgPtr effectRef, long width, long height, char clear,
                                    long pixelFormat) {
    WorldBlock* block = New<WorldBlock>();
    std::memset(&block->world, 0, sizeof block->world);
    block->effectRef = effectRef;
    block->count = 0;
    EffectWorldPtr handle(block);

    PF_Err err = PF_Err_NONE;
    WorldSuite2Lease v2;
    if (v2.get()) {
        err = v2.get()->PF_NewWorld(effectRef, static_cast<A_long>(width), static_cast<A_long>(height),
                                    static_cast<PF_Boolean>(clear), static_cast<PF_PixelFormat>(pixelFormat),
                                    &block->world);
        const PF_Err released = v2.Release();
        if (err == PF_Err_NONE)
            err = released;
    } else if (pixelFormat == PF_PixelFormat_ARGB32 || pixelFormat == PF_PixelFormat_ARGB64) {
        PF_NewWorldFlags flags = clear ? PF_NewWorldFlag_CLEAR_PIXELS : PF_NewWorldFlag_NONE;
        if (pixelFormat == PF_PixelFormat_ARGB64)
            flags |= PF_NewWorldFlag_DEEP_PIXELS;
        err = GlobalSuites()->WorldSuite1()->new_world(effectRef, static_cast<A_long>(width),
                                                       static_cast<A_long>(height), flags, &block->world);
    } else {
        // Version 1 cannot make a float world, and the pipeline needs a real one.
        err = PF_Err_UNRECOGNIZED_PARAM_TYPE;
    }
    if (err != PF_Err_NONE)
        throw AEException(
            err, kSourceFile, kSourceLine, "%s",
            "AEUtil::EffectWorldPtr AEUtil::WorldSuite::newWorld(PF_ProgressInfo *, long, long, "
            "char, long)");
    return handle;
}

PF_Err QueryPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* format) {
    WorldSuite2Lease v2;
    if (!v2.get()) {
        *format = (world->world_flags & PF_WorldFlag_DEEP) ? PF_PixelFormat_ARGB64 : PF_PixelFormat_ARGB32;
        return PF_Err_NONE;
    }
    const PF_Err err = v2.get()->PF_GetPixelFormat(world, format);
    const PF_Err released = v2.Release();
    return err != PF_Err_NONE ? err : released;
}

} // namespace AEUtil
