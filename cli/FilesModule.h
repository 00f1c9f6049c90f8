#pragma once
// The commands that read or write image files (render, submit) live in a module of their own,
// tovrin-files.so, linked with OpenImageIO. Loading that library pulls in some 260 others (codecs, video,
// geodata ...): a few tenths of a second and about 90 MB of the process before anything happens. The tool
// itself does not link it, so `info`, `options`, `--help`, `--version` and a mistyped command line start
// at once; it loads the module when a command needs it.
#include "cli/Commands.h"

namespace cli {

enum class FilesCommand : int { Render = 1, Submit = 2 };

// Loads the module (beside the tool, or in ../lib/tovrin/ from it) and runs the command. Returns the exit
// code; the module reports its own failures.
int RunFilesCommand(FilesCommand command, const void* options);

// Reports the exception being handled on stderr ("tovrin: ...", one line) and returns its exit code.
int ReportCommandFailure() noexcept;

} // namespace cli

// The module's one entry point: `options` is a RenderOptions or a SubmitOptions.
extern "C" int tovrin_files_command(int command, const void* options);
