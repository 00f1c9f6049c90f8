// The fast line filters for processors with AVX2: two pixels per vector in the table part.
#include <immintrin.h>

#include <type_traits>

#include "kernels/BlurLineSimd.h"

namespace {
#define BLUR_WIDE_PIXELS 2
#include "kernels/BlurLineFast.inl"
} // namespace

BlurLineFunction<PF_Pixel16> Avx2BlurLine16(BlurKernel kernel, BlurVariant variant) {
    return FastLineFor<PF_Pixel16>(kernel, variant);
}

BlurLineFunction<PF_PixelFloat> Avx2BlurLineFloat(BlurKernel kernel, BlurVariant variant) {
    return FastLineFor<PF_PixelFloat>(kernel, variant);
}

BlurStripFunction<PF_Pixel16> Avx2BlurStrip16(BlurKernel kernel, BlurVariant variant) {
    return FastStripFor<PF_Pixel16>(kernel, variant);
}

BlurStripFunction<PF_PixelFloat> Avx2BlurStripFloat(BlurKernel kernel, BlurVariant variant) {
    return FastStripFor<PF_PixelFloat>(kernel, variant);
}
