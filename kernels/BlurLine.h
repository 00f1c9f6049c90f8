#pragma once
// One line of a blur pass as a pure function: source samples, selection bytes and the four channel
// kernels in, filtered values out. The passes walk rows or gathered columns around it; a processor-specific
// form of the same function gives exactly the bytes of the plain one.
#include <cstddef>
#include <cstdint>

#include "kernels/GaussTable.h"
#include "sdk/AE_Effect.h"

enum class BlurKernel : uint8_t { Gauss, Box };

// Spanning: unselected samples are skipped and the window reaches across them. Confined: the window
// never crosses an unselected sample, so separate selected areas do not mix.
enum class BlurVariant : uint8_t { Spanning, Confined };

// Instruction sets a line function may be built for, in rising order.
enum class BlurIsa : uint8_t { Plain, Sse41, Avx2 };

// The kernels of one pass, channel order alpha, red, green, blue.
struct BlurLineKernel {
    const GaussTable* gauss[4] = {nullptr, nullptr, nullptr, nullptr}; // Gaussian passes
    int32_t boxRadius[4] = {1, 1, 1, 1};                               // box passes
    uint32_t boxCenterWeight = 0; // box: the pixel's own value counts this many extra times
};

template <class Pixel>
struct BlurLine {
    const Pixel* source = nullptr;      // `length` consecutive samples
    const uint8_t* selection = nullptr; // one byte per sample, non-zero = selected
    int32_t length = 0;
    // Destination of sample 0 and the bytes between consecutive destination pixels. Only selected
    // samples whose channel window holds an eligible sample are written.
    unsigned char* destination = nullptr;
    std::ptrdiff_t destinationStep = 0;
    // The line the caller filters next, of the same length, or null: a fast form fetches it while it
    // works on this one, since its first visit would otherwise wait for memory.
    const Pixel* nextSource = nullptr;
};

// A line function; `scratch` holds BlurLineScratchBytes(length) bytes aligned to 64.
template <class Pixel>
using BlurLineFunction = void (*)(const BlurLine<Pixel>& line, const BlurLineKernel& kernel, void* scratch);

// Scratch a line function of this length may use (0 for lines the fast forms do not take).
std::size_t BlurLineScratchBytes(int32_t length);

// The richest instruction set this processor runs that the build carries.
BlurIsa BestBlurIsa();

// The line function for a kernel and variant in the given instruction set, for lines of `length`
// samples and these kernels. Where the fast form does not apply (an instruction set the processor or
// the build lacks, a box centre weight, lines too long for its 32-bit sums) the plain one is returned.
template <class Pixel>
BlurLineFunction<Pixel> SelectBlurLine(BlurKernel kernel, BlurVariant variant, BlurIsa isa,
                                       const BlurLineKernel& kernels, int32_t length);

// The most columns a strip function takes at once.
constexpr int32_t kLongestBlurStrip = 512;

// A strip of up to kLongestBlurStrip neighbouring columns filtered in place in the worlds, a row of the strip
// at a time, for columns in which every sample is selected and not transparent. The function checks that as
// it goes and returns false at the first sample that is not; whatever it wrote by then is what the line
// function writes there, and the strip must be filtered line by line.
template <class Pixel>
struct BlurStrip {
    const unsigned char* source = nullptr; // pixel (0, 0) of the strip
    std::ptrdiff_t sourceStride = 0;       // bytes between rows
    const uint8_t* selection = nullptr;    // selection byte of pixel (0, 0)
    std::ptrdiff_t selectionStride = 0;
    unsigned char* destination = nullptr; // pixel (0, storeFirst) of the strip's destination
    std::ptrdiff_t destinationStride = 0;
    int32_t columns = 0; // even, at most kLongestBlurStrip
    int32_t rows = 0;    // the line length
    // Only rows [storeFirst, storeEnd) are written: a band of a longer column filtered with its margins.
    int32_t storeFirst = 0;
    int32_t storeEnd = INT32_MAX;
    // Box kernels: where the window sums of the strip's columns are kept from one call to the next down
    // the same columns (kBlurStripSumBytes bytes aligned to 32), or null. After a call that returns true
    // they hold the windows of row storeEnd - 1. With `resumed`, a call takes them as the windows of row
    // storeFirst - 1 (at least 1), whose rows up to that row plus the window's reach the last call found
    // eligible, and walks only its stored rows; the rows its windows leave must be readable.
    void* sums = nullptr;
    bool resumed = false;
};

constexpr std::size_t kBlurStripSumBytes = kLongestBlurStrip * 16;

template <class Pixel>
using BlurStripFunction = bool (*)(const BlurStrip<Pixel>& strip, const BlurLineKernel& kernel);

// The strip function for these kernels, or null where no fast form applies (then filter line by line).
template <class Pixel>
BlurStripFunction<Pixel> SelectBlurStrip(BlurKernel kernel, BlurVariant variant, BlurIsa isa,
                                         const BlurLineKernel& kernels, int32_t rows);

extern template BlurStripFunction<PF_Pixel16> SelectBlurStrip<PF_Pixel16>(BlurKernel, BlurVariant, BlurIsa,
                                                                          const BlurLineKernel&, int32_t);
extern template BlurStripFunction<PF_PixelFloat>
SelectBlurStrip<PF_PixelFloat>(BlurKernel, BlurVariant, BlurIsa, const BlurLineKernel&, int32_t);

extern template BlurLineFunction<PF_Pixel16> SelectBlurLine<PF_Pixel16>(BlurKernel, BlurVariant, BlurIsa,
                                                                        const BlurLineKernel&, int32_t);
extern template BlurLineFunction<PF_PixelFloat>
SelectBlurLine<PF_PixelFloat>(BlurKernel, BlurVariant, BlurIsa, const BlurLineKernel&, int32_t);
