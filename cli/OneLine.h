#pragma once
// Text for the tool's one-line protocols (FRAME n failed: ..., FAILED: ...): libraries report a line per
// problem, the tool one line per frame.
#include <filesystem>
#include <string>

namespace cli {

// Line breaks become "; ", tabs and runs of spaces one space, the ends trimmed; empty text is "unknown
// error".
std::string OneLine(const std::string& text);

// A path in double quotes, as messages name files.
std::string Quoted(const std::filesystem::path& path);

} // namespace cli
