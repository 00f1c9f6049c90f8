#include "cli/OutputMetadata.h"

#include <ctime>

#ifndef TOVRIN_VERSION
#error "TOVRIN_VERSION must name the project's version"
#endif

namespace cli {

std::string SoftwareName() {
    return std::string("tovrin ") + TOVRIN_VERSION;
}

void StampOutputMetadata(OIIO::ImageSpec& spec, const std::string& commandLine) {
    // The command line goes into Software too, as image tools do: TIFF files here keep no Exif history.
    spec.attribute("Software", commandLine.empty() ? SoftwareName() : SoftwareName() + " : " + commandLine);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char when[32];
    std::strftime(when, sizeof when, "%Y:%m:%d %H:%M:%S", &local);
    spec.attribute("DateTime", when);
    if (!commandLine.empty()) {
        std::string history = spec.get_string_attribute("Exif:ImageHistory");
        if (!history.empty())
            history += "\n";
        spec.attribute("Exif:ImageHistory", history + commandLine);
    }
}

} // namespace cli
