#include "tests/frei0r/Frei0rModule.h"

#include <dlfcn.h>

#include <stdexcept>

namespace tovrin::test {
namespace {

template <class F>
void Find(void* module, const char* name, F& f) {
    f = reinterpret_cast<F>(dlsym(module, name));
    if (!f)
        throw std::runtime_error(std::string("the module does not export ") + name);
}

} // namespace

Frei0rModule& Frei0rModule::Get() {
    static Frei0rModule m = [] {
        void* module = dlopen(FREI0R_MODULE, RTLD_NOW | RTLD_LOCAL);
        if (!module)
            throw std::runtime_error(std::string("cannot load the module: ") + dlerror());
        Frei0rModule f{};
        Find(module, "f0r_init", f.init);
        Find(module, "f0r_deinit", f.deinit);
        Find(module, "f0r_get_plugin_info", f.pluginInfo);
        Find(module, "f0r_get_param_info", f.paramInfo);
        Find(module, "f0r_construct", f.construct);
        Find(module, "f0r_destruct", f.destruct);
        Find(module, "f0r_set_param_value", f.set);
        Find(module, "f0r_get_param_value", f.get);
        Find(module, "f0r_update", f.update);
        f.init();
        return f;
    }();
    return m;
}

int Frei0rModule::NumParams() {
    f0r_plugin_info_t info{};
    pluginInfo(&info);
    return info.num_params;
}

int Frei0rModule::Index(const std::string& name) {
    for (int i = 0; i < NumParams(); ++i) {
        f0r_param_info_t info{};
        paramInfo(&info, i);
        if (info.name && name == info.name)
            return i;
    }
    return -1;
}

std::vector<std::string> Frei0rModule::Names() {
    std::vector<std::string> names;
    for (int i = 0; i < NumParams(); ++i) {
        f0r_param_info_t info{};
        paramInfo(&info, i);
        names.push_back(info.name ? info.name : "");
    }
    return names;
}

Frame MakeFrame(unsigned width, unsigned height, int seed) {
    Frame frame(std::size_t(width) * height);
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x) {
            unsigned v = ((x / 9 + y / 7 + unsigned(seed)) % 4) * 70 + (x * y + unsigned(seed)) % 13;
            unsigned a = (x + y + unsigned(seed)) % 23 == 0 ? 0 : (x > width / 2 ? 255 : 140);
            unsigned r = v & 0xFF, g = (v * 3 + 40) & 0xFF, b = (x * 5 + unsigned(seed) * 11) & 0xFF;
            auto* p = reinterpret_cast<std::uint8_t*>(&frame[std::size_t(y) * width + x]);
            p[0] = std::uint8_t(r);
            p[1] = std::uint8_t(g);
            p[2] = std::uint8_t(b);
            p[3] = std::uint8_t(a);
        }
    return frame;
}

} // namespace tovrin::test
