#pragma once
// Images in plain memory for the engine's tests: exact-size pixel and map blocks (so the sanitizers see
// any access past them), images drawn from rows of letters, and the engine's frame without a host.
#include <cstdint>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "edgesmooth/EdgeDepth.h"
#include "edgesmooth/EdgeDetect.h"
#include "edgesmooth/EdgeFlagMap.h"
#include "edgesmooth/EdgeImage.h"
#include "edgesmooth/SmoothingPass.h"

template <class Pixel>
struct TestImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<Pixel> pixels;

    TestImage() = default;
    TestImage(int32_t w, int32_t h, Pixel fill = Pixel{})
        : width(w), height(h), pixels(size_t(w) * h, fill) {}
    Pixel& At(int32_t x, int32_t y) { return pixels[size_t(y) * width + x]; }
    const Pixel& At(int32_t x, int32_t y) const { return pixels[size_t(y) * width + x]; }

    template <class P>
    EdgeImage<P> ViewAs() const {
        EdgeImage<P> v;
        v.data = reinterpret_cast<typename EdgeImage<P>::Byte*>(const_cast<Pixel*>(pixels.data()));
        v.rowbytes = std::ptrdiff_t(width) * std::ptrdiff_t(sizeof(Pixel));
        v.width = width;
        v.height = height;
        return v;
    }
};

// One letter per pixel; every row the same length.
template <class Pixel>
TestImage<Pixel> Draw(const std::vector<std::string>& rows, const std::map<char, Pixel>& palette) {
    TestImage<Pixel> image(int32_t(rows.at(0).size()), int32_t(rows.size()));
    for (int32_t y = 0; y < image.height; ++y) {
        EXPECT_EQ(rows[y].size(), size_t(image.width));
        for (int32_t x = 0; x < image.width; ++x)
            image.At(x, y) = palette.at(rows[y][x]);
    }
    return image;
}

// A zeroed map block of exactly the engine's size.
struct TestMap {
    std::vector<uint8_t> block;
    EdgeFlagMap map;
    TestMap(int32_t w, int32_t h) : block(EdgeFlagMapBytes(w, h)) {
        map = ClearEdgeFlagMap(block.data(), EdgeFlagMapStride(w), w, h);
    }
    TestMap(const TestMap&) = delete;
};

template <class Depth>
std::unique_ptr<TestMap> MapOf(const TestImage<typename Depth::Pixel>& image, int32_t threshold = 10) {
    auto m = std::make_unique<TestMap>(image.width, image.height);
    DetectEdges<Depth>(m->map, image.template ViewAs<const typename Depth::Pixel>(),
                       Depth::ScaleLevel(threshold));
    return m;
}

// The engine's frame without the host: copy, flag map, edge detection on the copy, smoothing pass.
template <class Depth>
TestImage<typename Depth::Pixel> SmoothInMemory(const TestImage<typename Depth::Pixel>& source,
                                                int32_t strength = 70, int32_t threshold = 10) {
    using Pixel = typename Depth::Pixel;
    TestImage<Pixel> target = source;
    if (strength == 0 || source.width == 0 || source.height == 0)
        return target;
    EdgeSmoothJob job;
    job.strength = strength;
    job.threshold = threshold;
    const EdgeScale<Depth> scale = ScaleJob<Depth>(job);
    TestMap map(source.width, source.height);
    EdgePass<Depth> pass;
    pass.map = map.map;
    pass.source = source.template ViewAs<const Pixel>();
    pass.target = target.template ViewAs<Pixel>();
    pass.strength = strength;
    pass.lightWeight = scale.lightWeight;
    pass.loneWeight = scale.loneWeight;
    DetectEdges<Depth>(pass.map, target.template ViewAs<const Pixel>(), scale.threshold);
    RunSmoothingPass(pass);
    return target;
}

inline bool operator==(const PF_Pixel8& a, const PF_Pixel8& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
inline bool operator==(const PF_Pixel16& a, const PF_Pixel16& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}
inline bool operator==(const PF_PixelFloat& a, const PF_PixelFloat& b) {
    return std::memcmp(&a, &b, sizeof a) == 0; // bit for bit
}
inline void PrintTo(const PF_Pixel8& p, std::ostream* os) {
    *os << "(" << int(p.alpha) << ", " << int(p.red) << ", " << int(p.green) << ", " << int(p.blue) << ")";
}
inline void PrintTo(const PF_Pixel16& p, std::ostream* os) {
    *os << "(" << p.alpha << ", " << p.red << ", " << p.green << ", " << p.blue << ")";
}
inline void PrintTo(const PF_PixelFloat& p, std::ostream* os) {
    *os << std::hexfloat << "(" << p.alpha << ", " << p.red << ", " << p.green << ", " << p.blue << ")"
        << std::defaultfloat;
}

// The map bytes of an image as rows of hexadecimal digits (one digit per pixel), for readable failures.
inline std::vector<std::string> MapRows(const EdgeFlagMap& m) {
    std::vector<std::string> rows;
    for (int32_t y = 0; y < m.height; ++y) {
        std::string row;
        for (int32_t x = 0; x < m.width; ++x)
            row += "0123456789abcdef"[m.At(x, y) & 15];
        rows.push_back(row);
    }
    return rows;
}

// The pixels where two images differ, as "(x,y)" entries, so a failure names them.
template <class Pixel>
std::vector<std::string> Differences(const TestImage<Pixel>& a, const TestImage<Pixel>& b) {
    std::vector<std::string> out;
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t x = 0; x < a.width; ++x)
            if (!(a.At(x, y) == b.At(x, y)))
                out.push_back((std::ostringstream() << "(" << x << "," << y << ")").str());
    return out;
}
