#include "kernels/BlurBands.h"

#include <cstring>
#include <type_traits>

#include "kernels/AlphaScan.h"
#include "kernels/BlurSchedule.h"
#include "kernels/MaskedPasses.h"
#include "kernels/RowBlocks.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using namespace blur_schedule;

// The vertical half-window: rows a band must see beyond each of its ends.
int32_t VerticalReach(BlurKernel kernel, const PassContext& columns) {
    int32_t reach = 0;
    for (int c = 0; c < 4; ++c) {
        const int32_t r = kernel == BlurKernel::Gauss ? columns.gauss[c].radius : columns.boxRadius[c];
        const int32_t h = r > 1 ? r - 1 : 0;
        reach = h > reach ? h : reach;
    }
    return reach;
}

// Rows per band: enough that the margins recomputed or moved stay a small share of the work.
int32_t BandRows(int32_t reach) {
    return reach * 3 > 96 ? reach * 3 : 96;
}

// Every 8-bit channel's 16-bit value: a load where the formula would divide.
struct Widening8 {
    A_u_short to16[256];
    constexpr Widening8() : to16() {
        for (int c = 0; c < 256; ++c)
            to16[c] = ConvertChannel8To16(static_cast<A_u_char>(c));
    }
};
constexpr Widening8 kWidened8{};

#if defined(__SSE2__)
// Gathered strips move by whole vectors (the instruction set every 64-bit x86 processor has): a strip of
// 16-bit pixels turned between rows and columns two pixels by two rows at a time, and its selection
// sixteen bytes by sixteen rows.
__m128i Load(const void* p) {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}
void Store(void* p, __m128i v) {
    _mm_storeu_si128(static_cast<__m128i*>(p), v);
}

// Sixteen rows of sixteen bytes from `from` into sixteen columns: column c at to[c] + at.
void TurnBytes16(const uint8_t* from, std::ptrdiff_t stride, uint8_t* const* to, std::size_t at) {
    __m128i x[16];
    __m128i y[16];
    for (int i = 0; i < 16; ++i)
        x[i] = Load(from + i * stride);
    // y[8h + k]: rows 2k and 2k + 1 of columns 8h to 8h + 7, a pair of bytes per column.
    for (int k = 0; k < 8; ++k) {
        y[k] = _mm_unpacklo_epi8(x[2 * k], x[2 * k + 1]);
        y[8 + k] = _mm_unpackhi_epi8(x[2 * k], x[2 * k + 1]);
    }
    // x[4q + m]: rows 4m to 4m + 3 of columns 4q to 4q + 3.
    for (int h = 0; h < 2; ++h)
        for (int m = 0; m < 4; ++m) {
            x[8 * h + m] = _mm_unpacklo_epi16(y[8 * h + 2 * m], y[8 * h + 2 * m + 1]);
            x[8 * h + 4 + m] = _mm_unpackhi_epi16(y[8 * h + 2 * m], y[8 * h + 2 * m + 1]);
        }
    // y[2j + p]: rows 8p to 8p + 7 of columns 2j and 2j + 1.
    for (int q = 0; q < 4; ++q)
        for (int p = 0; p < 2; ++p) {
            y[4 * q + p] = _mm_unpacklo_epi32(x[4 * q + 2 * p], x[4 * q + 2 * p + 1]);
            y[4 * q + 2 + p] = _mm_unpackhi_epi32(x[4 * q + 2 * p], x[4 * q + 2 * p + 1]);
        }
    for (int j = 0; j < 8; ++j) {
        Store(to[2 * j] + at, _mm_unpacklo_epi64(y[2 * j], y[2 * j + 1]));
        Store(to[2 * j + 1] + at, _mm_unpackhi_epi64(y[2 * j], y[2 * j + 1]));
    }
}

// Two rows of sixteen 16-bit pixels into sixteen columns: column c's two pixels at to[c] + at.
void TurnPixelRows(const PF_Pixel16* row0, const PF_Pixel16* row1, PF_Pixel16* const* to, std::size_t at) {
    for (int c = 0; c < 16; c += 2) {
        const __m128i r0 = Load(row0 + c);
        const __m128i r1 = Load(row1 + c);
        Store(to[c] + at, _mm_unpacklo_epi64(r0, r1));
        Store(to[c + 1] + at, _mm_unpackhi_epi64(r0, r1));
    }
}

// The inverse: the pixels at from[c] + at and the next of sixteen columns into two rows.
void TurnPixelColumns(PF_Pixel16* const* from, std::size_t at, PF_Pixel16* row0, PF_Pixel16* row1) {
    for (int c = 0; c < 16; c += 2) {
        const __m128i a = Load(from[c] + at);
        const __m128i b = Load(from[c + 1] + at);
        Store(row0 + c, _mm_unpacklo_epi64(a, b));
        Store(row1 + c, _mm_unpackhi_epi64(a, b));
    }
}
#endif

// Rows of the blur depth that an earlier fused pair makes as they are asked for, rising. Rows below the
// last Release are no longer asked for.
class RowFeed {
public:
    virtual const unsigned char* Row(int32_t y) = 0;
    virtual void Release(int32_t y) = 0;

protected:
    ~RowFeed() = default;
};

// A band filter found its pass's kernels missing, or a chain's rows out of order.
struct BandsDamaged {};

// A pass asked to give up at a selected transparent pixel met one (or another call of it did).
struct TransparentSeen {};

// Consecutive result rows in a buffer, row `first` at `data`.
struct RowWindow {
    unsigned char* data = nullptr;
    int32_t first = 0;
};

template <class SourceDepth, class DestinationDepth, BlurKernel K, BlurVariant V>
class BandFilter {
    using Pixel = typename SourceDepth::BlurDepth::Pixel;
    using SourcePixel = typename SourceDepth::Pixel;
    using SourceChannel = typename SourceDepth::Channel;
    using DestinationPixel = typename DestinationDepth::Pixel;
    static_assert(std::is_same_v<Pixel, typename DestinationDepth::BlurDepth::Pixel>);
    // 8-bit worlds: rows are converted to 16 bits as they are read, and back as the band is written.
    static constexpr bool kWidened = !std::is_same_v<Pixel, SourcePixel>;
    static constexpr bool kConverted = !std::is_same_v<Pixel, DestinationPixel>;

public:
    BandFilter(const BandPassContext& ctx, const LineBlock& block)
        : ctx_(ctx), plane_(ctx.plane), width_(block.width), height_(block.height),
          rowBytes_(static_cast<std::size_t>(block.width) * sizeof(Pixel)) {}

    // Source rows from an earlier pair instead of the source world (which is then not read).
    void FeedFrom(RowFeed* feed) { feed_ = feed; }
    // Results into a window of rows instead of the destination world.
    void WriteInto(const RowWindow* window) { window_ = window; }

    PF_Err Run(const Block& lines) {
        Begin(lines);
        while (BandsLeft())
            NextBand();
        return PF_Err_NONE;
    }

    // Prepares the rows [lines.first, lines.first + lines.count) band by band.
    void Begin(const Block& lines) {
        reach_ = VerticalReach(K, ctx_.columns);
        // No band longer than the call's block: with many threads each holds only what it needs.
        band_ = BandRows(reach_) < lines.count ? BandRows(reach_) : lines.count;
        // Box strips keep their sums from band to band, so that a band walks its own rows only; the row
        // before the band's reach is then held too, for the windows to drop it.
        above_ = K == BlurKernel::Box ? reach_ + 1 : reach_;
        const int32_t longest = band_ + above_ + reach_ < height_ ? band_ + above_ + reach_ : height_;
        if (!rows_.Prepare(ctx_.rows, width_) || !columns_.Prepare(ctx_.columns, longest))
            throw BandsDamaged{};
        strip_ = SelectBlurStrip<Pixel>(K, V, BestBlurIsa(), columns_.kernel, longest);
        constexpr int32_t kDirect = kDirectColumns<Pixel>;
        const int32_t pages = (width_ + kDirect - 1) / kDirect;
        const bool keepSums = K == BlurKernel::Box && strip_;
        sumsBuffer_ = AlignedBuffer(keepSums ? static_cast<std::size_t>(pages) * kBlurStripSumBytes : 0);
        resumableBuffer_ = AlignedBuffer(keepSums ? static_cast<std::size_t>(pages) : 0);
        if (keepSums)
            std::memset(resumableBuffer_.data, 0, static_cast<std::size_t>(pages));
        sums_ = sumsBuffer_.data;
        resumable_ = resumableBuffer_.data;
        heldBuffer_ = AlignedBuffer(static_cast<std::size_t>(longest) * rowBytes_);
        rowScratchBuffer_ = AlignedBuffer(rows_.scratchBytes);
        columnScratchBuffer_ = AlignedBuffer(columns_.scratchBytes);
        lookup_ = static_cast<const SourceChannel*>(ctx_.lookup);
        convertedBuffer_ = AlignedBuffer(kWidened || lookup_ ? rowBytes_ : 0);
        bandedBuffer_ = AlignedBuffer(kConverted ? static_cast<std::size_t>(band_) * rowBytes_ : 0);
        const std::size_t gatheredRows = RoundUp64(longest);
        columnBytes_ = gatheredRows * (1 + 2 * sizeof(Pixel));
        gatherBuffer_ = AlignedBuffer(kStripColumns * columnBytes_);
        // The filters write every gathered destination row, but blend some lanes with what was there.
        std::memset(gatherBuffer_.data, 0, kStripColumns * columnBytes_);
        held_ = heldBuffer_.data;
        rowScratch_ = rowScratchBuffer_.data;
        columnScratch_ = columnScratchBuffer_.data;
        converted_ = reinterpret_cast<Pixel*>(convertedBuffer_.data);
        banded_ = reinterpret_cast<Pixel*>(bandedBuffer_.data);
        gathered_.Lay(gatherBuffer_.data, columnBytes_, gatheredRows);
        heldFirst_ = heldEnd_ = 0;
        defined_ = 0;
        next_ = lines.first;
        end_ = lines.first + lines.count;
    }

    bool BandsLeft() const { return next_ < end_; }
    int32_t NextRow() const { return next_; }
    // The row after the next band's last.
    int32_t NextBandEnd() const { return end_ - next_ < band_ ? end_ : next_ + band_; }
    // The rows above and below a band that its vertical windows reach.
    int32_t Above() const { return above_; }
    int32_t Reach() const { return reach_; }
    int32_t BandLength() const { return band_; }

    // Filters the next band of rows into the destination.
    void NextBand() {
        if (ctx_.transparentSeen && ctx_.transparentSeen->load(std::memory_order_relaxed))
            throw TransparentSeen{};
        const int32_t y0 = next_;
        const int32_t y1 = NextBandEnd();
        const int32_t a = y0 - above_ > 0 ? y0 - above_ : 0;
        const int32_t b = y1 + reach_ < height_ ? y1 + reach_ : height_;
        // The rows this band shares with the last one move to the front of the buffer.
        int32_t kept = 0;
        if (heldFirst_ <= a && a < heldEnd_) {
            kept = heldEnd_ - a;
            std::memmove(held_, held_ + static_cast<std::size_t>(a - heldFirst_) * rowBytes_,
                         static_cast<std::size_t>(kept) * rowBytes_);
        }
        if (feed_)
            feed_->Release(a + kept < y0 ? a + kept : y0);
        for (int32_t y = a + kept; y < b; ++y)
            FilterRow(y, y - a);
        heldFirst_ = a;
        heldEnd_ = b;
        FilterBand(a, b, y0, y1);
        if constexpr (kConverted)
            WriteBand(y0, y1);
        next_ = y1;
    }

private:
    Pixel* HeldRow(int32_t i) const {
        return reinterpret_cast<Pixel*>(held_ + static_cast<std::size_t>(i) * rowBytes_);
    }

    const SourcePixel* SourceRow(int32_t y) const {
        if constexpr (std::is_same_v<SourcePixel, Pixel>)
            if (feed_)
                return reinterpret_cast<const SourcePixel*>(feed_->Row(y));
        return WorldRow<const SourcePixel>(*ctx_.source, ctx_.rect.top + y) + ctx_.rect.left;
    }
    // The unselected world's row: of the destination's depth.
    const DestinationPixel* UnselectedRow(int32_t y) const {
        return WorldRow<const DestinationPixel>(*ctx_.unselected, ctx_.rect.top + y) + ctx_.rect.left;
    }
    const uint8_t* SelectionRow(int32_t y) const {
        return plane_.bytes + static_cast<std::ptrdiff_t>(y) * plane_.stride;
    }

    // Where row y of the band's results goes: the destination world, or for 8-bit layers the band's
    // 16-bit rows.
    Pixel* ResultRow(int32_t y) const {
        if constexpr (kConverted) {
            return reinterpret_cast<Pixel*>(reinterpret_cast<unsigned char*>(banded_) +
                                            static_cast<std::size_t>(y - y0_) * rowBytes_);
        } else {
            if (window_)
                return reinterpret_cast<Pixel*>(window_->data +
                                                static_cast<std::size_t>(y - window_->first) * rowBytes_);
            return WorldRow<Pixel>(*ctx_.destination, ctx_.rect.top + y) + ctx_.rect.left;
        }
    }
    std::ptrdiff_t ResultStride() const {
        if (kConverted || window_)
            return static_cast<std::ptrdiff_t>(rowBytes_);
        return ctx_.destination->rowbytes;
    }

    // What the vertical pass leaves where it filters nothing: the blur's source, or the unselected
    // world's pixel. An 8-bit destination takes the converted source; WriteBand puts the unselected
    // pixels back.
    void Unfiltered(Pixel* out, int32_t y, int32_t x0, int32_t n) const {
        const SourcePixel* source = SourceRow(y) + x0;
        const uint8_t* selection = SelectionRow(y) + x0;
        if constexpr (!kConverted && !kWidened) {
            if (!lookup_ && (!ctx_.unselected || ctx_.unselected == ctx_.source)) {
                // A whole strip is a copy of known size, a few vector moves: a copy of any length
                // becomes a string move whose start-up costs more than the copy.
                if (n == kStripColumns)
                    std::memcpy(out, source, kStripColumns * sizeof(Pixel));
                else
                    std::memcpy(out, source, static_cast<std::size_t>(n) * sizeof(Pixel));
                return;
            }
        }
        for (int32_t x = 0; x < n; ++x)
            out[x] = Prepared(source[x], selection[x]);
        if constexpr (!kConverted) {
            if (ctx_.unselected) {
                const DestinationPixel* other = UnselectedRow(y) + x0;
                for (int32_t x = 0; x < n; ++x)
                    if (!selection[x])
                        out[x] = other[x];
            }
        }
    }

    // A source pixel as the blur takes it: through the lookup table where selected, then widened.
    Pixel Prepared(const SourcePixel& p, uint8_t selected) const {
        if (!lookup_ || !selected)
            return Widened(p);
        return Widened(SourcePixel{p.alpha, LookUp(p.red), LookUp(p.green), LookUp(p.blue)});
    }
    SourceChannel LookUp(SourceChannel c) const {
        if constexpr (std::is_same_v<SourceChannel, A_u_char>)
            return lookup_[c];
        else if constexpr (std::is_same_v<SourceChannel, A_u_short>)
            return lookup_[Channel16TableIndex(c)];
        else
            return lookup_[FloatTableIndex(c)];
    }

    static Pixel Widened(const SourcePixel& p) {
        if constexpr (kWidened)
            return Pixel{kWidened8.to16[p.alpha], kWidened8.to16[p.red], kWidened8.to16[p.green],
                         kWidened8.to16[p.blue]};
        else
            return p;
    }
    static DestinationPixel Narrowed(const Pixel& p) {
        if constexpr (kConverted)
            return DestinationPixel{ConvertChannel16To8(p.alpha), ConvertChannel16To8(p.red),
                                    ConvertChannel16To8(p.green), ConvertChannel16To8(p.blue)};
        else
            return p;
    }

    // The horizontal pass of row y into held row `slot`, which starts as the source row where the
    // vertical pass reads it: its selected pixels. The vertical filters take an unselected sample as
    // ineligible without reading it (or mask what they load to zero), and unselected results come from
    // the source or unselected world, so a held row's unselected pixels may keep an earlier row's bytes.
    void FilterRow(int32_t y, int32_t slot) {
        Pixel* out = HeldRow(slot);
        const Pixel* source;
        if (kWidened || lookup_) {
            const SourcePixel* row = SourceRow(y);
            const uint8_t* selection = SelectionRow(y);
            for (int32_t x = 0; x < width_; ++x)
                converted_[x] = Prepared(row[x], selection[x]);
            source = converted_;
        } else {
            source = reinterpret_cast<const Pixel*>(SourceRow(y));
        }
        // The filter writes every pixel that is selected and not transparent: a row of only those needs
        // no copy of the source first, which would be written over whole.
        const bool filtered = !plane_.rowFlags || plane_.rowFlags[y];
        const bool selected = filtered && !std::memchr(SelectionRow(y), 0, static_cast<std::size_t>(width_));
        bool written = selected;
        if (ctx_.transparentSeen) {
            const bool opaque = NoneTransparent(source, width_);
            if (!opaque && filtered && SomeSelectedTransparent(source, SelectionRow(y))) {
                ctx_.transparentSeen->store(true, std::memory_order_relaxed);
                throw TransparentSeen{};
            }
            written = written && opaque;
        } else {
            written = written && NoneTransparent(source, width_);
        }
        if (!written) {
            if (slot >= defined_ || selected) {
                // A slot's first row is copied whole, so that no held byte is ever undefined.
                std::memcpy(out, source, rowBytes_);
                defined_ = slot + 1 > defined_ ? slot + 1 : defined_;
            } else {
                CopySelected(out, source, SelectionRow(y));
            }
        }
        if (!filtered)
            return;
        BlurLine<Pixel> line;
        line.source = source;
        line.selection = SelectionRow(y);
        line.length = width_;
        line.destination = reinterpret_cast<unsigned char*>(out);
        line.destinationStep = sizeof(Pixel);
        // Rows from a feed are made as they are asked for, and were made just now.
        if (!kWidened && !lookup_ && !feed_ && y + 1 < height_)
            line.nextSource = reinterpret_cast<const Pixel*>(SourceRow(y + 1));
        rows_.filter(line, rows_.kernel, rowScratch_);
    }

    // The source's pixels where selected, sixteen at a time: a group with no selected pixel is skipped.
    void CopySelected(Pixel* out, const Pixel* source, const uint8_t* selection) const {
        constexpr int32_t kGroup = 16;
        int32_t x = 0;
        for (; x + kGroup <= width_; x += kGroup) {
            uint64_t bytes[2];
            std::memcpy(bytes, selection + x, sizeof(bytes));
            if ((bytes[0] | bytes[1]) != 0)
                std::memcpy(out + x, source + x, kGroup * sizeof(Pixel));
        }
        if (x < width_)
            std::memcpy(out + x, source + x, static_cast<std::size_t>(width_ - x) * sizeof(Pixel));
    }

    bool SomeSelectedTransparent(const Pixel* row, const uint8_t* selection) const {
        bool transparent = false;
        for (int32_t x = 0; x < width_; ++x)
            transparent |= selection[x] != 0 && row[x].alpha == 0;
        return transparent;
    }

    // The vertical pass of rows [y0, y1) from the held rows [a, b), a page of columns at a time.
    void FilterBand(int32_t a, int32_t b, int32_t y0, int32_t y1) {
        y0_ = y0;
        constexpr int32_t kDirect = kDirectColumns<Pixel>;
        for (int32_t x0 = 0; x0 < width_; x0 += kDirect) {
            const int32_t chunk = width_ - x0 < kDirect ? width_ - x0 : kDirect;
            const int32_t page = x0 / kDirect;
            int32_t direct = chunk & ~1;
            if (plane_.columnFlags)
                for (int32_t c = 0; c < direct; ++c)
                    if (!plane_.columnFlags[x0 + c])
                        direct = 0;
            if (strip_ && direct > 0) {
                BlurStrip<Pixel> s;
                s.source = reinterpret_cast<const unsigned char*>(HeldRow(0) + x0);
                s.sourceStride = static_cast<std::ptrdiff_t>(rowBytes_);
                s.selection = SelectionRow(a) + x0;
                s.selectionStride = plane_.stride;
                s.destination = reinterpret_cast<unsigned char*>(ResultRow(y0) + x0);
                s.destinationStride = ResultStride();
                s.columns = direct;
                s.rows = b - a;
                s.storeFirst = y0 - a;
                s.storeEnd = y1 - a;
                if (sums_) {
                    s.sums = sums_ + static_cast<std::size_t>(page) * kBlurStripSumBytes;
                    s.resumed = resumable_[page] != 0 && y0 > a;
                }
                if (!strip_(s, columns_.kernel))
                    direct = 0;
            } else {
                direct = 0;
            }
            // The next band goes on from these sums only where this one's strip filtered the page.
            if (resumable_)
                resumable_[page] = direct > 0;
            for (int32_t g0 = x0 + direct; g0 < x0 + chunk;) {
                // Neighbouring strips that filter nothing are copied row by row together: a strip at a
                // time would visit each row of both worlds once per strip.
                const int32_t g1 = UnflaggedEnd(g0, x0 + chunk);
                if (g1 > g0) {
                    for (int32_t y = y0; y < y1; ++y)
                        Unfiltered(ResultRow(y) + g0, y, g0, g1 - g0);
                    g0 = g1;
                    continue;
                }
                const int32_t n = x0 + chunk - g0 < kStripColumns ? x0 + chunk - g0 : kStripColumns;
                FilterGathered(a, b, y0, y1, g0, n);
                g0 += n;
            }
        }
    }

    // The end of the strips from g0 (before `end`) whose columns all have their flag clear: g0 when the
    // first has a flagged column or there are no column flags.
    int32_t UnflaggedEnd(int32_t g0, int32_t end) const {
        if (!plane_.columnFlags)
            return g0;
        int32_t x = g0;
        while (x < end) {
            const int32_t n = end - x < kStripColumns ? end - x : kStripColumns;
            for (int32_t c = 0; c < n; ++c)
                if (plane_.columnFlags[x + c])
                    return x;
            x += n;
        }
        return x;
    }

    // Columns [g0, g0 + n) of the held rows gathered, filtered as lines of their own and written back for
    // the band's rows.
    void FilterGathered(int32_t a, int32_t b, int32_t y0, int32_t y1, int32_t g0, int32_t n) {
        bool any = false;
        for (int32_t c = 0; c < n; ++c)
            any = any || !plane_.columnFlags || plane_.columnFlags[g0 + c];
        if (!any) {
            for (int32_t y = y0; y < y1; ++y)
                Unfiltered(ResultRow(y) + g0, y, g0, n);
            return;
        }
        const GatheredColumns<Pixel> cols = gathered_;
        int32_t y = a;
        int32_t pixelsTo = a;
        int32_t bytesTo = a;
#if defined(__SSE2__)
        if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
            if (n == kStripColumns) {
                for (; y + 16 <= b; y += 16) {
                    for (int32_t k = y; k < y + 16; k += 2) {
                        // The next strip's pixels are fetched while this one is gathered.
                        FetchNextStrip(HeldRow(k - a) + g0);
                        FetchNextStrip(HeldRow(k + 1 - a) + g0);
                        TurnPixelRows(HeldRow(k - a) + g0, HeldRow(k + 1 - a) + g0, cols.src,
                                      static_cast<std::size_t>(k - a));
                    }
                    TurnBytes16(SelectionRow(y) + g0, plane_.stride, cols.sel,
                                static_cast<std::size_t>(y - a));
                }
                pixelsTo = bytesTo = y;
            }
        }
#endif
        for (y = pixelsTo; y < b; ++y) {
            const Pixel* from = HeldRow(y - a) + g0;
            FetchNextStrip(from);
            for (int32_t c = 0; c < n; ++c)
                cols.src[c][y - a] = from[c];
        }
        for (y = bytesTo; y < b; ++y) {
            const uint8_t* selRow = SelectionRow(y) + g0;
            for (int32_t c = 0; c < n; ++c)
                cols.sel[c][y - a] = selRow[c];
        }
        Pixel unfiltered[2][kStripColumns];
        y = y0;
#if defined(__SSE2__)
        if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
            if (n == kStripColumns) {
                for (; y + 2 <= y1; y += 2) {
                    FetchNextStrip(SourceRow(y) + g0);
                    FetchNextStrip(SourceRow(y + 1) + g0);
                    Unfiltered(unfiltered[0], y, g0, n);
                    Unfiltered(unfiltered[1], y + 1, g0, n);
                    TurnPixelRows(unfiltered[0], unfiltered[1], cols.dst, static_cast<std::size_t>(y - a));
                }
            }
        }
#endif
        for (; y < y1; ++y) {
            FetchNextStrip(SourceRow(y) + g0);
            Unfiltered(unfiltered[0], y, g0, n);
            for (int32_t c = 0; c < n; ++c)
                cols.dst[c][y - a] = unfiltered[0][c];
        }
        for (int32_t c = 0; c < n; ++c) {
            if (plane_.columnFlags && !plane_.columnFlags[g0 + c])
                continue;
            BlurLine<Pixel> line;
            line.source = cols.src[c];
            line.selection = cols.sel[c];
            line.length = b - a;
            line.destination = reinterpret_cast<unsigned char*>(cols.dst[c]);
            line.destinationStep = sizeof(Pixel);
            columns_.filter(line, columns_.kernel, columnScratch_);
        }
        y = y0;
#if defined(__SSE2__)
        if constexpr (std::is_same_v<Pixel, PF_Pixel16>) {
            if (n == kStripColumns) {
                for (; y + 2 <= y1; y += 2) {
                    Pixel* to0 = ResultRow(y) + g0;
                    Pixel* to1 = ResultRow(y + 1) + g0;
                    FetchNextStrip(to0);
                    FetchNextStrip(to1);
                    TurnPixelColumns(cols.dst, static_cast<std::size_t>(y - a), to0, to1);
                }
            }
        }
#endif
        for (; y < y1; ++y) {
            Pixel* to = ResultRow(y) + g0;
            FetchNextStrip(to);
            for (int32_t c = 0; c < n; ++c)
                to[c] = cols.dst[c][y - a];
        }
    }

    // An 8-bit destination: the band's 16-bit results back to 8 bits; unselected pixels take the
    // unselected world's (without one, the source's, converted there and back).
    void WriteBand(int32_t y0, int32_t y1) {
        for (int32_t y = y0; y < y1; ++y) {
            const Pixel* from = ResultRow(y);
            DestinationPixel* to =
                WorldRow<DestinationPixel>(*ctx_.destination, ctx_.rect.top + y) + ctx_.rect.left;
            if (!ctx_.unselected) {
                for (int32_t x = 0; x < width_; ++x)
                    to[x] = Narrowed(from[x]);
                continue;
            }
            const DestinationPixel* other = UnselectedRow(y);
            const uint8_t* selection = SelectionRow(y);
            for (int32_t x = 0; x < width_; ++x)
                to[x] = selection[x] ? Narrowed(from[x]) : other[x];
        }
    }

    const BandPassContext& ctx_;
    const SelectionPlane& plane_;
    const int32_t width_;
    const int32_t height_;
    const std::size_t rowBytes_;
    int32_t reach_ = 0;
    int32_t above_ = 0;
    int32_t band_ = 0;
    int32_t y0_ = 0;
    int32_t next_ = 0; // the next band's first row
    int32_t end_ = 0;
    int32_t heldFirst_ = 0; // the rows in held_
    int32_t heldEnd_ = 0;
    int32_t defined_ = 0; // held slots below it have been written whole once
    RowFeed* feed_ = nullptr;
    const RowWindow* window_ = nullptr;
    AlignedBuffer sumsBuffer_{0};
    AlignedBuffer resumableBuffer_{0};
    AlignedBuffer heldBuffer_{0};
    AlignedBuffer rowScratchBuffer_{0};
    AlignedBuffer columnScratchBuffer_{0};
    AlignedBuffer convertedBuffer_{0};
    AlignedBuffer bandedBuffer_{0};
    AlignedBuffer gatherBuffer_{0};
    LinePlan<Pixel, K, V> rows_;
    LinePlan<Pixel, K, V> columns_;
    BlurStripFunction<Pixel> strip_ = nullptr;
    unsigned char* held_ = nullptr;
    unsigned char* sums_ = nullptr;      // each page's kept box sums, or null
    unsigned char* resumable_ = nullptr; // per page: its sums hold the last band's last row
    void* rowScratch_ = nullptr;
    void* columnScratch_ = nullptr;
    Pixel* converted_ = nullptr;
    const SourceChannel* lookup_ = nullptr;
    Pixel* banded_ = nullptr;
    std::size_t columnBytes_ = 0;
    GatheredColumns<Pixel> gathered_;
};

template <class SourceDepth, class DestinationDepth, BlurKernel K, BlurVariant V>
PF_Err BandPass(void* refcon, A_long, A_long i, A_long calls) noexcept {
    constexpr std::size_t kSource = sizeof(typename SourceDepth::Pixel);
    constexpr std::size_t kDestination = sizeof(typename DestinationDepth::Pixel);
    const auto* context = static_cast<const BandPassContext*>(refcon);
    const auto covered = [context](const LineBlock& block) {
        return WorldCoversRect(context->source, context->rect, kSource) &&
               WorldCoversRect(context->destination, context->rect, kDestination) &&
               (!context->unselected || WorldCoversRect(context->unselected, context->rect, kDestination)) &&
               PlaneCovers(context->plane, block.width, block.height);
    };
    return RunLineBlock(context, i, calls, covered, [context](const LineBlock& block) -> PF_Err {
        BandFilter<SourceDepth, DestinationDepth, K, V> filter(*context, block);
        try {
            return filter.Run(block.lines);
        } catch (const BandsDamaged&) {
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        } catch (const TransparentSeen&) {
            return PF_Err_NONE;
        }
    });
}

// The first of two chained pairs as the second's source: its results go into a window of rows, which
// moves on as the second releases rows.
template <class First>
class ChainFeed final : public RowFeed {
public:
    ChainFeed(First& first, std::size_t rowBytes, int32_t capacity)
        : first_(first), rowBytes_(rowBytes), capacity_(capacity),
          buffer_(static_cast<std::size_t>(capacity) * rowBytes) {
        window_.data = buffer_.data;
        first_.WriteInto(&window_);
    }

    // Makes the first pair's bands up to row y.
    const unsigned char* Row(int32_t y) override {
        while (y >= made_ && first_.BandsLeft()) {
            if (first_.NextBandEnd() - window_.first > capacity_) {
                // The rows still asked for move to the front.
                const int32_t keep = released_ > window_.first ? released_ : window_.first;
                std::memmove(buffer_.data,
                             buffer_.data + static_cast<std::size_t>(keep - window_.first) * rowBytes_,
                             static_cast<std::size_t>(made_ - keep) * rowBytes_);
                window_.first = keep;
                if (first_.NextBandEnd() - window_.first > capacity_)
                    throw BandsDamaged{};
            }
            first_.NextBand();
            made_ = first_.NextRow();
        }
        if (y < window_.first || y >= made_)
            throw BandsDamaged{};
        return window_.data + static_cast<std::size_t>(y - window_.first) * rowBytes_;
    }
    void Release(int32_t y) override { released_ = y; }

    // Where the first pair starts: the first row the second asks for.
    void Start(int32_t firstRow) {
        window_.first = firstRow;
        made_ = firstRow;
        released_ = firstRow;
    }

private:
    First& first_;
    const std::size_t rowBytes_;
    const int32_t capacity_;
    AlignedBuffer buffer_;
    RowWindow window_;
    int32_t made_ = 0;     // rows before it are made
    int32_t released_ = 0; // rows before it are no longer asked for
};

// Two fused pairs, the second filtering the first's rows as they are made: the frame between them is
// never written.
template <class SourceDepth, class DestinationDepth, BlurKernel K, BlurVariant V>
PF_Err ChainedBandPass(void* refcon, A_long, A_long i, A_long calls) noexcept {
    using Middle = typename SourceDepth::BlurDepth;
    using First = BandFilter<SourceDepth, Middle, K, V>;
    using Second = BandFilter<Middle, DestinationDepth, K, V>;
    constexpr std::size_t kSource = sizeof(typename SourceDepth::Pixel);
    constexpr std::size_t kDestination = sizeof(typename DestinationDepth::Pixel);
    const auto* context = static_cast<const ChainedBandContext*>(refcon);
    const BandPassContext* first = context ? &context->first : nullptr;
    const auto covered = [context](const LineBlock& block) {
        const BandPassContext& a = context->first;
        const BandPassContext& b = context->second;
        return WorldCoversRect(a.source, a.rect, kSource) &&
               WorldCoversRect(b.destination, a.rect, kDestination) &&
               (!b.unselected || WorldCoversRect(b.unselected, a.rect, kDestination)) &&
               b.rect.left == a.rect.left && b.rect.top == a.rect.top && b.rect.right == a.rect.right &&
               b.rect.bottom == a.rect.bottom && !a.lookup && !b.lookup &&
               PlaneCovers(a.plane, block.width, block.height) &&
               PlaneCovers(b.plane, block.width, block.height);
    };
    return RunLineBlock(first, i, calls, covered, [context](const LineBlock& block) -> PF_Err {
        First a(context->first, block);
        Second b(context->second, block);
        try {
            b.Begin(block.lines);
            // The second pair's rows reach beyond its block by its margins: the first makes those too.
            const int32_t from = block.lines.first - b.Above() > 0 ? block.lines.first - b.Above() : 0;
            const int32_t last = block.lines.first + block.lines.count + b.Reach();
            const int32_t to = last < block.height ? last : block.height;
            a.Begin(Block{from, to - from});
            const int32_t capacity = b.BandLength() + b.Above() + b.Reach() + a.BandLength();
            ChainFeed<First> feed(a, static_cast<std::size_t>(block.width) * sizeof(typename Middle::Pixel),
                                  capacity);
            feed.Start(from);
            b.FeedFrom(&feed);
            while (b.BandsLeft())
                b.NextBand();
            return PF_Err_NONE;
        } catch (const BandsDamaged&) {
            return PF_Err_INTERNAL_STRUCT_DAMAGED;
        } catch (const TransparentSeen&) {
            return PF_Err_NONE;
        }
    });
}

} // namespace

bool BandsApply(BlurKernel kernel, bool floatDepth, const int32_t* verticalRadius) {
    for (int c = 0; c < 4; ++c)
        if (verticalRadius[c] - 1 > kLongestBandReach)
            return false;
    // Float: only Gaussian tables, whose terms do not depend on where the column starts.
    return !floatDepth || kernel == BlurKernel::Gauss;
}

template <class SourceDepth, class DestinationDepth>
PassFunction BandPassOf(BlurKernel kernel, BlurVariant variant) {
    constexpr BlurKernel kGauss = BlurKernel::Gauss;
    constexpr BlurKernel kBox = BlurKernel::Box;
    constexpr BlurVariant kSpanning = BlurVariant::Spanning;
    constexpr BlurVariant kConfined = BlurVariant::Confined;
    using S = SourceDepth;
    using D = DestinationDepth;
    constexpr PassFunction passes[2][2] = {
        {BandPass<S, D, kGauss, kSpanning>, BandPass<S, D, kGauss, kConfined>},
        {BandPass<S, D, kBox, kSpanning>, BandPass<S, D, kBox, kConfined>}};
    return passes[kernel == BlurKernel::Box][variant == BlurVariant::Confined];
}

template <class SourceDepth, class DestinationDepth>
PassFunction ChainedBandPassOf(BlurKernel kernel, BlurVariant variant) {
    constexpr BlurKernel kGauss = BlurKernel::Gauss;
    constexpr BlurKernel kBox = BlurKernel::Box;
    constexpr BlurVariant kSpanning = BlurVariant::Spanning;
    constexpr BlurVariant kConfined = BlurVariant::Confined;
    using S = SourceDepth;
    using D = DestinationDepth;
    constexpr PassFunction passes[2][2] = {
        {ChainedBandPass<S, D, kGauss, kSpanning>, ChainedBandPass<S, D, kGauss, kConfined>},
        {ChainedBandPass<S, D, kBox, kSpanning>, ChainedBandPass<S, D, kBox, kConfined>}};
    return passes[kernel == BlurKernel::Box][variant == BlurVariant::Confined];
}

template PassFunction ChainedBandPassOf<Depth8, Depth8>(BlurKernel, BlurVariant);
template PassFunction ChainedBandPassOf<Depth8, Depth16>(BlurKernel, BlurVariant);
template PassFunction ChainedBandPassOf<Depth16, Depth8>(BlurKernel, BlurVariant);
template PassFunction ChainedBandPassOf<Depth16, Depth16>(BlurKernel, BlurVariant);

template PassFunction BandPassOf<Depth8, Depth8>(BlurKernel, BlurVariant);
template PassFunction BandPassOf<Depth8, Depth16>(BlurKernel, BlurVariant);
template PassFunction BandPassOf<Depth16, Depth8>(BlurKernel, BlurVariant);
template PassFunction BandPassOf<Depth16, Depth16>(BlurKernel, BlurVariant);
template PassFunction BandPassOf<DepthFloat, DepthFloat>(BlurKernel, BlurVariant);
