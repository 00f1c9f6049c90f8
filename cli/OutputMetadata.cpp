#include "cli/OutputMetadata.h"

#include <ctime>

#ifndef TOVRIN_VERSION
#error "TOVRIN_VERSION must name the project's version"
#endif

namespace cli {
namespace {

std::string ShellQuoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                              "_-+=.,/:@%#^") == std::string::npos)
        return arg;
    std::string quoted = "'";
    for (char c : arg) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

} // namespace

std::string SoftwareName() {
    return std::string("tovrin ") + TOVRIN_VERSION;
}

std::string CommandLineText(int argc, const char* const* argv) {
    std::string text;
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i] ? argv[i] : "";
        if (i == 0) {
            // The program by its name, not by where it happens to be installed.
            const std::size_t slash = arg.find_last_of('/');
            if (slash != std::string::npos)
                arg = arg.substr(slash + 1);
        }
        if (i > 0)
            text += ' ';
        text += ShellQuoted(arg);
    }
    return text;
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
