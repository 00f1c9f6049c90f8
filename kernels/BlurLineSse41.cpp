// The fast line filters for processors with SSE4.1: one pixel per vector.
#include <immintrin.h>

#include <type_traits>

#include "kernels/BlurLineSimd.h"

namespace {
#define BLUR_WIDE_PIXELS 1
#include "kernels/BlurLineFast.inl"
} // namespace

BlurLineFunction<PF_Pixel16> Sse41BlurLine16(BlurKernel kernel, BlurVariant variant) {
    return FastLineFor<PF_Pixel16>(kernel, variant);
}

BlurLineFunction<PF_PixelFloat> Sse41BlurLineFloat(BlurKernel kernel, BlurVariant variant) {
    return FastLineFor<PF_PixelFloat>(kernel, variant);
}

BlurStripFunction<PF_Pixel16> Sse41BlurStrip16(BlurKernel kernel, BlurVariant variant) {
    return FastStripFor<PF_Pixel16>(kernel, variant);
}

BlurStripFunction<PF_PixelFloat> Sse41BlurStripFloat(BlurKernel kernel, BlurVariant variant) {
    return FastStripFor<PF_PixelFloat>(kernel, variant);
}
