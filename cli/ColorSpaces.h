#pragma once
// Colour spaces, as OpenImageIO's OpenColorIO configuration knows them (the configuration named by $OCIO,
// or OpenImageIO's built-in one: linear, sRGB, Rec709). A render may run in another space than the file's
// (a blur mixes light correctly only in a linear one); pixels are converted on the world's rows before the
// render and after it, colour only, straight (not premultiplied).
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <OpenImageIO/color.h>

#include "cli/HostImage.h"

namespace cli {

class ColorSpaces {
public:
    ColorSpaces();
    ~ColorSpaces();
    ColorSpaces(const ColorSpaces&) = delete;
    ColorSpaces& operator=(const ColorSpaces&) = delete;

    // The configuration's name of a colour space or role, matched without regard to case; empty when
    // unknown.
    std::string Resolve(const std::string& name) const;
    // The same, or a usage error naming the option and the spaces the configuration knows.
    std::string ResolveOption(const std::string& option, const std::string& name) const;
    bool IsLinear(const std::string& space) const;
    bool Same(const std::string& a, const std::string& b) const;

    // Converts the colour of every pixel of `rows` from one space to the other. 8- and 16-bit rows go
    // through single precision a row at a time. Safe to call from several threads. Throws a usage error when
    // the configuration cannot convert.
    void Convert(const HostRows& rows, const std::string& from, const std::string& to);

private:
    OIIO::ColorProcessorHandle Processor(const std::string& from, const std::string& to);

    std::unique_ptr<OIIO::ColorConfig> config_;
    std::mutex mutex_; // the reading and the writing of a sequence's frames convert at the same time
    std::map<std::pair<std::string, std::string>, OIIO::ColorProcessorHandle> processors_;
};

// The colour space a file's pixels are in: what the file says, or the convention of its type (integer
// files are sRGB, float files linear). OpenEXR files name theirs in the "colorSpace" attribute (OpenImageIO
// reads every OpenEXR file as linear).
std::string FileColorSpace(const OIIO::ImageSpec& spec, const std::string& format);

// The OpenEXR attribute where a colour space other than linear is recorded.
inline constexpr const char* kExrColorSpaceAttribute = "colorSpace";

} // namespace cli
