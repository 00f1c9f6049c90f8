// The render drivers. The three depths run the same steps; the depth shows only in the passes, the
// brightness table, the 16-bit working worlds of 8-bit layers and the blur sequences (DriverTraits).
#include "render/RenderDriver.h"

#include <algorithm>
#include <cmath>

#include "edgesmooth/EdgeSmooth.h"
#include "kernels/BlurSequence.h"
#include "kernels/MaskedPasses.h"
#include "kernels/ProgressCounter.h"
#include "render/Brightness.h"
#include "render/SelectionPlane.h"
#include "render/WorkWorldPair.h"
#include "share/AEUtil/AEWorldSuite.h"
#include "share/AEUtil/SuiteHolder.h"

namespace {

using BlurSequence = decltype(&GaussBlurSpanning16);

struct DriverTraits {
    PF_PixelFormat format;
    PassFunction copySelected;
    PassFunction clearUnselectedAlpha;
    bool blursInSixteen; // 8-bit layers are blurred in 16-bit working worlds
    BlurSequence gaussSpanning, gaussConfined, boxSpanning, boxConfined;
};

constexpr DriverTraits kTraits8{
    PF_PixelFormat_ARGB32, CopySelected8,       ClearUnselectedAlpha8, true,
    GaussBlurSpanning16,   GaussBlurConfined16, BoxBlurSpanning16,     BoxBlurConfined16};
constexpr DriverTraits kTraits16{
    PF_PixelFormat_ARGB64, CopySelected16,      ClearUnselectedAlpha16, false,
    GaussBlurSpanning16,   GaussBlurConfined16, BoxBlurSpanning16,      BoxBlurConfined16};
constexpr DriverTraits kTraitsFloat{
    PF_PixelFormat_ARGB128, CopySelectedFloat,      ClearUnselectedAlphaFloat, false,
    GaussBlurSpanningFloat, GaussBlurConfinedFloat, BoxBlurSpanningFloat,      BoxBlurConfinedFloat};

// Layers wider or taller than this lie outside the driver's 16-bit sizes.
constexpr A_long kLargestSide = 32767;

double RoundedLength(double value, double scale) {
    return std::trunc(value * scale + 0.5);
}

// A whole-world host copy: the high-quality copy at high quality.
PF_Err CopyWorld(const PF_InData* in_data, PF_EffectWorld* source, PF_EffectWorld* destination) {
    const PF_WorldTransformSuite1* transform = AEUtil::GlobalSuites()->WorldTransformSuite();
    if (in_data->quality == PF_Quality_HI)
        return transform->copy_hq(in_data->effect_ref, source, destination, nullptr, nullptr);
    return transform->copy(in_data->effect_ref, source, destination, nullptr, nullptr);
}

PF_Err RunMaskedPass(const PF_InData* in_data, PassFunction pass, PF_EffectWorld* destination,
                     PF_EffectWorld* source, const PF_Rect& area, const SelectionPlane& plane,
                     uint8_t clearUnselected) {
    PassContext context;
    context.destination = destination;
    context.source = source;
    context.rect = area;
    context.plane = plane;
    context.clearUnselected = clearUnselected;
    return RunPass(in_data, PF_Iterations_ONCE_PER_PROCESSOR, &context, pass);
}

PF_Err BuildKeyList(const RenderParams& record, KeyList& keys, const double ranges[4]) {
    PF_InData* in_data = record.in_data;
    for (int k = 0; k < 4; ++k) {
        if (!record.keys[k].enable)
            continue;
        PF_Pixel color = record.keys[k].color;
        PF_Fixed hls[3] = {0, 0, 0};
        const PF_Err err = in_data->utils->colorCB.RGBtoHLS(in_data->effect_ref, &color, hls);
        if (err != PF_Err_NONE)
            return err;
        AppendKeyColor(keys, hls, ranges[k]);
    }
    return PF_Err_NONE;
}

PF_Err RenderAtDepth(const RenderParams* original, const DriverTraits& traits) {
    RenderParams p = *original;
    PF_InData* in_data = p.in_data;

    // 1. The area is the input's size.
    const A_long width = p.input->width;
    const A_long height = p.input->height;
    if (width > kLargestSide || height > kLargestSide || width < 0 || height < 0)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    p.area = PF_Rect{0, 0, width, height};
    if (width == 0 || height == 0)
        return PF_Err_NONE;

    // 2. Ranges as fractions.
    double ranges[4];
    for (int k = 0; k < 4; ++k)
        ranges[k] = p.keys[k].range / 100.0;

    // 3, 4. Lengths in the pixels of this render.
    const double sx =
        static_cast<double>(in_data->downsample_x.num) / static_cast<double>(in_data->downsample_x.den);
    const double sy =
        static_cast<double>(in_data->downsample_y.num) / static_cast<double>(in_data->downsample_y.den);
    const double scale = std::min(sx, sy);
    p.blurAmount = RoundedLength(p.blurAmount, scale);
    p.a = RoundedLength(p.a, scale);
    p.r = RoundedLength(p.r, scale);
    p.g = RoundedLength(p.g, scale);
    p.b = RoundedLength(p.b, scale);

    // 5. Keying.
    int enabledKeys = 0;
    for (const KeyColorParams& key : p.keys)
        enabledKeys += key.enable != 0;
    const bool noKey = enabledKeys == 0 || p.mode == 3;
    if (noKey) {
        p.invert = 0;
        p.keepDivision = 1;
    }

    // 6, 7. Extents.
    if (p.autoAlpha)
        p.a = std::max(std::max(p.r, p.g), p.b);
    const BlurExtents extents{p.a + 1 + p.blurAmount, p.r + 1 + p.blurAmount, p.g + 1 + p.blurAmount,
                              p.b + 1 + p.blurAmount};
    const double minimumExtent =
        std::min(std::min(extents.alpha, extents.red), std::min(extents.green, extents.blue));

    // 8, 9. Nothing to do but a copy.
    const bool work = extents.alpha > 1.0 || extents.red > 1.0 || extents.green > 1.0 || extents.blue > 1.0 ||
                      p.brightness != 0 || p.mode == 2;
    if (!work)
        return CopyWorld(in_data, p.input, p.output);

    // 10. Working worlds.
    const A_long outWidth = p.output->width;
    const A_long outHeight = p.output->height;
    AEUtil::EffectWorldPtr w1 =
        AEUtil::WorldSuite::newWorld(in_data->effect_ref, outWidth, outHeight, 0, traits.format);
    AEUtil::EffectWorldPtr w2 =
        AEUtil::WorldSuite::newWorld(in_data->effect_ref, outWidth, outHeight, 0, traits.format);
    AEUtil::EffectWorldPtr x1, x2, x3;
    if (traits.blursInSixteen) {
        x1 = AEUtil::WorldSuite::newWorld(in_data->effect_ref, outWidth, outHeight, 0, PF_PixelFormat_ARGB64);
        x2 = AEUtil::WorldSuite::newWorld(in_data->effect_ref, outWidth, outHeight, 0, PF_PixelFormat_ARGB64);
        x3 = AEUtil::WorldSuite::newWorld(in_data->effect_ref, outWidth, outHeight, 0, PF_PixelFormat_ARGB64);
    }
    const WorkWorldPair pair(w1, w2, extents);
    ProgressCounter progress{in_data, in_data->effect_ref, 2, 0};
    PF_EffectWorld* current = p.input;
    PF_EffectWorld* final = p.output;
    PF_EffectWorld* spare = pair.first.get();

    // 11. Smoothing only helps small blurs.
    const bool smooth = minimumExtent >= 2.0 && minimumExtent <= 15.0;

    // 12. Selection plane.
    SelectionPlane plane;
    PF_Err err = PF_Err_NONE;
    if (noKey) {
        InitSelectionPlane(plane, width, height);
        FillSelectionPlane(plane, 255);
    } else {
        KeyList keys;
        err = BuildKeyList(p, keys, ranges);
        if (err == PF_Err_NONE)
            err = BuildSelectionPlane(plane, in_data, PF_Iterations_ONCE_PER_PROCESSOR, p.input,
                                      static_cast<PF_PixelFormat>(traits.format), p.area, keys, 255);
        if (err == PF_Err_NONE && p.invert)
            InvertSelectionPlane(plane, 255);
    }

    // 13. Edge smoothing on a masked copy of the input.
    if (err == PF_Err_NONE && smooth) {
        err = RunMaskedPass(in_data, traits.copySelected, pair.first.get(), p.input, p.area, plane, 1);
        if (err == PF_Err_NONE) {
            EdgeSmoothJob job{};
            job.threshold = 10;
            job.strength = 70;
            job.rampShaping = 0;
            job.mode = 0;
            job.referenceRed = 255;
            job.referenceGreen = 255;
            job.referenceBlue = 255;
            job.colorTolerance = 0;
            job.subMode = 0;
            job.reserved1 = 0;
            job.reserved2 = 0;
            job.in_data = in_data;
            job.source = pair.first.get();
            job.destination = pair.second.get();
            job.pixelFormat = static_cast<uint32_t>(traits.format);
            err = SmoothEdges(&job);
        }
        current = pair.second.get();
        spare = pair.first.get();
    }

    // 14. Brightness.
    if (err == PF_Err_NONE && p.brightness != 0) {
        PF_EffectWorld* destination = current == pair.first.get() ? pair.second.get() : pair.first.get();
        err = ApplyBrightness(static_cast<PF_PixelFormat>(traits.format), destination, in_data,
                              PF_Iterations_ONCE_PER_PROCESSOR, current, p.area, plane, p.brightness / 100.0,
                              p.brightnessGain, p.brightnessExponent, 0);
        current = destination;
        spare = destination == pair.first.get() ? pair.second.get() : pair.first.get();
    }

    // 15.
    if (err == PF_Err_NONE)
        err = progress.Step();

    // 16. 8-bit layers are blurred in 16-bit form.
    if (err == PF_Err_NONE && traits.blursInSixteen) {
        err = RunMaskedPass(in_data, ConvertSelected8To16, x1.get(), current, p.area, plane, 0);
        current = x1.get();
        final = x2.get();
        spare = x3.get();
        if (err == PF_Err_NONE && !noKey)
            err = CopyWorld(in_data, p.input, p.output);
    }

    // 17. The blur reads current and writes the selected pixels of final. A keyed render keeps the
    // input's pixels where nothing is selected, at every depth: the working worlds hold cleared or
    // unwritten pixels there once smoothing or brightness has run.
    if (err == PF_Err_NONE)
        err = CopyWorld(in_data, current, spare);
    if (err == PF_Err_NONE) {
        if (!noKey && !traits.blursInSixteen && current != p.input) {
            err = CopyWorld(in_data, p.input, final);
            if (err == PF_Err_NONE)
                err = RunMaskedPass(in_data, traits.copySelected, final, current, p.area, plane, 0);
        } else {
            err = CopyWorld(in_data, current, final);
        }
    }

    // 18. The blur.
    if (err == PF_Err_NONE) {
        const bool gauss = p.blurType == 1;
        const BlurSequence blur = gauss ? (p.keepDivision ? traits.gaussConfined : traits.gaussSpanning)
                                        : (p.keepDivision ? traits.boxConfined : traits.boxSpanning);
        const double lengths[4] = {extents.alpha, extents.red, extents.green, extents.blue};
        err = blur(final, in_data, PF_Iterations_ONCE_PER_PROCESSOR, current, spare, &p.area, &plane,
                   p.blurAspect, lengths, p.repeat, 0, &progress);
    }

    // 19. Back to 8 bits.
    if (err == PF_Err_NONE && traits.blursInSixteen)
        err = RunMaskedPass(in_data, ConvertSelected16To8, p.output, x2.get(), p.area, plane, 0);

    // 20.
    if (err == PF_Err_NONE)
        err = progress.Step();

    // 21. Extract: unselected pixels become transparent.
    if (err == PF_Err_NONE && p.mode == 2)
        err = RunMaskedPass(in_data, traits.clearUnselectedAlpha, p.output, nullptr, p.area, plane, 1);

    // 22. The worlds, the pair and the plane go with this scope.
    return err;
}

} // namespace

PF_Err Render8(const RenderParams* record) {
    return RenderAtDepth(record, kTraits8);
}

PF_Err Render16(const RenderParams* record) {
    return RenderAtDepth(record, kTraits16);
}

PF_Err RenderFloat(const RenderParams* record) {
    return RenderAtDepth(record, kTraitsFloat);
}

PF_Err RenderDrivers(RenderParams* record) {
    switch (static_cast<PF_PixelFormat>(record->pixelFormat)) {
    case PF_PixelFormat_ARGB32:
        return Render8(record);
    case PF_PixelFormat_ARGB64:
        return Render16(record);
    case PF_PixelFormat_ARGB128:
        return RenderFloat(record);
    default:
        return PF_Err_UNRECOGNIZED_PARAM_TYPE;
    }
}
