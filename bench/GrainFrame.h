#pragma once
// A frame as a camera gives it: a smooth picture (gradients and soft-edged discs of a few colours) under film
// grain, every channel of every pixel moved by its own random amount. Two thirds of the pixels differ from a
// neighbour, and the 8.3 million pixels of a 4K frame hold 1.3 million 8-bit colours: the content where the
// edge smoothing and the key test do the most work. Generated, so the benchmarks need no image file.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "sdk/AE_Effect.h"

namespace bench {

struct LinearPixel {
    float alpha, red, green, blue; // 0..1
};

// A counter-based random number, so the frame is the same on every run and platform.
inline uint64_t SplitMix(uint64_t x) {
    x += 0x9e3779b97f4a7c15ull;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ull;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebull;
    return x ^ (x >> 31);
}

// Grain of up to ±`grain` (in 8-bit units) per channel, triangular, around the picture.
inline std::vector<LinearPixel> GrainPicture(int width, int height, float grain = 6.0f) {
    std::vector<LinearPixel> frame(std::size_t(width) * height);
    struct Disc {
        float cx, cy, r, red, green, blue;
    };
    const Disc discs[] = {{0.30f, 0.40f, 0.22f, 0.95f, 0.55f, 0.15f},
                          {0.70f, 0.55f, 0.30f, 0.10f, 0.35f, 0.80f},
                          {0.55f, 0.20f, 0.12f, 0.85f, 0.80f, 0.70f},
                          {0.15f, 0.80f, 0.18f, 0.20f, 0.60f, 0.25f}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float u = float(x) / float(width), v = float(y) / float(height);
            float r = 0.05f + 0.9f * u, g = 0.05f + 0.9f * v, b = 0.5f + 0.4f * std::sin(9.0f * u + 4.0f * v);
            for (const Disc& d : discs) {
                const float dx = (u - d.cx) * float(width) / float(height), dy = v - d.cy;
                const float edge = (std::sqrt(dx * dx + dy * dy) - d.r) * 200.0f; // soft over a few pixels
                const float k = edge <= 0.0f ? 1.0f : (edge >= 1.0f ? 0.0f : 1.0f - edge);
                r = r + k * (d.red - r);
                g = g + k * (d.green - g);
                b = b + k * (d.blue - b);
            }
            const uint64_t n = SplitMix(uint64_t(y) * uint64_t(width) + uint64_t(x));
            auto noise = [&](int shift) {
                const float a = float((n >> shift) & 0xff) / 255.0f,
                            c = float((n >> (shift + 8)) & 0xff) / 255.0f;
                return (a + c - 1.0f) * grain / 255.0f;
            };
            auto clamp = [](float c) { return c < 0.0f ? 0.0f : (c > 1.0f ? 1.0f : c); };
            frame[std::size_t(y) * width + x] = {1.0f, clamp(r + noise(0)), clamp(g + noise(16)),
                                                 clamp(b + noise(32))};
        }
    return frame;
}

// The picture at a depth: 8-bit and 16-bit channels rounded to their full scale (255, 32768).
template <class Pixel>
Pixel AtDepth(const LinearPixel& p) {
    if constexpr (std::is_same_v<Pixel, PF_Pixel8>) {
        auto c = [](float v) { return A_u_char(v * 255.0f + 0.5f); };
        return Pixel{c(p.alpha), c(p.red), c(p.green), c(p.blue)};
    } else if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
        auto c = [](float v) { return A_u_short(v * 32768.0f + 0.5f); };
        return Pixel{c(p.alpha), c(p.red), c(p.green), c(p.blue)};
    } else {
        return Pixel{p.alpha, p.red, p.green, p.blue};
    }
}

// `grain` 6 is fine grain; 24 (a standard deviation near 0.04 of full scale) is the heavy grain of the tool
// benchmark's frames, where nearly every pixel differs from all its neighbours.
template <class Pixel>
std::vector<Pixel> GrainFrame(int width, int height, float grain = 6.0f) {
    const std::vector<LinearPixel> picture = GrainPicture(width, height, grain);
    std::vector<Pixel> frame(picture.size());
    for (std::size_t i = 0; i < picture.size(); ++i)
        frame[i] = AtDepth<Pixel>(picture[i]);
    return frame;
}

} // namespace bench
