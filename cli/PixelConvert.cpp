#include "cli/PixelConvert.h"

#include <type_traits>

namespace cli {

PF_PixelFormat FormatOf(Depth depth) {
    switch (depth) {
    case Depth::k8:
        return PF_PixelFormat_ARGB32;
    case Depth::k16:
        return PF_PixelFormat_ARGB64;
    case Depth::k32:
        return PF_PixelFormat_ARGB128;
    }
    return PF_PixelFormat_INVALID;
}

int BitsOf(Depth depth) {
    return depth == Depth::k8 ? 8 : depth == Depth::k16 ? 16 : 32;
}

std::size_t PixelBytes(Depth depth) {
    return depth == Depth::k8    ? sizeof(PF_Pixel8)
           : depth == Depth::k16 ? sizeof(PF_Pixel16)
                                 : sizeof(PF_PixelFloat);
}

std::string FormatText(Depth depth) {
    return depth == Depth::k8 ? "'argb'" : depth == Depth::k16 ? "'ae16'" : "'ae32'";
}

namespace {

// One channel from depth to depth, by the effect's formulas.
template <class From, class To>
To ConvertChannel(From c);
template <>
std::uint8_t ConvertChannel(std::uint8_t c) {
    return c;
}
template <>
std::uint16_t ConvertChannel(std::uint8_t c) {
    return Convert8To16(c);
}
template <>
float ConvertChannel(std::uint8_t c) {
    return Convert8ToFloat(c);
}
template <>
std::uint8_t ConvertChannel(std::uint16_t c) {
    return Convert16To8(c);
}
template <>
std::uint16_t ConvertChannel(std::uint16_t c) {
    return c;
}
template <>
float ConvertChannel(std::uint16_t c) {
    return Convert16ToFloat(c);
}
template <>
std::uint8_t ConvertChannel(float c) {
    return ConvertFloatTo8(c);
}
template <>
std::uint16_t ConvertChannel(float c) {
    return ConvertFloatTo16(c);
}
template <>
float ConvertChannel(float c) {
    return c;
}

template <class SrcPixel, class DstPixel>
void ConvertPixels(const SrcPixel* src, DstPixel* dst, std::size_t count) {
    using S = decltype(SrcPixel::alpha);
    using D = decltype(DstPixel::alpha);
    for (std::size_t i = 0; i < count; ++i) {
        dst[i].alpha = ConvertChannel<S, D>(src[i].alpha);
        dst[i].red = ConvertChannel<S, D>(src[i].red);
        dst[i].green = ConvertChannel<S, D>(src[i].green);
        dst[i].blue = ConvertChannel<S, D>(src[i].blue);
    }
}

template <class SrcPixel>
void ConvertFrom(const HostImage& image, HostImage& out) {
    const SrcPixel* src = image.As<SrcPixel>();
    switch (out.depth) {
    case Depth::k8:
        ConvertPixels(src, out.As<PF_Pixel8>(), image.Pixels());
        break;
    case Depth::k16:
        ConvertPixels(src, out.As<PF_Pixel16>(), image.Pixels());
        break;
    case Depth::k32:
        ConvertPixels(src, out.As<PF_PixelFloat>(), image.Pixels());
        break;
    }
}

// Full scale of an integer depth; the float depth's is 1.
template <class P>
constexpr std::uint32_t kFull = 0;
template <>
constexpr std::uint32_t kFull<PF_Pixel8> = 255;
template <>
constexpr std::uint32_t kFull<PF_Pixel16> = 32768;

template <class P>
void UnassociateImpl(P* px, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        P& p = px[i];
        if constexpr (std::is_same_v<P, PF_PixelFloat>) {
            if (p.alpha != 0.0f) {
                p.red = p.red / p.alpha;
                p.green = p.green / p.alpha;
                p.blue = p.blue / p.alpha;
            }
        } else {
            const std::uint32_t a = p.alpha, full = kFull<P>;
            if (a == 0)
                continue;
            auto un = [&](auto c) {
                std::uint32_t v = (std::uint32_t(c) * full + a / 2) / a;
                return decltype(c)(v > full ? full : v);
            };
            p.red = un(p.red);
            p.green = un(p.green);
            p.blue = un(p.blue);
        }
    }
}

template <class P>
void AssociateImpl(P* px, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        P& p = px[i];
        if constexpr (std::is_same_v<P, PF_PixelFloat>) {
            p.red = p.red * p.alpha;
            p.green = p.green * p.alpha;
            p.blue = p.blue * p.alpha;
        } else {
            const std::uint32_t full = kFull<P>;
            const std::uint32_t a = p.alpha > full ? full : p.alpha;
            auto as = [&](auto c) { return decltype(c)((std::uint32_t(c) * a + full / 2) / full); };
            p.red = as(p.red);
            p.green = as(p.green);
            p.blue = as(p.blue);
        }
    }
}

template <class P>
bool HasPartialAlphaImpl(const P* px, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if constexpr (std::is_same_v<P, PF_PixelFloat>) {
            if (!(px[i].alpha >= 1.0f))
                return true;
        } else if (px[i].alpha < kFull<P>) {
            return true;
        }
    }
    return false;
}

} // namespace

HostImage ConvertDepth(const HostImage& image, Depth to) {
    if (image.depth == to)
        return image;
    HostImage out(image.width, image.height, to);
    switch (image.depth) {
    case Depth::k8:
        ConvertFrom<PF_Pixel8>(image, out);
        break;
    case Depth::k16:
        ConvertFrom<PF_Pixel16>(image, out);
        break;
    case Depth::k32:
        ConvertFrom<PF_PixelFloat>(image, out);
        break;
    }
    return out;
}

void Unassociate(HostImage& image) {
    switch (image.depth) {
    case Depth::k8:
        UnassociateImpl(image.As<PF_Pixel8>(), image.Pixels());
        break;
    case Depth::k16:
        UnassociateImpl(image.As<PF_Pixel16>(), image.Pixels());
        break;
    case Depth::k32:
        UnassociateImpl(image.As<PF_PixelFloat>(), image.Pixels());
        break;
    }
}

void Associate(HostImage& image) {
    switch (image.depth) {
    case Depth::k8:
        AssociateImpl(image.As<PF_Pixel8>(), image.Pixels());
        break;
    case Depth::k16:
        AssociateImpl(image.As<PF_Pixel16>(), image.Pixels());
        break;
    case Depth::k32:
        AssociateImpl(image.As<PF_PixelFloat>(), image.Pixels());
        break;
    }
}

bool HasPartialAlpha(const HostImage& image) {
    switch (image.depth) {
    case Depth::k8:
        return HasPartialAlphaImpl(image.As<PF_Pixel8>(), image.Pixels());
    case Depth::k16:
        return HasPartialAlphaImpl(image.As<PF_Pixel16>(), image.Pixels());
    case Depth::k32:
        return HasPartialAlphaImpl(image.As<PF_PixelFloat>(), image.Pixels());
    }
    return false;
}

} // namespace cli
