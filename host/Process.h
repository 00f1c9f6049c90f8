#pragma once
// The plug-in sees the command line of the host's own process, and caches what it reads there once per
// process. A test that needs another command line (a UI-language switch, say) runs a host in a child
// process: usually the test program itself, with a filter selecting the case to run in the child.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace host {

struct ProcessResult {
    int exitCode = -1;
    std::string output; // standard output and standard error together
};

// The running program's file.
std::filesystem::path SelfPath();

// Runs `program` with `arguments` (argv[1..]) and extra environment variables, waits for it and returns
// its exit code and output. On Windows the command line is built with the C runtime's quoting rules, so
// the child's argv equals `arguments`; `rawCommandLineTail`, when given, is appended to the program's
// quoted name verbatim instead (to test how a command line is parsed). Throws HostError when the
// program cannot be started.
ProcessResult RunProcess(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                         const std::vector<std::pair<std::string, std::string>>& environment = {},
                         const std::string* rawCommandLineTail = nullptr);

} // namespace host
