// The render driver: one template over the layer's depth that follows the plan. The image passes from
// step to step as `current`: the input, then the masked copy the smoothing wrote, then the brightened
// image, each in a working world of the layer's format; the blur reads it and writes the output. The
// worlds the plan counts are asked of the host once, at the start.
#include "render/RenderDriver.h"

#include "edgesmooth/EdgeSmooth.h"
#include "kernels/BlurSequence.h"
#include "kernels/MaskedPasses.h"
#include "kernels/ProgressCounter.h"
#include "kernels/SelectKeyColors.h"
#include "render/Brightness.h"
#include "render/RenderPlan.h"
#include "share/AEUtil/AEWorldSuite.h"
#include "share/AEUtil/SuiteHolder.h"

namespace {

// Layers wider or taller than this lie outside the driver's 16-bit sizes.
constexpr A_long kLargestSide = 32767;

constexpr uint8_t kSelected = 255;

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

// The working worlds of the plan, made in this order: the layer-format pair, then the 16-bit three.
struct WorkWorlds {
    AEUtil::EffectWorldPtr layer[2];
    AEUtil::EffectWorldPtr sixteenBit[3];

    // The world of the layer-format pair that does not hold `current` (the first while the input does):
    // where the next preparation step writes, and the blur's scratch at 16-bit and float.
    PF_EffectWorld* OtherThan(const PF_EffectWorld* current) const {
        return current == layer[0].get() ? layer[1].get() : layer[0].get();
    }
};

template <class Depth>
WorkWorlds MakeWorkWorlds(const RenderPlan& plan, const PF_InData* in_data, const PF_EffectWorld& output) {
    WorkWorlds worlds;
    for (int32_t i = 0; i < plan.layerWorlds; ++i)
        worlds.layer[i] =
            AEUtil::WorldSuite::newWorld(in_data->effect_ref, output.width, output.height, 0, Depth::kFormat);
    for (int32_t i = 0; i < plan.sixteenBitWorlds; ++i)
        worlds.sixteenBit[i] = AEUtil::WorldSuite::newWorld(in_data->effect_ref, output.width, output.height,
                                                            0, PF_PixelFormat_ARGB64);
    return worlds;
}

// The plane of the pixels that take part: every pixel, or those the key colours choose.
template <class Depth>
PF_Err SelectPixels(const RenderPlan& plan, const RenderParams& record, const PF_Rect& area,
                    SelectionPlane& plane) {
    if (!plan.keyed) {
        plane = MakeUniformSelectionPlane(area.right, area.bottom, kSelected);
        return PF_Err_NONE;
    }
    PF_InData* in_data = record.in_data;
    KeyList keys;
    for (int32_t k = 0; k < plan.keyCount; ++k) {
        PF_Pixel color = plan.keys[k].color;
        PF_Fixed hls[3] = {0, 0, 0};
        if (const PF_Err err = in_data->utils->colorCB.RGBtoHLS(in_data->effect_ref, &color, hls))
            return err;
        AppendKeyColor(keys, hls, plan.keys[k].range);
    }
    PF_Err err = BuildSelectionPlane(plane, in_data, PF_Iterations_ONCE_PER_PROCESSOR, record.input,
                                     Depth::kFormat, area, keys, kSelected);
    if (err == PF_Err_NONE && plan.invertKeys)
        InvertSelectionPlane(plane, kSelected);
    return err;
}

// A keyed smoothing works on a copy of the input whose unselected pixels are cleared, so that it never
// blends in a colour that does not take part; with every pixel taking part that copy would be the input,
// so the input is read as it is (`maskedCopy` null).
template <class Depth>
PF_Err SmoothEdgesOf(const PF_InData* in_data, PF_EffectWorld* input, PF_EffectWorld* maskedCopy,
                     PF_EffectWorld* smoothed, const PF_Rect& area, const SelectionPlane& plane) {
    if (maskedCopy) {
        const PF_Err err = RunMaskedPass(in_data, CopySelected<Depth>, maskedCopy, input, area, plane, 1);
        if (err != PF_Err_NONE)
            return err;
    }
    EdgeSmoothJob job;
    job.in_data = in_data;
    job.source = maskedCopy ? maskedCopy : input;
    job.destination = smoothed;
    job.pixelFormat = Depth::kFormat;
    return SmoothEdges(&job);
}

// The blur stage: `current` is blurred into the output; unselected pixels show the input. The blur
// writes every output pixel itself, so nothing is copied first.
template <class Depth>
PF_Err Blur(const RenderPlan& plan, const RenderParams& record, const PF_Rect& area,
            const SelectionPlane& plane, const WorkWorlds& worlds, PF_EffectWorld* current,
            ProgressCounter& progress) {
    BrightnessTable<typename Depth::Channel> brightness;
    BlurLayerJob job;
    if (plan.brightnessInBlur) {
        brightness = BuildBrightnessTable<Depth>(
            MakeBrightnessCurve(plan.brightness, plan.brightnessGain, plan.brightnessExponent));
        job.lookup = brightness.entries.get();
    }
    job.output = record.output;
    job.source = current;
    job.unselected = plan.keyed ? record.input : nullptr;
    job.options = plan.blur;
    job.plane = plane;
    job.rect = area;
    job.in_data = record.in_data;
    job.iterations = PF_Iterations_ONCE_PER_PROCESSOR;
    job.progress = &progress;
    PF_EffectWorld* blurWorlds[3] = {nullptr, nullptr, nullptr};
    if (plan.blurInSixteenBits) {
        for (int32_t i = 0; i < plan.sixteenBitWorlds; ++i)
            blurWorlds[i] = worlds.sixteenBit[i].get();
    } else if (plan.blurScratch) {
        blurWorlds[0] = worlds.OtherThan(current);
    }
    return BlurLayer<Depth>(job, blurWorlds);
}

template <class Depth>
PF_Err RenderAtDepth(const RenderParams& record) {
    PF_InData* in_data = record.in_data;
    const A_long width = record.input->width;
    const A_long height = record.input->height;
    if (width > kLargestSide || height > kLargestSide || width < 0 || height < 0)
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    const PF_Rect area{0, 0, width, height};
    if (width == 0 || height == 0)
        return PF_Err_NONE;

    const RenderPlan plan = PlanRender(record, in_data->downsample_x, in_data->downsample_y);
    if (!plan.needsWork)
        return CopyWorld(in_data, record.input, record.output);

    // Everything made from here goes with this scope, on every return.
    const WorkWorlds worlds = MakeWorkWorlds<Depth>(plan, in_data, *record.output);
    ProgressCounter progress{in_data, in_data->effect_ref, 2, 0};
    SelectionPlane plane;
    PF_EffectWorld* current = record.input;

    PF_Err err = SelectPixels<Depth>(plan, record, area, plane);
    if (err == PF_Err_NONE && plan.smoothEdges) {
        PF_EffectWorld* maskedCopy = plan.keyed ? worlds.OtherThan(current) : nullptr;
        PF_EffectWorld* smoothed = worlds.OtherThan(maskedCopy ? maskedCopy : current);
        err = SmoothEdgesOf<Depth>(in_data, record.input, maskedCopy, smoothed, area, plane);
        current = smoothed;
    }
    if (err == PF_Err_NONE && plan.brighten && !plan.brightnessInBlur) {
        PF_EffectWorld* brightened = worlds.OtherThan(current);
        err = ApplyBrightness<Depth>(brightened, in_data, PF_Iterations_ONCE_PER_PROCESSOR, current, area,
                                     plane, plan.brightness, plan.brightnessGain, plan.brightnessExponent, 0);
        current = brightened;
    }
    if (err == PF_Err_NONE)
        err = progress.Step(); // the preparation is done
    if (err == PF_Err_NONE)
        err = Blur<Depth>(plan, record, area, plane, worlds, current, progress);
    if (err == PF_Err_NONE)
        err = progress.Step(); // the blur is done
    if (err == PF_Err_NONE && plan.extract)
        err = RunMaskedPass(in_data, ClearUnselectedAlpha<Depth>, record.output, nullptr, area, plane, 1);
    return err;
}

} // namespace

PF_Err RenderFrame(const RenderParams& record) {
    return VisitDepth(static_cast<PF_PixelFormat>(record.pixelFormat),
                      [&record]<class D>(D) -> PF_Err { return RenderAtDepth<D>(record); });
}
