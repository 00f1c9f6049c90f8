#include "cli/ImageFile.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <limits>
#include <new>

#include <unistd.h>

#include "cli/AtomicFile.h"
#include "cli/PixelConvert.h"
#include "cli/ToolError.h"

namespace cli {
namespace {

using OIIO::TypeDesc;

std::string Quoted(const std::filesystem::path& p) {
    return "\"" + p.string() + "\"";
}

// The host's worlds count rows in signed 32-bit bytes; keep well inside with the host's row padding.
constexpr std::int64_t kMaxSide =
    (std::int64_t(std::numeric_limits<std::int32_t>::max()) - 4096) / std::int64_t(sizeof(PF_PixelFloat));

TypeDesc ReadTypeFor(Depth depth) {
    return depth == Depth::k8 ? TypeDesc::UINT8 : depth == Depth::k16 ? TypeDesc::UINT16 : TypeDesc::FLOAT;
}

TypeDesc FileTypeOf(TypeDesc format) {
    switch (format.basetype) {
    case TypeDesc::UINT8:
    case TypeDesc::INT8:
        return TypeDesc::UINT8;
    case TypeDesc::UINT16:
    case TypeDesc::INT16:
        return TypeDesc::UINT16;
    case TypeDesc::HALF:
        return TypeDesc::HALF;
    default:
        return TypeDesc::FLOAT;
    }
}

int FindChannel(const OIIO::ImageSpec& spec, const char* name) {
    for (int c = 0; c < spec.nchannels; ++c)
        if (spec.channel_name(c) == name)
            return c;
    return -1;
}

// Where the file's red, green, blue (or grey) and alpha lie among its channels.
struct ChannelMap {
    int red = 0, green = 0, blue = 0, alpha = -1;
    bool grey = false;
};

ChannelMap MapChannels(const OIIO::ImageSpec& spec) {
    ChannelMap m;
    m.alpha = spec.alpha_channel >= 0 && spec.alpha_channel < spec.nchannels ? spec.alpha_channel
                                                                             : FindChannel(spec, "A");
    std::vector<int> colour;
    for (int c = 0; c < spec.nchannels; ++c)
        if (c != m.alpha)
            colour.push_back(c);
    int r = FindChannel(spec, "R"), g = FindChannel(spec, "G"), b = FindChannel(spec, "B");
    if (r >= 0 && g >= 0 && b >= 0) {
        m.red = r, m.green = g, m.blue = b;
    } else if (colour.size() >= 3) {
        m.red = colour[0], m.green = colour[1], m.blue = colour[2];
    } else {
        int y = FindChannel(spec, "Y");
        m.grey = true;
        m.red = m.green = m.blue = y >= 0 ? y : colour.empty() ? 0 : colour[0];
    }
    return m;
}

template <class T>
constexpr T kFileFull = std::numeric_limits<T>::max();
template <>
constexpr float kFileFull<float> = 1.0f;

template <class T, class P, class Map>
void FileToHost(const std::vector<T>& file, int nch, const ChannelMap& m, P* out, std::size_t count,
                Map map) {
    for (std::size_t i = 0; i < count; ++i) {
        const T* px = file.data() + i * std::size_t(nch);
        out[i].alpha = map(m.alpha >= 0 ? px[m.alpha] : kFileFull<T>);
        out[i].red = map(px[m.red]);
        out[i].green = map(px[m.green]);
        out[i].blue = map(px[m.blue]);
    }
}

template <class T>
std::vector<T> ReadChannels(OIIO::ImageInput& in, const std::filesystem::path& path, TypeDesc type) {
    const OIIO::ImageSpec& spec = in.spec();
    std::vector<T> data(std::size_t(spec.width) * std::size_t(spec.height) * std::size_t(spec.nchannels));
    if (!in.read_image(0, 0, 0, spec.nchannels, type, data.data()))
        throw FileError("cannot read " + Quoted(path) + ": " + in.geterror());
    return data;
}

} // namespace

Depth DepthOfFileType(TypeDesc type) {
    TypeDesc t = FileTypeOf(type);
    return t == TypeDesc::UINT8 ? Depth::k8 : t == TypeDesc::UINT16 ? Depth::k16 : Depth::k32;
}

std::string FileTypeText(TypeDesc type) {
    if (type == TypeDesc::UINT8)
        return "8-bit";
    if (type == TypeDesc::UINT16)
        return "16-bit";
    if (type == TypeDesc::HALF)
        return "16-bit float (half)";
    return "32-bit float";
}

SourceImage ReadImageFile(const std::filesystem::path& path, AlphaConvention alpha) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        throw FileError("cannot read " + Quoted(path) + ": no such file");
    if (std::filesystem::is_directory(path, ec))
        throw FileError("cannot read " + Quoted(path) + ": it is a folder");

    // Straight files come as stored; OpenImageIO would otherwise premultiply them and lose the colour
    // under zero alpha.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path.string(), &config);
    if (!in)
        throw FileError("cannot read " + Quoted(path) + ": " + OIIO::geterror());
    const OIIO::ImageSpec& spec = in->spec();
    if (spec.deep || spec.depth > 1)
        throw FileError("cannot read " + Quoted(path) + ": deep and volume images are not supported");
    if (spec.width <= 0 || spec.height <= 0 || spec.nchannels <= 0)
        throw FileError("cannot read " + Quoted(path) + ": the image is empty");
    if (spec.width > kMaxSide || spec.height > kMaxSide)
        throw FileError("cannot read " + Quoted(path) + ": " + std::to_string(spec.width) + " × " +
                        std::to_string(spec.height) + " is larger than a host world can be");

    SourceImage src;
    src.spec = spec;
    src.formatName = in->format_name();
    src.fileType = FileTypeOf(spec.format);
    const ChannelMap m = MapChannels(spec);
    src.grey = m.grey;
    src.hasAlpha = m.alpha >= 0;
    switch (alpha) {
    case AlphaConvention::FromFile:
        src.associated = src.hasAlpha && spec.get_int_attribute("oiio:UnassociatedAlpha", 0) == 0;
        break;
    case AlphaConvention::Straight:
        src.associated = false;
        break;
    case AlphaConvention::Premultiplied:
        src.associated = src.hasAlpha;
        break;
    }

    const Depth depth = DepthOfFileType(src.fileType);
    try {
        src.pixels = HostImage(spec.width, spec.height, depth);
        const std::size_t count = src.pixels.Pixels();
        switch (depth) {
        case Depth::k8:
            FileToHost(ReadChannels<std::uint8_t>(*in, path, TypeDesc::UINT8), spec.nchannels, m,
                       src.pixels.As<PF_Pixel8>(), count, [](std::uint8_t v) { return v; });
            break;
        case Depth::k16:
            FileToHost(ReadChannels<std::uint16_t>(*in, path, TypeDesc::UINT16), spec.nchannels, m,
                       src.pixels.As<PF_Pixel16>(), count, [](std::uint16_t v) { return FileToHost16(v); });
            break;
        case Depth::k32:
            FileToHost(ReadChannels<float>(*in, path, TypeDesc::FLOAT), spec.nchannels, m,
                       src.pixels.As<PF_PixelFloat>(), count, [](float v) { return v; });
            break;
        }
    } catch (const std::bad_alloc&) {
        throw FileError("cannot read " + Quoted(path) + ": not enough memory for " +
                        std::to_string(spec.width) + " × " + std::to_string(spec.height) + " pixels");
    }
    in->close();
    if (src.associated)
        Unassociate(src.pixels);
    return src;
}

void CheckOutputPath(const std::filesystem::path& path, bool overwrite) {
    std::error_code ec;
    std::filesystem::path folder =
        path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    if (!std::filesystem::is_directory(folder, ec))
        throw FileError("cannot write " + Quoted(path) + ": the folder " + Quoted(folder) +
                        " does not exist");
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw FileError("cannot write " + Quoted(path) + ": the folder " + Quoted(folder) +
                        " is not writable");
    if (std::filesystem::is_directory(path, ec))
        throw FileError("cannot write " + Quoted(path) + ": it is a folder");
    if (!overwrite && std::filesystem::exists(path, ec))
        throw FileError(Quoted(path) + " exists; use -y to replace it");
}

void CheckImageOutputPath(const std::filesystem::path& path, bool overwrite) {
    CheckOutputPath(path, overwrite);
    if (!OIIO::ImageOutput::create(path.string()))
        throw FileError("cannot write " + Quoted(path) + ": " + OIIO::geterror());
}

namespace {

// The channel types a format can hold, in OpenImageIO's format names; formats not listed are given what
// was asked for and convert it themselves.
std::vector<TypeDesc> TypesHeldBy(const std::string& format) {
    const TypeDesc u8 = TypeDesc::UINT8, u16 = TypeDesc::UINT16, half = TypeDesc::HALF, f = TypeDesc::FLOAT;
    if (format == "png" || format == "pnm" || format == "sgi" || format == "dpx")
        return {u8, u16};
    if (format == "jpeg" || format == "bmp" || format == "targa" || format == "webp" || format == "gif" ||
        format == "ico")
        return {u8};
    if (format == "openexr")
        return {half, f};
    if (format == "hdr")
        return {f};
    return {u8, u16, half, f};
}

// The nearest type to `wanted` that the format holds: lossless choices first.
TypeDesc NearestHeld(TypeDesc wanted, const std::vector<TypeDesc>& held) {
    std::vector<TypeDesc> order;
    if (wanted == TypeDesc::UINT8)
        order = {TypeDesc::UINT8, TypeDesc::UINT16, TypeDesc::FLOAT, TypeDesc::HALF};
    else if (wanted == TypeDesc::UINT16)
        order = {TypeDesc::UINT16, TypeDesc::FLOAT, TypeDesc::HALF, TypeDesc::UINT8};
    else if (wanted == TypeDesc::HALF)
        order = {TypeDesc::HALF, TypeDesc::FLOAT, TypeDesc::UINT16, TypeDesc::UINT8};
    else
        order = {TypeDesc::FLOAT, TypeDesc::HALF, TypeDesc::UINT16, TypeDesc::UINT8};
    for (TypeDesc t : order)
        if (std::find(held.begin(), held.end(), t) != held.end())
            return t;
    return wanted;
}

TypeDesc TypeForDepth(Depth depth) {
    return ReadTypeFor(depth);
}

template <class P, class T, class Map>
std::vector<T> HostToFile(const P* px, std::size_t count, int nch, Map map) {
    std::vector<T> out(count * std::size_t(nch));
    for (std::size_t i = 0; i < count; ++i) {
        T* o = out.data() + i * std::size_t(nch);
        o[0] = map(px[i].red);
        o[1] = map(px[i].green);
        o[2] = map(px[i].blue);
        if (nch == 4)
            o[3] = map(px[i].alpha);
    }
    return out;
}

// Attributes that describe the input file's encoding rather than the picture.
void DropEncodingAttributes(OIIO::ImageSpec& spec, bool sameFormat) {
    for (const char* name :
         {"oiio:BitsPerSample", "oiio:UnassociatedAlpha", "oiio:subimages", "oiio:ioproxy"})
        spec.erase_attribute(name);
    if (!sameFormat)
        for (const char* name : {"compression", "Compression", "CompressionQuality", "planarconfig"})
            spec.erase_attribute(name);
}

} // namespace

bool WriteImageFile(const std::filesystem::path& path, const HostImage& rendered, const SourceImage& source,
                    const WriteRequest& request, std::vector<std::string>* notes,
                    const std::function<bool()>& abandon) {
    auto out = OIIO::ImageOutput::create(path.string());
    if (!out)
        throw FileError("cannot write " + Quoted(path) + ": " + OIIO::geterror());
    const std::string format = out->format_name();

    const TypeDesc wanted = request.depth ? TypeForDepth(*request.depth) : source.fileType;
    const TypeDesc type = NearestHeld(wanted, TypesHeldBy(format));
    if (type != wanted && notes)
        notes->push_back(format + " files cannot hold " + FileTypeText(wanted) + "; writing " +
                         FileTypeText(type));

    bool alpha = source.hasAlpha;
    if (!alpha && HasPartialAlpha(rendered)) {
        alpha = true;
        if (notes)
            notes->push_back(
                "the input has no alpha but the render is partly transparent; writing an alpha channel");
    }
    if (alpha && !out->supports("alpha")) {
        alpha = false;
        if (notes)
            notes->push_back(format + " files cannot hold alpha; alpha dropped");
    }
    bool associated = false;
    switch (request.alpha) {
    case AlphaConvention::FromFile:
        // OpenEXR is premultiplied by convention; a TIFF keeps the convention of a TIFF input.
        associated =
            format == "openexr" || (format == "tiff" && source.formatName == "tiff" && source.associated);
        break;
    case AlphaConvention::Straight:
        associated = false;
        break;
    case AlphaConvention::Premultiplied:
        associated = true;
        break;
    }

    const int nch = alpha ? 4 : 3;
    OIIO::ImageSpec spec = source.spec;
    DropEncodingAttributes(spec, format == source.formatName);
    spec.width = rendered.width;
    spec.height = rendered.height;
    spec.tile_width = spec.tile_height = spec.tile_depth = 0;
    spec.set_format(type);
    spec.channelformats.clear();
    spec.nchannels = nch;
    spec.channelnames =
        alpha ? std::vector<std::string>{"R", "G", "B", "A"} : std::vector<std::string>{"R", "G", "B"};
    spec.alpha_channel = alpha ? 3 : -1;
    spec.z_channel = -1;
    // Tells the writer that the values are to be stored as given: straight-only formats would otherwise
    // divide by alpha, and TIFF records which convention the file uses.
    if (alpha)
        spec.attribute("oiio:UnassociatedAlpha", (!associated || format != "tiff") ? 1 : 0);

    const Depth fileDepth = DepthOfFileType(type);
    HostImage img = ConvertDepth(rendered, fileDepth);
    if (alpha && associated)
        Associate(img);

    AtomicFile file(path, request.overwrite);
    if (!out->open(file.TempPath().string(), spec))
        throw FileError("cannot write " + Quoted(path) + ": " + out->geterror());
    bool written = false;
    const std::size_t count = img.Pixels();
    switch (fileDepth) {
    case Depth::k8: {
        auto data = HostToFile<PF_Pixel8, std::uint8_t>(img.As<PF_Pixel8>(), count, nch,
                                                        [](std::uint8_t v) { return v; });
        written = out->write_image(TypeDesc::UINT8, data.data());
        break;
    }
    case Depth::k16: {
        auto data = HostToFile<PF_Pixel16, std::uint16_t>(img.As<PF_Pixel16>(), count, nch,
                                                          [](std::uint16_t h) { return HostToFile16(h); });
        written = out->write_image(TypeDesc::UINT16, data.data());
        break;
    }
    case Depth::k32: {
        auto data =
            HostToFile<PF_PixelFloat, float>(img.As<PF_PixelFloat>(), count, nch, [](float v) { return v; });
        written = out->write_image(TypeDesc::FLOAT, data.data());
        break;
    }
    }
    written = out->close() && written;
    if (!written)
        throw FileError("cannot write " + Quoted(path) + ": " + out->geterror());
    if (abandon && abandon())
        return false;
    file.Publish();
    return true;
}

void WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes, bool overwrite) {
    CheckOutputPath(path, overwrite);
    AtomicFile file(path, overwrite);
    {
        std::ofstream stream(file.TempPath(), std::ios::binary);
        stream.write(bytes.data(), std::streamsize(bytes.size()));
        stream.close();
        if (!stream)
            throw FileError("cannot write " + Quoted(path));
    }
    file.Publish();
}

} // namespace cli
