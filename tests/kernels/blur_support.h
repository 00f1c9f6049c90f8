#pragma once
// Lines, kernels and random content for the blur tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "kernels/BlurLine.h"
#include "kernels/GaussTable.h"
#include "tests/support/EffectSuites.h"

namespace blur_test {

// The framework allocator works (tables and line buffers come from host handles) and nothing leaks.
using BlurEnv = tovrin::test::EffectSuitesEnv;

// The helpers are each test file's own: the Windows build's compiler assumes a called function leaves
// alone the registers its own copy leaves alone, and the linker may keep another file's copy.
namespace {

// Every instruction set this processor runs, plain first.
inline std::vector<BlurIsa> AvailableIsas() {
    std::vector<BlurIsa> isas{BlurIsa::Plain};
    if (BestBlurIsa() >= BlurIsa::Sse41)
        isas.push_back(BlurIsa::Sse41);
    if (BestBlurIsa() >= BlurIsa::Avx2)
        isas.push_back(BlurIsa::Avx2);
    return isas;
}

inline const char* IsaName(BlurIsa isa) {
    return isa == BlurIsa::Plain ? "plain" : isa == BlurIsa::Sse41 ? "sse4.1" : "avx2";
}

inline BlurLineKernel BoxKernel(int32_t a, int32_t r, int32_t g, int32_t b, uint32_t centerWeight = 0) {
    BlurLineKernel k;
    k.boxRadius[0] = a;
    k.boxRadius[1] = r;
    k.boxRadius[2] = g;
    k.boxRadius[3] = b;
    k.boxCenterWeight = centerWeight;
    return k;
}

inline BlurLineKernel GaussKernel(const GaussTable& a, const GaussTable& r, const GaussTable& g,
                                  const GaussTable& b) {
    BlurLineKernel k;
    k.gauss[0] = &a;
    k.gauss[1] = &r;
    k.gauss[2] = &g;
    k.gauss[3] = &b;
    return k;
}

// Runs one line function over a line; the destination starts as `destination`.
template <class Pixel>
std::vector<Pixel> FilterLine(BlurKernel kernel, BlurVariant variant, BlurIsa isa,
                              const BlurLineKernel& kernels, const std::vector<Pixel>& source,
                              const std::vector<uint8_t>& selection, std::vector<Pixel> destination) {
    const int32_t length = static_cast<int32_t>(source.size());
    const BlurLineFunction<Pixel> f = SelectBlurLine<Pixel>(kernel, variant, isa, kernels, length);
    std::vector<unsigned char> scratch(BlurLineScratchBytes(length) + 64);
    unsigned char* aligned =
        scratch.data() + (64 - reinterpret_cast<std::uintptr_t>(scratch.data()) % 64) % 64;
    BlurLine<Pixel> line;
    line.source = source.data();
    line.selection = selection.data();
    line.length = length;
    line.destination = reinterpret_cast<unsigned char*>(destination.data());
    line.destinationStep = sizeof(Pixel);
    f(line, kernels, aligned);
    return destination;
}

template <class Pixel>
bool SameBytes(const std::vector<Pixel>& a, const std::vector<Pixel>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Pixel)) == 0;
}

inline PF_Pixel16 Px16(A_u_short a, A_u_short r, A_u_short g, A_u_short b) {
    return PF_Pixel16{a, r, g, b};
}
inline PF_PixelFloat PxF(float a, float r, float g, float b) {
    return PF_PixelFloat{a, r, g, b};
}

// Random channel values: 16-bit over the whole type (the sums must stay exact at 65535), float mostly
// inside 0..1 with some outside; alpha often 0 so that transparency matters.
inline A_u_short RandomChannel(std::mt19937& rng, A_u_short*) {
    const uint32_t kind = rng() % 8;
    if (kind == 0)
        return 0;
    if (kind == 1)
        return 65535;
    if (kind < 4)
        return static_cast<A_u_short>(rng() % 32769);
    return static_cast<A_u_short>(rng() & 0xFFFF);
}
inline float RandomChannel(std::mt19937& rng, float*) {
    const uint32_t kind = rng() % 8;
    if (kind == 0)
        return 0.0f;
    if (kind == 1)
        return static_cast<float>(rng() % 1000) * 0.01f - 4.0f;
    return static_cast<float>(rng() & 0xFFFFFF) * 0x1p-24f;
}

template <class Pixel>
Pixel RandomPixel(std::mt19937& rng) {
    using C = std::remove_reference_t<decltype(Pixel::alpha)>;
    Pixel p;
    p.alpha = rng() % 4 == 0 ? C(0) : RandomChannel(rng, static_cast<C*>(nullptr));
    p.red = RandomChannel(rng, static_cast<C*>(nullptr));
    p.green = RandomChannel(rng, static_cast<C*>(nullptr));
    p.blue = RandomChannel(rng, static_cast<C*>(nullptr));
    return p;
}

// Selections of several shapes: everything, nothing, noise, and runs of random lengths.
inline std::vector<uint8_t> RandomSelection(std::mt19937& rng, int32_t length) {
    std::vector<uint8_t> sel(static_cast<std::size_t>(length));
    const uint32_t shape = rng() % 5;
    bool on = rng() % 2 == 0;
    int32_t left = 0;
    for (auto& s : sel) {
        if (shape == 0)
            s = 255;
        else if (shape == 1)
            s = 0;
        else if (shape == 2)
            s = rng() % 2 ? static_cast<uint8_t>(1 + rng() % 255) : 0;
        else {
            if (left-- <= 0) {
                on = !on;
                left = static_cast<int32_t>(rng() % (shape == 3 ? 8 : 120));
            }
            s = on ? 255 : 0;
        }
    }
    return sel;
}

} // namespace
} // namespace blur_test
