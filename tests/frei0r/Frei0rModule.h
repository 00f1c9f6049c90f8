#pragma once
// The frei0r module tovrin.so loaded into the test as an application loads it: dlopen, the f0r_ functions
// by name, f0r_init once for the process.
#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <frei0r.h>
}

namespace tovrin::test {

struct Frei0rModule {
    int (*init)();
    void (*deinit)();
    void (*pluginInfo)(f0r_plugin_info_t*);
    void (*paramInfo)(f0r_param_info_t*, int);
    f0r_instance_t (*construct)(unsigned, unsigned);
    void (*destruct)(f0r_instance_t);
    void (*set)(f0r_instance_t, f0r_param_t, int);
    void (*get)(f0r_instance_t, f0r_param_t, int);
    void (*update)(f0r_instance_t, double, const std::uint32_t*, std::uint32_t*);

    // The module of the process (loaded and initialised at the first call).
    static Frei0rModule& Get();

    int NumParams();
    int Index(const std::string& name); // -1 when no parameter has the name
    std::vector<std::string> Names();
};

using Frame = std::vector<std::uint32_t>;

// An RGBA frame with flat regions, hard edges, partial and zero alpha, varied by `seed`.
Frame MakeFrame(unsigned width, unsigned height, int seed);

} // namespace tovrin::test
