#include "cli/CommandLine.h"

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

} // namespace cli
