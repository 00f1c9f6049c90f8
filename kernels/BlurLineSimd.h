#pragma once
// The processor-specific line functions. Each file that defines them is compiled for its instruction set
// alone, so nothing in it may be called unless the processor has been checked first (BestBlurIsa).
#include <cstddef>
#include <cstdint>

#include "kernels/BlurLine.h"

// Scratch of a fast line function: three arrays of `length + 3 * kFastLinePad` entries.
constexpr int32_t kFastLinePad = 128;
std::size_t BlurFastScratchBytes(int32_t length);

// The plain float line functions (built for any processor): the fast forms hand them lines that hold a
// NaN or an infinity, whose running sums the plain form keeps apart.
BlurLineFunction<PF_PixelFloat> PlainBlurLineFloat(BlurKernel kernel, BlurVariant variant);

// Null when the build has no such form.
BlurLineFunction<PF_Pixel16> Sse41BlurLine16(BlurKernel kernel, BlurVariant variant);
BlurLineFunction<PF_PixelFloat> Sse41BlurLineFloat(BlurKernel kernel, BlurVariant variant);
BlurLineFunction<PF_Pixel16> Avx2BlurLine16(BlurKernel kernel, BlurVariant variant);
BlurLineFunction<PF_PixelFloat> Avx2BlurLineFloat(BlurKernel kernel, BlurVariant variant);

BlurStripFunction<PF_Pixel16> Sse41BlurStrip16(BlurKernel kernel, BlurVariant variant);
BlurStripFunction<PF_PixelFloat> Sse41BlurStripFloat(BlurKernel kernel, BlurVariant variant);
BlurStripFunction<PF_Pixel16> Avx2BlurStrip16(BlurKernel kernel, BlurVariant variant);
BlurStripFunction<PF_PixelFloat> Avx2BlurStripFloat(BlurKernel kernel, BlurVariant variant);
