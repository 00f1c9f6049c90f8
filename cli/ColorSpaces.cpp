#include "cli/ColorSpaces.h"

#include <algorithm>
#include <cctype>

#include "cli/PixelConvert.h"
#include "cli/ToolError.h"

namespace cli {
namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

ColorSpaces::ColorSpaces() : config_(std::make_unique<OIIO::ColorConfig>()) {}
ColorSpaces::~ColorSpaces() = default;

std::string ColorSpaces::Resolve(const std::string& name) const {
    if (name.empty())
        return "";
    for (const std::string& known : config_->getColorSpaceNames())
        if (EqualNoCase(known, name))
            return known;
    if (const char* role = config_->getColorSpaceNameByRole(name); role && *role)
        return role;
    return "";
}

std::string ColorSpaces::ResolveOption(const std::string& option, const std::string& name) const {
    std::string space = Resolve(name);
    if (space.empty()) {
        std::string known;
        for (const std::string& n : config_->getColorSpaceNames())
            known += (known.empty() ? "" : ", ") + n;
        throw UsageError(option + " \"" + name + "\": not a colour space of OpenColorIO's configuration (" +
                         known + ")");
    }
    return space;
}

bool ColorSpaces::IsLinear(const std::string& space) const {
    const std::string resolved = Resolve(space);
    return config_->isColorSpaceLinear(resolved.empty() ? space : resolved);
}

bool ColorSpaces::Same(const std::string& a, const std::string& b) const {
    const std::string ra = Resolve(a), rb = Resolve(b);
    return EqualNoCase(ra.empty() ? a : ra, rb.empty() ? b : rb);
}

OIIO::ColorProcessorHandle ColorSpaces::Processor(const std::string& from, const std::string& to) {
    std::lock_guard lock(mutex_);
    auto key = std::make_pair(from, to);
    auto it = processors_.find(key);
    if (it != processors_.end())
        return it->second;
    const std::string rf = Resolve(from), rt = Resolve(to);
    OIIO::ColorProcessorHandle p = rf.empty() || rt.empty() ? nullptr : config_->createColorProcessor(rf, rt);
    if (!p) {
        config_->geterror(); // cleared: the message below says what matters
        throw UsageError(
            "OpenColorIO's configuration cannot convert from \"" + from + "\" to \"" + to + "\"" +
            (rf.empty() ? " (\"" + from + "\" is unknown to it; name the input's with --input-space)" : ""));
    }
    processors_.emplace(key, p);
    return p;
}

void ColorSpaces::Convert(const HostRows& rows, const std::string& from, const std::string& to) {
    if (Same(from, to))
        return;
    OIIO::ColorProcessorHandle processor = Processor(from, to);
    constexpr OIIO::stride_t kPixel = sizeof(PF_PixelFloat);
    if (rows.depth == Depth::k32) {
        for (int y = 0; y < rows.height; ++y) {
            PF_PixelFloat* row = rows.Row<PF_PixelFloat>(y);
            processor->apply(&row[0].red, rows.width, 1, 3, sizeof(float), kPixel, 0);
        }
        return;
    }
    std::vector<PF_PixelFloat> line(std::size_t(std::max(rows.width, 0)));
    VisitDepth(rows.depth, [&]<class P>(P) {
        if constexpr (!std::is_same_v<P, PF_PixelFloat>) {
            for (int y = 0; y < rows.height; ++y) {
                P* row = rows.Row<P>(y);
                for (int x = 0; x < rows.width; ++x)
                    line[std::size_t(x)] = ConvertPixel<PF_PixelFloat>(row[x]);
                processor->apply(&line[0].red, rows.width, 1, 3, sizeof(float), kPixel, 0);
                for (int x = 0; x < rows.width; ++x)
                    row[x] = ConvertPixel<P>(line[std::size_t(x)]);
            }
        }
    });
}

std::string FileColorSpace(const OIIO::ImageSpec& spec, const std::string& format) {
    if (format == "openexr") {
        const std::string recorded = spec.get_string_attribute(kExrColorSpaceAttribute);
        return recorded.empty() ? "linear" : recorded;
    }
    std::string said = spec.get_string_attribute("oiio:ColorSpace");
    if (!said.empty())
        return said;
    const OIIO::TypeDesc::BASETYPE base = OIIO::TypeDesc::BASETYPE(spec.format.basetype);
    return base == OIIO::TypeDesc::HALF || base == OIIO::TypeDesc::FLOAT || base == OIIO::TypeDesc::DOUBLE
               ? "linear"
               : "sRGB";
}

} // namespace cli
