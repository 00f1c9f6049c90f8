// The entry point of tovrin-files.so: nothing but an exit code leaves the module.
#include "cli/FilesModule.h"
#include "cli/ToolError.h"

extern "C" __attribute__((visibility("default"))) int tovrin_files_command(int command, const void* options) {
    try {
        switch (cli::FilesCommand(command)) {
        case cli::FilesCommand::Render:
            return cli::RunRender(*static_cast<const cli::RenderOptions*>(options));
        case cli::FilesCommand::Submit:
            return cli::RunSubmit(*static_cast<const cli::SubmitOptions*>(options));
        }
        return cli::kExitUsage;
    } catch (...) {
        return cli::ReportCommandFailure();
    }
}
