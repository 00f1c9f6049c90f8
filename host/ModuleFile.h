#pragma once
// A plug-in file is read and checked before the system loader maps it: the loader trusts the file's
// headers, and a truncated library (a copy cut short, a full disk) ends the process with a bus error when
// the loader touches a page past the end of the file. Checked: the file is a regular file; its header is
// that of a 64-bit library for this process's machine (ELF on Linux, PE32+ on Windows); every part the
// headers describe (program and section headers, loaded segments, PE sections) lies within the file.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace host {

// What is wrong with the file as a library this process could load, or an empty string.
std::string ModuleFileProblem(const std::filesystem::path& file);

// The checks of one format over a file of `fileSize` bytes whose bytes `read(offset, size)` returns (fewer
// at its end). Both formats are checked on every platform, so that tests can reach either.
using ReadAt = std::function<std::vector<std::uint8_t>(std::uint64_t offset, std::size_t size)>;
std::string ElfProblem(std::uint64_t fileSize, const ReadAt& read);
std::string PeProblem(std::uint64_t fileSize, const ReadAt& read);

} // namespace host
