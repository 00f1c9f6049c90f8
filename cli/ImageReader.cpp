// Reading a frame: the header checked before anything is decoded, then the pixels band by band into the
// rows of the input world, the channels the effect does not render beside them.
#include <algorithm>
#include <cstring>
#include <future>
#include <limits>

#include "cli/FileChecks.h"
#include "cli/ImageFile.h"
#include "cli/PixelConvert.h"
#include "cli/ToolError.h"

namespace cli {
namespace {

using OIIO::TypeDesc;

// Rows decoded at a time: enough for the decoders' blocks (OpenEXR's largest scanline block is 256 rows with
// DWAB), small beside a frame.
constexpr int kBandRows = 64;

std::string ReadError(const std::filesystem::path& path, const std::string& why) {
    return "cannot read " + Quoted(path) + ": " + why;
}

// The type a file's colour is read in: its own depth among 8-bit, 16-bit and float.
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

// The widest channel type among the colour and alpha channels decides the file's depth.
TypeDesc ColourTypeOf(const OIIO::ImageSpec& spec, const ChannelMap& m) {
    TypeDesc widest = TypeDesc::UINT8;
    auto rank = [](TypeDesc t) {
        t = FileTypeOf(t);
        return t == TypeDesc::UINT8 ? 0 : t == TypeDesc::UINT16 ? 1 : t == TypeDesc::HALF ? 2 : 3;
    };
    for (int c : {m.red, m.green, m.blue, m.alpha})
        if (c >= 0 && rank(spec.channelformat(c)) > rank(widest))
            widest = FileTypeOf(spec.channelformat(c));
    return widest;
}

std::string RegionText(const SourceImage& src, RegionChoice choice) {
    const PixelRect data = DataWindow(src.spec), display = DisplayWindow(src.spec);
    if (data == display)
        return "the image";
    switch (choice) {
    case RegionChoice::Data:
        return "its data window";
    case RegionChoice::Display:
        return "its display window";
    case RegionChoice::Union:
        break;
    }
    return "the union of its data and display windows";
}

template <class T>
constexpr T kFileFull = std::numeric_limits<T>::max();
template <>
constexpr float kFileFull<float> = 1.0f;

template <class T>
auto FileToHostChannel(T v) {
    if constexpr (std::is_same_v<T, std::uint16_t>)
        return FileToHost16(v);
    else
        return v;
}

// Where a band's colour values lie, in values of the file's depth: pixel x of row r has its red at
// base + r * row + x * pixel + at[0], green, blue and alpha at at[1..3] (alpha only when hasAlpha; a grey
// file's green and blue are its red).
struct BandLayout {
    std::size_t row = 0;
    std::size_t pixel = 4;
    std::size_t at[4] = {0, 1, 2, 3};
};

// One band of colour in the file's depth T into the world's rows at depth Pr: file → host at the file's
// depth, un-associated there, then to the render depth. Packed: four values a pixel, R, G, B, A in order
// (the common file), where the positions are constants to the compiler.
template <class T, class Pr, bool Packed>
void BandToHostAs(const T* band, const BandLayout& layout, int rows, int width, bool grey, bool hasAlpha,
                  bool associated, const HostRows& dst, int y0, int x0) {
    using Pf =
        std::conditional_t<std::is_same_v<T, std::uint8_t>, PF_Pixel8,
                           std::conditional_t<std::is_same_v<T, std::uint16_t>, PF_Pixel16, PF_PixelFloat>>;
    const std::size_t step = Packed ? 4 : layout.pixel;
    const std::size_t r0 = Packed ? 0 : layout.at[0];
    const std::size_t g0 = Packed ? 1 : (grey ? r0 : layout.at[1]);
    const std::size_t b0 = Packed ? 2 : (grey ? r0 : layout.at[2]);
    const std::size_t a0 = Packed ? 3 : layout.at[3];
    for (int r = 0; r < rows; ++r) {
        const T* __restrict px = band + std::size_t(r) * layout.row;
        Pr* __restrict out = dst.Row<Pr>(y0 + r) + x0;
        for (int x = 0; x < width; ++x, px += step) {
            Pf p{FileToHostChannel(hasAlpha ? px[a0] : kFileFull<T>), FileToHostChannel(px[r0]),
                 FileToHostChannel(px[g0]), FileToHostChannel(px[b0])};
            if (associated)
                UnassociatePixel(p);
            out[x] = ConvertPixel<Pr>(p);
        }
    }
}

template <class T, class Pr>
void BandToHost(const T* band, const BandLayout& layout, int rows, int width, bool grey, bool hasAlpha,
                bool associated, const HostRows& dst, int y0, int x0) {
    const bool packed = layout.pixel == 4 && layout.at[0] == 0 && layout.at[1] == 1 && layout.at[2] == 2 &&
                        layout.at[3] == 3 && !grey && hasAlpha;
    if (packed)
        BandToHostAs<T, Pr, true>(band, layout, rows, width, grey, hasAlpha, associated, dst, y0, x0);
    else
        BandToHostAs<T, Pr, false>(band, layout, rows, width, grey, hasAlpha, associated, dst, y0, x0);
}

} // namespace

SourceImage OpenImageFile(const std::filesystem::path& path, const ReadRequest& request) {
    const std::uintmax_t fileBytes = CheckRegularInput(path);

    // Straight files come as stored; OpenImageIO would otherwise premultiply them and lose the colour
    // under zero alpha.
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    SourceImage src;
    src.path = path;
    src.input = OIIO::ImageInput::open(path.string(), &config);
    if (!src.input)
        throw FileError(ReadError(path, OneLine(OIIO::geterror())));
    src.formatName = src.input->format_name();

    // The first part with something to render; the others are copied through.
    const int declared = src.input->spec().get_int_attribute("oiio:subimages", 0);
    int chosen = -1, parts = 0;
    std::optional<ChannelMap> map;
    for (int s = 0; (declared <= 0 || s < declared) && src.input->seek_subimage(s, 0); ++s) {
        ++parts;
        if (chosen < 0 && !src.input->spec().deep && src.input->spec().depth <= 1)
            if ((map = MapChannels(src.input->spec())))
                chosen = s;
    }
    if (declared <= 0) {
        // Seeking past the last part is how their number is found; some readers are not the same after it.
        src.input = OIIO::ImageInput::open(path.string(), &config);
        if (!src.input)
            throw FileError(ReadError(path, OneLine(OIIO::geterror())));
    }
    OIIO::ImageInput& in = *src.input;
    if (chosen < 0 || !in.seek_subimage(chosen, 0)) {
        in.seek_subimage(0, 0);
        const OIIO::ImageSpec& first = in.spec();
        if (first.deep || first.depth > 1)
            throw FileError(ReadError(path, "deep and volume images are not supported"));
        std::vector<int> all(std::size_t(std::max(first.nchannels, 0)));
        for (int c = 0; c < first.nchannels; ++c)
            all[std::size_t(c)] = c;
        throw FileError(
            ReadError(path, "no channels to render: neither R, G, B, a layer's R, G, B nor Y (it has " +
                                (all.empty() ? std::string("none") : ListChannelNames(first, all)) + ")"));
    }
    src.part = chosen;
    src.parts = parts;
    src.spec = in.spec();
    src.channels = *map;
    const OIIO::ImageSpec& spec = src.spec;
    if (spec.width <= 0 || spec.height <= 0 || spec.nchannels <= 0)
        throw FileError(ReadError(path, "the image is empty"));

    src.region = ChooseRegion(spec, request.region);
    CheckWorldSize(path, src.region.width, src.region.height, RegionText(src, request.region));
    CheckWorldSize(path, spec.width, 0, "its data window");
    CheckDecodedSizePlausible(path, src.formatName, spec, fileBytes);

    src.fileType = ColourTypeOf(spec, src.channels);
    src.grey = src.channels.grey;
    src.hasAlpha = src.channels.alpha >= 0;
    switch (request.alpha) {
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
    const std::vector<std::size_t> offsets = ChannelOffsets(spec);
    for (int c : src.channels.passThrough)
        src.passThroughPixelBytes += offsets[std::size_t(c) + 1] - offsets[std::size_t(c)];
    return src;
}

bool ReadImagePixels(SourceImage& src, const HostRows& rows, const std::function<bool()>& abandon,
                     bool twoThreads) {
    if (!src.input)
        throw FileError(ReadError(src.path, "the file is no longer open"));
    OIIO::ImageInput& in = *src.input;
    const OIIO::ImageSpec& spec = src.spec;
    const PixelRect data = DataWindow(spec), region = src.region;
    const PixelRect read = Intersection(data, region);
    const std::size_t regionPixels = std::size_t(region.width) * std::size_t(region.height);
    src.passThrough.assign(regionPixels * src.passThroughPixelBytes, 0);

    const std::vector<std::size_t> offsets = ChannelOffsets(spec);
    const std::size_t nativePixel = offsets.back();
    const std::size_t nativeRow = nativePixel * std::size_t(data.width);
    // Bands start on the file's tile rows (a tiled file is read a row of tiles at a time).
    const int tileRows = std::max(spec.tile_height, 1);
    const int bandRows = tileRows * std::max(1, kBandRows / tileRows);
    std::vector<std::uint8_t> native(nativeRow * std::size_t(read.Empty() ? 0 : bandRows));

    const ChannelMap& m = src.channels;
    const TypeDesc colourType = src.fileType == TypeDesc::HALF ? TypeDesc::FLOAT : src.fileType;
    const std::size_t colourSize = colourType.size();
    // When every colour channel is stored in the depth it is read at, the band is read where it lies in
    // the file's rows; otherwise it is first converted into a band of its own.
    bool direct = nativePixel % colourSize == 0;
    for (int c : {m.red, m.grey ? -1 : m.green, m.grey ? -1 : m.blue, m.alpha})
        if (c >= 0 && (spec.channelformat(c) != colourType || offsets[std::size_t(c)] % colourSize != 0))
            direct = false;
    std::vector<std::uint8_t> colour(
        direct ? 0 : std::size_t(read.width) * 4 * colourSize * std::size_t(read.Empty() ? 0 : bandRows));

    for (std::int64_t top = data.y + (read.y - data.y) / bandRows * bandRows; top < read.Bottom();
         top += bandRows) {
        const std::int64_t bottom = std::min<std::int64_t>(top + bandRows, data.Bottom());
        const bool decoded =
            spec.tile_width > 0
                ? in.read_tiles(src.part, 0, spec.x, spec.x + spec.width, int(top), int(bottom), 0, 1, 0,
                                spec.nchannels, TypeDesc::UNKNOWN, native.data())
                : in.read_scanlines(src.part, 0, int(top), int(bottom), 0, 0, spec.nchannels,
                                    TypeDesc::UNKNOWN, native.data());
        if (!decoded)
            throw FileError(ReadError(src.path, OneLine(in.geterror())));
        // The rows of the band inside the region.
        const std::int64_t y = std::max(top, read.y);
        const int band = int(std::min(bottom, read.Bottom()) - y);

        const std::uint8_t* first =
            native.data() + std::size_t(y - top) * nativeRow + std::size_t(read.x - data.x) * nativePixel;
        const int sources[4] = {m.red, m.grey ? -1 : m.green, m.grey ? -1 : m.blue, m.alpha};
        BandLayout layout;
        const std::uint8_t* values = colour.data();
        if (direct) {
            // The colour values already lie in the file's rows in the depth they are read at.
            values = first;
            layout.row = nativeRow / colourSize;
            layout.pixel = nativePixel / colourSize;
            for (int k = 0; k < 4; ++k)
                layout.at[k] = sources[k] < 0 ? 0 : offsets[std::size_t(sources[k])] / colourSize;
        } else {
            // The colour channels into one band of R, G, B, A in the file's depth, converted as
            // OpenImageIO converts on reading.
            layout.row = std::size_t(read.width) * 4;
            for (int k = 0; k < 4; ++k) {
                if (sources[k] < 0)
                    continue;
                OIIO::convert_image(
                    1, int(read.width), band, 1, first + offsets[std::size_t(sources[k])],
                    spec.channelformat(sources[k]), OIIO::stride_t(nativePixel), OIIO::stride_t(nativeRow),
                    OIIO::AutoStride, colour.data() + std::size_t(k) * colourSize, colourType,
                    OIIO::stride_t(4 * colourSize), OIIO::stride_t(4 * colourSize * std::size_t(read.width)),
                    OIIO::AutoStride);
            }
        }
        const auto convert = [&](int from, int count) {
            VisitDepth(DepthOfFileType(colourType), [&]<class Pf>(Pf) {
                using T = ChannelOf<Pf>;
                VisitDepth(rows.depth, [&]<class Pr>(Pr) {
                    BandToHost<T, Pr>(reinterpret_cast<const T*>(values) + std::size_t(from) * layout.row,
                                      layout, count, int(read.width), m.grey, src.hasAlpha, src.associated,
                                      rows, int(y - region.y) + from, int(read.x - region.x));
                });
            });
        };
        // The decoder hands out one band at a time; the band's conversion is split between two threads (the
        // second half waits for get() when no thread can be started).
        if (twoThreads && band >= 2) {
            std::future<void> lower =
                std::async(std::launch::async | std::launch::deferred, convert, band / 2, band - band / 2);
            convert(0, band / 2);
            lower.get();
        } else {
            convert(0, band);
        }

        // The channels copied through, each in its own type, where they lie in the region.
        if (src.passThroughPixelBytes > 0) {
            for (int r = 0; r < band; ++r) {
                const std::uint8_t* px = first + std::size_t(r) * nativeRow;
                std::uint8_t* out =
                    src.passThrough.data() + (std::size_t(y + r - region.y) * std::size_t(region.width) +
                                              std::size_t(read.x - region.x)) *
                                                 src.passThroughPixelBytes;
                for (std::int64_t x = 0; x < read.width; ++x, px += nativePixel)
                    for (int c : m.passThrough) {
                        const std::size_t size = offsets[std::size_t(c) + 1] - offsets[std::size_t(c)];
                        std::memcpy(out, px + offsets[std::size_t(c)], size);
                        out += size;
                    }
            }
        }
        if (abandon && abandon())
            return false;
    }
    // A truncated TIFF or JPEG: the decoder hands out black rows and only leaves a message behind.
    if (in.has_error())
        throw FileError(ReadError(src.path, OneLine(in.geterror())));
    in.close();
    src.input.reset();
    return true;
}

} // namespace cli
