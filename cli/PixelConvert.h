#pragma once
// The numeric conventions between files and the host, and between the host's depths. The depth formulas
// are the effect's own, so that a conversion here matches one the effect would make.
#include <cmath>
#include <cstdint>

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

// The whole image at another depth (a copy when the depth is the same).
HostImage ConvertDepth(const HostImage& image, Depth to);

// Straight ↔ associated alpha, in place, at the image's depth. A pixel with zero alpha keeps its colour
// when un-associated (there is nothing to divide by).
void Unassociate(HostImage& image);
void Associate(HostImage& image);

// Whether any pixel's alpha is below full scale.
bool HasPartialAlpha(const HostImage& image);

} // namespace cli
