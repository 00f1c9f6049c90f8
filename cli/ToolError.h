#pragma once
// Failures the tool reports, each carrying the exit code the process ends with.
#include <stdexcept>
#include <string>

namespace cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 2,  // the command line asks for something the tool cannot do
    kExitFile = 3,   // an input or output file could not be read or written
    kExitEffect = 4, // the effect or the host returned an error
};

class ToolError : public std::runtime_error {
public:
    ToolError(int exitCode, const std::string& message) : std::runtime_error(message), exitCode_(exitCode) {}
    int ExitCode() const { return exitCode_; }

private:
    int exitCode_;
};

inline ToolError UsageError(const std::string& message) {
    return ToolError(kExitUsage, message);
}
inline ToolError FileError(const std::string& message) {
    return ToolError(kExitFile, message);
}
inline ToolError EffectError(const std::string& message) {
    return ToolError(kExitEffect, message);
}

} // namespace cli
