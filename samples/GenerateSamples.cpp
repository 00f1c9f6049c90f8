// tovrin-samples: makes cel-like test frames for the tovrin tool: flat colour regions, hard aliased and
// anti-aliased edges, transparency (with colour kept under zero alpha) and a gradient, at 8-bit, 16-bit and
// float, plus a short 8-bit sequence in which the ball moves.
//
//   tovrin-samples OUTDIR [--size WxH] [--frames N]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <OpenImageIO/imageio.h>

namespace {

struct Rgba {
    float r = 0, g = 0, b = 0, a = 1;
};

Rgba Mix(const Rgba& under, const Rgba& over, float coverage) {
    const float k = coverage * over.a;
    return Rgba{under.r + (over.r - under.r) * k, under.g + (over.g - under.g) * k,
                under.b + (over.b - under.b) * k, under.a + (1.0f - under.a) * k};
}

// One frame of the scene. `t` moves the ball from left to right as it goes from 0 to 1.
class Scene {
public:
    Scene(int width, int height, float t) : w_(float(width)), h_(float(height)), t_(t) {}

    Rgba Pixel(int x, int y) const {
        const float px = float(x) + 0.5f, py = float(y) + 0.5f;
        // A gradient sky.
        const float sky = py / h_;
        Rgba c{0.30f + 0.50f * sky, 0.50f + 0.40f * sky, 0.95f, 1.0f};
        // Ground with a slanted horizon, point-sampled: hard stair steps.
        if (py > h_ * 0.64f + (px - w_ * 0.5f) * 0.12f)
            c = Rgba{0.30f, 0.62f, 0.28f, 1.0f};
        // A house: wall and roof in flat colours, point-sampled.
        const float hx = w_ * 0.18f, hw = w_ * 0.20f, wallTop = h_ * 0.48f, base = h_ * 0.74f;
        if (px >= hx && px < hx + hw && py >= wallTop && py < base)
            c = Rgba{0.93f, 0.85f, 0.66f, 1.0f};
        const float roofTop = h_ * 0.30f, mid = hx + hw * 0.5f;
        if (py >= roofTop && py < wallTop &&
            std::fabs(px - mid) < (py - roofTop) / (wallTop - roofTop) * hw * 0.6f)
            c = Rgba{0.78f, 0.18f, 0.16f, 1.0f};
        if (px >= hx + hw * 0.38f && px < hx + hw * 0.62f && py >= h_ * 0.60f && py < base)
            c = Rgba{0.35f, 0.20f, 0.12f, 1.0f};
        // A ball with a dark outline, anti-aliased by 4 × 4 samples.
        c = Mix(c, Rgba{0.10f, 0.08f, 0.10f, 1.0f},
                Coverage(x, y, [&](float sx, float sy) { return InBall(sx, sy, 1.0f); }));
        c = Mix(c, Rgba{0.98f, 0.60f, 0.14f, 1.0f},
                Coverage(x, y, [&](float sx, float sy) { return InBall(sx, sy, 0.86f); }));
        // On the right: a half-transparent pane, then a fully transparent strip whose colour stays.
        if (px >= w_ * 0.80f && py >= h_ * 0.10f && py < h_ * 0.50f)
            c = Rgba{0.95f, 0.97f, 1.0f, 0.5f};
        if (px >= w_ * 0.90f)
            c = Rgba{0.20f, 0.40f, 0.90f, 0.0f};
        return c;
    }

private:
    bool InBall(float sx, float sy, float scale) const {
        const float cx = w_ * (0.45f + 0.30f * t_), cy = h_ * 0.40f, r = h_ * 0.16f * scale;
        return (sx - cx) * (sx - cx) + (sy - cy) * (sy - cy) < r * r;
    }
    template <class Inside>
    static float Coverage(int x, int y, Inside inside) {
        int n = 0;
        for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 4; ++i)
                n += inside(float(x) + (float(i) + 0.5f) / 4.0f, float(y) + (float(j) + 0.5f) / 4.0f) ? 1 : 0;
        return float(n) / 16.0f;
    }

    float w_, h_, t_;
};

std::vector<Rgba> Render(int width, int height, float t) {
    Scene scene(width, height, t);
    std::vector<Rgba> pixels(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)] = scene.Pixel(x, y);
    return pixels;
}

template <class T>
std::vector<T> Quantize(const std::vector<Rgba>& pixels, double full) {
    std::vector<T> out;
    out.reserve(pixels.size() * 4);
    for (const Rgba& p : pixels)
        for (float v : {p.r, p.g, p.b, p.a})
            out.push_back(T(std::trunc(double(std::clamp(v, 0.0f, 1.0f)) * full + 0.5)));
    return out;
}

bool Write(const std::filesystem::path& path, int width, int height, OIIO::TypeDesc type, const void* data,
           bool straight) {
    auto out = OIIO::ImageOutput::create(path.string());
    if (!out) {
        std::fprintf(stderr, "tovrin-samples: %s: %s\n", path.c_str(), OIIO::geterror().c_str());
        return false;
    }
    OIIO::ImageSpec spec(width, height, 4, type);
    spec.alpha_channel = 3;
    spec.attribute("Software", "tovrin-samples");
    spec.attribute("ImageDescription", "Tovrin sample frame");
    // Straight files are written as given, keeping the colour under zero alpha.
    if (straight)
        spec.attribute("oiio:UnassociatedAlpha", 1);
    if (!out->open(path.string(), spec) || !out->write_image(type, data) || !out->close()) {
        std::fprintf(stderr, "tovrin-samples: %s: %s\n", path.c_str(), out->geterror().c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

int Usage() {
    std::fprintf(stderr, "usage: tovrin-samples OUTDIR [--size WxH] [--frames N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::filesystem::path dir;
    int width = 640, height = 360, frames = 8;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--size" && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 16 || height < 16 ||
                width > 16384 || height > 16384)
                return Usage();
        } else if (a == "--frames" && i + 1 < argc) {
            frames = std::atoi(argv[++i]);
            if (frames < 1 || frames > 9999)
                return Usage();
        } else if (dir.empty() && !a.empty() && a[0] != '-') {
            dir = a;
        } else {
            return Usage();
        }
    }
    if (dir.empty())
        return Usage();
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "tovrin-samples: cannot make %s: %s\n", dir.c_str(), ec.message().c_str());
        return 3;
    }

    const std::vector<Rgba> still = Render(width, height, 0.0f);
    const auto p8 = Quantize<std::uint8_t>(still, 255.0);
    const auto p16 = Quantize<std::uint16_t>(still, 65535.0);
    // OpenEXR stores colour premultiplied by alpha.
    std::vector<float> pf;
    for (const Rgba& p : still)
        for (float v : {p.r * p.a, p.g * p.a, p.b * p.a, p.a})
            pf.push_back(v);
    bool ok = Write(dir / "cel_8bit.png", width, height, OIIO::TypeDesc::UINT8, p8.data(), true) &&
              Write(dir / "cel_16bit.png", width, height, OIIO::TypeDesc::UINT16, p16.data(), true) &&
              Write(dir / "cel_float.exr", width, height, OIIO::TypeDesc::FLOAT, pf.data(), false);
    for (int f = 1; ok && f <= frames; ++f) {
        const auto px = Quantize<std::uint8_t>(
            Render(width, height, frames > 1 ? float(f - 1) / float(frames - 1) : 0.0f), 255.0);
        char name[64];
        std::snprintf(name, sizeof name, "cel_seq.%04d.png", f);
        ok = Write(dir / name, width, height, OIIO::TypeDesc::UINT8, px.data(), true);
    }
    return ok ? 0 : 3;
}
