#include "kernels/SelectKeyColors.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "kernels/MaskedPasses.h"
#include "kernels/PixelTraits.h"

namespace {

static_assert(std::atomic_ref<uint8_t>::is_always_lock_free);

// Column flags and the anything-selected byte are shared by every call; each only ever stores 1.
inline void RaiseSharedFlag(uint8_t& flag) noexcept {
    std::atomic_ref<uint8_t> shared(flag);
    if (shared.load(std::memory_order_relaxed) == 0)
        shared.store(1, std::memory_order_relaxed);
}

inline PF_Fixed ToFixed(double v) noexcept {
    return static_cast<PF_Fixed>(v * 65536.0 + 0.5);
}

// The colour the key test sees, per depth, with alpha 255.
inline PF_Pixel KeyColorOf(const PF_Pixel8& p) noexcept {
    return PF_Pixel{255, p.red, p.green, p.blue};
}
inline PF_Pixel KeyColorOf(const PF_Pixel16& p) noexcept {
    return PF_Pixel{255, ConvertChannel16To8(p.red), ConvertChannel16To8(p.green),
                    ConvertChannel16To8(p.blue)};
}
inline PF_Pixel KeyColorOf(const PF_PixelFloat& p) noexcept {
    return KeyColorOfFloat(p);
}

// The pixel that differs from p only in red, so that the first pixel of a block is always tested.
inline PF_Pixel8 Altered(PF_Pixel8 p) noexcept {
    p.red = p.red == 255 ? 0 : 255;
    return p;
}
inline PF_Pixel16 Altered(PF_Pixel16 p) noexcept {
    p.red = p.red == 32768 ? 0 : 32768;
    return p;
}
inline PF_PixelFloat Altered(PF_PixelFloat p) noexcept {
    p.red = p.red == 1.0f ? 0.0f : 1.0f;
    return p;
}

template <class Depth>
PF_Err SelectKeyColors(void* refcon, A_long i, A_long calls) noexcept {
    using Pixel = typename Depth::Pixel;
    auto* context = static_cast<KeySelectContext*>(refcon);
    if (!context)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    const PF_Rect& rect = context->rect;
    RectBlock split;
    if (const PF_Err err = SplitRectRows(rect, i, calls, &split); err != PF_Err_NONE)
        return err;
    const Block block = split.rows;
    if (block.count == 0)
        return PF_Err_NONE;
    const int32_t width = split.width;
    const int32_t height = split.height;

    SelectionPlane& plane = context->plane;
    const PF_EffectWorld* source = context->source;
    if (!WorldCoversRect(source, rect, sizeof(Pixel)) || !PlaneCovers(plane, width, height) ||
        !plane.rowFlags || !plane.columnFlags)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;

    const KeyColorEntry* keys = context->keys.data();
    const std::size_t keyCount = context->keys.size();
    const uint8_t value = context->selectedValue;
    const int32_t w = width;

    Pixel previous = Altered(WorldRow<const Pixel>(*source, rect.top + block.first)[rect.left]);
    uint8_t previousResult = 0;
    for (int32_t row = block.first; row < block.first + block.count; ++row) {
        const Pixel* src = WorldRow<const Pixel>(*source, rect.top + row) + rect.left;
        uint8_t* selection = plane.bytes + static_cast<std::ptrdiff_t>(row) * plane.passStride;
        bool rowSelected = false;
        for (int32_t x = 0; x < w; ++x) {
            // Runs of identical pixels (alpha included, floats bit for bit) are tested once.
            if (std::memcmp(&src[x], &previous, sizeof(Pixel)) == 0) {
                selection[x] = previousResult;
            } else {
                std::memcpy(&previous, &src[x], sizeof(Pixel));
                PF_Fixed hls[3] = {0, 0, 0};
                ConvertRgbToHls(context->in_data, KeyColorOf(src[x]), hls);
                uint8_t result = 0;
                for (std::size_t k = 0; k < keyCount; ++k) {
                    if (KeyDistance(hls, keys[k]) <= keys[k].range) {
                        selection[x] = value;
                        result = value;
                        break;
                    }
                }
                previousResult = result;
            }
            if (selection[x]) {
                rowSelected = true;
                RaiseSharedFlag(plane.columnFlags[x]);
            }
        }
        if (rowSelected) {
            plane.rowFlags[row] = 1;
            RaiseSharedFlag(plane.anythingSelected);
        }
    }
    return PF_Err_NONE;
}

} // namespace

void StandInRgbToHls(const PF_Pixel& rgb, PF_Fixed hls[3]) noexcept {
    const int r = rgb.red;
    const int g = rgb.green;
    const int b = rgb.blue;
    const int high = std::max({r, g, b});
    const int low = std::min({r, g, b});
    const int sum = high + low;
    const double lightness = sum / 510.0;
    double hue = 0.0;
    double saturation = 0.0;
    if (high != low) {
        const double delta = high - low;
        saturation = sum <= 255 ? delta / sum : delta / (510 - sum);
        if (r == high)
            hue = (g - b) / delta;
        else if (g == high)
            hue = 2.0 + (b - r) / delta;
        else
            hue = 4.0 + (r - g) / delta;
        hue *= 60.0;
        if (hue < 0.0)
            hue += 360.0;
    }
    hls[0] = ToFixed(hue);
    hls[1] = ToFixed(lightness);
    hls[2] = ToFixed(saturation);
}

PF_Err ConvertRgbToHls(const PF_InData* in_data, const PF_Pixel& rgb, PF_Fixed hls[3]) noexcept {
    if (in_data && in_data->utils && in_data->utils->colorCB.RGBtoHLS) {
        PF_Pixel pixel = rgb;
        return in_data->utils->colorCB.RGBtoHLS(in_data->effect_ref, &pixel, hls);
    }
    StandInRgbToHls(rgb, hls);
    return PF_Err_NONE;
}

PF_Pixel KeyColorOfFloat(const PF_PixelFloat& p) noexcept {
    const auto toByte = [](PF_FpShort c) noexcept -> A_u_char {
        // Values outside 0..1 would wrap in the byte; NaN fails both comparisons and counts as 0.
        const PF_FpShort clamped = c > 1.0f ? 1.0f : (c >= 0.0f ? c : 0.0f);
        const PF_FpShort scaled = clamped * 255.0f;
        return static_cast<A_u_char>(static_cast<double>(scaled) + 0.5);
    };
    return PF_Pixel{255, toByte(p.red), toByte(p.green), toByte(p.blue)};
}

PF_Err SelectKeyColors8(void* context, A_long, A_long i, A_long count) {
    return SelectKeyColors<Depth8>(context, i, count);
}
PF_Err SelectKeyColors16(void* context, A_long, A_long i, A_long count) {
    return SelectKeyColors<Depth16>(context, i, count);
}
PF_Err SelectKeyColorsFloat(void* context, A_long, A_long i, A_long count) {
    return SelectKeyColors<DepthFloat>(context, i, count);
}
