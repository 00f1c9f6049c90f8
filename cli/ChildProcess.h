#pragma once
// Other programs the tool runs (the scheduler's commands), with their output captured.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// The program's path when `name` is found on PATH (or names an executable file itself, with a '/').
std::optional<std::filesystem::path> FindProgram(const std::string& name);

struct ProgramResult {
    int exitCode = -1; // -1: ended by a signal
    std::string out, err;
};

// Runs `arguments` (the first a program's path) to its end, with no input. Throws a file error when it
// cannot be started.
ProgramResult RunProgram(const std::vector<std::string>& arguments);

} // namespace cli
