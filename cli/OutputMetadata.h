#pragma once
// What an output file says about its making: this tool, its version and the command line as `Software`, the
// time it was written as `DateTime`, and the command line appended to the image's history (as image tools
// record their own), so that a file never claims that another program made it.
#include <string>

#include <OpenImageIO/imageio.h>

#include "cli/CommandLine.h"

namespace cli {

// The tool and its version, "tovrin 1.0.2".
std::string SoftwareName();

// Sets `Software` ("tovrin 1.0.2 : <command line>"), `DateTime` (now, local time) and appends
// `commandLine` to `Exif:ImageHistory`.
void StampOutputMetadata(OIIO::ImageSpec& spec, const std::string& commandLine);

} // namespace cli
