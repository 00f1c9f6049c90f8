// The frei0r 1.2 entry points of tovrin.so. Nothing may throw out of them: an application has no way to
// catch a C++ exception, so every failure becomes a message and a frame that passes through.
#include <cstdint>
// The header declares the C functions without C linkage or visibility of its own.
#pragma GCC visibility push(default)
extern "C" {
#include <frei0r.h>
}
#pragma GCC visibility pop

#include <cstdio>
#include <exception>

#include "frei0r/Engine.h"
#include "frei0r/Filter.h"

namespace {

template <class F>
void Guarded(const char* where, F&& body) noexcept {
    try {
        body();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tovrin (frei0r): %s: %s\n", where, e.what());
    } catch (...) {
        std::fprintf(stderr, "tovrin (frei0r): %s failed\n", where);
    }
}

const std::vector<frei0r::Control>& Controls() {
    return frei0r::Engine::Get()->Controls();
}

} // namespace

int f0r_init() {
    Guarded("f0r_init", [] { frei0r::Engine::Hold(); });
    return 1; // even without the effect: frames then pass through, as the message said
}

void f0r_deinit() {
    Guarded("f0r_deinit", [] { frei0r::Engine::Release(); });
}

void f0r_get_plugin_info(f0r_plugin_info_t* info) {
    if (!info)
        return;
    info->name = "Tovrin";
    info->author = "Ostrel";
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    info->color_model = F0R_COLOR_MODEL_RGBA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = TOVRIN_VERSION_MAJOR;
    info->minor_version = TOVRIN_VERSION_MINOR;
    info->num_params = 0;
    info->explanation = "Gaussian and box blur with per-channel lengths, key colours and edge smoothing";
    Guarded("f0r_get_plugin_info", [&] { info->num_params = int(Controls().size()); });
}

void f0r_get_param_info(f0r_param_info_t* info, int index) {
    if (!info)
        return;
    Guarded("f0r_get_param_info", [&] {
        const auto& controls = Controls();
        if (index < 0 || std::size_t(index) >= controls.size())
            return;
        const frei0r::Control& c = controls[std::size_t(index)];
        info->name = c.name.c_str();
        info->type = frei0r::Frei0rType(c.kind);
        info->explanation = c.explanation.c_str();
    });
}

f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    frei0r::Filter* filter = nullptr;
    Guarded("f0r_construct", [&] { filter = new frei0r::Filter(width, height); });
    return filter;
}

void f0r_destruct(f0r_instance_t instance) {
    Guarded("f0r_destruct", [&] { delete static_cast<frei0r::Filter*>(instance); });
}

void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
    if (instance)
        Guarded("f0r_set_param_value", [&] { static_cast<frei0r::Filter*>(instance)->Set(index, param); });
}

void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
    if (instance)
        Guarded("f0r_get_param_value", [&] { static_cast<frei0r::Filter*>(instance)->Get(index, param); });
}

void f0r_update(f0r_instance_t instance, double, const uint32_t* inframe, uint32_t* outframe) {
    if (instance)
        Guarded("f0r_update", [&] { static_cast<frei0r::Filter*>(instance)->Update(inframe, outframe); });
}

void f0r_update2(f0r_instance_t instance, double time, const uint32_t* inframe1, const uint32_t*,
                 const uint32_t*, uint32_t* outframe) {
    f0r_update(instance, time, inframe1, outframe);
}
