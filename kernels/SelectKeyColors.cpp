#include "kernels/SelectKeyColors.h"

#include <algorithm>
#include <array>
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

static_assert(std::atomic_ref<uint64_t>::is_always_lock_free);

// The 24-bit index (red, green, blue) of the 8-bit colour the key test sees, per depth.
inline uint32_t KeyColorIndex(const PF_Pixel8& p) noexcept {
    return static_cast<uint32_t>(p.red) << 16 | static_cast<uint32_t>(p.green) << 8 | p.blue;
}
inline uint32_t KeyColorIndex(const PF_Pixel16& p) noexcept {
    return static_cast<uint32_t>(ConvertChannel16To8(p.red)) << 16 |
           static_cast<uint32_t>(ConvertChannel16To8(p.green)) << 8 | ConvertChannel16To8(p.blue);
}
inline uint32_t KeyColorIndex(const PF_PixelFloat& p) noexcept {
    const PF_Pixel c = KeyColorOfFloat(p);
    return static_cast<uint32_t>(c.red) << 16 | static_cast<uint32_t>(c.green) << 8 | c.blue;
}
// A channel's bits spread three apart: a colour's cache slot interleaves red, green and blue bit by bit, so
// colours close to each other (a grainy region's) share cache lines instead of lying 64 KB apart.
constexpr std::array<uint32_t, 256> kSpreadBits = [] {
    std::array<uint32_t, 256> table{};
    for (uint32_t v = 0; v < 256; ++v)
        for (uint32_t bit = 0; bit < 8; ++bit)
            table[v] |= ((v >> bit) & 1u) << (3 * bit);
    return table;
}();

inline uint32_t CacheSlot(uint32_t c) noexcept {
    return kSpreadBits[c >> 16] << 2 | kSpreadBits[(c >> 8) & 0xffu] << 1 | kSpreadBits[c & 0xffu];
}

// The cache's two bits for colour c (bit 0 known, bit 1 selected); 0 when there is no cache.
inline uint32_t CachedBits(const KeySelectContext& context, uint32_t c) noexcept {
    if (!context.cache.words)
        return 0;
    const uint32_t slot = CacheSlot(c);
    const uint64_t word =
        std::atomic_ref<uint64_t>(context.cache.words[slot >> 5]).load(std::memory_order_relaxed);
    return static_cast<uint32_t>(word >> ((slot & 31u) * 2u)) & 3u;
}

// What the cache knows of colour c: 1 selected, 0 not, -1 not known (or no cache).
inline int KnownAnswer(const KeySelectContext& context, uint32_t c) noexcept {
    const uint32_t bits = CachedBits(context, c);
    return (bits & 1u) ? static_cast<int>(bits >> 1) : -1;
}

// The key test of colour c, whose answer is remembered unless the host reported a failure (the next pixel
// of that colour then asks again, as it would without the cache). Bits are added by a plain store of the
// word as it is now plus the new ones: a store that crosses another thread's may drop that thread's
// colours, which are then only asked again (every bit ever stored is a true answer), and no locked
// instruction bounces the line between the threads.
bool AskKeys(const KeySelectContext& context, uint32_t c) noexcept {
    PF_Err err = PF_Err_NONE;
    const PF_Pixel colour{255, static_cast<A_u_char>(c >> 16), static_cast<A_u_char>(c >> 8),
                          static_cast<A_u_char>(c)};
    const bool selected = KeyListSelects(context.in_data, context.keys, colour, &err);
    if (context.cache.words && err == PF_Err_NONE) {
        const uint32_t slot = CacheSlot(c);
        std::atomic_ref<uint64_t> shared(context.cache.words[slot >> 5]);
        shared.store(shared.load(std::memory_order_relaxed) | uint64_t{selected ? 3u : 1u}
                                                                  << ((slot & 31u) * 2u),
                     std::memory_order_relaxed);
    }
    return selected;
}

inline bool Selects(const KeySelectContext& context, uint32_t c) noexcept {
    const int known = KnownAnswer(context, c);
    return known >= 0 ? known != 0 : AskKeys(context, c);
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

bool KeyListSelects(const PF_InData* in_data, const KeyList& keys, const PF_Pixel& colour,
                    PF_Err* err) noexcept {
    PF_Fixed hls[3] = {0, 0, 0};
    *err = ConvertRgbToHls(in_data, colour, hls);
    for (const KeyColorEntry& key : keys)
        if (KeyDistance(hls, key) <= key.range)
            return true;
    return false;
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
    return ForEachRowOfBlock(context, i, count, covered, [context](const LineBlock& block, int32_t row) {
        const PF_Rect& rect = context->rect;
        SelectionPlane& plane = context->plane;
        const uint8_t value = context->selectedValue;
        const Pixel* src = WorldRow<const Pixel>(*context->source, rect.top + row) + rect.left;
        uint8_t* selection = plane.bytes + static_cast<std::ptrdiff_t>(row) * plane.stride;
        // A chunk's cache entries are read first, all at once and without a branch, so that the reads of a
        // grainy row (scattered over the cache) wait for memory together rather than one after another;
        // then the colours not known yet are asked, each looked up again first in case an earlier pixel
        // of the chunk brought its answer in.
        constexpr int32_t kChunk = 64;
        uint32_t colours[kChunk];
        uint8_t known[kChunk];
        uint8_t any = 0;
        for (int32_t start = 0; start < block.width; start += kChunk) {
            const int32_t n = std::min(kChunk, block.width - start);
            for (int32_t k = 0; k < n; ++k) {
                const uint32_t c = KeyColorIndex(src[start + k]);
                colours[k] = c;
                known[k] = static_cast<uint8_t>(CachedBits(*context, c));
            }
            bool selected = false;
            for (int32_t k = 0; k < n; ++k) {
                if (known[k] & 1u)
                    selected = (known[k] & 2u) != 0;
                else if (k == 0 || colours[k] != colours[k - 1]) // runs of one colour are asked once
                    selected = Selects(*context, colours[k]);
                const uint8_t result = selected ? value : uint8_t{0};
                selection[start + k] = result;
                any |= result;
            }
        }
        // The row's padding too: the plane was not cleared beforehand.
        if (plane.stride > block.width)
            std::memset(selection + block.width, 0, static_cast<std::size_t>(plane.stride - block.width));
        if (any) {
            plane.rowFlags[row] = 1;
            for (int32_t x = 0; x < block.width; ++x)
                if (selection[x])
                    RaiseSharedFlag(plane.columnFlags[x]);
        }
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
        context.plane = MakeUnfilledSelectionPlane(empty ? 0 : static_cast<int32_t>(width),
                                                   empty ? 0 : static_cast<int32_t>(height));
        AEUtil::UniqueArray<uint64_t> cache;
        if (!empty && !keys.empty()) {
            cache = AEUtil::MakeArray<uint64_t>(kKeyColorCacheWords);
            std::memset(cache.get(), 0, kKeyColorCacheWords * sizeof(uint64_t));
            context.cache.words = cache.get();
        }
        const PF_Err err = RunPass(in_data, iterations, &context, SelectKeyColors<D>);
        plane = context.plane;
        return err;
    });
}
