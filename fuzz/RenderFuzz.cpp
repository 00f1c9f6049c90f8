// Whole renders of small arbitrary images with arbitrary settings, through the strict host and the loaded
// plug-in. For any image at any depth (floats include NaN, infinities and values far beyond 0..1), any value
// of every control inside its valid range, either render path, quality and downsampling:
//   - the render succeeds, with no protocol violation (guards, padding, the input left as it was, unknown
//     handles or worlds) and nothing left behind;
//   - the output is the same on one thread with one poison byte as on two threads with another, so it
//     depends neither on the thread count nor on what the output held before.
//
// Input: the image's depth, size and the render's settings, one control after another, then the pixels
// (repeated to fill the image).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/EffectHost.h"
#include "fuzz/FuzzSupport.h"
#include "host/World.h"

namespace {

constexpr A_long kMaxSide = 40;

// A length control's value: mostly short (the cases with edge smoothing and few passes), sometimes anywhere
// in its range.
double Length(fuzz::Bytes& in, double low, double high) {
    const std::uint8_t how = in.Byte();
    const double t = static_cast<double>(in.U32()) / 4294967295.0;
    if (how < 192)
        return std::round(std::min(high, low + t * 32.0) * 4.0) / 4.0;
    return low + t * (high - low);
}

void SetControls(host::Instance& instance, fuzz::Bytes& in) {
    for (PF_ParamIndex i = 1; i < instance.ParamCount(); ++i) {
        const PF_ParamDef& def = instance.Param(i);
        switch (def.param_type) {
        case PF_Param_FLOAT_SLIDER:
            instance.SetFloat(i, Length(in, def.u.fs_d.valid_min, def.u.fs_d.valid_max));
            break;
        case PF_Param_SLIDER:
            instance.SetSlider(i, in.Between(def.u.sd.valid_min, def.u.sd.valid_max));
            break;
        case PF_Param_POPUP:
            instance.SetPopup(i, in.Between(1, def.u.pd.num_choices));
            break;
        case PF_Param_CHECKBOX:
            instance.SetCheckbox(i, in.Flag());
            break;
        case PF_Param_COLOR:
            instance.SetColor(i, PF_Pixel{255, in.Byte(), in.Byte(), in.Byte()});
            break;
        default:
            break;
        }
    }
}

// The pixels from the input's remaining bytes, repeated; floats either as raw bits (anything a file can
// hold) or as fractions of 255.
void FillImage(host::World& image, const std::string& bytes, bool rawFloats) {
    const std::size_t n = bytes.size();
    std::size_t k = 0;
    const auto next = [&] { return n == 0 ? std::uint8_t(0) : static_cast<std::uint8_t>(bytes[k++ % n]); };
    for (A_long y = 0; y < image.Height(); ++y) {
        std::uint8_t* row = image.Row(y);
        switch (image.Format()) {
        case PF_PixelFormat_ARGB32:
            for (A_long x = 0; x < image.Width() * 4; ++x)
                row[x] = next();
            break;
        case PF_PixelFormat_ARGB64:
            for (A_long x = 0; x < image.Width() * 4; ++x) {
                const unsigned v = static_cast<unsigned>(next()) << 8 | next();
                const std::uint16_t channel = static_cast<std::uint16_t>(v % 32769); // 0..32768
                std::memcpy(row + 2 * x, &channel, 2);
            }
            break;
        default:
            for (A_long x = 0; x < image.Width() * 4; ++x) {
                float channel;
                if (rawFloats) {
                    const std::uint32_t bits = static_cast<std::uint32_t>(next()) << 24 |
                                               static_cast<std::uint32_t>(next()) << 16 | next() << 8 |
                                               next();
                    std::memcpy(&channel, &bits, 4);
                } else {
                    channel = static_cast<float>(next()) / 255.0f;
                }
                std::memcpy(row + 4 * x, &channel, 4);
            }
            break;
        }
    }
}

struct Outcome {
    PF_Err err = PF_Err_NONE;
    std::vector<std::uint8_t> pixels;
};

Outcome Render(host::Host& host, host::Instance& instance, host::World& input, bool smart, int threads,
               std::uint8_t poison) {
    host.settings().poisonByte = poison;
    host.SetWorkerThreads(threads);
    host::World output(host, input.Width(), input.Height(), input.Format(), false);
    Outcome o;
    o.err = smart ? instance.SmartRenderFrame(input, output) : instance.Render(input, output);
    o.pixels = output.Pixels();
    return o;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::EffectHost& effect = fuzz::TheEffectHost();
    host::Host& host = *effect.host;
    fuzz::Bytes in(data, size);

    static const PF_PixelFormat kFormats[] = {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64,
                                              PF_PixelFormat_ARGB128};
    const PF_PixelFormat format = kFormats[in.Byte() % 3];
    const A_long width = in.Between(1, kMaxSide), height = in.Between(1, kMaxSide);
    const std::uint8_t mode = in.Byte();
    const bool smart = mode & 1, draft = mode & 2, rawFloats = mode & 4;
    host::Settings& settings = host.settings();
    settings.quality = draft ? PF_Quality_LO : PF_Quality_HI;
    settings.downsampleX = PF_RationalScale{1, static_cast<A_u_long>(in.Between(1, 4))};
    settings.downsampleY = PF_RationalScale{1, static_cast<A_u_long>(in.Between(1, 4))};
    fuzz::AppliedInstance instance(effect);
    SetControls(*instance, in);

    Outcome one, two;
    {
        host::World input(host, width, height, format);
        FillImage(input, in.Rest(), rawFloats);
        one = Render(host, *instance, input, smart, 1, 0xCD);
        two = Render(host, *instance, input, smart, 2, 0x5A);
    }
    const std::string complaints = instance.Finish();
    FUZZ_CHECK(complaints.empty(), complaints);
    FUZZ_CHECK(one.err == PF_Err_NONE && two.err == PF_Err_NONE,
               "the render answered " + std::to_string(one.err) + " and " + std::to_string(two.err));
    FUZZ_CHECK(one.pixels == two.pixels,
               "the output differs between one thread (poison CD) and two threads (poison 5A)");
    return 0;
}
