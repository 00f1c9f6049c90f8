#pragma once
// The command line as the outputs record it.
#include <string>

namespace cli {

// The command line as a shell would take it back: arguments with spaces or quotes are quoted; the program by
// its name, not by where it is installed.
std::string CommandLineText(int argc, const char* const* argv);

} // namespace cli
