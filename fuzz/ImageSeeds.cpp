// Writes the image reader's seed inputs into the folder given: tiny pictures of every format the target
// reads, in the layouts the reader treats differently (depths, grey, alpha, data windows, layers, tiles,
// parts, compressions), each prefixed with the target's format byte and a settings byte.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <OpenImageIO/imageio.h>

#include "fuzz/ImageFormats.h"

namespace {

namespace fs = std::filesystem;
using OIIO::ImageSpec;
using OIIO::TypeDesc;

int FormatIndex(const std::string& extension) {
    for (std::size_t i = 0; i < fuzz::kImageFormatCount; ++i)
        if (extension == fuzz::kImageExtensions[i])
            return int(i);
    return -1;
}

// Pixels with some structure: a ramp, a hard edge and a transparent corner, in float; OpenImageIO converts.
std::vector<float> Pixels(const ImageSpec& spec) {
    std::vector<float> pixels(std::size_t(spec.width) * std::size_t(spec.height) *
                              std::size_t(spec.nchannels));
    std::size_t k = 0;
    for (int y = 0; y < spec.height; ++y)
        for (int x = 0; x < spec.width; ++x)
            for (int c = 0; c < spec.nchannels; ++c)
                pixels[k++] = x + y < 2 ? 0.0f : float((x * 37 + y * 11 + c * 53) % 64) / 63.0f;
    return pixels;
}

bool WritePicture(const fs::path& file, const std::vector<ImageSpec>& parts) {
    auto out = OIIO::ImageOutput::create(file.string());
    if (!out)
        return false;
    const bool multi = parts.size() > 1;
    if (multi && !out->supports("multiimage"))
        return false;
    if (!(multi ? out->open(file.string(), int(parts.size()), parts.data())
                : out->open(file.string(), parts[0])))
        return false;
    for (std::size_t p = 0; p < parts.size(); ++p) {
        if (p > 0 && !out->open(file.string(), parts[p], OIIO::ImageOutput::AppendSubimage))
            return false;
        const ImageSpec& spec = out->spec();
        if (!out->write_image(TypeDesc::FLOAT, Pixels(spec).data()))
            return false;
    }
    return out->close();
}

int made = 0;

// One seed: the picture written with its real extension, then its bytes behind the two prefix bytes.
void Seed(const fs::path& folder, const std::string& name, const std::string& extension,
          std::vector<ImageSpec> parts, unsigned char settings = 0) {
    const int index = FormatIndex(extension);
    const fs::path picture = folder / ("picture." + extension);
    if (index < 0 || !WritePicture(picture, parts)) {
        std::fprintf(stderr, "fuzz seeds: cannot write %s as %s: %s\n", name.c_str(), extension.c_str(),
                     OIIO::geterror().c_str());
        fs::remove(picture);
        return;
    }
    std::ifstream in(picture, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    in.close();
    fs::remove(picture);
    std::ofstream seed(folder / (name + "." + extension + ".seed"), std::ios::binary);
    seed.put(char(index));
    seed.put(char(settings));
    seed.write(bytes.data(), std::streamsize(bytes.size()));
    ++made;
}

ImageSpec Spec(int channels, TypeDesc type, int width = 7, int height = 5) {
    ImageSpec spec(width, height, channels, type);
    return spec;
}

ImageSpec Named(TypeDesc type, std::vector<std::string> names) {
    ImageSpec spec(6, 4, int(names.size()), type);
    spec.channelnames = names;
    spec.alpha_channel = -1;
    for (std::size_t c = 0; c < names.size(); ++c)
        if (names[c] == "A")
            spec.alpha_channel = int(c);
    return spec;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path folder = argv[1];
    fs::create_directories(folder);

    // The settings byte: region (union, data, display) + 3 × alpha (file, straight, premultiplied) + 9 ×
    // depth (the file's, 8, 16, 32).
    Seed(folder, "rgba8", "png", {Spec(4, TypeDesc::UINT8)});
    Seed(folder, "rgb16", "png", {Spec(3, TypeDesc::UINT16)}, 9);
    Seed(folder, "grey", "png", {Spec(1, TypeDesc::UINT8)});
    Seed(folder, "grey_alpha16", "png", {Spec(2, TypeDesc::UINT16)}, 3 + 27);

    Seed(folder, "rgba_half", "exr", {Spec(4, TypeDesc::HALF)});
    for (const char* compression : {"none", "rle", "zip", "piz", "pxr24", "b44", "dwaa"}) {
        ImageSpec spec = Spec(3, TypeDesc::FLOAT);
        spec.attribute("compression", compression);
        Seed(folder, std::string("rgb_float_") + compression, "exr", {spec});
    }
    {
        ImageSpec spec = Spec(4, TypeDesc::HALF);
        spec.x = -2;
        spec.y = 3;
        spec.full_x = 0;
        spec.full_y = 0;
        spec.full_width = 9;
        spec.full_height = 6;
        Seed(folder, "data_window", "exr", {spec});
        Seed(folder, "data_window_region_data", "exr", {spec}, 1);
        Seed(folder, "data_window_region_display", "exr", {spec}, 2 + 18);
    }
    Seed(folder, "layers", "exr",
         {Named(TypeDesc::HALF, {"Z", "beauty.B", "beauty.G", "beauty.R", "beauty.A", "N.x", "N.y"})});
    Seed(folder, "depth_only", "exr", {Named(TypeDesc::FLOAT, {"Z"})});
    Seed(folder, "luminance", "exr", {Named(TypeDesc::HALF, {"Y", "A"})});
    {
        ImageSpec spec = Spec(4, TypeDesc::HALF, 9, 7);
        spec.tile_width = 4;
        spec.tile_height = 4;
        Seed(folder, "tiled", "exr", {spec});
    }
    {
        ImageSpec a = Named(TypeDesc::FLOAT, {"Z"}), b = Spec(4, TypeDesc::HALF, 6, 4);
        a.attribute("name", "depth");
        b.attribute("name", "colour");
        Seed(folder, "two_parts", "exr", {a, b});
    }

    Seed(folder, "rgba8", "tif", {Spec(4, TypeDesc::UINT8)});
    {
        ImageSpec spec = Spec(3, TypeDesc::UINT16);
        spec.attribute("compression", "lzw");
        Seed(folder, "rgb16_lzw", "tif", {spec});
    }
    {
        ImageSpec spec = Spec(4, TypeDesc::FLOAT);
        spec.attribute("oiio:UnassociatedAlpha", 0);
        spec.attribute("compression", "zip");
        Seed(folder, "associated_float_zip", "tif", {spec}, 27);
    }
    {
        ImageSpec spec = Spec(3, TypeDesc::UINT8, 9, 7);
        spec.tile_width = 16;
        spec.tile_height = 16;
        spec.attribute("compression", "packbits");
        Seed(folder, "tiled_packbits", "tif", {spec});
    }
    Seed(folder, "two_pages", "tif", {Spec(3, TypeDesc::UINT8), Spec(1, TypeDesc::UINT16)});

    Seed(folder, "rgb", "jpg", {Spec(3, TypeDesc::UINT8)});
    Seed(folder, "grey", "jpg", {Spec(1, TypeDesc::UINT8)}, 18);
    Seed(folder, "rgba", "bmp", {Spec(4, TypeDesc::UINT8)});
    Seed(folder, "rgb", "bmp", {Spec(3, TypeDesc::UINT8)});
    {
        ImageSpec spec = Spec(4, TypeDesc::UINT8);
        spec.attribute("compression", "rle");
        Seed(folder, "rgba_rle", "tga", {spec});
    }
    Seed(folder, "rgb", "hdr", {Spec(3, TypeDesc::FLOAT)});
    Seed(folder, "rgb16", "ppm", {Spec(3, TypeDesc::UINT16)});
    Seed(folder, "grey", "ppm", {Spec(1, TypeDesc::UINT8)});
    Seed(folder, "rgba16", "sgi", {Spec(4, TypeDesc::UINT16)});
    {
        ImageSpec spec = Spec(3, TypeDesc::UINT8);
        spec.attribute("compression", "rle");
        Seed(folder, "rgb8_rle", "sgi", {spec});
    }
    Seed(folder, "rgb10", "dpx", {Spec(3, TypeDesc::UINT16)});
    std::printf("%d image seeds in %s\n", made, folder.c_str());
    return made > 0 ? 0 : 1;
}
