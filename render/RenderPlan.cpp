#include "render/RenderPlan.h"

#include <algorithm>
#include <cmath>

#include "kernels/PixelTraits.h"
#include "params/Controls.h"

namespace {

double RoundedLength(double value, double scale) {
    return std::trunc(value * scale + 0.5);
}

} // namespace

RenderPlan PlanRender(const RenderParams& p, PF_RationalScale downsampleX, PF_RationalScale downsampleY) {
    RenderPlan plan;

    const double sx = static_cast<double>(downsampleX.num) / static_cast<double>(downsampleX.den);
    const double sy = static_cast<double>(downsampleY.num) / static_cast<double>(downsampleY.den);
    const double scale = std::min(sx, sy);
    const double amount = RoundedLength(p.blurAmount, scale);
    const double red = RoundedLength(p.r, scale);
    const double green = RoundedLength(p.g, scale);
    const double blue = RoundedLength(p.b, scale);
    const double alpha = p.autoAlpha ? std::max(std::max(red, green), blue) : RoundedLength(p.a, scale);
    const BlurExtents extents{alpha + 1 + amount, red + 1 + amount, green + 1 + amount, blue + 1 + amount};
    plan.extents = extents;

    for (const KeyColorParams& key : p.keys)
        if (key.enable)
            plan.keys[plan.keyCount++] = PlannedKey{key.color, key.range / 100.0};
    plan.keyed = plan.keyCount > 0 && p.mode != kModeDisableAll;
    if (!plan.keyed)
        plan.keyCount = 0;
    plan.invertKeys = plan.keyed && p.invert;

    plan.needsWork = extents.alpha > 1.0 || extents.red > 1.0 || extents.green > 1.0 || extents.blue > 1.0 ||
                     p.brightness != 0 || p.mode == kModeExtract;
    if (!plan.needsWork)
        return plan;

    const double smallest =
        std::min(std::min(extents.alpha, extents.red), std::min(extents.green, extents.blue));
    plan.smoothEdges = smallest >= 2.0 && smallest <= 15.0;
    plan.brighten = p.brightness != 0;
    plan.brightness = p.brightness / 100.0;
    plan.brightnessGain = p.brightnessGain;
    plan.brightnessExponent = p.brightnessExponent;

    plan.blurInSixteenBits = p.pixelFormat == static_cast<uint32_t>(PF_PixelFormat_ARGB32);
    plan.blur.kernel = p.blurType == kBlurTypeGaussian ? BlurKernel::Gauss : BlurKernel::Box;
    plan.blur.variant = !plan.keyed || p.keepDivision ? BlurVariant::Confined : BlurVariant::Spanning;
    plan.blur.aspect = p.blurAspect;
    plan.blur.lengths[0] = extents.alpha;
    plan.blur.lengths[1] = extents.red;
    plan.blur.lengths[2] = extents.green;
    plan.blur.lengths[3] = extents.blue;
    plan.blur.repeat = p.repeat;
    plan.blur.centerWeight = 0;

    plan.extract = p.mode == kModeExtract;
    const int32_t blurWorlds =
        VisitDepth(static_cast<PF_PixelFormat>(p.pixelFormat),
                   [&plan]<class D>(D) -> PF_Err { return BlurLayerWorlds<D>(plan.blur); });
    plan.sixteenBitWorlds = plan.blurInSixteenBits ? blurWorlds : 0;
    plan.blurScratch = !plan.blurInSixteenBits && blurWorlds > 0;
    // A keyed smoothing writes a masked copy and its result (unkeyed, it reads the input itself);
    // brightness writes the world its source is not; the scratch is a world the blur's source is not.
    // Two worlds serve every combination.
    plan.brightnessInBlur = plan.brighten && blurWorlds == 0;
    const int32_t brightening = plan.brighten && !plan.brightnessInBlur ? 1 : 0;
    const int32_t preparing = plan.smoothEdges ? (plan.keyed ? 2 : 1 + brightening) : brightening;
    plan.layerWorlds =
        preparing + (plan.blurScratch ? 1 : 0) > 2 ? 2 : preparing + (plan.blurScratch ? 1 : 0);
    return plan;
}
