// The utility callbacks (in_data->utils) and the interaction callbacks (in_data->inter).
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>

#include "host/Color.h"
#include "host/HostImpl.h"
#include "host/Unserved.h"

namespace host {

void ReportUnservedCall(const char* slot) {
    try {
        if (Host::Impl* h = CurrentHost(slot))
            h->Violation(std::string("the plug-in called ") + slot + ", which the host does not serve");
    } catch (...) {
        ReportHostFailure(slot, "out of memory while reporting an unserved call");
    }
}

namespace {

// ---- Handles --------------------------------------------------------------------------------------------

PF_Handle NewHandle(A_u_longlong size) {
    return GuardedValue("host_new_handle", PF_Handle(nullptr), [&]() -> PF_Handle {
        Host::Impl* h = CurrentHost("host_new_handle");
        if (!h)
            return nullptr;
        if (h->faults.Hit(Fault::NewHandle)) {
            h->handles.CountRefusal();
            return nullptr;
        }
        TracedSpan span(h, &ServiceTrace::memory);
        return h->handles.New(std::size_t(size));
    });
}

void* LockHandle(PF_Handle handle) {
    return GuardedValue("host_lock_handle", static_cast<void*>(nullptr), [&]() -> void* {
        Host::Impl* h = CurrentHost("host_lock_handle");
        if (!h)
            return nullptr;
        if (h->faults.Hit(Fault::LockHandle)) {
            h->handles.CountRefusal();
            return nullptr;
        }
        return h->handles.Lock(handle);
    });
}

void UnlockHandle(PF_Handle handle) {
    try {
        if (Host::Impl* h = CurrentHost("host_unlock_handle"))
            h->handles.Unlock(handle);
    } catch (...) {
        // The host's own failure (its memory ran out) ends here, never inside the plug-in.
    }
}

void DisposeHandle(PF_Handle handle) {
    try {
        if (Host::Impl* h = CurrentHost("host_dispose_handle")) {
            TracedSpan span(h, &ServiceTrace::memory);
            h->handles.Dispose(handle);
        }
    } catch (...) {
        // The host's own failure (its memory ran out) ends here, never inside the plug-in.
    }
}

A_u_longlong HandleSize(PF_Handle handle) {
    return GuardedValue("host_get_handle_size", A_u_longlong(0), [&]() -> A_u_longlong {
        Host::Impl* h = CurrentHost("host_get_handle_size");
        return h ? h->handles.Size(handle) : 0;
    });
}

PF_Err ResizeHandle(A_u_longlong size, PF_Handle* handle) {
    return Guarded("host_resize_handle", [&]() -> PF_Err {
        Host::Impl* h = CurrentHost("host_resize_handle");
        if (!h || !handle)
            return PF_Err_BAD_CALLBACK_PARAM;
        TracedSpan span(h, &ServiceTrace::memory);
        return h->handles.Resize(std::size_t(size), *handle) ? PF_Err_NONE : PF_Err_OUT_OF_MEMORY;
    });
}

// ---- Worlds ---------------------------------------------------------------------------------------------

PF_Err NewWorldV1(PF_ProgPtr effect_ref, A_long width, A_long height, PF_NewWorldFlags flags,
                  PF_EffectWorld* world) {
    return Guarded("new_world", [&]() -> PF_Err {
        if (!InstanceOf(effect_ref, "new_world"))
            return PF_Err_BAD_CALLBACK_PARAM;
        Host::Impl* h = CurrentHost("new_world");
        if (PF_Err err = h->faults.Hit(Fault::NewWorld)) {
            h->worlds.CountRefusal();
            return err;
        }
        PF_PixelFormat format =
            (flags & PF_NewWorldFlag_DEEP_PIXELS) ? PF_PixelFormat_ARGB64 : PF_PixelFormat_ARGB32;
        TracedSpan span(h, &ServiceTrace::memory);
        return h->worlds.Create(width, height, format, (flags & PF_NewWorldFlag_CLEAR_PIXELS) != 0, false,
                                world);
    });
}

PF_Err DisposeWorld(PF_ProgPtr effect_ref, PF_EffectWorld* world) {
    return Guarded("dispose_world", [&]() -> PF_Err {
        if (!InstanceOf(effect_ref, "dispose_world"))
            return PF_Err_BAD_CALLBACK_PARAM;
        Host::Impl* h = CurrentHost("dispose_world");
        TracedSpan span(h, &ServiceTrace::memory);
        return h->worlds.Dispose(world, false);
    });
}

PF_Err Copy(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r, PF_Rect* dst_r) {
    return Guarded("copy", [&]() -> PF_Err {
        if (!InstanceOf(effect_ref, "copy"))
            return PF_Err_BAD_CALLBACK_PARAM;
        Host::Impl* h = CurrentHost("copy");
        if (PF_Err err = h->faults.Hit(Fault::Copy))
            return err;
        TracedSpan span(h, &ServiceTrace::copies);
        return CopyWorld(*h, src, dst, src_r, dst_r);
    });
}

// ---- Parallel passes ------------------------------------------------------------------------------------

PF_Err IterateGeneric(A_long iterations, void* refcon, PF_IterateGenericFunc fn) {
    return Guarded("iterate_generic", [&]() -> PF_Err {
        Host::Impl* h = CurrentHost("iterate_generic");
        if (!h)
            return PF_Err_BAD_CALLBACK_PARAM;
        if (!fn || iterations < PF_Iterations_ONCE_PER_PROCESSOR) {
            h->Violation("iterate_generic with " +
                         std::string(fn ? "an iteration count below -1" : "no function"));
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (PF_Err err = h->faults.Hit(Fault::IterateGeneric))
            return err;
        WorkerPool& pool = h->Pool();
        bool onePerThread = iterations == PF_Iterations_ONCE_PER_PROCESSOR;
        A_long count = onePerThread ? pool.Threads() : iterations;
        const bool traced = TracingService(h);
        std::atomic<std::uint64_t> colourCalls{0};
        WorkerPool::Call call = [&](A_long thread, A_long i) -> PF_Err {
            try {
                if (!traced)
                    return fn(refcon, thread, i, count);
                const std::uint64_t before = ColourCallsOfThisThread();
                const PF_Err err = fn(refcon, thread, i, count);
                colourCalls.fetch_add(ColourCallsOfThisThread() - before, std::memory_order_relaxed);
                return err;
            } catch (const std::exception& e) {
                h->Violation(std::string("an exception left an iterate_generic function: ") + e.what());
            } catch (...) {
                h->Violation("an exception left an iterate_generic function");
            }
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        };
        if (!traced)
            return pool.Run(count, onePerThread, call);
        ServiceTrace::Pass pass;
        pass.calls = count;
        pass.start = ServiceTrace::Clock::now();
        const PF_Err err = pool.Run(count, onePerThread, call);
        pass.end = ServiceTrace::Clock::now();
        pass.colourCalls = colourCalls.load();
        std::lock_guard lock(h->traceMutex);
        if (h->tracing.load(std::memory_order_relaxed))
            h->trace.passes.push_back(pass);
        return err;
    });
}

// ---- Colour ---------------------------------------------------------------------------------------------

PF_Err RGBtoHLSCallback(PF_ProgPtr effect_ref, PF_Pixel* rgb, PF_HLS_Pixel hls) {
    return Guarded("RGBtoHLS", [&]() -> PF_Err {
        if (!InstanceOf(effect_ref, "RGBtoHLS"))
            return PF_Err_BAD_CALLBACK_PARAM;
        Host::Impl* h = CurrentHost("RGBtoHLS");
        // The key test asks once per distinct colour of a frame, a million times or more: a production
        // host leaves the count of uses (a shared counter behind a thread-local lookup) to strict hosts and
        // to a failure armed for it, which still comes on the use it names.
        if (h->settings.strict || h->faults.Armed(Fault::RGBtoHLS))
            if (PF_Err err = h->faults.Hit(Fault::RGBtoHLS))
                return err;
        if (!rgb || !hls)
            return PF_Err_BAD_CALLBACK_PARAM;
        // Counted without a lock: per thread inside a pass (the pass adds its calls' counts up).
        if (h->tracing.load(std::memory_order_relaxed)) {
            if (WorkerPool::InsideCall())
                ++ColourCallsOfThisThread();
            else
                h->colourCallsOutsidePasses.fetch_add(1, std::memory_order_relaxed);
        }
        RGBtoHLS(*rgb, hls);
        return PF_Err_NONE;
    });
}

// ---- Text -----------------------------------------------------------------------------------------------

int AnsiSprintf(A_char* buffer, const A_char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = std::vsprintf(buffer, format, args);
    va_end(args);
    return n;
}

A_char* AnsiStrcpy(A_char* dst, const A_char* src) {
    return std::strcpy(dst, src);
}

A_FpLong Atan(A_FpLong x) {
    return std::atan(x);
}
A_FpLong Atan2(A_FpLong y, A_FpLong x) {
    return std::atan2(y, x);
}
A_FpLong Ceil(A_FpLong x) {
    return std::ceil(x);
}
A_FpLong Cos(A_FpLong x) {
    return std::cos(x);
}
A_FpLong Exp(A_FpLong x) {
    return std::exp(x);
}
A_FpLong Fabs(A_FpLong x) {
    return std::fabs(x);
}
A_FpLong Floor(A_FpLong x) {
    return std::floor(x);
}
A_FpLong Fmod(A_FpLong x, A_FpLong y) {
    return std::fmod(x, y);
}
A_FpLong Hypot(A_FpLong x, A_FpLong y) {
    return std::hypot(x, y);
}
A_FpLong Log(A_FpLong x) {
    return std::log(x);
}
A_FpLong Log10(A_FpLong x) {
    return std::log10(x);
}
A_FpLong Pow(A_FpLong x, A_FpLong y) {
    return std::pow(x, y);
}
A_FpLong Sin(A_FpLong x) {
    return std::sin(x);
}
A_FpLong Sqrt(A_FpLong x) {
    return std::sqrt(x);
}
A_FpLong Tan(A_FpLong x) {
    return std::tan(x);
}
A_FpLong Asin(A_FpLong x) {
    return std::asin(x);
}
A_FpLong Acos(A_FpLong x) {
    return std::acos(x);
}

// ---- Platform data --------------------------------------------------------------------------------------

PF_Err GetPlatformData(PF_ProgPtr effect_ref, PF_PlatDataID which, void* data) {
    return Guarded("get_platform_data", [&]() -> PF_Err {
        Instance* instance = InstanceOf(effect_ref, "get_platform_data");
        if (!instance || !data)
            return PF_Err_BAD_CALLBACK_PARAM;
        Host::Impl& h = instance->host().impl();
        Plugin* plugin = instance->plugin();
        switch (which) {
        case PF_PlatData_MAIN_WND: {
            void* window = h.settings.mainWindow;
#if !defined(_WIN32)
            // Outside Windows there is no window; a fixed non-null value stands for the host's.
            if (!window)
                window = reinterpret_cast<void*>(std::uintptr_t(0x4D41494E));
#endif
            *static_cast<void**>(data) = window;
            return PF_Err_NONE;
        }
        case PF_PlatData_EXE_FILE_PATH_DEPRECATED:
        case PF_PlatData_RES_FILE_PATH_DEPRECATED: {
            std::string path = plugin ? plugin->AnsiPath() : std::string();
            auto* out = static_cast<char*>(data);
            if (path.size() >= AEFX_MAX_PATH) {
                out[0] = '\0';
                return PF_Err_BAD_CALLBACK_PARAM; // the path does not fit the caller's buffer
            }
            std::memcpy(out, path.c_str(), path.size() + 1);
            return PF_Err_NONE;
        }
        case PF_PlatData_EXE_FILE_PATH_W:
        case PF_PlatData_RES_FILE_PATH_W: {
            auto* out = static_cast<A_UTF16Char*>(data);
            std::u16string path = plugin ? plugin->File().u16string() : std::u16string();
            if (path.size() >= AEFX_MAX_PATH) {
                out[0] = 0;
                return PF_Err_BAD_CALLBACK_PARAM;
            }
            for (std::size_t i = 0; i < path.size(); ++i)
                out[i] = A_UTF16Char(path[i]);
            out[path.size()] = 0;
            return PF_Err_NONE;
        }
        case PF_PlatData_RES_DLLINSTANCE:
            *static_cast<void**>(data) = plugin ? plugin->Module() : nullptr;
            return PF_Err_NONE;
        default:
            h.Violation("get_platform_data with selector " + std::to_string(which) +
                        ", which the host does not serve");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
    });
}

// ---- Interaction ----------------------------------------------------------------------------------------

PF_Err CheckoutParam(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time, A_long, A_u_long,
                     PF_ParamDef* param) {
    return Guarded("checkout_param", [&]() -> PF_Err {
        Instance* instance = InstanceOf(effect_ref, "checkout_param");
        if (!instance || !param)
            return PF_Err_BAD_CALLBACK_PARAM;
        if (PF_Err err = instance->host().impl().faults.Hit(Fault::CheckoutParam))
            return err;
        return instance->impl().Checkout(index, what_time, param);
    });
}

PF_Err CheckinParam(PF_ProgPtr effect_ref, PF_ParamDef* param) {
    return Guarded("checkin_param", [&]() -> PF_Err {
        Instance* instance = InstanceOf(effect_ref, "checkin_param");
        if (!instance || !param)
            return PF_Err_BAD_CALLBACK_PARAM;
        PF_Err err = instance->impl().Checkin(param);
        if (PF_Err fault = instance->host().impl().faults.Hit(Fault::CheckinParam))
            return fault;
        return err;
    });
}

PF_Err AddParam(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def) {
    return Guarded("add_param", [&]() -> PF_Err {
        Instance* instance = InstanceOf(effect_ref, "add_param");
        if (!instance || !def)
            return PF_Err_BAD_CALLBACK_PARAM;
        if (PF_Err err = instance->host().impl().faults.Hit(Fault::AddParam))
            return err;
        return instance->impl().AddParam(index, *def);
    });
}

// Only the call of thread index 0 of a parallel pass may report progress or ask for an abort.
void CheckProgressThread(Host::Impl& h, const char* callback) {
    A_long thread = WorkerPool::CurrentThreadIndex();
    if (thread > 0)
        h.Violation(std::string(callback) + " called from iterate_generic thread index " +
                    std::to_string(thread) + " (only index 0 may)");
}

PF_Err Abort(PF_ProgPtr effect_ref) {
    return Guarded("abort", [&]() -> PF_Err {
        Instance* instance = InstanceOf(effect_ref, "abort");
        if (!instance)
            return PF_Err_BAD_CALLBACK_PARAM;
        CheckProgressThread(instance->host().impl(), "abort");
        return PF_Err_NONE;
    });
}

PF_Err Progress(PF_ProgPtr effect_ref, A_long current, A_long total) {
    return Guarded("progress", [&]() -> PF_Err {
        Instance* instance = InstanceOf(effect_ref, "progress");
        if (!instance)
            return PF_Err_BAD_CALLBACK_PARAM;
        CheckProgressThread(instance->host().impl(), "progress");
        {
            std::lock_guard lock(instance->impl().mutex);
            instance->impl().progress.emplace_back(current, total);
        }
        if (Host::Impl* h = &instance->host().impl(); h->tracing.load(std::memory_order_relaxed)) {
            const auto now = ServiceTrace::Clock::now();
            std::lock_guard lock(h->traceMutex);
            h->trace.progress.push_back(now);
        }
        return instance->host().impl().faults.Hit(Fault::Progress);
    });
}

} // namespace

void FillUtilCallbacks(PF_UtilCallbacks& u) {
    HOST_UNSERVED(u, begin_sampling);
    HOST_UNSERVED(u, subpixel_sample);
    HOST_UNSERVED(u, area_sample);
    u.get_batch_func_is_deprecated = nullptr;
    HOST_UNSERVED(u, end_sampling);
    HOST_UNSERVED(u, composite_rect);
    HOST_UNSERVED(u, blend);
    HOST_UNSERVED(u, convolve);
    u.copy = &Copy;
    HOST_UNSERVED(u, fill);
    HOST_UNSERVED(u, gaussian_kernel);
    HOST_UNSERVED(u, iterate);
    HOST_UNSERVED(u, premultiply);
    HOST_UNSERVED(u, premultiply_color);
    u.new_world = &NewWorldV1;
    u.dispose_world = &DisposeWorld;
    HOST_UNSERVED(u, iterate_origin);
    HOST_UNSERVED(u, iterate_lut);
    HOST_UNSERVED(u, transfer_rect);
    HOST_UNSERVED(u, transform_world);
    u.host_new_handle = &NewHandle;
    u.host_lock_handle = &LockHandle;
    u.host_unlock_handle = &UnlockHandle;
    u.host_dispose_handle = &DisposeHandle;
    HOST_UNSERVED(u, get_callback_addr);
    HOST_UNSERVED(u, app);
    u.ansi.atan = &Atan;
    u.ansi.atan2 = &Atan2;
    u.ansi.ceil = &Ceil;
    u.ansi.cos = &Cos;
    u.ansi.exp = &Exp;
    u.ansi.fabs = &Fabs;
    u.ansi.floor = &Floor;
    u.ansi.fmod = &Fmod;
    u.ansi.hypot = &Hypot;
    u.ansi.log = &Log;
    u.ansi.log10 = &Log10;
    u.ansi.pow = &Pow;
    u.ansi.sin = &Sin;
    u.ansi.sqrt = &Sqrt;
    u.ansi.tan = &Tan;
    u.ansi.sprintf = &AnsiSprintf;
    u.ansi.strcpy = &AnsiStrcpy;
    u.ansi.asin = &Asin;
    u.ansi.acos = &Acos;
    u.colorCB.RGBtoHLS = &RGBtoHLSCallback;
    HOST_UNSERVED(u, colorCB.HLStoRGB);
    HOST_UNSERVED(u, colorCB.RGBtoYIQ);
    HOST_UNSERVED(u, colorCB.YIQtoRGB);
    HOST_UNSERVED(u, colorCB.Luminance);
    HOST_UNSERVED(u, colorCB.Hue);
    HOST_UNSERVED(u, colorCB.Lightness);
    HOST_UNSERVED(u, colorCB.Saturation);
    u.get_platform_data = &GetPlatformData;
    u.host_get_handle_size = &HandleSize;
    HOST_UNSERVED(u, iterate_origin_non_clip_src);
    u.iterate_generic = &IterateGeneric;
    u.host_resize_handle = &ResizeHandle;
    HOST_UNSERVED(u, subpixel_sample16);
    HOST_UNSERVED(u, area_sample16);
    HOST_UNSERVED(u, fill16);
    HOST_UNSERVED(u, premultiply_color16);
    HOST_UNSERVED(u, iterate16);
    HOST_UNSERVED(u, iterate_origin16);
    HOST_UNSERVED(u, iterate_origin_non_clip_src16);
    HOST_UNSERVED(u, get_pixel_data8);
    HOST_UNSERVED(u, get_pixel_data16);
}

void FillInteractCallbacks(PF_InteractCallbacks& i) {
    i.checkout_param = &CheckoutParam;
    i.checkin_param = &CheckinParam;
    i.add_param = &AddParam;
    i.abort = &Abort;
    i.progress = &Progress;
    HOST_UNSERVED(i, register_ui);
    HOST_UNSERVED(i, checkout_layer_audio);
    HOST_UNSERVED(i, checkin_layer_audio);
    HOST_UNSERVED(i, get_audio_data);
}

// The handle functions are the same for the utility block and the Handle suite.
PF_HandleSuite1 MakeHandleSuite() {
    return PF_HandleSuite1{&NewHandle,     &LockHandle, &UnlockHandle,
                           &DisposeHandle, &HandleSize, &ResizeHandle};
}

PF_WorldSuite1 MakeWorldSuite1() {
    return PF_WorldSuite1{&NewWorldV1, &DisposeWorld};
}

} // namespace host
