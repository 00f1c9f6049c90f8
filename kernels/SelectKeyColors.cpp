#include "kernels/SelectKeyColors.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <limits>

#include "kernels/KeyColorSlots.h"
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

// The cache's two bits at a slot (bit 0 known, bit 1 selected).
inline uint32_t CachedBitsAt(uint64_t* words, uint32_t slot) noexcept {
    const uint64_t word = std::atomic_ref<uint64_t>(words[slot >> 5]).load(std::memory_order_relaxed);
    return static_cast<uint32_t>(word >> ((slot & 31u) * 2u)) & 3u;
}

// The host's colour conversion and the keys as a row of the pass finds them once: in_data, its utility
// table and the callback are read before the row's first colour rather than one after another (each
// waiting on the last) for every colour asked.
struct ColourConverter {
    PF_Err (*convert)(PF_ProgPtr, PF_Pixel*, PF_HLS_Pixel) = nullptr; // null: the stand-in conversion
    PF_ProgPtr effect_ref = nullptr;
    const KeyColorEntry* keys = nullptr;
    const KeyColorEntry* keysEnd = nullptr;
};

ColourConverter ConverterOf(const PF_InData* in_data, const KeyList& keys) noexcept {
    ColourConverter converter;
    if (in_data && in_data->utils && in_data->utils->colorCB.RGBtoHLS) {
        converter.convert = in_data->utils->colorCB.RGBtoHLS;
        converter.effect_ref = in_data->effect_ref;
    }
    converter.keys = keys.data();
    converter.keysEnd = keys.data() + keys.size();
    return converter;
}

// Whether the keys select a colour: its HLS from the host (or the stand-in), then the keys in order. The
// host's result is stored in *err.
bool ConverterSelects(const ColourConverter& converter, PF_Pixel colour, PF_Err* err) noexcept {
    PF_Fixed hls[3] = {0, 0, 0};
    *err = PF_Err_NONE;
    if (converter.convert)
        *err = converter.convert(converter.effect_ref, &colour, hls);
    else
        StandInRgbToHls(colour, hls);
    for (const KeyColorEntry* key = converter.keys; key != converter.keysEnd; ++key)
        if (KeyDistance(hls, *key) <= key->range)
            return true;
    return false;
}

// The key test of colour c (at cache slot `slot`): its answer as the cache's two bits (known, selected).
// The answer is remembered unless the host reported a failure (the next pixel of that colour then asks
// again, as it would without the cache). Bits are added by a plain store of the word as it is now plus the
// new ones: a store that crosses another thread's may drop that thread's colours, which are then only
// asked again (every bit ever stored is a true answer), and no locked instruction bounces the line
// between the threads.
uint32_t AskKeys(const ColourConverter& converter, uint64_t* words, uint32_t c, uint32_t slot) noexcept {
    PF_Err err = PF_Err_NONE;
    const PF_Pixel colour{255, static_cast<A_u_char>(c >> 16), static_cast<A_u_char>(c >> 8),
                          static_cast<A_u_char>(c)};
    const uint32_t answer = ConverterSelects(converter, colour, &err) ? 3u : 1u;
    if (words && err == PF_Err_NONE) {
        std::atomic_ref<uint64_t> shared(words[slot >> 5]);
        shared.store(shared.load(std::memory_order_relaxed) | uint64_t{answer} << ((slot & 31u) * 2u),
                     std::memory_order_relaxed);
    }
    return answer;
}

// Which of 8 bytes of a chunk's cache bits (each 1 or 3) say selected: byte j gives bit j.
inline uint32_t SelectedMask8(const uint8_t* bits) noexcept {
    static_assert(std::endian::native == std::endian::little);
    uint64_t w;
    std::memcpy(&w, bits, sizeof w);
    return static_cast<uint32_t>((((w >> 1) & 0x0101010101010101u) * 0x0102040810204080u) >> 56);
}

// Which of 8 bytes of a chunk's cache bits say the colour is not known (bit 0 clear): byte j gives bit j.
inline uint32_t UnknownMask8(const uint8_t* bits) noexcept {
    uint64_t w;
    std::memcpy(&w, bits, sizeof w);
    return static_cast<uint32_t>(((~w & 0x0101010101010101u) * 0x0102040810204080u) >> 56);
}

// Raises the shared flag of each selected column of a chunk (n pixels from column `start`, a multiple of
// 64, whose bits are settled): those this call raised before (`raised`, for the first kTrackedColumns
// columns) are skipped 64 at a time.
template <std::size_t kWords>
void RaiseColumnFlags(uint8_t* columnFlags, uint64_t (&raised)[kWords], const uint8_t* bits, int32_t start,
                      int32_t n) noexcept {
    for (int32_t group = 0; group < n; group += 64) {
        const int32_t column = start + group;
        const int32_t width = std::min(64, n - group);
        if (static_cast<std::size_t>(column / 64) >= kWords) {
            for (int32_t k = 0; k < width; ++k)
                if (bits[group + k] & 2u)
                    RaiseSharedFlag(columnFlags[column + k]);
            continue;
        }
        uint64_t selected = 0;
        for (int32_t b = 0; b < width; b += 8)
            selected |= uint64_t{SelectedMask8(bits + group + b)} << b;
        if (width < 64)
            selected &= (uint64_t{1} << width) - 1;
        uint64_t& seen = raised[column / 64];
        for (uint64_t fresh = selected & ~seen; fresh; fresh &= fresh - 1)
            RaiseSharedFlag(columnFlags[column + std::countr_zero(fresh)]);
        seen |= selected;
    }
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
    return ConverterSelects(ConverterOf(in_data, keys), colour, err);
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
    // The columns whose shared flag this call has raised, for the first kTrackedColumns columns: a row's
    // selected pixels are checked 64 columns at a time against them, so that the shared flags are read
    // only for columns this call has not raised yet (once per column rather than once per pixel).
    constexpr int32_t kTrackedColumns = 8192;
    uint64_t raised[kTrackedColumns / 64] = {};
    return ForEachRowOfBlock(
        context, i, count, covered, [context, &raised](const LineBlock& block, int32_t row) {
            const PF_Rect& rect = context->rect;
            SelectionPlane& plane = context->plane;
            const uint8_t value = context->selectedValue;
            const Pixel* src = WorldRow<const Pixel>(*context->source, rect.top + row) + rect.left;
            uint8_t* selection = plane.bytes + static_cast<std::ptrdiff_t>(row) * plane.stride;
            // A chunk at a time: its colours and cache slots first (the widest loop the processor has), then
            // every cache entry read at once without a branch, so that the reads of a grainy row (scattered
            // over the cache) wait for memory together rather than one after another; then the pixels whose
            // colour was not known, marked in masks of 64 as the entries are read, are settled in order: a
            // colour the previous pixel had takes its answer, one that an earlier ask brought into the cache
            // is read again, the rest are asked.
            constexpr int32_t kChunk = 256;
            uint32_t colours[kChunk];
            uint32_t slots[kChunk];
            uint8_t bits[kChunk];
            uint64_t* const words = context->cache.words;
            const ColourConverter converter = ConverterOf(context->in_data, context->keys);
            const KeySlotIsa isa = BestKeySlotIsa();
            uint32_t previousColour = 0;
            uint8_t previousBits = 0; // none yet: the row's first pixel is tested whatever its colour
            uint8_t any = 0;
            for (int32_t start = 0; start < block.width; start += kChunk) {
                const int32_t n = std::min(kChunk, block.width - start);
                MakeKeySlots(isa, src + start, n, colours, slots);
                // Bit k % 64 of unknown[k / 64]: pixel k's colour was not known when its entry was read.
                uint64_t unknown[kChunk / 64] = {};
                if (words) {
                    for (int32_t k = 0; k < n; ++k)
                        bits[k] = static_cast<uint8_t>(CachedBitsAt(words, slots[k]));
                } else {
                    std::memset(bits, 0, static_cast<std::size_t>(n));
                }
                // The masks read whole groups of 8: past the chunk's end, known and not selected.
                if (n % 8)
                    std::memset(bits + n, 1, static_cast<std::size_t>(8 - n % 8));
                for (int32_t b = 0; b < n; b += 8)
                    unknown[b / 64] |= uint64_t{UnknownMask8(bits + b)} << (b % 64);
                for (int32_t group = 0; group < n; group += 64) {
                    for (uint64_t left = unknown[group / 64]; left; left &= left - 1) {
                        const int32_t k = group + std::countr_zero(left);
                        const uint8_t before = k > 0 ? bits[k - 1] : previousBits;
                        const uint32_t beforeColour = k > 0 ? colours[k - 1] : previousColour;
                        if ((before & 1u) && colours[k] == beforeColour) {
                            bits[k] = before;
                            continue;
                        }
                        const uint32_t again = words ? CachedBitsAt(words, slots[k]) : 0;
                        bits[k] = static_cast<uint8_t>(
                            (again & 1u) ? again : AskKeys(converter, words, colours[k], slots[k]));
                    }
                }
                previousColour = colours[n - 1];
                previousBits = bits[n - 1];
                uint8_t* out = selection + start;
                uint8_t chunkAny = 0;
                for (int32_t k = 0; k < n; ++k) {
                    const uint8_t result = static_cast<uint8_t>(-(bits[k] >> 1) & value);
                    out[k] = result;
                    chunkAny |= result;
                }
                any |= chunkAny;
                if (chunkAny)
                    RaiseColumnFlags(plane.columnFlags, raised, bits, start, n);
            }
            // The row's padding too: the plane was not cleared beforehand.
            if (plane.stride > block.width)
                std::memset(selection + block.width, 0, static_cast<std::size_t>(plane.stride - block.width));
            if (any)
                plane.rowFlags[row] = 1;
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

namespace {
// The blocks of rows a selection is split into when the host is to choose the threads: at least 8 rows
// each, at most 64 blocks (34 rows of a 4K frame; the last block taken delays the end by 1.5 % at most).
constexpr int64_t kSelectionRowsPerCall = 8;
constexpr int64_t kSelectionCalls = 64;
} // namespace

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
        // One call per processor would give each thread a fixed share of the rows, and the distinct colours
        // (the conversions, most of the work) are not spread evenly over a picture: blocks of rows that the
        // threads take as they finish keep them busy to the end.
        A_long calls = iterations;
        if (iterations == PF_Iterations_ONCE_PER_PROCESSOR && !empty)
            calls =
                static_cast<A_long>(std::clamp<int64_t>(height / kSelectionRowsPerCall, 1, kSelectionCalls));
        const PF_Err err = RunPass(in_data, calls, &context, SelectKeyColors<D>);
        plane = context.plane;
        return err;
    });
}
