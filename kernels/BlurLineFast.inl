// The fast line filters, written once and compiled per instruction set: BlurLineSse41.cpp and
// BlurLineAvx2.cpp include this file inside an anonymous namespace after defining BLUR_WIDE_PIXELS (how
// many pixels one wide vector holds: 1 for 128-bit, 2 for 256-bit registers).
//
// The four channels of a pixel are the four 32-bit lanes of a vector; channels whose kernels agree are
// filtered together. A confined line is filtered run by run, each run as a line of its own, which is
// exactly the confined window; a spanning line is one run in which unselected samples are not eligible.
// Ineligible samples enter as zeros: adding a zero leaves an integer sum, and a float sum that never is
// minus zero, unchanged, so every per-lane sum takes the same values in the same order as the plain form.
//
// Nothing here may call an inline function shared with other files: the linker could keep this file's
// copy, built for an instruction set the processor lacks.

// ---- Four lanes: one pixel ----------------------------------------------------------------------------

inline __m128i LaneMask(bool a, bool r, bool g, bool b) {
    return _mm_set_epi32(b ? -1 : 0, g ? -1 : 0, r ? -1 : 0, a ? -1 : 0);
}

struct Lanes16 {
    using Pixel = PF_Pixel16;
    using V = __m128i;
    static V Zero() { return _mm_setzero_si128(); }
    static V Load(const Pixel* p) {
        return _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }
    static V Masked(V v, __m128i m) { return _mm_and_si128(v, m); }
    static V Add(V a, V b) { return _mm_add_epi32(a, b); }
    static V Sub(V a, V b) { return _mm_sub_epi32(a, b); }
    static bool Opaque(const Pixel& p) { return p.alpha != 0; }
    static V Select(V a, V b, __m128i m) { return _mm_blendv_epi8(a, b, m); }
    static void StoreAll(unsigned char* d, V v) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_packus_epi32(v, v));
    }
    static void Store(unsigned char* d, V v, __m128i mask) {
        const __m128i old = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(d));
        const __m128i fresh = _mm_packus_epi32(v, v);
        const __m128i m16 = _mm_packs_epi32(mask, mask);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_blendv_epi8(old, fresh, m16));
    }
};

struct LanesFloat {
    using Pixel = PF_PixelFloat;
    using V = __m128;
    static V Zero() { return _mm_setzero_ps(); }
    static V Load(const Pixel* p) { return _mm_loadu_ps(reinterpret_cast<const float*>(p)); }
    static V Masked(V v, __m128i m) { return _mm_and_ps(v, _mm_castsi128_ps(m)); }
    static V Add(V a, V b) { return _mm_add_ps(a, b); }
    static V Sub(V a, V b) { return _mm_sub_ps(a, b); }
    static bool Opaque(const Pixel& p) { return p.alpha != 0.0f; }
    static V Select(V a, V b, __m128i m) { return _mm_blendv_ps(a, b, _mm_castsi128_ps(m)); }
    static void StoreAll(unsigned char* d, V v) { _mm_storeu_ps(reinterpret_cast<float*>(d), v); }
    static void Store(unsigned char* d, V v, __m128i mask) {
        float* f = reinterpret_cast<float*>(d);
        _mm_storeu_ps(f, _mm_blendv_ps(_mm_loadu_ps(f), v, _mm_castsi128_ps(mask)));
    }
};

template <class Pixel>
struct LanesOf;
template <>
struct LanesOf<PF_Pixel16> {
    using T = Lanes16;
};
template <>
struct LanesOf<PF_PixelFloat> {
    using T = LanesFloat;
};

bool AllEqual(__m128i a, __m128i b) {
    return _mm_movemask_epi8(_mm_cmpeq_epi32(a, b)) == 0xFFFF;
}

// Exact integer quotients floor(n / d) for 0 <= n < 2^31 and 0 < d < 2^16: (n + 0.5) / d lies at least
// 1 / (2d) away from every integer, far more than the rounding of a double product. The reciprocal is
// kept while the divisors stay the same, as they do along most of a line.
struct Divider {
    __m128i divisor = _mm_set1_epi32(-1);
#if BLUR_WIDE_PIXELS == 2
    __m256d inverse = _mm256_setzero_pd();
#else
    __m128d inverseLo = _mm_setzero_pd();
    __m128d inverseHi = _mm_setzero_pd();
#endif

    __m128i Floor(__m128i n, __m128i d) {
        if (!AllEqual(d, divisor))
            Prime(d);
        return FloorPrimed(n);
    }

    void Prime(__m128i d) {
        divisor = d;
#if BLUR_WIDE_PIXELS == 2
        inverse = _mm256_div_pd(_mm256_set1_pd(1.0), _mm256_cvtepi32_pd(d));
#else
        inverseLo = _mm_div_pd(_mm_set1_pd(1.0), _mm_cvtepi32_pd(d));
        inverseHi = _mm_div_pd(_mm_set1_pd(1.0), _mm_cvtepi32_pd(_mm_unpackhi_epi64(d, d)));
#endif
    }

    // With the divisor given to Prime.
    __m128i FloorPrimed(__m128i n) const {
#if BLUR_WIDE_PIXELS == 2
        const __m256d q = _mm256_mul_pd(_mm256_add_pd(_mm256_cvtepi32_pd(n), _mm256_set1_pd(0.5)), inverse);
        return _mm256_cvttpd_epi32(q);
#else
        const __m128d half = _mm_set1_pd(0.5);
        const __m128i lo = _mm_cvttpd_epi32(_mm_mul_pd(_mm_add_pd(_mm_cvtepi32_pd(n), half), inverseLo));
        const __m128i hi = _mm_cvttpd_epi32(
            _mm_mul_pd(_mm_add_pd(_mm_cvtepi32_pd(_mm_unpackhi_epi64(n, n)), half), inverseHi));
        return _mm_unpacklo_epi64(lo, hi);
#endif
    }
};

// 32768 / W in single precision, kept while W stays the same.
struct FloatScale {
    __m128i divisor = _mm_set1_epi32(-1);
    __m128 scale = _mm_setzero_ps();
    __m128 Of(__m128i w) {
        if (!AllEqual(w, divisor)) {
            divisor = w;
            scale = _mm_div_ps(_mm_set1_ps(32768.0f), _mm_cvtepi32_ps(w));
        }
        return scale;
    }
};

// floor(n / d) in single precision where that is exact: (n + 0.5) / d lies at least 1 / (2d) from every
// integer, and a float product is that close for n + 0.5 below 2^22. With 16-bit samples (at most 65535)
// that holds for every box window of up to kSmallBoxWindow samples.
constexpr int32_t kSmallBoxWindow = 63;
__m128i DivFloorSmall(__m128i n, __m128 inverse) {
    return _mm_cvttps_epi32(_mm_mul_ps(_mm_add_ps(_mm_cvtepi32_ps(n), _mm_set1_ps(0.5f)), inverse));
}

// ---- Wide vectors for the table part ------------------------------------------------------------------

constexpr int kWide = BLUR_WIDE_PIXELS; // pixels per wide vector
constexpr int kBlockVectors = 8;        // independent sums in flight
constexpr int kBlockPixels = kBlockVectors * kWide;

#if BLUR_WIDE_PIXELS == 2
using WideI = __m256i;
using WideF = __m256;
WideI LoadWI(const int32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
WideF LoadWF(const float* p) {
    return _mm256_loadu_ps(p);
}
void StoreWI(int32_t* p, WideI v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}
void StoreWF(float* p, WideF v) {
    _mm256_storeu_ps(p, v);
}
WideI SetWI(int32_t v) {
    return _mm256_set1_epi32(v);
}
WideF SetWF(float v) {
    return _mm256_set1_ps(v);
}
WideI AddWI(WideI a, WideI b) {
    return _mm256_add_epi32(a, b);
}
WideI MulWI(WideI a, WideI b) {
    return _mm256_mullo_epi32(a, b);
}
WideI AndWI(WideI a, WideI b) {
    return _mm256_and_si256(a, b);
}
WideF AddWF(WideF a, WideF b) {
    return _mm256_add_ps(a, b);
}
WideF MulWF(WideF a, WideF b) {
    return _mm256_mul_ps(a, b);
}
// Sixteen-bit samples in pairs for a multiply-add: one vector holds kPairPixels pixels.
WideI Load16(const void* p) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}
WideI XorWI(WideI a, WideI b) {
    return _mm256_xor_si256(a, b);
}
WideI Unpack16Lo(WideI a, WideI b) {
    return _mm256_unpacklo_epi16(a, b);
}
WideI Unpack16Hi(WideI a, WideI b) {
    return _mm256_unpackhi_epi16(a, b);
}
WideI MaddWI(WideI a, WideI w) {
    return _mm256_madd_epi16(a, w);
}
// The sums of Unpack16Lo hold pixels 0 and 2, of Unpack16Hi pixels 1 and 3: back in order.
void Unpair(WideI lo, WideI hi, WideI& first, WideI& second) {
    first = _mm256_permute2x128_si256(lo, hi, 0x20);
    second = _mm256_permute2x128_si256(lo, hi, 0x31);
}
#else
using WideI = __m128i;
using WideF = __m128;
WideI LoadWI(const int32_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
WideF LoadWF(const float* p) {
    return _mm_loadu_ps(p);
}
void StoreWI(int32_t* p, WideI v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}
void StoreWF(float* p, WideF v) {
    _mm_storeu_ps(p, v);
}
WideI SetWI(int32_t v) {
    return _mm_set1_epi32(v);
}
WideF SetWF(float v) {
    return _mm_set1_ps(v);
}
WideI AddWI(WideI a, WideI b) {
    return _mm_add_epi32(a, b);
}
WideI MulWI(WideI a, WideI b) {
    return _mm_mullo_epi32(a, b);
}
WideI AndWI(WideI a, WideI b) {
    return _mm_and_si128(a, b);
}
WideF AddWF(WideF a, WideF b) {
    return _mm_add_ps(a, b);
}
WideF MulWF(WideF a, WideF b) {
    return _mm_mul_ps(a, b);
}
WideI Load16(const void* p) {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
WideI XorWI(WideI a, WideI b) {
    return _mm_xor_si128(a, b);
}
WideI Unpack16Lo(WideI a, WideI b) {
    return _mm_unpacklo_epi16(a, b);
}
WideI Unpack16Hi(WideI a, WideI b) {
    return _mm_unpackhi_epi16(a, b);
}
WideI MaddWI(WideI a, WideI w) {
    return _mm_madd_epi16(a, w);
}
void Unpair(WideI lo, WideI hi, WideI& first, WideI& second) {
    first = lo;
    second = hi;
}
#endif

// Table part of a block of NV wide vectors of outputs. `m` is the block's first masked sample (four lanes
// per position); the samples `pad` positions either side are readable and zero outside the run.
// Integer sums are order-free, so the two sides share a multiplication.
template <int NV>
void TablePartInt(const int32_t* m, const int32_t* w, int32_t pad, int32_t* out) {
    WideI acc[NV];
    const WideI w0 = SetWI(w[0]);
    for (int a = 0; a < NV; ++a)
        acc[a] = MulWI(w0, LoadWI(m + 4 * kWide * a));
    for (int32_t j = 1; j <= pad; ++j) {
        const WideI wj = SetWI(w[j]);
        for (int a = 0; a < NV; ++a) {
            const int32_t* p = m + 4 * kWide * a;
            acc[a] = AddWI(acc[a], MulWI(wj, AddWI(LoadWI(p - 4 * j), LoadWI(p + 4 * j))));
        }
    }
    for (int a = 0; a < NV; ++a)
        StoreWI(out + 4 * kWide * a, acc[a]);
}

// The same for floats, in the plain form's order for each output: left of the centre outwards, then from
// the centre rightwards.
template <int NV>
void TablePartFloat(const float* m, const float* w, int32_t pad, float* out) {
    WideF acc[NV];
    for (int a = 0; a < NV; ++a)
        acc[a] = SetWF(0.0f);
    for (int32_t j = 1; j <= pad; ++j) {
        const WideF wj = SetWF(w[j]);
        for (int a = 0; a < NV; ++a)
            acc[a] = AddWF(acc[a], MulWF(wj, LoadWF(m + 4 * (kWide * a - j))));
    }
    for (int32_t j = 0; j <= pad; ++j) {
        const WideF wj = SetWF(w[j]);
        for (int a = 0; a < NV; ++a)
            acc[a] = AddWF(acc[a], MulWF(wj, LoadWF(m + 4 * (kWide * a + j))));
    }
    for (int a = 0; a < NV; ++a)
        StoreWF(out + 4 * kWide * a, acc[a]);
}

// 16-bit table parts by multiply-adds: the samples stored less 32768 as signed 16-bit values (zero
// outside the run), every weight below 32768, so that one instruction adds two weights times their
// samples. Every product and sum stays inside 32 bits; the caller adds back 32768 times the weights of
// the samples in the run.
constexpr int kPairPixels = 2 * kWide;

// The samples laid out with their right neighbours: position i holds, lane by lane, the
// biased samples i and i + 1 side by side. One multiply-add then takes two neighbouring taps of the
// window, so no sample is shuffled per output. `j` is the block's first output's leftmost tap; spread[p]
// (p < pad) packs the weights at distances 2p - pad and 2p + 1 - pad, spread[pad] the weight at pad and a
// zero. Stores in output order.
template <int NV>
void TablePartSpread(const int16_t* j, const int32_t* spread, int32_t pad, int32_t* out) {
    WideI acc[NV];
    const WideI w0 = SetWI(spread[0]);
    for (int a = 0; a < NV; ++a)
        acc[a] = MaddWI(Load16(j + 8 * kWide * a), w0);
    for (int32_t p = 1; p <= pad; ++p) {
        const WideI w = SetWI(spread[p]);
        // Step p's vector a is step p - 1's vector a + 1: left to itself the compiler keeps the vectors
        // from step to step in more registers than there are, and spills them to the stack. A load
        // costs less.
        const int16_t* q = j + 16 * p;
        asm("" : "+r"(q));
        for (int a = 0; a < NV; ++a)
            acc[a] = AddWI(acc[a], MaddWI(Load16(q + 8 * kWide * a), w));
    }
    for (int a = 0; a < NV; ++a)
        StoreWI(out + 4 * kWide * a, acc[a]);
}

// Sum of the table weights over the eligible samples; `e` holds lane masks (all ones or zero).
template <int NV>
void TableWeights(const int32_t* e, const int32_t* w, int32_t pad, int32_t* out) {
    WideI acc[NV];
    const WideI w0 = SetWI(w[0]);
    for (int a = 0; a < NV; ++a)
        acc[a] = AndWI(w0, LoadWI(e + 4 * kWide * a));
    for (int32_t j = 1; j <= pad; ++j) {
        const WideI wj = SetWI(w[j]);
        for (int a = 0; a < NV; ++a) {
            const int32_t* p = e + 4 * kWide * a;
            acc[a] = AddWI(acc[a], AddWI(AndWI(wj, LoadWI(p - 4 * j)), AndWI(wj, LoadWI(p + 4 * j))));
        }
    }
    for (int a = 0; a < NV; ++a)
        StoreWI(out + 4 * kWide * a, acc[a]);
}

template <class Fn>
void ForBlockVectors(int nv, Fn&& fn) {
    switch (nv) {
    case 1:
        fn.template operator()<1>();
        break;
    case 2:
        fn.template operator()<2>();
        break;
    case 3:
        fn.template operator()<3>();
        break;
    case 4:
        fn.template operator()<4>();
        break;
    case 5:
        fn.template operator()<5>();
        break;
    case 6:
        fn.template operator()<6>();
        break;
    case 7:
        fn.template operator()<7>();
        break;
    default:
        fn.template operator()<kBlockVectors>();
        break;
    }
}

// Every one of n samples selected and not transparent, sixteen selection bytes and two or one pixels at
// a time.
inline bool AllSelectedAndOpaque(const PF_Pixel16* p, const uint8_t* sel, int32_t n) {
    int32_t k = 0;
    for (; k + 16 <= n; k += 16)
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sel + k)),
                                             _mm_setzero_si128())))
            return false;
    for (; k < n; ++k)
        if (!sel[k])
            return false;
    for (k = 0; k + 2 <= n; k += 2) // alpha in words 0 and 4
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k)),
                                              _mm_setzero_si128())) &
            0x0303)
            return false;
    return k == n || p[k].alpha != 0;
}

inline bool AllSelectedAndOpaque(const PF_PixelFloat* p, const uint8_t* sel, int32_t n) {
    int32_t k = 0;
    for (; k + 16 <= n; k += 16)
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sel + k)),
                                             _mm_setzero_si128())))
            return false;
    for (; k < n; ++k)
        if (!sel[k])
            return false;
    for (k = 0; k < n; ++k)
        if (_mm_movemask_ps(
                _mm_cmpeq_ps(_mm_loadu_ps(reinterpret_cast<const float*>(p + k)), _mm_setzero_ps())) &
            1)
            return false;
    return true;
}

// ---- One channel group over one run ------------------------------------------------------------------

// Channels whose kernels agree, filtered in one go.
struct ChannelGroup {
    __m128i lanes;
    int32_t h;               // window half-width
    const GaussTable* table; // Gaussian passes
    int32_t pad;             // table reach either side
    uint16_t flatTotal;
    int32_t fullWeight; // table weights of a window with every sample eligible
    // Every weight below 32768: 16-bit table parts may use multiply-adds with weightPair (w | w << 16).
    bool pairable = false;
    alignas(32) int32_t weightInt[100];
    alignas(32) float weightFloat[100];
    alignas(32) int32_t weightPair[100];
    alignas(32) int32_t weightSpread[100]; // pairable: neighbouring taps' weights (TablePartSpread)
};

template <class Pixel>
struct Scratch {
    using Sample = std::conditional_t<std::is_same_v<Pixel, PF_Pixel16>, int32_t, float>;
    Sample* masked;      // four lanes per position, `pad` positions before the run
    int32_t* eligible;   // lane masks, laid out alike
    int32_t* incomplete; // prefix count of positions with an ineligible lane of the group
};

template <class Pixel, BlurKernel K, BlurVariant V>
class RunFilter {
    using L = typename LanesOf<Pixel>::T;
    using Vec = typename L::V;
    static constexpr bool kFloatDepth = std::is_same_v<Pixel, PF_PixelFloat>;

public:
    RunFilter(const BlurLine<Pixel>& line, const ChannelGroup& g, const Scratch<Pixel>& s)
        : line_(line), g_(g), s_(s) {}

    // Filters samples [first, first + n) as a line of their own.
    void Run(int32_t first, int32_t n) {
        src_ = line_.source + first;
        sel_ = line_.selection + first;
        dst_ = line_.destination + first * line_.destinationStep;
        n_ = n;
        next_ = reinterpret_cast<const char*>((line_.nextSource ? line_.nextSource : line_.source) + first);
        if constexpr (K == BlurKernel::Box)
            BoxRun();
        else
            GaussRun();
    }

private:
    __m128i Eligibility(int32_t k) const {
        if (!sel_[k])
            return _mm_setzero_si128();
        return L::Opaque(src_[k]) ? _mm_set1_epi32(-1) : _mm_set_epi32(0, 0, 0, -1);
    }

    void Add(int32_t k) {
        const __m128i e = Eligibility(k);
        sum_ = L::Add(sum_, L::Masked(L::Load(src_ + k), e));
        count_ = _mm_sub_epi32(count_, e);
    }
    void Remove(int32_t k) {
        const __m128i e = Eligibility(k);
        sum_ = L::Sub(sum_, L::Masked(L::Load(src_ + k), e));
        count_ = _mm_add_epi32(count_, e);
    }

    void StartWindow() {
        sum_ = L::Zero();
        count_ = _mm_setzero_si128();
        const int32_t last = n_ - 1 < g_.h ? n_ - 1 : g_.h;
        for (int32_t k = 0; k <= last; ++k)
            Add(k);
    }

    // The window of x from the window of x - 1, in the plain form's order of additions and removals.
    void MoveWindow(int32_t x) {
        const bool in = x + g_.h < n_;
        const bool out = x - g_.h - 1 >= 0;
        if constexpr (V == BlurVariant::Spanning) {
            if (in)
                Add(x + g_.h);
            if (out)
                Remove(x - g_.h - 1);
        } else {
            if (out)
                Remove(x - g_.h - 1);
            if (in)
                Add(x + g_.h);
        }
    }

    __m128i OutputLanes() const {
        return _mm_and_si128(g_.lanes, _mm_cmpgt_epi32(count_, _mm_setzero_si128()));
    }

    // Every sample of the run selected and opaque: no masks, and the count is the window's size.
    bool FullyEligible() const { return AllSelectedAndOpaque(src_, sel_, n_); }
    // 16-bit table parts by multiply-adds (TablePartSpread).
    bool Paired() const { return g_.pairable; }

    // One step of an opaque run's box: the window of x from the window of x - 1, then the output.
    template <bool Interior>
    void BoxStepFull(Vec& sum, int32_t x, bool allLanes) {
        const int32_t h = g_.h;
        const bool in = Interior || (x > 0 && x + h < n_);
        const bool out = Interior || (x > 0 && x - h - 1 >= 0);
        if constexpr (V == BlurVariant::Spanning) {
            if (in)
                sum = L::Add(sum, L::Load(src_ + x + h));
            if (out)
                sum = L::Sub(sum, L::Load(src_ + x - h - 1));
        } else {
            if (out)
                sum = L::Sub(sum, L::Load(src_ + x - h - 1));
            if (in)
                sum = L::Add(sum, L::Load(src_ + x + h));
        }
        Vec v;
        if constexpr (Interior) {
            // The divisor 2h + 1 was primed before the interior.
            if constexpr (kFloatDepth)
                v = _mm_div_ps(sum, interiorCount_);
            else if (smallWindow_)
                v = DivFloorSmall(_mm_add_epi32(sum, interiorHalf_), interiorInverse_);
            else
                v = divA_.FloorPrimed(_mm_add_epi32(sum, interiorHalf_));
        } else {
            const int32_t lo = x - h > 0 ? x - h : 0;
            const int32_t hi = x + h < n_ - 1 ? x + h : n_ - 1;
            const __m128i count = _mm_set1_epi32(hi - lo + 1);
            if constexpr (kFloatDepth)
                v = _mm_div_ps(sum, _mm_cvtepi32_ps(count));
            else
                v = divA_.Floor(_mm_add_epi32(sum, _mm_srli_epi32(count, 1)), count);
        }
        unsigned char* d = dst_ + x * line_.destinationStep;
        if (allLanes)
            L::StoreAll(d, v);
        else
            L::Store(d, v, g_.lanes);
    }

    static constexpr int32_t kFetchPixels = 64 / static_cast<int32_t>(sizeof(Pixel)); // a cache line
    static constexpr int32_t kFetchDistance = 8 * kFetchPixels;

    // Once a cache line along an opaque run: the next line's samples at this position, and this line's
    // destination a few cache lines on, so that neither the next line's first visit nor the writes wait.
    void FetchAhead(int32_t x) const {
        _mm_prefetch(next_ + x * static_cast<std::ptrdiff_t>(sizeof(Pixel)), _MM_HINT_T0);
        if (x + kFetchDistance < n_)
            _mm_prefetch(reinterpret_cast<const char*>(dst_ + (x + kFetchDistance) * line_.destinationStep),
                         _MM_HINT_T0);
    }

    void BoxRunFull() {
        const int32_t h = g_.h;
        const bool allLanes = _mm_movemask_ps(_mm_castsi128_ps(g_.lanes)) == 0xF;
        Vec sum = L::Zero();
        const int32_t first = n_ - 1 < h ? n_ - 1 : h;
        for (int32_t k = 0; k <= first; ++k)
            sum = L::Add(sum, L::Load(src_ + k));
        // x in [h + 1, n - h) adds and removes a sample and sees 2h + 1 samples.
        const int32_t begin = h + 1 < n_ ? h + 1 : n_;
        const int32_t end = n_ - h > begin ? n_ - h : begin;
        int32_t x = 0;
        for (; x < begin; ++x)
            BoxStepFull<false>(sum, x, allLanes);
        if (x < end) {
            const __m128i count = _mm_set1_epi32(2 * h + 1);
            interiorCount_ = _mm_cvtepi32_ps(count);
            interiorHalf_ = _mm_set1_epi32(h);
            smallWindow_ = 2 * h + 1 <= kSmallBoxWindow;
            interiorInverse_ = _mm_set1_ps(1.0f / static_cast<float>(2 * h + 1));
            divA_.Prime(count);
            if constexpr (!kFloatDepth) {
                if (smallWindow_)
                    x = allLanes ? BoxInteriorSmall<true>(sum, x, end) : BoxInteriorSmall<false>(sum, x, end);
            }
            for (; x < end; ++x) {
                if (x % kFetchPixels == 0)
                    FetchAhead(x);
                BoxStepFull<true>(sum, x, allLanes);
            }
        }
        for (; x < n_; ++x)
            BoxStepFull<false>(sum, x, allLanes);
    }

    // The interior of an opaque 16-bit run whose window divides in single precision: the sample entering
    // less the one leaving is added at once (integer sums do not depend on the order), so that each step
    // waits on one addition, and the step between outputs lives in a register. Returns `end`.
    template <bool AllLanes>
    int32_t BoxInteriorSmall(Vec& sum, int32_t x, int32_t end) {
        const int32_t h = g_.h;
        const std::ptrdiff_t step = line_.destinationStep;
        const __m128i half = interiorHalf_;
        const __m128 inverse = interiorInverse_;
        unsigned char* d = dst_ + x * step;
#if BLUR_WIDE_PIXELS == 2
        // Two pixels a step where they lie side by side: the two changes summed in prefix, the second
        // window's sum carried on.
        if (AllLanes && step == static_cast<std::ptrdiff_t>(sizeof(Pixel))) {
            const __m256i half2 = _mm256_set_m128i(half, half);
            const __m256 inverse2 = _mm256_set_m128(inverse, inverse);
            __m256i carried = _mm256_set_m128i(sum, sum);
            for (; x + 2 <= end; x += 2, d += 2 * step) {
                if (x % kFetchPixels < 2)
                    FetchAhead(x);
                const __m256i in =
                    _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src_ + x + h)));
                const __m256i out = _mm256_cvtepu16_epi32(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(src_ + x - h - 1)));
                const __m256i change = _mm256_sub_epi32(in, out);
                // [change x, change x + change x + 1]: the low half moved up, zero below it.
                const __m256i prefix =
                    _mm256_add_epi32(change, _mm256_permute2x128_si256(change, change, 0x08));
                const __m256i windows = _mm256_add_epi32(carried, prefix);
                carried = _mm256_permute2x128_si256(windows, windows, 0x11);
                const __m256i q = _mm256_cvttps_epi32(_mm256_mul_ps(
                    _mm256_add_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(windows, half2)), _mm256_set1_ps(0.5f)),
                    inverse2));
                const __m128i packed =
                    _mm_packus_epi32(_mm256_castsi256_si128(q), _mm256_extracti128_si256(q, 1));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d), packed);
            }
            sum = _mm256_castsi256_si128(carried);
        }
#endif
        for (; x < end; ++x, d += step) {
            if (x % kFetchPixels == 0)
                FetchAhead(x);
            sum = L::Add(sum, L::Sub(L::Load(src_ + x + h), L::Load(src_ + x - h - 1)));
            const Vec v = DivFloorSmall(_mm_add_epi32(sum, half), inverse);
            if constexpr (AllLanes)
                L::StoreAll(d, v);
            else
                L::Store(d, v, g_.lanes);
        }
        return x;
    }

    // A run that the window's reach spans from every sample: each window is the whole run, added in
    // order as the plain form adds it, so one output serves every selected sample. Short runs are the rule
    // where a selection is ragged, and each output would otherwise want a divisor of its own.
    void BoxRunWhole() {
        StartWindow();
        const __m128i mask = OutputLanes();
        if (_mm_testz_si128(mask, mask))
            return;
        Vec v;
        if constexpr (kFloatDepth)
            v = _mm_div_ps(sum_, _mm_cvtepi32_ps(count_));
        else
            v = divA_.Floor(_mm_add_epi32(sum_, _mm_srli_epi32(count_, 1)), count_);
        const bool allLanes = _mm_movemask_ps(_mm_castsi128_ps(mask)) == 0xF;
        for (int32_t x = 0; x < n_; ++x) {
            if (!sel_[x])
                continue;
            unsigned char* d = dst_ + x * line_.destinationStep;
            if (allLanes)
                L::StoreAll(d, v);
            else
                L::Store(d, v, mask);
        }
    }

    void BoxRun() {
        if (n_ - 1 <= g_.h) {
            BoxRunWhole();
            return;
        }
        if (FullyEligible()) {
            BoxRunFull();
            return;
        }
        StartWindow();
        for (int32_t x = 0; x < n_; ++x) {
            if (x > 0)
                MoveWindow(x);
            if (!sel_[x])
                continue;
            const __m128i mask = OutputLanes();
            if (_mm_testz_si128(mask, mask))
                continue;
            Vec v;
            if constexpr (kFloatDepth)
                v = _mm_div_ps(sum_, _mm_cvtepi32_ps(count_));
            else
                v = divA_.Floor(_mm_add_epi32(sum_, _mm_srli_epi32(count_, 1)), count_);
            L::Store(dst_ + x * line_.destinationStep, v, mask);
        }
    }

    // The run's samples, zero where not eligible and for `pad` positions either side. With Full every
    // sample is eligible and only the samples are written.
    template <bool Full>
    void FillMasked() {
        if constexpr (Full && !kFloatDepth) {
            if (Paired()) {
                FillSpread();
                return;
            }
        }
        using Sample = typename Scratch<Pixel>::Sample;
        const int32_t pad = g_.pad;
        Sample* m = s_.masked;
        int32_t* e = s_.eligible;
        int32_t* inc = s_.incomplete;
        const int32_t total = n_ + 2 * pad + kBlockPixels;
        const int laneBits = _mm_movemask_ps(_mm_castsi128_ps(g_.lanes));
        inc[0] = 0;
        for (int32_t i = 0; i < total; ++i) {
            const int32_t k = i - pad;
            __m128i mask = _mm_setzero_si128();
            Vec v = L::Zero();
            if (k >= 0 && k < n_) {
                if constexpr (Full) {
                    if (k % kFetchPixels == 0)
                        FetchAhead(k);
                    v = L::Load(src_ + k);
                } else {
                    mask = Eligibility(k);
                    v = L::Masked(L::Load(src_ + k), mask);
                }
            }
            if constexpr (kFloatDepth) {
                _mm_storeu_ps(m + 4 * i, v);
            } else {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(m + 4 * i), v);
            }
            if constexpr (!Full) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(e + 4 * i), mask);
                const int full = _mm_movemask_ps(_mm_castsi128_ps(mask)) & laneBits;
                inc[i + 1] = inc[i] + (full != laneBits ? 1 : 0);
            }
        }
    }

    // A whole, opaque run of 16-bit samples with multiply-adds: TablePartSpread's layout straight from
    // the samples, position i holding samples i - pad and i + 1 - pad less 32768 side by side (zeros
    // outside the run), two positions a step inside it.
    void FillSpread() {
        const int32_t pad = g_.pad;
        const int32_t total = n_ + 2 * pad + kBlockPixels;
        auto* spread = reinterpret_cast<__m128i*>(s_.masked);
        const __m128i bias = _mm_set1_epi16(static_cast<short>(0x8000));
        const auto biased = [&](int32_t k) {
            if (k < 0 || k >= n_)
                return _mm_setzero_si128();
            return _mm_xor_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(src_ + k)), bias);
        };
        int32_t i = 0;
        while (i < total) {
            const int32_t k = i - pad;
            if (k >= 0 && k + 2 < n_) {
                if (k % kFetchPixels < 2)
                    FetchAhead(k);
                const __m128i here =
                    _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src_ + k)), bias);
                const __m128i next =
                    _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src_ + k + 1)), bias);
                _mm_storeu_si128(spread + i, _mm_unpacklo_epi16(here, next));
                _mm_storeu_si128(spread + i + 1, _mm_unpackhi_epi16(here, next));
                i += 2;
            } else {
                _mm_storeu_si128(spread + i, _mm_unpacklo_epi16(biased(k), biased(k + 1)));
                ++i;
            }
        }
    }

    void GaussRun() {
        if (FullyEligible())
            GaussRunOf<true>();
        else
            GaussRunOf<false>();
    }

    // The table weights within the run for an output at x when every sample is eligible.
    int32_t FullWeightAt(int32_t x) const {
        int32_t w = g_.fullWeight;
        for (int32_t j = x + 1; j <= g_.pad; ++j)
            w -= g_.weightInt[j];
        for (int32_t j = n_ - x; j <= g_.pad; ++j)
            w -= g_.weightInt[j];
        return w;
    }

    template <bool Full>
    void GaussRunOf() {
        FillMasked<Full>();
        const int32_t pad = g_.pad;
        alignas(32) typename Scratch<Pixel>::Sample tablePart[4 * kBlockPixels];
        alignas(32) int32_t weights[4 * kBlockPixels];
        int32_t uniformWeights[kBlockPixels]; // Full: the same for the four lanes
        const bool flat = g_.flatTotal != 0;
        const bool allLanes = _mm_movemask_ps(_mm_castsi128_ps(g_.lanes)) == 0xF;
        sum_ = L::Zero();
        count_ = _mm_setzero_si128();
        if (flat) {
            if constexpr (Full) {
                const int32_t last = n_ - 1 < g_.h ? n_ - 1 : g_.h;
                for (int32_t k = 0; k <= last; ++k)
                    sum_ = L::Add(sum_, L::Load(src_ + k));
            } else {
                StartWindow();
            }
        } else if constexpr (!Full) {
            // Only the count matters without a flat part.
            const int32_t last = n_ - 1 < g_.h ? n_ - 1 : g_.h;
            for (int32_t k = 0; k <= last; ++k)
                count_ = _mm_sub_epi32(count_, Eligibility(k));
        }
        for (int32_t x0 = 0; x0 < n_; x0 += kBlockPixels) {
            const int32_t n = n_ - x0 < kBlockPixels ? n_ - x0 : kBlockPixels;
            bool any = Full;
            for (int32_t k = 0; k < n && !any; ++k)
                any = sel_[x0 + k] != 0;
            if (any) {
                const int nv = (n + kWide - 1) / kWide;
                const int32_t at = 4 * (x0 + pad);
                const bool paired = !kFloatDepth && Full && Paired();
                if (paired) {
                    ForBlockVectors(nv, [&]<int NV>() {
                        TablePartSpread<NV>(reinterpret_cast<const int16_t*>(s_.masked) + 8 * x0,
                                            g_.weightSpread, pad, reinterpret_cast<int32_t*>(tablePart));
                    });
                } else {
                    ForBlockVectors(nv, [&]<int NV>() {
                        if constexpr (kFloatDepth)
                            TablePartFloat<NV>(s_.masked + at, g_.weightFloat, pad, tablePart);
                        else
                            TablePartInt<NV>(s_.masked + at, g_.weightInt, pad, tablePart);
                    });
                }
                if constexpr (Full) {
                    // Whole table inside the run, or the part of it that is.
                    const bool inside = x0 - pad >= 0 && x0 + n - 1 + pad < n_;
                    if constexpr (!kFloatDepth) {
                        // The whole table of 32768 on every lane: each output is its rounded shift, side by
                        // side in the destination.
                        if (paired && inside && !flat && allLanes && g_.fullWeight == 32768 &&
                            line_.destinationStep == static_cast<std::ptrdiff_t>(sizeof(Pixel))) {
                            const __m128i round = _mm_set1_epi32(32768 * 32768 + 16384);
                            unsigned char* d = dst_ + x0 * static_cast<std::ptrdiff_t>(sizeof(Pixel));
                            for (int32_t k = 0; k < n; ++k) {
                                const __m128i p =
                                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(tablePart + 4 * k));
                                const __m128i v = _mm_srli_epi32(_mm_add_epi32(p, round), 15);
                                _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 8 * k),
                                                 _mm_packus_epi32(v, v));
                            }
                            continue;
                        }
                    }
                    for (int32_t k = 0; k < n; ++k)
                        uniformWeights[k] = inside ? g_.fullWeight : FullWeightAt(x0 + k);
                    if constexpr (!kFloatDepth) {
                        if (paired)
                            for (int32_t k = 0; k < n; ++k) {
                                const __m128i lift = _mm_set1_epi32(32768 * uniformWeights[k]);
                                auto* part = reinterpret_cast<__m128i*>(tablePart + 4 * k);
                                _mm_storeu_si128(part, _mm_add_epi32(_mm_loadu_si128(part), lift));
                            }
                    }
                } else if (s_.incomplete[x0 + n + 2 * pad] == s_.incomplete[x0]) {
                    // Every sample in reach eligible: the weights are the whole table.
                    for (int32_t k = 0; k < 4 * n; ++k)
                        weights[k] = g_.fullWeight;
                } else {
                    ForBlockVectors(nv, [&]<int NV>() {
                        TableWeights<NV>(s_.eligible + at, g_.weightInt, pad, weights);
                    });
                }
            }
            for (int32_t k = 0; k < n; ++k) {
                const int32_t x = x0 + k;
                if constexpr (Full) {
                    if (flat && x > 0) {
                        const int32_t h = g_.h;
                        if constexpr (V == BlurVariant::Spanning) {
                            if (x + h < n_)
                                sum_ = L::Add(sum_, L::Load(src_ + x + h));
                            if (x - h - 1 >= 0)
                                sum_ = L::Sub(sum_, L::Load(src_ + x - h - 1));
                        } else {
                            if (x - h - 1 >= 0)
                                sum_ = L::Sub(sum_, L::Load(src_ + x - h - 1));
                            if (x + h < n_)
                                sum_ = L::Add(sum_, L::Load(src_ + x + h));
                        }
                    }
                    const int32_t lo = x - g_.h > 0 ? x - g_.h : 0;
                    const int32_t hi = x + g_.h < n_ - 1 ? x + g_.h : n_ - 1;
                    count_ = _mm_set1_epi32(hi - lo + 1);
                } else {
                    if (x > 0) {
                        if (flat) {
                            MoveWindow(x);
                        } else {
                            if (x + g_.h < n_)
                                count_ = _mm_sub_epi32(count_, Eligibility(x + g_.h));
                            if (x - g_.h - 1 >= 0)
                                count_ = _mm_add_epi32(count_, Eligibility(x - g_.h - 1));
                        }
                    }
                    if (!sel_[x])
                        continue;
                }
                const __m128i mask = Full ? g_.lanes : OutputLanes();
                if (!Full && _mm_testz_si128(mask, mask))
                    continue;
                const __m128i w = Full ? _mm_set1_epi32(uniformWeights[k])
                                       : _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 4 * k));
                const __m128i noWeight = _mm_cmpeq_epi32(w, _mm_setzero_si128());
                Vec v;
                if constexpr (kFloatDepth) {
                    const __m128 p = _mm_loadu_ps(tablePart + 4 * k);
                    const __m128 scaled = _mm_mul_ps(scale_.Of(w), p);
                    if (flat) {
                        const __m128 share = _mm_set1_ps(static_cast<float>(g_.flatTotal) * 0x1p-15f);
                        const __m128 mean = _mm_div_ps(sum_, _mm_cvtepi32_ps(count_));
                        v = _mm_add_ps(_mm_mul_ps(mean, share),
                                       _mm_mul_ps(scaled, _mm_sub_ps(_mm_set1_ps(1.0f), share)));
                        v = L::Select(v, mean, noWeight);
                    } else {
                        v = L::Select(scaled, L::Load(src_ + x), noWeight);
                    }
                } else {
                    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tablePart + 4 * k));
                    if (flat) {
                        const __m128i b = _mm_set1_epi32(g_.flatTotal);
                        const __m128i mean = divA_.Floor(sum_, count_);
                        const __m128i gauss = divG_.Floor(p, w);
                        const __m128i mix = _mm_add_epi32(
                            _mm_add_epi32(_mm_mullo_epi32(mean, b),
                                          _mm_mullo_epi32(gauss, _mm_sub_epi32(_mm_set1_epi32(32768), b))),
                            _mm_set1_epi32(16384));
                        v = L::Select(_mm_srli_epi32(mix, 15), mean, noWeight);
                    } else {
                        if (AllEqual(w, _mm_set1_epi32(32768)))
                            v = _mm_srli_epi32(_mm_add_epi32(p, _mm_set1_epi32(16384)), 15);
                        else
                            v = divG_.Floor(_mm_add_epi32(p, _mm_srli_epi32(w, 1)), w);
                        v = L::Select(v, L::Load(src_ + x), noWeight);
                    }
                }
                unsigned char* d = dst_ + x * line_.destinationStep;
                if (Full && allLanes)
                    L::StoreAll(d, v);
                else
                    L::Store(d, v, mask);
            }
        }
    }

    const BlurLine<Pixel>& line_;
    const ChannelGroup& g_;
    const Scratch<Pixel>& s_;
    const Pixel* src_ = nullptr;
    const uint8_t* sel_ = nullptr;
    unsigned char* dst_ = nullptr;
    const char* next_ = nullptr;
    int32_t n_ = 0;
    Vec sum_{};
    __m128i count_{};
    Divider divA_;
    Divider divG_;
    FloatScale scale_;
    __m128 interiorCount_ = _mm_setzero_ps();
    __m128i interiorHalf_ = _mm_setzero_si128();
    bool smallWindow_ = false;
    __m128 interiorInverse_ = _mm_setzero_ps();
};

bool SameKernel(BlurKernel k, const BlurLineKernel& kernel, int a, int b) {
    if (k == BlurKernel::Box)
        return kernel.boxRadius[a] == kernel.boxRadius[b];
    const GaussTable* x = kernel.gauss[a];
    const GaussTable* y = kernel.gauss[b];
    if (x == y || x->weights == y->weights)
        return x->radius == y->radius && x->count == y->count && x->flatTotal == y->flatTotal;
    if (x->radius != y->radius || x->count != y->count || x->flatTotal != y->flatTotal)
        return false;
    for (int32_t i = 0; i < x->count; ++i)
        if (x->weights[i] != y->weights[i])
            return false;
    return true;
}

void FillGroup(ChannelGroup& g, BlurKernel k, const BlurLineKernel& kernel, int c, const bool lanes[4]) {
    g.lanes = LaneMask(lanes[0], lanes[1], lanes[2], lanes[3]);
    if (k == BlurKernel::Box) {
        const int32_t r = kernel.boxRadius[c];
        g.h = r > 1 ? r - 1 : 0;
        g.table = nullptr;
        g.pad = 0;
        g.flatTotal = 0;
        g.fullWeight = 0;
        g.pairable = false;
        return;
    }
    const GaussTable& t = *kernel.gauss[c];
    g.table = &t;
    g.h = t.radius > 1 ? t.radius - 1 : 0;
    g.pad = t.count - 1;
    g.flatTotal = t.flatTotal;
    int32_t full = t.weights[0];
    g.pairable = true;
    for (int32_t j = 0; j < t.count; ++j) {
        g.weightInt[j] = t.weights[j];
        g.weightFloat[j] = static_cast<float>(t.weights[j]) * 0x1p-15f;
        g.weightPair[j] = static_cast<int32_t>(static_cast<uint32_t>(t.weights[j]) * 0x10001u);
        g.pairable = g.pairable && t.weights[j] < 32768;
        if (j > 0)
            full += 2 * t.weights[j];
    }
    g.fullWeight = full;
    const auto abs = [](int32_t d) { return d < 0 ? -d : d; };
    for (int32_t p = 0; g.pairable && p <= g.pad; ++p) {
        const uint32_t first = t.weights[abs(2 * p - g.pad)];
        const uint32_t second = p < g.pad ? t.weights[abs(2 * p + 1 - g.pad)] : 0;
        g.weightSpread[p] = static_cast<int32_t>(first | second << 16);
    }
}

// ---- Box windows of their own per channel -------------------------------------------------------------
//
// Where every sample of a line is selected and opaque, channels whose box lengths differ share one walk:
// each lane keeps its own window, adding and removing its own samples (a masked-out sample adds zero,
// which leaves an integer sum, and a float sum that never is minus zero, as it was), and divides by its
// own count. A channel of length 1 is its sample and is not summed at all, where that is exact: a float
// spanning window's sum keeps the rounding of the sample it just dropped, (a + b) - a.

struct LaneWindows {
    int32_t h[4] = {0, 0, 0, 0}; // half-window of each lane
    int32_t reach = 0;           // the largest
    int groups = 0;              // distinct half-windows above 0
    int32_t groupH[4] = {0, 0, 0, 0};
    __m128i groupMask[4] = {};
    __m128i identity = _mm_setzero_si128(); // lanes of half-window 0
    int walks = 0;                          // the walks one per group of equal kernels would take
};

LaneWindows MakeLaneWindows(const BlurLineKernel& kernel, bool samplesExact) {
    LaneWindows w;
    bool identity[4];
    for (int c = 0; c < 4; ++c) {
        const int32_t r = kernel.boxRadius[c];
        w.h[c] = r > 1 ? r - 1 : 0;
        w.reach = w.h[c] > w.reach ? w.h[c] : w.reach;
        identity[c] = w.h[c] == 0 && samplesExact;
    }
    w.identity = LaneMask(identity[0], identity[1], identity[2], identity[3]);
    bool grouped[4] = {false, false, false, false};
    for (int c = 0; c < 4; ++c) {
        if (grouped[c])
            continue;
        bool lanes[4] = {false, false, false, false};
        for (int o = c; o < 4; ++o)
            if (w.h[o] == w.h[c])
                lanes[o] = grouped[o] = true;
        ++w.walks;
        if (identity[c])
            continue;
        w.groupH[w.groups] = w.h[c];
        w.groupMask[w.groups] = LaneMask(lanes[0], lanes[1], lanes[2], lanes[3]);
        ++w.groups;
    }
    return w;
}

// Each lane's window count at x of a line of n: the samples from max(0, x - h) to min(n - 1, x + h).
__m128i LaneCounts(const LaneWindows& w, int32_t x, int32_t n) {
    const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(w.h));
    const __m128i at = _mm_set1_epi32(x);
    const __m128i lo = _mm_max_epi32(_mm_sub_epi32(at, h), _mm_setzero_si128());
    const __m128i hi = _mm_min_epi32(_mm_add_epi32(at, h), _mm_set1_epi32(n - 1));
    return _mm_add_epi32(_mm_sub_epi32(hi, lo), _mm_set1_epi32(1));
}

// The interior of a selected, opaque 16-bit line of box lanes, [x, end), where every lane's window is
// whole: each group's entering sample less its leaving one is added at once (integer sums do not depend
// on the order), and every window of at most kSmallBoxWindow samples divides in single precision. The
// next line's samples are fetched on the way. Returns `end`.
template <int G>
int32_t LaneBoxInterior16(const BlurLine<PF_Pixel16>& line, const LaneWindows& w, __m128i& sum, int32_t x,
                          int32_t end) {
    const PF_Pixel16* src = line.source;
    const char* next = reinterpret_cast<const char*>(line.nextSource ? line.nextSource : line.source);
    const __m128i counts = LaneCounts(w, x, line.length);
    const __m128i half = _mm_srli_epi32(counts, 1);
    const __m128 inverse = _mm_div_ps(_mm_set1_ps(1.0f), _mm_cvtepi32_ps(counts));
    int32_t h[G];
    __m128i mask[G];
    for (int g = 0; g < G; ++g) {
        h[g] = w.groupH[g];
        mask[g] = w.groupMask[g];
    }
    const std::ptrdiff_t step = line.destinationStep;
    unsigned char* d = line.destination + x * step;
#if BLUR_WIDE_PIXELS == 2
    // Two pixels a step where they lie side by side (see BoxInteriorSmall).
    if (step == static_cast<std::ptrdiff_t>(sizeof(PF_Pixel16))) {
        __m256i mask2[G];
        for (int g = 0; g < G; ++g)
            mask2[g] = _mm256_set_m128i(mask[g], mask[g]);
        const __m256i half2 = _mm256_set_m128i(half, half);
        const __m256 inverse2 = _mm256_set_m128(inverse, inverse);
        const __m256i identity2 = _mm256_set_m128i(w.identity, w.identity);
        __m256i carried = _mm256_set_m128i(sum, sum);
        const auto pair = [src](int32_t at) {
            return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at)));
        };
        for (; x + 2 <= end; x += 2, d += 2 * step) {
            if (x % 8 < 2)
                _mm_prefetch(next + x * static_cast<std::ptrdiff_t>(sizeof(PF_Pixel16)), _MM_HINT_T0);
            __m256i change = _mm256_setzero_si256();
            for (int g = 0; g < G; ++g)
                change = _mm256_add_epi32(
                    change, _mm256_and_si256(_mm256_sub_epi32(pair(x + h[g]), pair(x - h[g] - 1)), mask2[g]));
            const __m256i prefix = _mm256_add_epi32(change, _mm256_permute2x128_si256(change, change, 0x08));
            const __m256i windows = _mm256_add_epi32(carried, prefix);
            carried = _mm256_permute2x128_si256(windows, windows, 0x11);
            __m256i q = _mm256_cvttps_epi32(_mm256_mul_ps(
                _mm256_add_ps(_mm256_cvtepi32_ps(_mm256_add_epi32(windows, half2)), _mm256_set1_ps(0.5f)),
                inverse2));
            q = _mm256_blendv_epi8(q, pair(x), identity2);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                             _mm_packus_epi32(_mm256_castsi256_si128(q), _mm256_extracti128_si256(q, 1)));
        }
        sum = _mm256_castsi256_si128(carried);
    }
#endif
    for (; x < end; ++x, d += step) {
        if (x % 8 == 0)
            _mm_prefetch(next + x * static_cast<std::ptrdiff_t>(sizeof(PF_Pixel16)), _MM_HINT_T0);
        __m128i delta = _mm_setzero_si128();
        for (int g = 0; g < G; ++g)
            delta = _mm_add_epi32(delta, _mm_and_si128(_mm_sub_epi32(Lanes16::Load(src + x + h[g]),
                                                                     Lanes16::Load(src + x - h[g] - 1)),
                                                       mask[g]));
        sum = _mm_add_epi32(sum, delta);
        const __m128i v = DivFloorSmall(_mm_add_epi32(sum, half), inverse);
        Lanes16::StoreAll(d, _mm_blendv_epi8(v, Lanes16::Load(src + x), w.identity));
    }
    return x;
}

// A selected, opaque line of box lanes in one walk.
template <class Pixel, BlurVariant V>
void LaneBoxLine(const BlurLine<Pixel>& line, const LaneWindows& w) {
    using L = typename LanesOf<Pixel>::T;
    using Vec = typename L::V;
    constexpr bool kFloatDepth = std::is_same_v<Pixel, PF_PixelFloat>;
    const Pixel* src = line.source;
    const int32_t n = line.length;
    Vec sum = L::Zero();
    for (int g = 0; g < w.groups; ++g) {
        const int32_t last = n - 1 < w.groupH[g] ? n - 1 : w.groupH[g];
        for (int32_t k = 0; k <= last; ++k)
            sum = L::Add(sum, L::Masked(L::Load(src + k), w.groupMask[g]));
    }
    Divider divider;
    // Where every lane's window is whole, a 16-bit line takes the interior loop.
    int32_t interior = n, interiorEnd = n;
    if constexpr (!kFloatDepth) {
        if (2 * w.reach + 1 <= kSmallBoxWindow && w.reach + 1 < n - w.reach) {
            interior = w.reach + 1;
            interiorEnd = n - w.reach;
        }
    }
    for (int32_t x = 0; x < n; ++x) {
        if constexpr (!kFloatDepth) {
            if (x == interior) {
                switch (w.groups) {
                case 1:
                    x = LaneBoxInterior16<1>(line, w, sum, x, interiorEnd);
                    break;
                case 2:
                    x = LaneBoxInterior16<2>(line, w, sum, x, interiorEnd);
                    break;
                case 3:
                    x = LaneBoxInterior16<3>(line, w, sum, x, interiorEnd);
                    break;
                default:
                    x = LaneBoxInterior16<4>(line, w, sum, x, interiorEnd);
                    break;
                }
                if (x == n)
                    break;
            }
        }
        if (x > 0) {
            for (int g = 0; g < w.groups; ++g) {
                const int32_t h = w.groupH[g];
                if constexpr (V == BlurVariant::Spanning) {
                    if (x + h < n)
                        sum = L::Add(sum, L::Masked(L::Load(src + x + h), w.groupMask[g]));
                } else {
                    if (x - h - 1 >= 0)
                        sum = L::Sub(sum, L::Masked(L::Load(src + x - h - 1), w.groupMask[g]));
                }
            }
            for (int g = 0; g < w.groups; ++g) {
                const int32_t h = w.groupH[g];
                if constexpr (V == BlurVariant::Spanning) {
                    if (x - h - 1 >= 0)
                        sum = L::Sub(sum, L::Masked(L::Load(src + x - h - 1), w.groupMask[g]));
                } else {
                    if (x + h < n)
                        sum = L::Add(sum, L::Masked(L::Load(src + x + h), w.groupMask[g]));
                }
            }
        }
        const __m128i count = LaneCounts(w, x, n);
        Vec v;
        if constexpr (kFloatDepth)
            v = _mm_div_ps(sum, _mm_cvtepi32_ps(count));
        else
            v = divider.Floor(_mm_add_epi32(sum, _mm_srli_epi32(count, 1)), count);
        // A sample alone: 0 + v, as the plain sum has it (minus zero becomes zero).
        v = L::Select(v, L::Add(L::Zero(), L::Load(src + x)), w.identity);
        L::StoreAll(line.destination + x * line.destinationStep, v);
    }
}

// Every channel of the n float pixels is finite (x - x is 0 only for finite x).
bool AllFinite(const PF_PixelFloat* p, int32_t n) {
    for (int32_t k = 0; k < n; ++k) {
        const __m128 v = _mm_loadu_ps(reinterpret_cast<const float*>(p + k));
        const __m128 d = _mm_sub_ps(v, v);
        if (_mm_movemask_ps(_mm_cmpunord_ps(d, d)))
            return false;
    }
    return true;
}

// The first position in [x, n) that is selected (or, with `selected` false, unselected), or n; sixteen
// bytes at a time, since a ragged selection's runs end at places no branch predicts.
int32_t NextSelection(const uint8_t* sel, int32_t x, int32_t n, bool selected) {
    const int flip = selected ? 0xFFFF : 0;
    for (; x + 16 <= n; x += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sel + x));
        const int found = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128())) ^ flip;
        if (found != 0)
            return x + __builtin_ctz(static_cast<unsigned>(found));
    }
    while (x < n && (sel[x] != 0) != selected)
        ++x;
    return x;
}

template <class Pixel, BlurKernel K, BlurVariant V>
void FastLine(const BlurLine<Pixel>& line, const BlurLineKernel& kernel, void* scratch) {
    if constexpr (std::is_same_v<Pixel, PF_PixelFloat>) {
        if (!AllFinite(line.source, line.length)) {
            PlainBlurLineFloat(K, V)(line, kernel, scratch);
            return;
        }
    }
    if constexpr (K == BlurKernel::Box) {
        const LaneWindows w =
            MakeLaneWindows(kernel, !std::is_same_v<Pixel, PF_PixelFloat> || V == BlurVariant::Confined);
        if (w.walks > 1 && AllSelectedAndOpaque(line.source, line.selection, line.length)) {
            LaneBoxLine<Pixel, V>(line, w);
            return;
        }
    }
    Scratch<Pixel> s;
    const std::size_t entries = static_cast<std::size_t>(line.length) + 3 * kFastLinePad;
    unsigned char* base = static_cast<unsigned char*>(scratch);
    s.masked = reinterpret_cast<typename Scratch<Pixel>::Sample*>(base);
    s.eligible = reinterpret_cast<int32_t*>(base + entries * 16);
    s.incomplete = reinterpret_cast<int32_t*>(base + entries * 32);

    bool done[4] = {false, false, false, false};
    for (int c = 0; c < 4; ++c) {
        if (done[c])
            continue;
        bool lanes[4] = {false, false, false, false};
        for (int o = c; o < 4; ++o)
            if (!done[o] && SameKernel(K, kernel, c, o))
                lanes[o] = done[o] = true;
        ChannelGroup g;
        FillGroup(g, K, kernel, c, lanes);
        RunFilter<Pixel, K, V> filter(line, g, s);
        if constexpr (V == BlurVariant::Spanning) {
            filter.Run(0, line.length);
        } else {
            int32_t x = NextSelection(line.selection, 0, line.length, true);
            while (x < line.length) {
                const int32_t end = NextSelection(line.selection, x + 1, line.length, false);
                filter.Run(x, end - x);
                x = NextSelection(line.selection, end, line.length, true);
            }
        }
    }
}

template <class Pixel>
BlurLineFunction<Pixel> FastLineFor(BlurKernel k, BlurVariant v) {
    if (k == BlurKernel::Gauss)
        return v == BlurVariant::Spanning ? FastLine<Pixel, BlurKernel::Gauss, BlurVariant::Spanning>
                                          : FastLine<Pixel, BlurKernel::Gauss, BlurVariant::Confined>;
    return v == BlurVariant::Spanning ? FastLine<Pixel, BlurKernel::Box, BlurVariant::Spanning>
                                      : FastLine<Pixel, BlurKernel::Box, BlurVariant::Confined>;
}

// ---- Strips of columns, every sample selected and opaque -------------------------------------------
//
// A column's window then holds every sample of its reach, so all columns of a strip share the window
// positions, counts and table weights, and a row of the strip is one step for all of them. Each lane
// still sees its own column's additions, removals and table terms in the plain form's order.

#if BLUR_WIDE_PIXELS == 2
WideI LoadPixels(const PF_Pixel16* p) {
    return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
WideF LoadPixels(const PF_PixelFloat* p) {
    return _mm256_loadu_ps(reinterpret_cast<const float*>(p));
}
void StorePixels(PF_Pixel16* p, WideI v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p),
                     _mm_packus_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
}
void StorePixels(PF_PixelFloat* p, WideF v) {
    _mm256_storeu_ps(reinterpret_cast<float*>(p), v);
}
WideI Widen(__m128i m) {
    return _mm256_set_m128i(m, m);
}
WideI SubWI(WideI a, WideI b) {
    return _mm256_sub_epi32(a, b);
}
WideF SubWF(WideF a, WideF b) {
    return _mm256_sub_ps(a, b);
}
WideF DivWF(WideF a, WideF b) {
    return _mm256_div_ps(a, b);
}
WideI BlendWI(WideI a, WideI b, WideI m) {
    return _mm256_blendv_epi8(a, b, m);
}
WideF BlendWF(WideF a, WideF b, WideI m) {
    return _mm256_blendv_ps(a, b, _mm256_castsi256_ps(m));
}
WideI ShiftRightWI(WideI a, int n) {
    return _mm256_srli_epi32(a, n);
}
// floor(n / d) for one divisor d in every lane, `inverse` = 1.0 / d (see Divider).
WideI DivFloorWI(WideI n, double inverse) {
    const __m256d inv = _mm256_set1_pd(inverse);
    const __m256d half = _mm256_set1_pd(0.5);
    const __m128i lo = _mm256_cvttpd_epi32(
        _mm256_mul_pd(_mm256_add_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(n)), half), inv));
    const __m128i hi = _mm256_cvttpd_epi32(
        _mm256_mul_pd(_mm256_add_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(n, 1)), half), inv));
    return _mm256_set_m128i(hi, lo);
}
// The reciprocals of four lanes' divisors (a pixel's channels), for DivFloorLanes.
struct LaneInverse {
    __m256d v;
};
LaneInverse InverseOf(__m128i divisors) {
    return {_mm256_div_pd(_mm256_set1_pd(1.0), _mm256_cvtepi32_pd(divisors))};
}
// floor(n / d) with each channel's own divisor d, for both pixels of the vector (see Divider).
WideI DivFloorLanes(WideI n, const LaneInverse& inverse) {
    const __m256d half = _mm256_set1_pd(0.5);
    const __m128i lo = _mm256_cvttpd_epi32(
        _mm256_mul_pd(_mm256_add_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(n)), half), inverse.v));
    const __m128i hi = _mm256_cvttpd_epi32(
        _mm256_mul_pd(_mm256_add_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(n, 1)), half), inverse.v));
    return _mm256_set_m128i(hi, lo);
}
WideF WidenF(__m128 v) {
    return _mm256_set_m128(v, v);
}
WideI DivFloorSmallWI(WideI n, WideF inverse) {
    return _mm256_cvttps_epi32(
        _mm256_mul_ps(_mm256_add_ps(_mm256_cvtepi32_ps(n), _mm256_set1_ps(0.5f)), inverse));
}
WideF AndWF(WideF v, WideI m) {
    return _mm256_and_ps(v, _mm256_castsi256_ps(m));
}
#else
WideI LoadPixels(const PF_Pixel16* p) {
    return Lanes16::Load(p);
}
WideF LoadPixels(const PF_PixelFloat* p) {
    return LanesFloat::Load(p);
}
void StorePixels(PF_Pixel16* p, WideI v) {
    Lanes16::StoreAll(reinterpret_cast<unsigned char*>(p), v);
}
void StorePixels(PF_PixelFloat* p, WideF v) {
    LanesFloat::StoreAll(reinterpret_cast<unsigned char*>(p), v);
}
WideI Widen(__m128i m) {
    return m;
}
WideI SubWI(WideI a, WideI b) {
    return _mm_sub_epi32(a, b);
}
WideF SubWF(WideF a, WideF b) {
    return _mm_sub_ps(a, b);
}
WideF DivWF(WideF a, WideF b) {
    return _mm_div_ps(a, b);
}
WideI BlendWI(WideI a, WideI b, WideI m) {
    return _mm_blendv_epi8(a, b, m);
}
WideF BlendWF(WideF a, WideF b, WideI m) {
    return _mm_blendv_ps(a, b, _mm_castsi128_ps(m));
}
WideI ShiftRightWI(WideI a, int n) {
    return _mm_srli_epi32(a, n);
}
WideI DivFloorWI(WideI n, double inverse) {
    const __m128d inv = _mm_set1_pd(inverse);
    const __m128d half = _mm_set1_pd(0.5);
    const __m128i lo = _mm_cvttpd_epi32(_mm_mul_pd(_mm_add_pd(_mm_cvtepi32_pd(n), half), inv));
    const __m128i hi =
        _mm_cvttpd_epi32(_mm_mul_pd(_mm_add_pd(_mm_cvtepi32_pd(_mm_unpackhi_epi64(n, n)), half), inv));
    return _mm_unpacklo_epi64(lo, hi);
}
struct LaneInverse {
    __m128d lo;
    __m128d hi;
};
LaneInverse InverseOf(__m128i divisors) {
    return {_mm_div_pd(_mm_set1_pd(1.0), _mm_cvtepi32_pd(divisors)),
            _mm_div_pd(_mm_set1_pd(1.0), _mm_cvtepi32_pd(_mm_unpackhi_epi64(divisors, divisors)))};
}
WideI DivFloorLanes(WideI n, const LaneInverse& inverse) {
    const __m128d half = _mm_set1_pd(0.5);
    const __m128i lo = _mm_cvttpd_epi32(_mm_mul_pd(_mm_add_pd(_mm_cvtepi32_pd(n), half), inverse.lo));
    const __m128i hi =
        _mm_cvttpd_epi32(_mm_mul_pd(_mm_add_pd(_mm_cvtepi32_pd(_mm_unpackhi_epi64(n, n)), half), inverse.hi));
    return _mm_unpacklo_epi64(lo, hi);
}
WideF WidenF(__m128 v) {
    return v;
}
WideI DivFloorSmallWI(WideI n, WideF inverse) {
    return DivFloorSmall(n, inverse);
}
WideF AndWF(WideF v, WideI m) {
    return _mm_and_ps(v, _mm_castsi128_ps(m));
}
#endif

template <class Pixel>
struct WideOf;
template <>
struct WideOf<PF_Pixel16> {
    using V = WideI;
    static V Masked(V v, WideI m) { return AndWI(v, m); }
    static V Zero() { return SetWI(0); }
    static V Add(V a, V b) { return AddWI(a, b); }
    static V Sub(V a, V b) { return SubWI(a, b); }
    static V Blend(V a, V b, WideI m) { return BlendWI(a, b, m); }
};
template <>
struct WideOf<PF_PixelFloat> {
    using V = WideF;
    static V Masked(V v, WideI m) { return AndWF(v, m); }
    static V Zero() { return SetWF(0.0f); }
    static V Add(V a, V b) { return AddWF(a, b); }
    static V Sub(V a, V b) { return SubWF(a, b); }
    static V Blend(V a, V b, WideI m) { return BlendWF(a, b, m); }
};

constexpr int kStripVectors = kLongestBlurStrip / kWide;

template <class Pixel, BlurKernel K, BlurVariant V>
class StripFilter {
    using W = WideOf<Pixel>;
    using Vec = typename W::V;
    static constexpr bool kFloatDepth = std::is_same_v<Pixel, PF_PixelFloat>;

public:
    StripFilter(const BlurStrip<Pixel>& s, const ChannelGroup& g) : s_(s), g_(g) {
        lanes_ = Widen(g.lanes);
        allLanes_ = _mm_movemask_ps(_mm_castsi128_ps(g.lanes)) == 0xF;
    }

    // False when a sample turns out unselected or transparent; the rows before it are then done.
    bool Run() {
        const int nv = s_.columns / kWide;
        const int32_t n = s_.rows, h = g_.h;
        const bool flat = K == BlurKernel::Box || g_.flatTotal != 0;
        if (!flat)
            return GaussColumns();
        Vec sum[kStripVectors];
        int32_t y = 0;
        if (K == BlurKernel::Box && s_.resumed) {
            y = Resume(sum, nv, h);
        } else {
            for (int a = 0; a < kStripVectors; ++a)
                sum[a] = W::Zero();
            const int32_t first = n - 1 < h ? n - 1 : h;
            if (!Check(first))
                return false;
            if (flat)
                for (int32_t k = 0; k <= first; ++k)
                    AddRow(sum, nv, k);
        }
        // Rows outermost: each row of the worlds is visited once per step for all columns. Rows past the
        // last stored one would change nothing.
        const int32_t end = s_.storeEnd < n ? s_.storeEnd : n;
        for (; y < end; ++y) {
            if (!Check(y + h < n - 1 ? y + h : n - 1))
                return false;
            const bool stored = y >= s_.storeFirst && y < s_.storeEnd;
            if constexpr (K == BlurKernel::Box) {
                if (stored) {
                    BoxRow(sum, nv, y);
                    continue;
                }
            }
            if (flat && y > 0)
                MoveWindow(sum, nv, y);
            if (!stored)
                continue;
            if constexpr (K == BlurKernel::Gauss) {
                const int32_t count = WindowCount(y);
                for (int a0 = 0; a0 < nv; a0 += kBlockVectors) {
                    const int m = nv - a0 < kBlockVectors ? nv - a0 : kBlockVectors;
                    ForBlockVectors(m, [&]<int NV>() { GaussRow<NV>(sum + a0, y, kWide * a0, count); });
                }
            }
        }
        if constexpr (K == BlurKernel::Box)
            Keep(sum, nv);
        return true;
    }

    // The windows of row storeFirst - 1 from the last call down these columns, whose rows were found
    // eligible up to `reach` past it. Returns the row to go on from.
    int32_t Resume(Vec* sum, int nv, int32_t reach) {
        const Vec* kept = static_cast<const Vec*>(s_.sums);
        for (int a = 0; a < nv; ++a)
            sum[a] = kept[a];
        const int32_t checked = s_.storeFirst - 1 + reach;
        checked_ = checked < s_.rows - 1 ? checked : s_.rows - 1;
        return s_.storeFirst;
    }
    void Keep(const Vec* sum, int nv) const {
        if (Vec* kept = static_cast<Vec*>(s_.sums))
            for (int a = 0; a < nv; ++a)
                kept[a] = sum[a];
    }

    // A stored row of the box: each sum moved to row y and divided in one visit, rather than a walk over
    // the sums for the row added, one for the row removed and one for the outputs.
    void BoxRow(Vec* sum, int nv, int32_t y) const {
        const int32_t h = g_.h, n = s_.rows;
        const bool in = y > 0 && y + h < n;
        const bool out = y > 0 && y - h - 1 >= 0;
        const int32_t count = WindowCount(y);
        if constexpr (kFloatDepth) {
            BoxRowOf<false>(sum, nv, y, in, out, count);
        } else {
            if (count <= kSmallBoxWindow)
                BoxRowOf<true>(sum, nv, y, in, out, count);
            else
                BoxRowOf<false>(sum, nv, y, in, out, count);
        }
    }

    template <bool Small>
    void BoxRowOf(Vec* sum, int nv, int32_t y, bool in, bool out, int32_t count) const {
        const Pixel* added = Src(in ? y + g_.h : 0, 0);
        const Pixel* removed = Src(out ? y - g_.h - 1 : 0, 0);
        Pixel* d = Dst(y, 0);
        const float countF = static_cast<float>(count);
        const double inverse = 1.0 / count;
        const WideF inverseF = SetWF(1.0f / countF);
        const WideI half = SetWI(count >> 1);
        for (int a = 0; a < nv; ++a) {
            Vec s = sum[a];
            // Each lane adds and removes in the plain form's order.
            if constexpr (V == BlurVariant::Spanning) {
                if (in)
                    s = W::Add(s, LoadPixels(added + kWide * a));
                if (out)
                    s = W::Sub(s, LoadPixels(removed + kWide * a));
            } else {
                if (out)
                    s = W::Sub(s, LoadPixels(removed + kWide * a));
                if (in)
                    s = W::Add(s, LoadPixels(added + kWide * a));
            }
            sum[a] = s;
            Vec v;
            if constexpr (kFloatDepth)
                v = DivWF(s, SetWF(countF));
            else if constexpr (Small)
                v = DivFloorSmallWI(AddWI(s, half), inverseF);
            else
                v = DivFloorWI(AddWI(s, half), inverse);
            if (!allLanes_)
                v = W::Blend(LoadPixels(d + kWide * a), v, lanes_);
            StorePixels(d + kWide * a, v);
        }
    }

    // The box with a window of its own per lane (LaneWindows), every lane written.
    bool RunLanes(const LaneWindows& w) {
        const int nv = s_.columns / kWide;
        const int32_t n = s_.rows;
        Vec sum[kStripVectors];
        WideI masks[4];
        for (int g = 0; g < w.groups; ++g)
            masks[g] = Widen(w.groupMask[g]);
        int32_t y = 0;
        if (s_.resumed) {
            y = Resume(sum, nv, w.reach);
        } else {
            for (int a = 0; a < nv; ++a)
                sum[a] = W::Zero();
            const int32_t first = n - 1 < w.reach ? n - 1 : w.reach;
            if (!Check(first))
                return false;
            for (int g = 0; g < w.groups; ++g) {
                const int32_t last = n - 1 < w.groupH[g] ? n - 1 : w.groupH[g];
                for (int32_t k = 0; k <= last; ++k)
                    AddRow(sum, nv, k, masks[g]);
            }
        }
        const WideI identity = Widen(w.identity);
        const bool anyIdentity = _mm_movemask_ps(_mm_castsi128_ps(w.identity)) != 0;
        __m128i count = _mm_set1_epi32(-1);
        WideF countF = SetWF(0.0f);
        WideI half = SetWI(0);
        LaneInverse inverse = InverseOf(_mm_set1_epi32(1));
        WideF inverseF = SetWF(1.0f);
        const bool small = 2 * w.reach + 1 <= kSmallBoxWindow;
        const int32_t end = s_.storeEnd < n ? s_.storeEnd : n;
        for (; y < end; ++y) {
            if (!Check(y + w.reach < n - 1 ? y + w.reach : n - 1))
                return false;
            // Each lane adds and removes as its own line would; the others see a zero. The rows added
            // and removed, each with its group's lanes, in the plain form's order.
            const Pixel* moved[8];
            WideI movedMask[8];
            int added = 0, removed = 0;
            if (y > 0) {
                for (int g = 0; g < w.groups; ++g)
                    if (y + w.groupH[g] < n) {
                        moved[added] = Src(y + w.groupH[g], 0);
                        movedMask[added++] = masks[g];
                    }
                for (int g = 0; g < w.groups; ++g)
                    if (y - w.groupH[g] - 1 >= 0) {
                        moved[4 + removed] = Src(y - w.groupH[g] - 1, 0);
                        movedMask[4 + removed++] = masks[g];
                    }
            }
            if (y < s_.storeFirst || y >= s_.storeEnd) {
                for (int a = 0; a < nv; ++a)
                    sum[a] = MovedSum(sum[a], kWide * a, moved, movedMask, added, removed);
                continue;
            }
            const __m128i c = LaneCounts(w, y, n);
            if (!AllEqual(c, count)) {
                count = c;
                if constexpr (kFloatDepth) {
                    countF = WidenF(_mm_cvtepi32_ps(c));
                } else {
                    half = Widen(_mm_srli_epi32(c, 1));
                    inverse = InverseOf(c);
                    inverseF = WidenF(_mm_div_ps(_mm_set1_ps(1.0f), _mm_cvtepi32_ps(c)));
                }
            }
            // Each sum moved and divided in one visit.
            const Pixel* centre = Src(y, 0);
            Pixel* d = Dst(y, 0);
            if constexpr (!kFloatDepth) {
                // Every group adds a row and drops one: integer sums take each group's change at once.
                if (small && added == w.groups && removed == w.groups) {
                    const auto row = [&]<int G>() {
                        LaneRowSmall<G>(sum, nv, moved, movedMask, centre, d, half, inverseF,
                                        anyIdentity ? identity : SetWI(0));
                    };
                    switch (w.groups) {
                    case 1:
                        row.template operator()<1>();
                        break;
                    case 2:
                        row.template operator()<2>();
                        break;
                    case 3:
                        row.template operator()<3>();
                        break;
                    default:
                        row.template operator()<4>();
                        break;
                    }
                    continue;
                }
            }
            for (int a = 0; a < nv; ++a) {
                const Vec s = MovedSum(sum[a], kWide * a, moved, movedMask, added, removed);
                sum[a] = s;
                Vec v;
                if constexpr (kFloatDepth)
                    v = DivWF(s, countF);
                else
                    v = small ? DivFloorSmallWI(AddWI(s, half), inverseF)
                              : DivFloorLanes(AddWI(s, half), inverse);
                if (anyIdentity)
                    v = W::Blend(v, W::Add(W::Zero(), LoadPixels(centre + kWide * a)), identity);
                StorePixels(d + kWide * a, v);
            }
        }
        Keep(sum, nv);
        return true;
    }

    // A stored 16-bit row of RunLanes in which each of the G groups adds row moved[g] and drops row
    // moved[4 + g], every window dividing in single precision.
    template <int G>
    static void LaneRowSmall(Vec* sum, int nv, const Pixel* const* moved, const WideI* mask,
                             const Pixel* centre, Pixel* d, WideI half, WideF inverse, WideI identity) {
        for (int a = 0; a < nv; ++a) {
            const int32_t column = kWide * a;
            WideI change = SetWI(0);
            for (int g = 0; g < G; ++g)
                change = AddWI(
                    change,
                    AndWI(SubWI(LoadPixels(moved[g] + column), LoadPixels(moved[4 + g] + column)), mask[g]));
            const WideI s = AddWI(sum[a], change);
            sum[a] = s;
            const WideI v = DivFloorSmallWI(AddWI(s, half), inverse);
            StorePixels(d + column, BlendWI(v, LoadPixels(centre + column), identity));
        }
    }

    // A sum of RunLanes moved one row: rows moved[0, added) enter and moved[4, 4 + removed) leave, each
    // masked to its group's lanes; a spanning window adds first, a confined one removes first.
    static Vec MovedSum(Vec s, int32_t column, const Pixel* const* moved, const WideI* mask, int added,
                        int removed) {
        if constexpr (V == BlurVariant::Spanning) {
            for (int k = 0; k < added; ++k)
                s = W::Add(s, W::Masked(LoadPixels(moved[k] + column), mask[k]));
            for (int k = 4; k < 4 + removed; ++k)
                s = W::Sub(s, W::Masked(LoadPixels(moved[k] + column), mask[k]));
        } else {
            for (int k = 4; k < 4 + removed; ++k)
                s = W::Sub(s, W::Masked(LoadPixels(moved[k] + column), mask[k]));
            for (int k = 0; k < added; ++k)
                s = W::Add(s, W::Masked(LoadPixels(moved[k] + column), mask[k]));
        }
        return s;
    }

private:
    // Rows up to `last` are selected and opaque in every column of the strip. This is the first visit
    // of each row, a world's stride from the last: rows further on are fetched ahead.
    bool Check(int32_t last) {
        constexpr int32_t kAhead = 16;
        const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(s_.columns) * sizeof(Pixel);
        for (; checked_ < last; ++checked_) {
            const int32_t row = checked_ + 1;
            if (row + kAhead < s_.rows) {
                const char* ahead = reinterpret_cast<const char*>(Src(row + kAhead, 0));
                for (std::ptrdiff_t b = 0; b < rowBytes; b += 64)
                    _mm_prefetch(ahead + b, _MM_HINT_T0);
                _mm_prefetch(
                    reinterpret_cast<const char*>(s_.selection + (row + kAhead) * s_.selectionStride),
                    _MM_HINT_T0);
            }
            if (!RowEligible(row))
                return false;
        }
        return true;
    }

    bool RowEligible(int32_t row) const {
        const uint8_t* sel = s_.selection + row * s_.selectionStride;
        const Pixel* p = Src(row, 0);
        // One test per row rather than a branch per vector: a row is seldom ineligible.
        int32_t c = 0;
        __m128i unselected = _mm_setzero_si128();
        for (; c + 16 <= s_.columns; c += 16)
            unselected = _mm_or_si128(
                unselected, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sel + c)),
                                           _mm_setzero_si128()));
        if (_mm_movemask_epi8(unselected))
            return false;
        for (; c < s_.columns; ++c)
            if (!sel[c])
                return false;
        if constexpr (kFloatDepth) {
            // Transparent, or a NaN or an infinity, which only the plain form keeps out of its sums.
            for (c = 0; c < s_.columns; ++c) {
                const __m128 v = _mm_loadu_ps(reinterpret_cast<const float*>(p + c));
                const __m128 d = _mm_sub_ps(v, v);
                if ((_mm_movemask_ps(_mm_cmpeq_ps(v, _mm_setzero_ps())) & 1) ||
                    _mm_movemask_ps(_mm_cmpunord_ps(d, d)))
                    return false;
            }
        } else {
            __m128i zero = _mm_setzero_si128();
            for (c = 0; c < s_.columns; c += 2) // two pixels per vector; alpha in words 0 and 4
                zero = _mm_or_si128(zero,
                                    _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + c)),
                                                    _mm_setzero_si128()));
            if (_mm_movemask_epi8(zero) & 0x0303)
                return false;
        }
        return true;
    }

    const Pixel* Src(int32_t row, int32_t column) const {
        return reinterpret_cast<const Pixel*>(s_.source + row * s_.sourceStride) + column;
    }
    Pixel* Dst(int32_t row, int32_t column) const {
        return reinterpret_cast<Pixel*>(s_.destination + (row - s_.storeFirst) * s_.destinationStride) +
               column;
    }

    void Store(int32_t row, int32_t column, Vec v) const {
        Pixel* d = Dst(row, column);
        if (!allLanes_)
            v = W::Blend(LoadPixels(d), v, lanes_);
        StorePixels(d, v);
    }

    void AddRow(Vec* sum, int nv, int32_t row) const {
        const Pixel* p = Src(row, 0);
        for (int a = 0; a < nv; ++a)
            sum[a] = W::Add(sum[a], LoadPixels(p + kWide * a));
    }
    void RemoveRow(Vec* sum, int nv, int32_t row) const {
        const Pixel* p = Src(row, 0);
        for (int a = 0; a < nv; ++a)
            sum[a] = W::Sub(sum[a], LoadPixels(p + kWide * a));
    }
    void AddRow(Vec* sum, int nv, int32_t row, WideI mask) const {
        const Pixel* p = Src(row, 0);
        for (int a = 0; a < nv; ++a)
            sum[a] = W::Add(sum[a], W::Masked(LoadPixels(p + kWide * a), mask));
    }

    void MoveWindow(Vec* sum, int nv, int32_t y) const {
        const int32_t h = g_.h, n = s_.rows;
        if constexpr (V == BlurVariant::Spanning) {
            if (y + h < n)
                AddRow(sum, nv, y + h);
            if (y - h - 1 >= 0)
                RemoveRow(sum, nv, y - h - 1);
        } else {
            if (y - h - 1 >= 0)
                RemoveRow(sum, nv, y - h - 1);
            if (y + h < n)
                AddRow(sum, nv, y + h);
        }
    }

    // A Gaussian without a flat part keeps no sums from row to row, so once every row the stored rows
    // reach is known eligible, the strip goes a block of columns at a time down all its rows: the block's
    // rows in reach stay in the first-level cache, where a row of the whole strip at a time would find
    // them evicted.
    bool GaussColumns() {
        // Narrower strips first: the rows the check reads are still in the second-level cache when the
        // blocks filter them. A strip given up part-way has written whole columns of the line's bytes.
        constexpr int32_t kChecked = 128;
        if (s_.columns > kChecked) {
            for (int32_t c0 = 0; c0 < s_.columns; c0 += kChecked) {
                BlurStrip<Pixel> part = s_;
                part.source += c0 * static_cast<std::ptrdiff_t>(sizeof(Pixel));
                part.selection += c0;
                part.destination += c0 * static_cast<std::ptrdiff_t>(sizeof(Pixel));
                part.columns = s_.columns - c0 < kChecked ? s_.columns - c0 : kChecked;
                if (!StripFilter(part, g_).GaussColumns())
                    return false;
            }
            return true;
        }
        const int32_t n = s_.rows, h = g_.h;
        const int32_t end = s_.storeEnd < n ? s_.storeEnd : n;
        int32_t last = n - 1 < h ? n - 1 : h;
        if (end > 0 && end - 1 + h > last)
            last = end - 1 + h < n - 1 ? end - 1 + h : n - 1;
        if (!Check(last))
            return false;
        const int nv = s_.columns / kWide;
        for (int a0 = 0; a0 < nv; a0 += kBlockVectors) {
            const int m = nv - a0 < kBlockVectors ? nv - a0 : kBlockVectors;
            ForBlockVectors(m, [&]<int NV>() { GaussBlock<NV>(kWide * a0, end); });
        }
        return true;
    }

    // Rows [storeFirst, end) of NV vectors of columns from c0. At 16 bits with multiply-adds, the rows
    // whose whole table lies inside the column take their sums from a ring of neighbouring rows laid
    // side by side, each row pair built once for every output that reaches it.
    template <int NV>
    void GaussBlock(int32_t c0, int32_t end) {
        const int32_t n = s_.rows, pad = g_.pad;
        Vec none[NV]; // the box sums, which a table without a flat part does not read
        for (int a = 0; a < NV; ++a)
            none[a] = W::Zero();
        bool spread = false;
        if constexpr (!kFloatDepth && NV % 2 == 0)
            spread = g_.pairable && 2 * pad + 1 <= kSpreadRows;
        if (!spread) {
            for (int32_t y = s_.storeFirst; y < end; ++y)
                GaussRow<NV>(none, y, c0, WindowCount(y));
            return;
        }
        if constexpr (!kFloatDepth && NV % 2 == 0) {
            alignas(32) WideI ring[kSpreadRows * NV];
            int32_t next = INT32_MIN; // the next row pair the ring takes
            for (int32_t y = s_.storeFirst; y < end; ++y) {
                if (y - pad < 0 || y + pad >= n) {
                    GaussRow<NV>(none, y, c0, WindowCount(y));
                    continue;
                }
                if (next < y - pad)
                    next = y - pad;
                for (; next <= y + pad; ++next)
                    SpreadRows<NV>(ring + (next & (kSpreadRows - 1)) * NV, next, c0);
                GaussSpreadRow<NV>(none, ring, y, c0);
            }
        }
    }

    static constexpr int32_t kSpreadRows = 128; // a power of two

    // Rows k and k + 1 (zeros past the column) less 32768, side by side lane by lane: the pair of
    // vectors for pixels [0, kPairPixels) of each of the NV / 2 pairs, as Unpack16Lo and Unpack16Hi
    // leave them.
    template <int NV>
    void SpreadRows(WideI* entry, int32_t k, int32_t c0) const {
        const WideI bias = SetWI(static_cast<int32_t>(0x80008000u));
        const Pixel* p = Src(k, c0);
        const Pixel* q = k + 1 < s_.rows ? Src(k + 1, c0) : nullptr;
        // Rows lie far apart: the block's row a few steps on is fetched now.
        if (k + 8 < s_.rows) {
            const char* ahead = reinterpret_cast<const char*>(Src(k + 8, c0));
            for (int b = 0; b < NV * kWide * static_cast<int>(sizeof(Pixel)); b += 64)
                _mm_prefetch(ahead + b, _MM_HINT_T0);
        }
        for (int i = 0; i < NV / 2; ++i) {
            const WideI a = XorWI(Load16(p + kPairPixels * i), bias);
            const WideI b = q ? XorWI(Load16(q + kPairPixels * i), bias) : SetWI(0);
            entry[2 * i] = Unpack16Lo(a, b);
            entry[2 * i + 1] = Unpack16Hi(a, b);
        }
    }

    // Row y, its whole table inside the column, from the ring: the pairs from y - pad on, every second
    // row, with weightSpread's weights.
    template <int NV>
    void GaussSpreadRow(const Vec* none, const WideI* ring, int32_t y, int32_t c0) {
        constexpr int P = NV / 2;
        const int32_t pad = g_.pad;
        // The whole table on every lane: each output is its rounded shift, the lift and the rounding
        // added up front (every lane of lo and hi lands in one output lane).
        const bool shifted = g_.fullWeight == 32768 && allLanes_;
        WideI lo[P], hi[P];
        for (int i = 0; i < P; ++i)
            lo[i] = hi[i] = SetWI(shifted ? 32768 * 32768 + 16384 : 0);
        for (int32_t p = 0; p <= pad; ++p) {
            const WideI w = SetWI(g_.weightSpread[p]);
            const WideI* e = ring + ((y - pad + 2 * p) & (kSpreadRows - 1)) * NV;
            for (int i = 0; i < P; ++i) {
                lo[i] = AddWI(lo[i], MaddWI(e[2 * i], w));
                hi[i] = AddWI(hi[i], MaddWI(e[2 * i + 1], w));
            }
        }
        Vec acc[NV];
        if (shifted) {
            for (int i = 0; i < P; ++i) {
                Unpair(lo[i], hi[i], acc[2 * i], acc[2 * i + 1]);
                StorePixels(Dst(y, c0 + kWide * 2 * i), ShiftRightWI(acc[2 * i], 15));
                StorePixels(Dst(y, c0 + kWide * (2 * i + 1)), ShiftRightWI(acc[2 * i + 1], 15));
            }
            return;
        }
        const WideI lift = SetWI(32768 * g_.fullWeight);
        for (int i = 0; i < P; ++i) {
            Unpair(lo[i], hi[i], acc[2 * i], acc[2 * i + 1]);
            acc[2 * i] = AddWI(acc[2 * i], lift);
            acc[2 * i + 1] = AddWI(acc[2 * i + 1], lift);
        }
        GaussStore<NV>(none, acc, g_.fullWeight, y, c0, WindowCount(y));
    }

    int32_t WindowCount(int32_t y) const {
        const int32_t lo = y - g_.h > 0 ? y - g_.h : 0;
        const int32_t hi = y + g_.h < s_.rows - 1 ? y + g_.h : s_.rows - 1;
        return hi - lo + 1;
    }

    // Outputs of row y for NV vectors from column c0; `sum` holds their box sums.
    template <int NV>
    void GaussRow(const Vec* sum, int32_t y, int32_t c0, int32_t count) {
        const int32_t n = s_.rows, pad = g_.pad;
        Vec acc[NV];
        int32_t weight = 0;
        if constexpr (kFloatDepth) {
            for (int a = 0; a < NV; ++a)
                acc[a] = SetWF(0.0f);
            for (int32_t j = 1; j <= pad && y - j >= 0; ++j) {
                const WideF w = SetWF(g_.weightFloat[j]);
                const Pixel* p = Src(y - j, c0);
                for (int a = 0; a < NV; ++a)
                    acc[a] = AddWF(acc[a], MulWF(w, LoadPixels(p + kWide * a)));
                weight += g_.weightInt[j];
            }
            for (int32_t j = 0; j <= pad && y + j < n; ++j) {
                const WideF w = SetWF(g_.weightFloat[j]);
                const Pixel* p = Src(y + j, c0);
                for (int a = 0; a < NV; ++a)
                    acc[a] = AddWF(acc[a], MulWF(w, LoadPixels(p + kWide * a)));
                weight += g_.weightInt[j];
            }
        } else if (NV % 2 == 0 && g_.pairable) {
            // Multiply-adds on the samples less 32768, each weight paired with itself to take both rows at
            // its distance (the centre pairs with a zero); a row beyond the line pairs with
            // a zero.
            constexpr int P = NV / 2 > 0 ? NV / 2 : 1;
            WideI lo[P], hi[P];
            const WideI bias = SetWI(static_cast<int32_t>(0x80008000u));
            const WideI zero = SetWI(0);
            const WideI w0 = SetWI(g_.weightPair[0]);
            const Pixel* centre = Src(y, c0);
            for (int k = 0; k < NV / 2; ++k) {
                const WideI c = XorWI(Load16(centre + kPairPixels * k), bias);
                lo[k] = MaddWI(Unpack16Lo(c, zero), w0);
                hi[k] = MaddWI(Unpack16Hi(c, zero), w0);
            }
            weight = g_.weightInt[0];
            // The table inside the line: both rows at every distance, without a test per vector.
            const bool inside = y - pad >= 0 && y + pad < n;
            for (int32_t j = 1; inside && j <= pad; ++j) {
                const WideI wj = SetWI(g_.weightPair[j]);
                const Pixel* p = Src(y - j, c0);
                const Pixel* q = Src(y + j, c0);
                for (int k = 0; k < NV / 2; ++k) {
                    const WideI a = XorWI(Load16(p + kPairPixels * k), bias);
                    const WideI b = XorWI(Load16(q + kPairPixels * k), bias);
                    lo[k] = AddWI(lo[k], MaddWI(Unpack16Lo(a, b), wj));
                    hi[k] = AddWI(hi[k], MaddWI(Unpack16Hi(a, b), wj));
                }
                weight += 2 * g_.weightInt[j];
            }
            for (int32_t j = 1; !inside && j <= pad; ++j) {
                const bool up = y - j >= 0, down = y + j < n;
                if (!up && !down)
                    break;
                const WideI wj = SetWI(g_.weightPair[j]);
                const Pixel* p = up ? Src(y - j, c0) : nullptr;
                const Pixel* q = down ? Src(y + j, c0) : nullptr;
                for (int k = 0; k < NV / 2; ++k) {
                    const WideI a = p ? XorWI(Load16(p + kPairPixels * k), bias) : zero;
                    const WideI b = q ? XorWI(Load16(q + kPairPixels * k), bias) : zero;
                    lo[k] = AddWI(lo[k], MaddWI(Unpack16Lo(a, b), wj));
                    hi[k] = AddWI(hi[k], MaddWI(Unpack16Hi(a, b), wj));
                }
                weight += (up + down) * g_.weightInt[j];
            }
            const WideI lift = SetWI(32768 * weight);
            for (int k = 0; k < NV / 2; ++k) {
                Unpair(lo[k], hi[k], acc[2 * k], acc[2 * k + 1]);
                acc[2 * k] = AddWI(acc[2 * k], lift);
                acc[2 * k + 1] = AddWI(acc[2 * k + 1], lift);
            }
        } else {
            const WideI w0 = SetWI(g_.weightInt[0]);
            const Pixel* centre = Src(y, c0);
            for (int a = 0; a < NV; ++a)
                acc[a] = MulWI(w0, LoadPixels(centre + kWide * a));
            weight = g_.weightInt[0];
            for (int32_t j = 1; j <= pad; ++j) {
                const bool up = y - j >= 0, down = y + j < n;
                if (!up && !down)
                    break;
                const WideI w = SetWI(g_.weightInt[j]);
                if (up && down) {
                    const Pixel* p = Src(y - j, c0);
                    const Pixel* q = Src(y + j, c0);
                    for (int a = 0; a < NV; ++a)
                        acc[a] = AddWI(acc[a],
                                       MulWI(w, AddWI(LoadPixels(p + kWide * a), LoadPixels(q + kWide * a))));
                } else {
                    const Pixel* p = Src(up ? y - j : y + j, c0);
                    for (int a = 0; a < NV; ++a)
                        acc[a] = AddWI(acc[a], MulWI(w, LoadPixels(p + kWide * a)));
                }
                weight += (up + down) * g_.weightInt[j];
            }
        }
        GaussStore<NV>(sum, acc, weight, y, c0, count);
    }

    // Row y's outputs from their table sums `acc`, whose weights total `weight`.
    template <int NV>
    void GaussStore(const Vec* sum, const Vec* acc, int32_t weight, int32_t y, int32_t c0, int32_t count) {
        const bool flat = g_.flatTotal != 0;
        for (int a = 0; a < NV; ++a) {
            const int32_t column = c0 + kWide * a;
            Vec v;
            if constexpr (kFloatDepth) {
                const WideF share = SetWF(static_cast<float>(g_.flatTotal) * 0x1p-15f);
                if (flat) {
                    const WideF mean = DivWF(sum[a], SetWF(static_cast<float>(count)));
                    if (weight == 0)
                        v = mean;
                    else
                        v = AddWF(MulWF(mean, share),
                                  MulWF(MulWF(SetWF(32768.0f / static_cast<float>(weight)), acc[a]),
                                        SubWF(SetWF(1.0f), share)));
                } else {
                    v = weight == 0 ? LoadPixels(Src(y, column))
                                    : MulWF(SetWF(32768.0f / static_cast<float>(weight)), acc[a]);
                }
            } else {
                if (flat) {
                    const WideI mean = DivFloorWI(sum[a], 1.0 / count);
                    if (weight == 0) {
                        v = mean;
                    } else {
                        const WideI gauss = DivFloorWI(acc[a], 1.0 / weight);
                        const WideI b = SetWI(g_.flatTotal);
                        const WideI mix = AddWI(
                            AddWI(MulWI(mean, b), MulWI(gauss, SetWI(32768 - g_.flatTotal))), SetWI(16384));
                        v = ShiftRightWI(mix, 15);
                    }
                } else {
                    // The whole table (it totals 32768 without a flat part) divides by a shift.
                    v = weight == 0       ? LoadPixels(Src(y, column))
                        : weight == 32768 ? ShiftRightWI(AddWI(acc[a], SetWI(16384)), 15)
                                          : DivFloorWI(AddWI(acc[a], SetWI(weight >> 1)), 1.0 / weight);
                }
            }
            Store(y, column, v);
        }
    }

    const BlurStrip<Pixel>& s_;
    const ChannelGroup& g_;
    WideI lanes_;
    bool allLanes_;
    int32_t checked_ = -1;
};

template <class Pixel, BlurKernel K, BlurVariant V>
bool FastStrip(const BlurStrip<Pixel>& strip, const BlurLineKernel& kernel) {
    if (strip.columns <= 0 || strip.columns > kLongestBlurStrip || strip.columns % 2 != 0)
        return false;
    if constexpr (K == BlurKernel::Box) {
        const LaneWindows w =
            MakeLaneWindows(kernel, !std::is_same_v<Pixel, PF_PixelFloat> || V == BlurVariant::Confined);
        if (w.walks > 1) {
            ChannelGroup g;
            const bool all[4] = {true, true, true, true};
            FillGroup(g, K, kernel, 0, all);
            return StripFilter<Pixel, K, V>(strip, g).RunLanes(w);
        }
    }
    bool done[4] = {false, false, false, false};
    for (int c = 0; c < 4; ++c) {
        if (done[c])
            continue;
        bool lanes[4] = {false, false, false, false};
        for (int o = c; o < 4; ++o)
            if (!done[o] && SameKernel(K, kernel, c, o))
                lanes[o] = done[o] = true;
        ChannelGroup g;
        FillGroup(g, K, kernel, c, lanes);
        if (!StripFilter<Pixel, K, V>(strip, g).Run())
            return false;
    }
    return true;
}

template <class Pixel>
BlurStripFunction<Pixel> FastStripFor(BlurKernel k, BlurVariant v) {
    if (k == BlurKernel::Gauss)
        return v == BlurVariant::Spanning ? FastStrip<Pixel, BlurKernel::Gauss, BlurVariant::Spanning>
                                          : FastStrip<Pixel, BlurKernel::Gauss, BlurVariant::Confined>;
    return v == BlurVariant::Spanning ? FastStrip<Pixel, BlurKernel::Box, BlurVariant::Spanning>
                                      : FastStrip<Pixel, BlurKernel::Box, BlurVariant::Confined>;
}
