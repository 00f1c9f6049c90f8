#include "kernels/SelectKeyColors.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>

#include "kernels/MaskedPasses.h"
#include "kernels/RowBlocks.h"

namespace {

static_assert(std::atomic_ref<uint8_t>::is_always_lock_free);

// Column flags are shared by every call; each only ever stores 1.
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

template <class Depth>
PF_Err SelectKeyColors(void* refcon, A_long, A_long i, A_long count) {
    using Pixel = typename Depth::Pixel;
    auto* context = static_cast<KeySelectContext*>(refcon);
    const auto covered = [context](const LineBlock& block) {
        const SelectionPlane& plane = context->plane;
        return WorldCoversRect(context->source, context->rect, sizeof(Pixel)) &&
               PlaneCovers(plane, block.width, block.height) && plane.rowFlags && plane.columnFlags;
    };
    return RunLineBlock(context, i, count, covered, [context](const LineBlock& block) {
        const PF_Rect& rect = context->rect;
        SelectionPlane& plane = context->plane;
        const PF_EffectWorld& source = *context->source;
        const KeyColorEntry* keys = context->keys.data();
        const std::size_t keyCount = context->keys.size();
        const uint8_t value = context->selectedValue;
        const Block rows = block.lines;

        Pixel previous = Altered(WorldRow<const Pixel>(source, rect.top + rows.first)[rect.left]);
        uint8_t previousResult = 0;
        for (int32_t row = rows.first; row < rows.first + rows.count; ++row) {
            const Pixel* src = WorldRow<const Pixel>(source, rect.top + row) + rect.left;
            uint8_t* selection = plane.bytes + static_cast<std::ptrdiff_t>(row) * plane.stride;
            bool rowSelected = false;
            for (int32_t x = 0; x < block.width; ++x) {
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
            if (rowSelected)
                plane.rowFlags[row] = 1;
        }
        return PF_Err_NONE;
    });
}

template PF_Err SelectKeyColors<Depth8>(void*, A_long, A_long, A_long);
template PF_Err SelectKeyColors<Depth16>(void*, A_long, A_long, A_long);
template PF_Err SelectKeyColors<DepthFloat>(void*, A_long, A_long, A_long);

int32_t KeyTolerance(double range) noexcept {
    const double t = range * kKeyDistanceLimit;
    if (!(t == t))
        return 0;
    if (t >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (t <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(t);
}

void AppendKeyColor(KeyList& keys, const PF_Fixed hls[3], double range) {
    keys.push_back(KeyColorEntry{hls[0], hls[1], hls[2], KeyTolerance(range)});
}

PF_Err BuildSelectionPlane(SelectionPlane& plane, const PF_InData* in_data, A_long iterations,
                           PF_EffectWorld* source, PF_PixelFormat format, const PF_Rect& area,
                           const KeyList& keys, uint8_t value) {
    return VisitDepth(format, [&]<class D>(D) -> PF_Err {
        const int64_t width = static_cast<int64_t>(area.right) - area.left;
        const int64_t height = static_cast<int64_t>(area.bottom) - area.top;
        // Checked before the plane is sized by it, so a damaged area cannot ask for a huge allocation.
        const bool empty = width <= 0 || height <= 0;
        if (!empty && !WorldCoversRect(source, area, sizeof(typename D::Pixel)))
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        KeySelectContext context;
        context.source = source;
        context.rect = area;
        context.in_data = in_data;
        context.keys = keys;
        context.selectedValue = value;
        context.plane = MakeSelectionPlane(empty ? 0 : static_cast<int32_t>(width),
                                           empty ? 0 : static_cast<int32_t>(height));
        const PF_Err err = RunPass(in_data, iterations, &context, SelectKeyColors<D>);
        plane = context.plane;
        return err;
    });
}
