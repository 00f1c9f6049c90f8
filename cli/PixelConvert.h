#pragma once
// The numeric conventions between files and the host, and between the host's depths, one pixel at a time so
// that files are converted band by band on their way into and out of a world. The depth formulas are the
// effect's own, so that a conversion here matches one the effect would make.
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "cli/HostImage.h"

namespace cli {

// ---- Files and the host -------------------------------------------------------------------------------
// A 16-bit file's 0..65535 and the host's 0..32768. Host → file → host is exact for every host value.
constexpr std::uint16_t FileToHost16(std::uint16_t v) {
    return std::uint16_t((std::uint32_t(v) * 32768u + 32767u) / 65535u);
}
constexpr std::uint16_t HostToFile16(std::uint16_t h) {
    std::uint32_t c = h > 32768 ? 32768u : h;
    return std::uint16_t((c * 65535u + 16384u) / 32768u);
}

// ---- The effect's depth formulas ------------------------------------------------------------------------
constexpr std::uint16_t Convert8To16(std::uint8_t c) {
    return std::uint16_t((std::uint32_t(c) * 32768u + 128u) / 255u);
}
constexpr std::uint8_t Convert16To8(std::uint16_t c) {
    std::uint32_t h = c > 32768 ? 32768u : c;
    return std::uint8_t((h * 255u + 16384u) >> 15);
}
inline float Convert8ToFloat(std::uint8_t c) {
    return float(c) / 255.0f;
}
inline float Convert16ToFloat(std::uint16_t c) {
    return float(c) / 32768.0f;
}
// Clamped to 0..1 (NaN counts as 0); the product in single precision, widened before the rounding add.
inline float ClampUnit(float c) {
    return c > 0.0f ? (c < 1.0f ? c : 1.0f) : 0.0f;
}
inline std::uint8_t ConvertFloatTo8(float c) {
    float p = ClampUnit(c) * 255.0f;
    return std::uint8_t(std::trunc(double(p) + 0.5));
}
inline std::uint16_t ConvertFloatTo16(float c) {
    float p = ClampUnit(c) * 32768.0f;
    return std::uint16_t(std::trunc(double(p) + 0.5));
}

// One channel from depth to depth (From, To: std::uint8_t, std::uint16_t or float).
template <class To, class From>
To ConvertChannel(From c) {
    if constexpr (std::is_same_v<From, To>)
        return c;
    else if constexpr (std::is_same_v<From, std::uint8_t>)
        return std::is_same_v<To, std::uint16_t> ? To(Convert8To16(c)) : To(Convert8ToFloat(c));
    else if constexpr (std::is_same_v<From, std::uint16_t>)
        return std::is_same_v<To, std::uint8_t> ? To(Convert16To8(c)) : To(Convert16ToFloat(c));
    else
        return std::is_same_v<To, std::uint8_t> ? To(ConvertFloatTo8(c)) : To(ConvertFloatTo16(c));
}

template <class P>
using ChannelOf = decltype(P::alpha);

template <class To, class From>
To ConvertPixel(const From& p) {
    using C = ChannelOf<To>;
    return To{ConvertChannel<C>(p.alpha), ConvertChannel<C>(p.red), ConvertChannel<C>(p.green),
              ConvertChannel<C>(p.blue)};
}

// Full scale of a depth's channel.
template <class P>
inline constexpr ChannelOf<P> kHostFull = ChannelOf<P>(1);
template <>
inline constexpr std::uint8_t kHostFull<PF_Pixel8> = 255;
template <>
inline constexpr std::uint16_t kHostFull<PF_Pixel16> = 32768;

// Straight ↔ associated alpha at the pixel's depth. A pixel with zero alpha keeps its colour when
// un-associated (there is nothing to divide by).
template <class P>
void UnassociatePixel(P& p) {
    if constexpr (std::is_same_v<P, PF_PixelFloat>) {
        if (p.alpha != 0.0f) {
            p.red = p.red / p.alpha;
            p.green = p.green / p.alpha;
            p.blue = p.blue / p.alpha;
        }
    } else {
        const std::uint32_t a = p.alpha, full = kHostFull<P>;
        if (a == 0)
            return;
        auto un = [&](auto c) {
            // Over full alpha the quotient is c itself: no division for the opaque pixels most frames hold.
            std::uint32_t v = a == full ? std::uint32_t(c) : (std::uint32_t(c) * full + a / 2) / a;
            return decltype(c)(v > full ? full : v);
        };
        p.red = un(p.red);
        p.green = un(p.green);
        p.blue = un(p.blue);
    }
}

template <class P>
void AssociatePixel(P& p) {
    if constexpr (std::is_same_v<P, PF_PixelFloat>) {
        p.red = p.red * p.alpha;
        p.green = p.green * p.alpha;
        p.blue = p.blue * p.alpha;
    } else {
        const std::uint32_t full = kHostFull<P>;
        const std::uint32_t a = p.alpha > full ? full : p.alpha;
        auto as = [&](auto c) { return decltype(c)((std::uint32_t(c) * a + full / 2) / full); };
        p.red = as(p.red);
        p.green = as(p.green);
        p.blue = as(p.blue);
    }
}

// Whether any pixel's alpha is below full scale.
bool HasPartialAlpha(const HostRows& rows);

} // namespace cli
