// Writing a frame: the output's description (depth, channels, parts, compression, metadata), the pixels band
// by band from the rows of the output world, and the checks that make a write that went wrong a failure
// instead of a broken file under the output's name.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>

#include <sys/mman.h>
#include <unistd.h>

#include <OpenImageIO/deepdata.h>

#include "cli/AtomicFile.h"
#include "cli/CheckedFileProxy.h"
#include "cli/ColorSpaces.h"
#include "cli/Compression.h"
#include "cli/FileChecks.h"
#include "cli/ImageFile.h"
#include "cli/OutputMetadata.h"
#include "cli/PixelConvert.h"
#include "cli/ToolError.h"

namespace cli {
namespace {

using OIIO::TypeDesc;

constexpr int kBandRows = 64;

std::string WriteError(const std::filesystem::path& path, const std::string& why) {
    return "cannot write " + Quoted(path) + ": " + why;
}

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
    return depth == Depth::k8 ? TypeDesc::UINT8 : depth == Depth::k16 ? TypeDesc::UINT16 : TypeDesc::FLOAT;
}

// Attributes that describe the input file's encoding, or that only the program that wrote it may claim.
void DropEncodingAttributes(OIIO::ImageSpec& spec, bool sameFormat) {
    for (const char* name : {"oiio:BitsPerSample", "oiio:UnassociatedAlpha", "oiio:subimages", "oiio:ioproxy",
                             "tiff:Compression", "Software", "DateTime"})
        spec.erase_attribute(name);
    if (!sameFormat)
        for (const char* name : {"compression", "Compression", "CompressionQuality", "planarconfig"})
            spec.erase_attribute(name);
}

bool IsFloat(TypeDesc t) {
    return t.basetype == TypeDesc::HALF || t.basetype == TypeDesc::FLOAT || t.basetype == TypeDesc::DOUBLE;
}

template <class T>
T HostToFileChannel(T v) {
    if constexpr (std::is_same_v<T, std::uint16_t>)
        return HostToFile16(v);
    else
        return v;
}

// One band of the output world's rows (depth Pr) into `Nch` values a pixel (R, G, B[, A]) of the file's
// depth Pf: to the file's depth, associated there when the file wants it, then file values.
template <class Pf, class Pr, int Nch>
void HostToBandOf(const HostRows& rows, int y0, int band, bool associate, ChannelOf<Pf>* __restrict out) {
    for (int r = 0; r < band; ++r) {
        const Pr* __restrict row = rows.Row<Pr>(y0 + r);
        for (int x = 0; x < rows.width; ++x, out += Nch) {
            Pf p = ConvertPixel<Pf>(row[x]);
            if (associate)
                AssociatePixel(p);
            out[0] = HostToFileChannel(p.red);
            out[1] = HostToFileChannel(p.green);
            out[2] = HostToFileChannel(p.blue);
            if constexpr (Nch == 4)
                out[3] = HostToFileChannel(p.alpha);
        }
    }
}

template <class Pf, class Pr>
void HostToBand(const HostRows& rows, int y0, int band, int nch, bool associate, ChannelOf<Pf>* out) {
    if (nch == 4)
        HostToBandOf<Pf, Pr, 4>(rows, y0, band, associate, out);
    else
        HostToBandOf<Pf, Pr, 3>(rows, y0, band, associate, out);
}

// What is known about the output before its first byte is written.
struct OutputPlan {
    std::string format;
    OIIO::ImageSpec spec;     // the rendered part
    TypeDesc type;            // of its rendered channels
    int renderedChannels = 3; // R, G, B and perhaps A
    bool associated = false;
    bool passThrough = false;           // the source's other channels are written
    std::vector<OIIO::ImageSpec> parts; // every part, the rendered one included; empty for one part
};

OutputPlan PlanOutput(OIIO::ImageOutput& out, const HostRows& rendered, const SourceImage& source,
                      const WriteRequest& request, std::vector<std::string>& notes) {
    OutputPlan plan;
    plan.format = out.format_name();
    const std::string& format = plan.format;

    const TypeDesc wanted = request.depth ? TypeForDepth(*request.depth) : source.fileType;
    plan.type = NearestHeld(wanted, TypesHeldBy(format));
    if (plan.type != wanted)
        notes.push_back(format + " files cannot hold " + FileTypeText(wanted) + "; writing " +
                        FileTypeText(plan.type));

    bool alpha = source.hasAlpha;
    if (!alpha && HasPartialAlpha(rendered)) {
        alpha = true;
        notes.push_back(
            "the input has no alpha but the render is partly transparent; writing an alpha channel");
    }
    if (alpha && !out.supports("alpha")) {
        alpha = false;
        notes.push_back(format + " files cannot hold alpha; alpha dropped");
    }
    switch (request.alpha) {
    case AlphaConvention::FromFile:
        // OpenEXR is premultiplied by convention; a TIFF keeps the convention of a TIFF input.
        plan.associated =
            format == "openexr" || (format == "tiff" && source.formatName == "tiff" && source.associated);
        break;
    case AlphaConvention::Straight:
        plan.associated = false;
        break;
    case AlphaConvention::Premultiplied:
        plan.associated = true;
        break;
    }
    plan.associated = plan.associated && alpha;
    plan.renderedChannels = alpha ? 4 : 3;

    const OIIO::ImageSpec& in = source.spec;
    OIIO::ImageSpec& spec = plan.spec;
    spec = in;
    const bool sameFormat = format == source.formatName;
    DropEncodingAttributes(spec, sameFormat);

    // The written data window is the rendered region; the display window stays the file's.
    const PixelRect display = DisplayWindow(in);
    spec.x = int(source.region.x);
    spec.y = int(source.region.y);
    spec.z = 0;
    spec.width = int(source.region.width);
    spec.height = int(source.region.height);
    spec.depth = 1;
    spec.full_x = int(display.x);
    spec.full_y = int(display.y);
    spec.full_width = int(display.width);
    spec.full_height = int(display.height);
    spec.full_z = 0;
    spec.full_depth = 1;
    if (!out.supports("origin")) {
        spec.x = spec.y = 0;
    }
    if (!out.supports("displaywindow")) {
        spec.full_x = spec.x, spec.full_y = spec.y;
        spec.full_width = spec.width, spec.full_height = spec.height;
    }
    spec.tile_width = spec.tile_height = spec.tile_depth = 0;

    // The rendered channels keep their names (a layer's stay in the layer); the others follow.
    const ChannelMap& m = source.channels;
    std::vector<std::string> names;
    std::vector<TypeDesc> types;
    if (source.grey) {
        names = {"R", "G", "B"};
    } else {
        names = {in.channel_name(m.red), in.channel_name(m.green), in.channel_name(m.blue)};
    }
    if (alpha)
        names.push_back(source.hasAlpha ? std::string(in.channel_name(m.alpha)) : m.layer + "A");
    types.assign(names.size(), plan.type);

    if (!m.passThrough.empty()) {
        const std::string list = ListChannelNames(in, m.passThrough);
        bool sameTypes = true;
        for (int c : m.passThrough)
            sameTypes = sameTypes && in.channelformat(c) == plan.type;
        plan.passThrough = out.supports("nchannels") && (out.supports("channelformats") || sameTypes);
        if (plan.passThrough) {
            notes.push_back("the channels " + list + " are not rendered; copied through unchanged");
            for (int c : m.passThrough) {
                names.push_back(in.channel_name(c));
                types.push_back(in.channelformat(c));
            }
        } else {
            notes.push_back(format + " files cannot hold the input's further channels " + list +
                            "; they are not written");
        }
    }
    spec.nchannels = int(names.size());
    spec.channelnames = names;
    spec.set_format(plan.type);
    spec.channelformats.clear();
    if (std::any_of(types.begin(), types.end(), [&](TypeDesc t) { return t != plan.type; }))
        spec.channelformats = types;
    spec.alpha_channel = alpha ? 3 : -1;
    spec.z_channel = -1;
    for (int c = plan.renderedChannels; c < spec.nchannels; ++c)
        if (names[std::size_t(c)] == "Z")
            spec.z_channel = c;
    // Tells the writer that the values are to be stored as given: straight-only formats would otherwise
    // divide by alpha, and TIFF records which convention the file uses.
    if (alpha)
        spec.attribute("oiio:UnassociatedAlpha", (!plan.associated || format != "tiff") ? 1 : 0);

    ApplyCompression(spec, format, request.compression,
                     sameFormat ? std::string(in.get_string_attribute("compression")) : std::string());
    StampOutputMetadata(spec, request.commandLine);

    // The colour space, told truthfully: OpenEXR files are read as linear unless they say otherwise.
    if (!request.colorSpace.empty()) {
        spec.attribute("oiio:ColorSpace", request.colorSpace);
        if (format == "openexr") {
            if (request.colorSpaceLinear)
                spec.erase_attribute(kExrColorSpaceAttribute);
            else
                spec.attribute(kExrColorSpaceAttribute, request.colorSpace);
        }
        const bool floatOutput = IsFloat(plan.type);
        if (floatOutput && (format == "openexr" || format == "hdr") && !request.colorSpaceLinear)
            notes.push_back("the values are " + request.colorSpace +
                            "-encoded, as in the input, not linear as float " + format +
                            " files usually are; the file says so (--output-space linear converts)");
        else if (!floatOutput && request.colorSpaceLinear)
            notes.push_back(
                "the values are linear, as in the input, in an integer file (usually sRGB-encoded); "
                "the file says so (--output-space sRGB converts)");
    }

    // The file's other parts, copied through.
    if (source.parts > 1) {
        if (!out.supports("multiimage")) {
            notes.push_back(format + " files hold one image; the input's " +
                            std::to_string(source.parts - 1) + " other part" +
                            (source.parts > 2 ? "s are" : " is") + " not written");
        } else {
            auto in2 = OIIO::ImageInput::open(source.path.string());
            if (!in2)
                throw FileError("cannot read " + Quoted(source.path) + ": " + OneLine(OIIO::geterror()));
            for (int s = 0; s < source.parts; ++s) {
                if (s == source.part) {
                    plan.parts.push_back(spec);
                    continue;
                }
                if (!in2->seek_subimage(s, 0))
                    throw FileError("cannot read " + Quoted(source.path) + ": " + OneLine(in2->geterror()));
                OIIO::ImageSpec other = in2->spec();
                DropEncodingAttributes(other, sameFormat);
                if (!request.compression.empty())
                    ApplyCompression(other, format, request.compression, "");
                StampOutputMetadata(other, request.commandLine);
                plan.parts.push_back(other);
            }
            notes.push_back("the input's " + std::to_string(source.parts - 1) + " other part" +
                            (source.parts > 2 ? "s are" : " is") + " not rendered; copied through unchanged");
        }
    }
    return plan;
}

// Writes the rendered part band by band. Returns false when abandoned.
bool WriteRenderedPart(OIIO::ImageOutput& out, const OutputPlan& plan, const HostRows& rendered,
                       const SourceImage& source, const std::function<bool()>& abandon, bool twoThreads) {
    const OIIO::ImageSpec& spec = plan.spec;
    const int nch = plan.renderedChannels;
    const Depth fileDepth = DepthOfFileType(plan.type);
    const TypeDesc bandType = TypeForDepth(fileDepth);
    const std::size_t valueSize = bandType.size();
    const std::size_t width = std::size_t(rendered.width);
    const std::size_t bandBytes = width * std::size_t(nch) * valueSize * kBandRows;
    // Two bands when the next one is converted on another thread while this one is encoded (or, when no
    // thread can be started, when it is asked for).
    const bool overlap = twoThreads && !plan.passThrough && rendered.height > kBandRows;
    std::vector<std::uint8_t> bands(bandBytes * (overlap ? 2 : 1));
    const auto convert = [&](int y) {
        std::uint8_t* band = bands.data() + (overlap && (y / kBandRows) % 2 ? bandBytes : 0);
        VisitDepth(fileDepth, [&]<class Pf>(Pf) {
            VisitDepth(rendered.depth, [&]<class Pr>(Pr) {
                HostToBand<Pf, Pr>(rendered, y, std::min(kBandRows, rendered.height - y), nch,
                                   plan.associated, reinterpret_cast<ChannelOf<Pf>*>(band));
            });
        });
        return band;
    };

    // With channels copied through, the band is assembled in the file's own layout.
    const std::vector<std::size_t> offsets = ChannelOffsets(spec);
    const std::size_t nativePixel = offsets.back();
    std::vector<std::uint8_t> native(plan.passThrough ? width * nativePixel * kBandRows : 0);

    std::future<std::uint8_t*> next;
    for (int y = 0; y < rendered.height; y += kBandRows) {
        const int rows = std::min(kBandRows, rendered.height - y);
        std::uint8_t* band = next.valid() ? next.get() : convert(y);
        if (overlap && y + kBandRows < rendered.height)
            next = std::async(std::launch::async | std::launch::deferred, convert, y + kBandRows);
        bool ok = false;
        if (!plan.passThrough) {
            ok = out.write_scanlines(spec.y + y, spec.y + y + rows, 0, bandType, band);
        } else {
            for (int k = 0; k < nch; ++k)
                OIIO::convert_image(1, rendered.width, rows, 1, band + std::size_t(k) * valueSize, bandType,
                                    OIIO::stride_t(std::size_t(nch) * valueSize),
                                    OIIO::stride_t(std::size_t(nch) * valueSize * width), OIIO::AutoStride,
                                    native.data() + offsets[std::size_t(k)], spec.channelformat(k),
                                    OIIO::stride_t(nativePixel), OIIO::stride_t(nativePixel * width),
                                    OIIO::AutoStride);
            const std::size_t extra = source.passThroughPixelBytes;
            const std::uint8_t* from = source.passThrough.data() + std::size_t(y) * width * extra;
            for (std::size_t p = 0; p < std::size_t(rows) * width; ++p, from += extra)
                std::memcpy(native.data() + p * nativePixel + offsets[std::size_t(nch)], from, extra);
            ok = out.write_scanlines(spec.y + y, spec.y + y + rows, 0, TypeDesc::UNKNOWN, native.data());
        }
        if (!ok)
            throw FileError(OneLine(out.geterror()));
        if (abandon && abandon())
            return false;
    }
    return true;
}

// Copies part `s` of the input unchanged.
void CopyPart(OIIO::ImageInput& in, int s, OIIO::ImageOutput& out) {
    const OIIO::ImageSpec& spec = in.spec();
    if (spec.deep) {
        OIIO::DeepData deep;
        if (!in.read_native_deep_image(s, 0, deep))
            throw FileError(OneLine(in.geterror()));
        if (!out.write_deep_image(deep))
            throw FileError(OneLine(out.geterror()));
        return;
    }
    std::vector<std::uint8_t> pixels(spec.image_bytes(true));
    if (!in.read_image(s, 0, 0, spec.nchannels, TypeDesc::UNKNOWN, pixels.data()) || in.has_error())
        throw FileError(OneLine(in.geterror()));
    if (!out.write_image(TypeDesc::UNKNOWN, pixels.data()))
        throw FileError(OneLine(out.geterror()));
}

bool WritesThroughProxy(const std::string& format) {
    return format == "openexr" || format == "png" || format == "jpeg";
}

// A file in memory, for writers that only write to a path.
class StagingFile {
public:
    StagingFile() = default;
    ~StagingFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    StagingFile(const StagingFile&) = delete;
    StagingFile& operator=(const StagingFile&) = delete;

    void Create(const std::filesystem::path& destination) {
        fd_ = ::memfd_create("tovrin-output", MFD_CLOEXEC);
        if (fd_ < 0)
            throw FileError(WriteError(destination, std::strerror(errno)));
    }
    // A path that opens the same memory.
    std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

    void CopyTo(CheckedFileProxy& file) const {
        std::vector<char> chunk(1 << 20);
        for (std::int64_t at = 0;;) {
            const ssize_t n = ::pread(fd_, chunk.data(), chunk.size(), at);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw FileError(std::strerror(errno));
            if (n == 0)
                return;
            file.pwrite(chunk.data(), std::size_t(n), at);
            at += n;
        }
    }

private:
    int fd_ = -1;
};

// Reads back what was written: the header of every part (a writer that reports its errors left a whole
// file), or every pixel (for a writer that does not).
void VerifyWritten(const std::filesystem::path& temp, const OutputPlan& plan, bool readPixels) {
    auto in = OIIO::ImageInput::create(plan.format);
    OIIO::ImageSpec config, opened;
    config.attribute("oiio:UnassociatedAlpha", 1);
    if (!in || !in->open(temp.string(), opened, config))
        throw FileError("the file written does not read back: " +
                        OneLine(in ? in->geterror() : OIIO::geterror()));
    const std::vector<OIIO::ImageSpec> parts =
        plan.parts.empty() ? std::vector<OIIO::ImageSpec>{plan.spec} : plan.parts;
    for (std::size_t s = 0; s < parts.size(); ++s) {
        if (!in->seek_subimage(int(s), 0))
            throw FileError("the file written does not read back: part " + std::to_string(s) + " is missing");
        const OIIO::ImageSpec& got = in->spec();
        if (got.width != parts[s].width || got.height != parts[s].height ||
            got.nchannels != parts[s].nchannels)
            throw FileError("the file written does not read back as it was written");
        if (!readPixels || got.deep)
            continue;
        const std::size_t row = got.scanline_bytes(true);
        std::vector<std::uint8_t> band(row * kBandRows);
        for (int y = got.y; y < got.y + got.height; y += kBandRows) {
            const int end = std::min(y + kBandRows, got.y + got.height);
            if (!in->read_scanlines(int(s), 0, y, end, 0, 0, got.nchannels, TypeDesc::UNKNOWN, band.data()))
                throw FileError("the file written does not read back: " + OneLine(in->geterror()));
        }
    }
    if (in->has_error())
        throw FileError("the file written does not read back: " + OneLine(in->geterror()));
}

} // namespace

bool WriteImageFile(const std::filesystem::path& path, const HostRows& rendered, const SourceImage& source,
                    const WriteRequest& request, std::vector<std::string>* notes,
                    const std::function<bool()>& abandon) {
    auto created = OIIO::ImageOutput::create(path.string());
    if (!created)
        throw FileError(WriteError(path, OneLine(OIIO::geterror())));
    std::vector<std::string> said;
    const OutputPlan plan = PlanOutput(*created, rendered, source, request, said);
    if (notes)
        notes->insert(notes->end(), said.begin(), said.end());

    std::unique_ptr<OIIO::ImageInput> partsInput;
    if (!plan.parts.empty()) {
        partsInput = OIIO::ImageInput::open(source.path.string());
        if (!partsInput)
            throw FileError("cannot read " + Quoted(source.path) + ": " + OneLine(OIIO::geterror()));
    }

    // Declared in this order so that the writer goes first, then the I/O it writes through, then the file.
    AtomicFile file(path, request.overwrite);
    CheckedFileProxy proxy(file.Descriptor(), file.TempPath().string());
    std::unique_ptr<OIIO::ImageOutput> out = std::move(created);
    // The writers known to write whole files through the checked file do so; the others (SGI cannot; TIFF
    // with an Exif block writes a broken first directory pointer through it) write into memory first, and
    // their bytes then go through the checked file. (Straight onto the disk, a full disk would leave holes
    // the writer never hears of, which read back as black.)
    const bool checkedIo =
        WritesThroughProxy(plan.format) && out->supports("ioproxy") && out->set_ioproxy(&proxy);
    StagingFile staging;
    if (!checkedIo)
        staging.Create(path);
    const std::string target = checkedIo ? file.TempPath().string() : staging.Path();
    const auto stop = [&] {
        proxy.Stop();
        out.reset();
        file.Discard();
        return false;
    };

    try {
        const bool opened = plan.parts.empty() ? out->open(target, plan.spec)
                                               : out->open(target, int(plan.parts.size()), plan.parts.data());
        if (!opened)
            throw FileError(OneLine(out->geterror()));
        const int parts = plan.parts.empty() ? 1 : int(plan.parts.size());
        for (int s = 0; s < parts; ++s) {
            if (s > 0 && !out->open(target, plan.parts[std::size_t(s)], OIIO::ImageOutput::AppendSubimage))
                throw FileError(OneLine(out->geterror()));
            if (s == (plan.parts.empty() ? 0 : source.part)) {
                if (!WriteRenderedPart(*out, plan, rendered, source, abandon, request.twoThreads))
                    return stop();
            } else {
                if (!partsInput->seek_subimage(s, 0))
                    throw FileError(OneLine(partsInput->geterror()));
                CopyPart(*partsInput, s, *out);
                if (abandon && abandon())
                    return stop();
            }
        }
        // Only close()'s answer counts: the TIFF writer leaves a message about its Exif block behind on
        // every file, and a failed write shows in the proxy and in the read-back.
        if (!out->close())
            throw FileError(OneLine(out->geterror()));
        out.reset();
        if (!checkedIo)
            staging.CopyTo(proxy);
        if (proxy.Failure())
            throw FileError("");
        file.Sync();
        VerifyWritten(file.TempPath(), plan, !checkedIo);
    } catch (const ToolError& e) {
        proxy.Stop();
        out.reset();
        file.Discard();
        const std::string what = e.what();
        if (what.rfind("cannot write", 0) == 0 || what.rfind("cannot read", 0) == 0)
            throw;
        // Errors from below name no file yet; a failed write says why in the proxy, which comes first.
        throw FileError(WriteError(path, proxy.Failure() ? std::strerror(proxy.Failure()) : what));
    }
    if (abandon && abandon())
        return stop();
    file.Publish();
    return true;
}

} // namespace cli
