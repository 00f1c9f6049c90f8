#include "cli/OneLine.h"

namespace cli {

std::string OneLine(const std::string& text) {
    std::string out;
    bool pendingBreak = false;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            pendingBreak = !out.empty();
            continue;
        }
        if (pendingBreak) {
            while (!out.empty() && (out.back() == ' ' || out.back() == ';' || out.back() == ':'))
                out.pop_back();
            out += "; ";
            pendingBreak = false;
            if (c == ' ' || c == '\t')
                continue;
        }
        if (c == '\t')
            c = ' ';
        if (c == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out += c;
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out.empty() ? "unknown error" : out;
}

std::string Quoted(const std::filesystem::path& path) {
    // Appended piece by piece: GCC 12 at -O3 warns falsely about "\"" + string.
    std::string quoted(1, '"');
    quoted += path.string();
    quoted += '"';
    return quoted;
}

} // namespace cli
