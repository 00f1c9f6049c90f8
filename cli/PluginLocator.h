#pragma once
// Where the plug-in file is: given on the command line, named by TOVRIN_PLUGIN, or beside the tool.
#include <filesystem>
#include <string>

namespace cli {

// Throws an effect error listing the places searched when none holds the file.
std::filesystem::path LocatePlugin(const std::string& given);

} // namespace cli
