// The plain line filters: the window rules and output formulas sample by sample, channel by channel.
// They are the reference that every fast form must reproduce byte for byte.
#include "kernels/BlurLine.h"

#include <limits>
#include <type_traits>

#include "kernels/BlurLineSimd.h"

namespace {

template <class Pixel>
using ChannelOf = std::remove_reference_t<decltype(Pixel::alpha)>;

template <class Pixel>
constexpr ChannelOf<Pixel> Pixel::*kChannel[4] = {&Pixel::alpha, &Pixel::red, &Pixel::green, &Pixel::blue};

template <class Pixel>
constexpr bool kFloat = std::is_same_v<Pixel, PF_PixelFloat>;

// One channel of one line, read-only.
template <class Pixel>
struct ChannelLine {
    const Pixel* source;
    const uint8_t* selection;
    int32_t length;
    int c;

    ChannelOf<Pixel> Value(int32_t k) const { return source[k].*kChannel<Pixel>[c]; }
    // Alpha takes every selected sample; colour only those that are not fully transparent.
    bool Eligible(int32_t k) const { return selection[k] != 0 && (c == 0 || source[k].alpha != 0); }
};

// Non-finite float samples in a window, counted apart from the running sum: once they leave, the sum is
// what it would be had they been zeros, so a NaN or an infinity reaches only the outputs whose window
// holds it.
struct NonFinite {
    int32_t nan = 0;
    int32_t positive = 0; // +Inf
    int32_t negative = 0; // -Inf

    static bool Finite(float v) { return v - v == 0.0f; }
    void Count(float v, int32_t step) {
        if (v != v)
            nan += step;
        else if (v > 0.0f)
            positive += step;
        else
            negative += step;
    }
    // The window's sum as plain arithmetic would give it with these samples in.
    float Total(float sum) const {
        if (nan == 0 && positive == 0 && negative == 0)
            return sum;
        if (nan > 0 || (positive > 0 && negative > 0))
            return std::numeric_limits<float>::quiet_NaN();
        return positive > 0 ? std::numeric_limits<float>::infinity()
                            : -std::numeric_limits<float>::infinity();
    }
};

// The box state of one channel: sum and count of the eligible samples in the window.
template <class Pixel>
struct BoxState {
    using Sum = std::conditional_t<kFloat<Pixel>, float, int64_t>;
    Sum sum = 0;
    int32_t count = 0;
    NonFinite special; // float only

    void Add(const ChannelLine<Pixel>& l, int32_t k) {
        if (l.Eligible(k)) {
            Include(l.Value(k), 1);
            ++count;
        }
    }
    void Remove(const ChannelLine<Pixel>& l, int32_t k) {
        if (l.Eligible(k)) {
            Include(l.Value(k), -1);
            --count;
        }
    }
    // The sum the outputs use.
    Sum Total() const {
        if constexpr (kFloat<Pixel>)
            return special.Total(sum);
        else
            return sum;
    }

private:
    void Include(ChannelOf<Pixel> v, int32_t step) {
        if constexpr (kFloat<Pixel>) {
            if (!NonFinite::Finite(v)) {
                special.Count(v, step);
                return;
            }
        }
        if (step > 0)
            sum += v;
        else
            sum -= v;
    }
};

int64_t BoxResult16(int64_t p, int64_t b, int64_t c, uint32_t w) {
    if (w == 0)
        return (b + c / 2) / c;
    // 64-bit: the centre weight is a full 32-bit value and p × w outgrows 32 bits.
    const int64_t n = static_cast<int64_t>(w) + c;
    return (p * w + b + n / 2) / n;
}

float BoxResultFloat(float p, float b, int64_t c, uint32_t w) {
    if (w == 0)
        return b / static_cast<float>(c);
    return (p * static_cast<float>(w) + b) / static_cast<float>(static_cast<int64_t>(w) + c);
}

template <class Pixel>
ChannelOf<Pixel> BoxOutput(const ChannelLine<Pixel>& l, const BoxState<Pixel>& s, uint32_t w, int32_t x) {
    if constexpr (kFloat<Pixel>)
        return BoxResultFloat(l.Value(x), s.Total(), s.count, w);
    else
        return static_cast<ChannelOf<Pixel>>(BoxResult16(l.Value(x), s.sum, s.count, w));
}

template <class Pixel>
ChannelOf<Pixel> GaussOutput(const ChannelLine<Pixel>& l, const BoxState<Pixel>& s, const GaussTable& t,
                             int32_t x, int32_t lo, int32_t hi) {
    const int32_t lower = x - 99 > lo ? x - 99 : lo;
    const int32_t upper = x + 99 < hi ? x + 99 : hi;
    const int64_t b = t.flatTotal;
    int64_t weightSum = 0;
    if constexpr (kFloat<Pixel>) {
        // The integer weight scaled by 2^-15 is exact, so each term is the weight times the sample
        // times 2^-15; the terms are summed left of the centre outwards, then from the centre rightwards.
        float p = 0.0f;
        for (int32_t k = x - 1; k >= lower; --k)
            if (l.Eligible(k)) {
                p += static_cast<float>(t.weights[x - k]) * 0x1p-15f * l.Value(k);
                weightSum += t.weights[x - k];
            }
        for (int32_t k = x; k <= upper; ++k)
            if (l.Eligible(k)) {
                p += static_cast<float>(t.weights[k - x]) * 0x1p-15f * l.Value(k);
                weightSum += t.weights[k - x];
            }
        if (b != 0) {
            const float mean = s.Total() / static_cast<float>(s.count);
            // No table sample: the flat part alone, at full strength rather than darkened to its share.
            if (weightSum == 0)
                return mean;
            const float flat = static_cast<float>(b) * 0x1p-15f;
            return mean * flat + 32768.0f / static_cast<float>(weightSum) * p * (1.0f - flat);
        }
        if (weightSum != 0)
            return 32768.0f / static_cast<float>(weightSum) * p;
        return l.Value(x);
    } else {
        int64_t p = 0;
        for (int32_t k = lower; k <= upper; ++k)
            if (l.Eligible(k)) {
                const int32_t d = k < x ? x - k : k - x;
                p += static_cast<int64_t>(t.weights[d]) * l.Value(k);
                weightSum += t.weights[d];
            }
        if (b != 0) {
            const int64_t mean = s.sum / s.count;
            if (weightSum == 0)
                return static_cast<ChannelOf<Pixel>>(mean);
            const int64_t g = p / weightSum;
            return static_cast<ChannelOf<Pixel>>((mean * b + g * (32768 - b) + 16384) / 32768);
        }
        if (weightSum != 0)
            return static_cast<ChannelOf<Pixel>>((p + weightSum / 2) / weightSum);
        return l.Value(x);
    }
}

template <class Pixel, BlurKernel K>
void Emit(const BlurLine<Pixel>& line, const ChannelLine<Pixel>& l, const BoxState<Pixel>& s,
          const BlurLineKernel& kernel, int32_t x, int32_t lo, int32_t hi) {
    ChannelOf<Pixel> v;
    if constexpr (K == BlurKernel::Gauss)
        v = GaussOutput(l, s, *kernel.gauss[l.c], x, lo, hi);
    else
        v = BoxOutput(l, s, kernel.boxCenterWeight, x);
    Pixel* d = reinterpret_cast<Pixel*>(line.destination + x * line.destinationStep);
    d->*kChannel<Pixel>[l.c] = v;
}

template <class Pixel, BlurKernel K>
void SpanningChannel(const BlurLine<Pixel>& line, const BlurLineKernel& kernel, int c, int32_t h) {
    const ChannelLine<Pixel> l{line.source, line.selection, line.length, c};
    const int32_t last = line.length - 1;
    BoxState<Pixel> s;
    const int32_t m = last < h ? last : h;
    for (int32_t k = 0; k < m; ++k)
        s.Add(l, k);
    int32_t hi = m - 1;
    int32_t lo = 0;
    for (int32_t x = 0; x <= last; ++x) {
        const int32_t e = x + h < last ? x + h : last;
        if (e != hi) {
            s.Add(l, e);
            hi = e;
        }
        if (lo < x - h) {
            s.Remove(l, lo);
            lo = x - h;
        }
        if (line.selection[x] && s.count > 0)
            Emit<Pixel, K>(line, l, s, kernel, x, lo, hi);
    }
}

template <class Pixel, BlurKernel K>
void ConfinedChannel(const BlurLine<Pixel>& line, const BlurLineKernel& kernel, int c, int32_t h) {
    const ChannelLine<Pixel> l{line.source, line.selection, line.length, c};
    const int32_t last = line.length - 1;
    BoxState<Pixel> s;
    int32_t hi = -1;
    int32_t lo = 0;
    for (int32_t x = 0; x <= last; ++x) {
        if (!line.selection[x])
            continue;
        const int32_t e = x + h < last ? x + h : last;
        if (hi < x) {
            s = BoxState<Pixel>{};
            int32_t k = x;
            for (; k <= e && line.selection[k]; ++k)
                s.Add(l, k);
            hi = k - 1;
            lo = x;
        } else {
            if (lo < x - h) {
                s.Remove(l, lo);
                lo = x - h;
            }
            if (e == hi + 1 && line.selection[e]) {
                s.Add(l, e);
                hi = e;
            }
        }
        if (s.count > 0)
            Emit<Pixel, K>(line, l, s, kernel, x, lo, hi);
    }
}

template <class Pixel, BlurKernel K, BlurVariant V>
void PlainLine(const BlurLine<Pixel>& line, const BlurLineKernel& kernel, void*) {
    for (int c = 0; c < 4; ++c) {
        const int32_t r = K == BlurKernel::Gauss ? kernel.gauss[c]->radius : kernel.boxRadius[c];
        // A radius below 1 has an empty window; it is taken as 1, the sample alone.
        const int32_t h = r > 1 ? r - 1 : 0;
        if constexpr (V == BlurVariant::Spanning)
            SpanningChannel<Pixel, K>(line, kernel, c, h);
        else
            ConfinedChannel<Pixel, K>(line, kernel, c, h);
    }
}

template <class Pixel>
BlurLineFunction<Pixel> PlainLineFor(BlurKernel kernel, BlurVariant variant) {
    if (kernel == BlurKernel::Gauss)
        return variant == BlurVariant::Spanning ? PlainLine<Pixel, BlurKernel::Gauss, BlurVariant::Spanning>
                                                : PlainLine<Pixel, BlurKernel::Gauss, BlurVariant::Confined>;
    return variant == BlurVariant::Spanning ? PlainLine<Pixel, BlurKernel::Box, BlurVariant::Spanning>
                                            : PlainLine<Pixel, BlurKernel::Box, BlurVariant::Confined>;
}

// The fast forms keep 32-bit sums (exact below this length) and have no centre weight.
constexpr int32_t kLongestFastLine = 32767;

bool FastFormApplies(BlurKernel kernel, const BlurLineKernel& kernels, int32_t length) {
    if (length <= 0 || length > kLongestFastLine)
        return false;
    if (kernel == BlurKernel::Box)
        return kernels.boxCenterWeight == 0;
    for (const GaussTable* t : kernels.gauss)
        if (!t || !t->weights || t->count < 1 || t->count > 100)
            return false;
    return true;
}

BlurLineFunction<PF_Pixel16> FastLineFor(const PF_Pixel16*, BlurIsa isa, BlurKernel k, BlurVariant v) {
    return isa == BlurIsa::Avx2 ? Avx2BlurLine16(k, v) : Sse41BlurLine16(k, v);
}

BlurLineFunction<PF_PixelFloat> FastLineFor(const PF_PixelFloat*, BlurIsa isa, BlurKernel k, BlurVariant v) {
    return isa == BlurIsa::Avx2 ? Avx2BlurLineFloat(k, v) : Sse41BlurLineFloat(k, v);
}

BlurStripFunction<PF_Pixel16> FastStripFor(const PF_Pixel16*, BlurIsa isa, BlurKernel k, BlurVariant v) {
    return isa == BlurIsa::Avx2 ? Avx2BlurStrip16(k, v) : Sse41BlurStrip16(k, v);
}

BlurStripFunction<PF_PixelFloat> FastStripFor(const PF_PixelFloat*, BlurIsa isa, BlurKernel k,
                                              BlurVariant v) {
    return isa == BlurIsa::Avx2 ? Avx2BlurStripFloat(k, v) : Sse41BlurStripFloat(k, v);
}

} // namespace

BlurLineFunction<PF_PixelFloat> PlainBlurLineFloat(BlurKernel kernel, BlurVariant variant) {
    return PlainLineFor<PF_PixelFloat>(kernel, variant);
}

std::size_t BlurFastScratchBytes(int32_t length) {
    const std::size_t entries = static_cast<std::size_t>(length) + 3 * kFastLinePad;
    // Masked samples and eligibility masks of 16 bytes each, and a 32-bit prefix count.
    return entries * 36 + 64;
}

std::size_t BlurLineScratchBytes(int32_t length) {
    if (length <= 0 || length > kLongestFastLine)
        return 0;
    return BlurFastScratchBytes(length);
}

namespace {

BlurIsa DetectBlurIsa() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return BlurIsa::Avx2;
    if (__builtin_cpu_supports("sse4.1"))
        return BlurIsa::Sse41;
#endif
    return BlurIsa::Plain;
}

// Asked once while the library loads, on one thread, so that the passes' worker threads only read it.
const BlurIsa kBestBlurIsa = DetectBlurIsa();

} // namespace

BlurIsa BestBlurIsa() {
    return kBestBlurIsa;
}

template <class Pixel>
BlurLineFunction<Pixel> SelectBlurLine(BlurKernel kernel, BlurVariant variant, BlurIsa isa,
                                       const BlurLineKernel& kernels, int32_t length) {
    const BlurIsa best = BestBlurIsa();
    if (isa > best)
        isa = best;
    if (isa != BlurIsa::Plain && FastFormApplies(kernel, kernels, length))
        if (BlurLineFunction<Pixel> f = FastLineFor(static_cast<const Pixel*>(nullptr), isa, kernel, variant))
            return f;
    return PlainLineFor<Pixel>(kernel, variant);
}

template BlurLineFunction<PF_Pixel16> SelectBlurLine<PF_Pixel16>(BlurKernel, BlurVariant, BlurIsa,
                                                                 const BlurLineKernel&, int32_t);
template BlurLineFunction<PF_PixelFloat> SelectBlurLine<PF_PixelFloat>(BlurKernel, BlurVariant, BlurIsa,
                                                                       const BlurLineKernel&, int32_t);

template <class Pixel>
BlurStripFunction<Pixel> SelectBlurStrip(BlurKernel kernel, BlurVariant variant, BlurIsa isa,
                                         const BlurLineKernel& kernels, int32_t rows) {
    const BlurIsa best = BestBlurIsa();
    if (isa > best)
        isa = best;
    if (isa == BlurIsa::Plain || !FastFormApplies(kernel, kernels, rows))
        return nullptr;
    return FastStripFor(static_cast<const Pixel*>(nullptr), isa, kernel, variant);
}

template BlurStripFunction<PF_Pixel16> SelectBlurStrip<PF_Pixel16>(BlurKernel, BlurVariant, BlurIsa,
                                                                   const BlurLineKernel&, int32_t);
template BlurStripFunction<PF_PixelFloat> SelectBlurStrip<PF_PixelFloat>(BlurKernel, BlurVariant, BlurIsa,
                                                                         const BlurLineKernel&, int32_t);
