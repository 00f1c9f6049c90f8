// The basic suite and the suites the host serves.
#include <cstdlib>
#include <cstring>

#include "host/HostImpl.h"
#include "host/Unserved.h"

namespace host {
namespace {

// ---- Basic suite ----------------------------------------------------------------------------------------

SPErr AcquireSuite(const char* name, int32 version, const void** suite) {
    return GuardedSP("AcquireSuite", [&]() -> SPErr {
        Host::Impl* h = CurrentHost("AcquireSuite");
        if (!h || !name || !suite)
            return kSPBadParameterError;
        *suite = nullptr;
        if (h->faults.SuiteRefused(name, version))
            return kSPSuiteNotFoundError;
        const void* served = ServedSuite(name, version);
        if (!served)
            return kSPSuiteNotFoundError;
        std::lock_guard lock(h->mutex);
        SuiteUse& use = h->suites[{name, version}];
        use.name = name;
        use.version = version;
        ++use.acquired;
        ++use.total;
        *suite = served;
        return kSPNoError;
    });
}

SPErr ReleaseSuite(const char* name, int32 version) {
    return GuardedSP("ReleaseSuite", [&]() -> SPErr {
        Host::Impl* h = CurrentHost("ReleaseSuite");
        if (!h || !name)
            return kSPBadParameterError;
        {
            std::lock_guard lock(h->mutex);
            auto it = h->suites.find({name, version});
            if (it != h->suites.end() && it->second.acquired > 0) {
                --it->second.acquired;
                return kSPNoError;
            }
        }
        h->Violation("ReleaseSuite(\"" + std::string(name) + "\", " + std::to_string(version) +
                     ") without a matching acquisition");
        return kSPBadParameterError;
    });
}

SPBoolean IsEqual(const char* a, const char* b) {
    return a && b && std::strcmp(a, b) == 0;
}

SPErr AllocateBlock(size_t size, void** block) {
    return GuardedSP("AllocateBlock", [&]() -> SPErr {
        Host::Impl* h = CurrentHost("AllocateBlock");
        if (!h || !block)
            return kSPBadParameterError;
        *block = nullptr;
        h->ChargeHostMemory();
        void* p = std::malloc(size ? size : 1);
        if (!p)
            return kSPOutOfMemoryError;
        try {
            std::lock_guard lock(h->mutex);
            h->blocks[p] = size;
        } catch (...) {
            std::free(p);
            throw;
        }
        *block = p;
        return kSPNoError;
    });
}

SPErr FreeBlock(void* block) {
    return GuardedSP("FreeBlock", [&]() -> SPErr {
        Host::Impl* h = CurrentHost("FreeBlock");
        if (!h)
            return kSPBadParameterError;
        bool known;
        {
            std::lock_guard lock(h->mutex);
            known = h->blocks.erase(block) != 0;
        }
        if (!known) {
            h->Violation("FreeBlock of a block the host did not allocate");
            return kSPBadParameterError;
        }
        std::free(block);
        return kSPNoError;
    });
}

SPErr ReallocateBlock(void* block, size_t size, void** newBlock) {
    if (!block)
        return AllocateBlock(size, newBlock);
    return GuardedSP("ReallocateBlock", [&]() -> SPErr {
        Host::Impl* h = CurrentHost("ReallocateBlock");
        if (!h || !newBlock)
            return kSPBadParameterError;
        h->ChargeHostMemory();
        std::lock_guard lock(h->mutex);
        // The block's record moves with it, so that recording the new address cannot fail after realloc.
        auto record = h->blocks.extract(block);
        if (!record)
            return kSPBadParameterError;
        void* p = std::realloc(block, size ? size : 1);
        if (p) {
            record.key() = p;
            record.mapped() = size;
            *newBlock = p;
        }
        h->blocks.insert(std::move(record));
        return p ? kSPNoError : kSPOutOfMemoryError;
    });
}

SPErr Undefined() {
    ReportUnservedCall("SPBasicSuite::Undefined");
    return kSPUnimplementedError;
}

// ---- World suite 2 --------------------------------------------------------------------------------------

PF_Err NewWorldV2(PF_ProgPtr effect_ref, A_long width, A_long height, PF_Boolean clear, PF_PixelFormat format,
                  PF_EffectWorld* world) {
    return Guarded("PF_NewWorld", [&]() -> PF_Err {
        if (!InstanceOf(effect_ref, "PF_NewWorld"))
            return PF_Err_BAD_CALLBACK_PARAM;
        Host::Impl* h = CurrentHost("PF_NewWorld");
        if (PF_Err err = h->faults.Hit(Fault::NewWorld)) {
            h->worlds.CountRefusal();
            return err;
        }
        if (PixelSize(format) == 0)
            return PF_Err_UNRECOGNIZED_PARAM_TYPE;
        TracedSpan span(h, &ServiceTrace::memory);
        return h->worlds.Create(width, height, format, clear != 0, false, world);
    });
}

PF_Err DisposeWorldV2(PF_ProgPtr effect_ref, PF_EffectWorld* world) {
    return Guarded("PF_DisposeWorld", [&]() -> PF_Err {
        if (!InstanceOf(effect_ref, "PF_DisposeWorld"))
            return PF_Err_BAD_CALLBACK_PARAM;
        Host::Impl* h = CurrentHost("PF_DisposeWorld");
        TracedSpan span(h, &ServiceTrace::memory);
        return h->worlds.Dispose(world, false);
    });
}

PF_Err GetPixelFormat(const PF_EffectWorld* world, PF_PixelFormat* format) {
    return Guarded("PF_GetPixelFormat", [&]() -> PF_Err {
        Host::Impl* h = CurrentHost("PF_GetPixelFormat");
        if (!h || !world || !format)
            return PF_Err_BAD_CALLBACK_PARAM;
        if (!h->worlds.FormatOf(world, format)) {
            h->Violation("PF_GetPixelFormat of a world the host did not make");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        return PF_Err_NONE;
    });
}

// ---- World Transform suite --------------------------------------------------------------------------------

PF_Err TransformCopy(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
                     PF_Rect* dst_r) {
    return Guarded("World Transform copy", [&]() -> PF_Err {
        if (!InstanceOf(effect_ref, "World Transform copy"))
            return PF_Err_BAD_CALLBACK_PARAM;
        Host::Impl* h = CurrentHost("copy");
        if (PF_Err err = h->faults.Hit(Fault::Copy))
            return err;
        TracedSpan span(h, &ServiceTrace::copies);
        return CopyWorld(*h, src, dst, src_r, dst_r);
    });
}

PF_Err TransformCopyHQ(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
                       PF_Rect* dst_r) {
    return Guarded("World Transform copy_hq", [&]() -> PF_Err {
        if (!InstanceOf(effect_ref, "World Transform copy_hq"))
            return PF_Err_BAD_CALLBACK_PARAM;
        Host::Impl* h = CurrentHost("copy_hq");
        if (PF_Err err = h->faults.Hit(Fault::CopyHQ))
            return err;
        TracedSpan span(h, &ServiceTrace::copies);
        return CopyWorld(*h, src, dst, src_r, dst_r);
    });
}

// ---- Param Utils suite ------------------------------------------------------------------------------------

PF_Err UpdateParamUI(PF_ProgPtr effect_ref, PF_ParamIndex index, const PF_ParamDef* def) {
    return Guarded("PF_UpdateParamUI", [&]() -> PF_Err {
        Instance* instance = InstanceOf(effect_ref, "PF_UpdateParamUI");
        if (!instance || !def)
            return PF_Err_BAD_CALLBACK_PARAM;
        if (PF_Err err = instance->host().impl().faults.Hit(Fault::UpdateParamUI))
            return err;
        return instance->impl().UpdateUI(index, *def);
    });
}

// ---- AE App suite -----------------------------------------------------------------------------------------

PF_Err IsRenderEngine(PF_Boolean* engine) {
    Host::Impl* h = CurrentHost("PF_IsRenderEngine");
    if (!h || !engine)
        return PF_Err_BAD_CALLBACK_PARAM;
    *engine = h->settings.renderEngine ? 1 : 0;
    return PF_Err_NONE;
}

struct SuiteTables {
    PF_HandleSuite1 handle = MakeHandleSuite();
    PF_WorldSuite1 world1 = MakeWorldSuite1();
    PF_WorldSuite2 world2{&NewWorldV2, &DisposeWorldV2, &GetPixelFormat};
    PF_WorldTransformSuite1 transform{};
    PF_ParamUtilsSuite1 paramUtils{};
    PFAppSuite4 app{};

    SuiteTables() {
        HOST_UNSERVED(transform, composite_rect);
        HOST_UNSERVED(transform, blend);
        HOST_UNSERVED(transform, convolve);
        transform.copy = &TransformCopy;
        transform.copy_hq = &TransformCopyHQ;
        HOST_UNSERVED(transform, transfer_rect);
        HOST_UNSERVED(transform, transform_world);

        paramUtils.PF_UpdateParamUI = &UpdateParamUI;
        HOST_UNSERVED(paramUtils, PF_GetCurrentStateObsolete);
        HOST_UNSERVED(paramUtils, PF_HasParamChangedObsolete);
        HOST_UNSERVED(paramUtils, PF_HaveInputsChangedOverTimeSpanObsolete);
        HOST_UNSERVED(paramUtils, PF_IsIdenticalCheckout);
        HOST_UNSERVED(paramUtils, PF_FindKeyframeTime);
        HOST_UNSERVED(paramUtils, PF_GetKeyframeCount);
        HOST_UNSERVED(paramUtils, PF_CheckoutKeyframe);
        HOST_UNSERVED(paramUtils, PF_CheckinKeyframe);
        HOST_UNSERVED(paramUtils, PF_KeyIndexToTime);

        HOST_UNSERVED(app, PF_AppGetBgColor);
        HOST_UNSERVED(app, PF_AppGetColor);
        HOST_UNSERVED(app, PF_GetPersonalInfo);
        HOST_UNSERVED(app, PF_GetFontStyleSheet);
        HOST_UNSERVED(app, PF_SetCursor);
        app.PF_IsRenderEngine = &IsRenderEngine;
        HOST_UNSERVED(app, PF_AppColorPickerDialog);
        HOST_UNSERVED(app, PF_GetMouse);
        HOST_UNSERVED(app, PF_InvalidateRect);
        HOST_UNSERVED(app, PF_ConvertLocalToGlobal);
        HOST_UNSERVED(app, PF_GetColorAtGlobalPoint);
    }
};

const SuiteTables& Tables() {
    static const SuiteTables tables;
    return tables;
}

} // namespace

void FillBasicSuite(SPBasicSuite& b) {
    b.AcquireSuite = &AcquireSuite;
    b.ReleaseSuite = &ReleaseSuite;
    b.IsEqual = &IsEqual;
    b.AllocateBlock = &AllocateBlock;
    b.FreeBlock = &FreeBlock;
    b.ReallocateBlock = &ReallocateBlock;
    b.Undefined = &Undefined;
}

const void* ServedSuite(const char* name, A_long version) {
    const SuiteTables& t = Tables();
    std::string n = name;
    if (n == kPFHandleSuite && version == kPFHandleSuiteVersion1)
        return &t.handle;
    if (n == kPFWorldSuite && version == kPFWorldSuiteVersion1)
        return &t.world1;
    if (n == kPFWorldSuite && version == kPFWorldSuiteVersion2)
        return &t.world2;
    if (n == kPFWorldTransformSuite && version == kPFWorldTransformSuiteVersion1)
        return &t.transform;
    if (n == kPFParamUtilsSuite && version == kPFParamUtilsSuiteVersion1)
        return &t.paramUtils;
    if (n == kPFAppSuite && version == kPFAppSuiteVersion4)
        return &t.app;
    return nullptr;
}

PF_Err CopyWorld(Host::Impl& host, PF_EffectWorld* src, PF_EffectWorld* dst, const PF_Rect* srcRect,
                 const PF_Rect* dstRect) {
    PF_PixelFormat srcFormat = 0, dstFormat = 0;
    if (!src || !dst || !host.worlds.FormatOf(src, &srcFormat) || !host.worlds.FormatOf(dst, &dstFormat)) {
        host.Violation("copy with a world the host did not make");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (srcFormat != dstFormat)
        return PF_Err_BAD_CALLBACK_PARAM;
    PF_Rect s = srcRect ? *srcRect : PF_Rect{0, 0, src->width, src->height};
    PF_Rect d = dstRect ? *dstRect : PF_Rect{0, 0, dst->width, dst->height};
    auto inside = [](const PF_Rect& r, const PF_EffectWorld* w) {
        return r.left >= 0 && r.top >= 0 && r.left <= r.right && r.top <= r.bottom && r.right <= w->width &&
               r.bottom <= w->height;
    };
    // The host copies without scaling: both rectangles must lie inside their worlds and be the same size.
    if (!inside(s, src) || !inside(d, dst) || s.right - s.left != d.right - d.left ||
        s.bottom - s.top != d.bottom - d.top)
        return PF_Err_BAD_CALLBACK_PARAM;
    std::size_t size = std::size_t(PixelSize(srcFormat));
    std::size_t line = std::size_t(s.right - s.left) * size;
    A_long rows = s.bottom - s.top;
    const auto copyRows = [&](A_long first, A_long end, bool upwards) {
        for (A_long k = first; k < end; ++k) {
            A_long y = upwards ? end - 1 - (k - first) : k;
            const auto* from = reinterpret_cast<const std::uint8_t*>(src->data) +
                               std::ptrdiff_t(s.top + y) * src->rowbytes +
                               std::ptrdiff_t(s.left) * std::ptrdiff_t(size);
            auto* to = reinterpret_cast<std::uint8_t*>(dst->data) +
                       std::ptrdiff_t(d.top + y) * dst->rowbytes +
                       std::ptrdiff_t(d.left) * std::ptrdiff_t(size);
            std::memmove(to, from, line);
        }
    };
    // Within one world, a copy downwards walks the rows from the bottom so that no row is read after
    // it was overwritten.
    if (src->data == dst->data) {
        copyRows(0, rows, d.top > s.top);
        return PF_Err_NONE;
    }
    // A frame-sized copy between two worlds goes in row bands over the workers: most of its time is the
    // destination's fresh pages faulting in, which the threads then take in parallel, as a pass would.
    constexpr std::size_t kParallelBytes = std::size_t{8} << 20;
    WorkerPool& pool = host.Pool();
    if (pool.Threads() < 2 || WorkerPool::InsideCall() || line * std::size_t(rows) < kParallelBytes) {
        copyRows(0, rows, false);
        return PF_Err_NONE;
    }
    const A_long bands = pool.Threads();
    return pool.Run(bands, true, [&](A_long, A_long i) -> PF_Err {
        copyRows(A_long(std::int64_t(rows) * i / bands), A_long(std::int64_t(rows) * (i + 1) / bands), false);
        return PF_Err_NONE;
    });
}

} // namespace host
