// The tovrin command-line tool: renders image files through the effect, loaded by the embedded host.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/FilesModule.h"
#include "cli/Manual.h"
#include "cli/Progress.h"
#include "cli/ToolError.h"

int main(int argc, char** argv) {
    CLI::App app{"tovrin renders image files and frame sequences through the Tovrin blur effect, loaded as a "
                 "host application loads it.",
                 "tovrin"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "tovrin " TOVRIN_VERSION);
    app.footer(cli::HelpFooter());

    cli::RenderOptions render;
    CLI::App* renderCmd = app.add_subcommand("render", "Render an image file or a sequence of frames");
    renderCmd->add_option("INPUT", render.input, "Input image; a sequence with #, @ or %04d in its name");
    renderCmd
        ->add_option("-o,--output", render.output, "Output image; a sequence with #, @ or %04d in its name")
        ->type_name("FILE");
    renderCmd->add_option("-s,--set", render.sets, cli::kSetHelp)
        ->allow_extra_args(false)
        ->type_name("NAME=VALUE");
    renderCmd->add_option("--preset", render.preset, "Load control values from a preset file (JSON)")
        ->type_name("FILE");
    renderCmd->add_option("--save-preset", render.savePreset, "Save every control's value to a preset file")
        ->type_name("FILE");
    renderCmd->add_option("--depth", render.depth, "Render depth 8, 16 or 32 (default: the input file's)")
        ->check(CLI::IsMember({8, 16, 32}));
    renderCmd->add_option("--quality", render.quality, "The host's quality: high or draft")
        ->check(CLI::IsMember({"high", "draft"}));
    renderCmd->add_option("--downsample", render.downsample, "The host's downsample factors 1/X, 1/Y")
        ->type_name("X[,Y]");
    renderCmd->add_option("--path", render.path, "smart (pre-render and render) or classic render commands")
        ->check(CLI::IsMember({"smart", "classic"}));
    renderCmd->add_option("--threads", render.threads, "Threads per pass (default: all processors)")
        ->check(CLI::Range(1, 1024))
        ->type_name("N");
    renderCmd->add_option("--frames", render.frames, "Frames of a sequence, e.g. 1-3,8,20-40x5 or -10--1")
        ->type_name("LIST");
    renderCmd->add_option("--alpha", render.alpha, "How the files store colour: straight or premultiplied")
        ->check(CLI::IsMember({"straight", "premultiplied"}));
    renderCmd->add_flag("-y,--yes", render.overwrite, "Replace existing output files");
    renderCmd->add_flag("-n,--skip-existing", render.skipExisting,
                        "Render only the frames whose output is missing (resumes a farm's range)");
    renderCmd->add_flag("--in-place", render.inPlace, "Let the output be the input file and replace it");
    renderCmd->add_flag("-q,--quiet", render.quiet, "No progress, no notes; errors only");
    renderCmd
        ->add_option("--plugin", render.plugin,
                     "The plug-in file (default: TOVRIN_PLUGIN, or the installed one)")
        ->type_name("FILE");

    renderCmd
        ->add_option("--region", render.region,
                     "What to render of a file whose data window is not its display window: union "
                     "(default), data or display")
        ->check(CLI::IsMember({"union", "data", "display"}));
    renderCmd->add_option(
        "--working-space", render.workingSpace,
        "Render in this colour space (OpenColorIO's name, e.g. linear); default: the file's");
    renderCmd->add_option("--input-space", render.inputSpace,
                          "The input's colour space, overriding what the file says");
    renderCmd->add_option("--output-space", render.outputSpace,
                          "The output's colour space (default: the input's)");
    renderCmd->add_option(
        "--compression", render.compression,
        "Output compression: PNG 0-9; OpenEXR none, zip, piz, dwaa, ...; TIFF none, lzw, zip");

    renderCmd
        ->add_option("--stats", render.stats,
                     "Print where each frame's time and memory went, a line a frame (text) or as JSON")
        ->expected(0, 1)
        ->default_str("text")
        ->check(CLI::IsMember({"text", "json"}).description(""))
        ->type_name("[text|json]");
    bool noOverlap = false;
    renderCmd->add_flag("--no-overlap", noOverlap,
                        "Read, render and write one frame at a time (default: the next frame is read and the "
                        "last one written while a frame renders)");

    renderCmd->footer(cli::RenderHelpFooter());

    cli::SubmitOptions submit;
    CLI::App* submitCmd = app.add_subcommand("submit", "Render a sequence on a Slurm cluster as a job array");
    submitCmd->add_option("input", submit.render.input, "Input sequence, with # or %04d in its name");
    submitCmd->add_option("-o,--output", submit.render.output, "Output sequence, with # or %04d in its name");
    submitCmd->add_option("-s,--set", submit.render.sets, "Set a control: \"NAME=VALUE\" (repeatable)")
        ->allow_extra_args(false);
    submitCmd->add_option("--preset", submit.render.preset, "Load control values from a preset file");
    submitCmd
        ->add_option("--depth", submit.render.depth, "Render depth 8, 16 or 32 (default: the input file's)")
        ->check(CLI::IsMember({8, 16, 32}));
    submitCmd->add_option("--quality", submit.render.quality, "high or draft")
        ->check(CLI::IsMember({"high", "draft"}));
    submitCmd->add_option("--downsample", submit.render.downsample, "Downsample factors 1/X, 1/Y: X[,Y]");
    submitCmd->add_option("--path", submit.render.path, "smart or classic render commands")
        ->check(CLI::IsMember({"smart", "classic"}));
    submitCmd->add_option("--frames", submit.render.frames,
                          "Frames: a list such as 1-3,8,20-40x5 (default: the input frames on disk)");
    submitCmd
        ->add_option("--alpha", submit.render.alpha, "How the files store colour: straight or premultiplied")
        ->check(CLI::IsMember({"straight", "premultiplied"}));
    submitCmd->add_option("--plugin", submit.render.plugin, "The plug-in file, as every node reaches it");
    submitCmd->add_option("--chunk", submit.chunk, "Frames per task (default 10)")
        ->check(CLI::Range(1, 1000000));
    submitCmd->add_option("--partition", submit.partition, "Slurm partition (default: the cluster's)");
    submitCmd->add_option("--time", submit.timeLimit,
                          "Time limit per task, as sbatch takes it (e.g. 1:00:00)");
    submitCmd
        ->add_option("--cpus-per-task", submit.cpusPerTask, "Processors per task, and the task's threads")
        ->check(CLI::Range(1, 1024));
    submitCmd->add_option("--job-name", submit.jobName,
                          "Job name, also of the script (default: the output's)");
    submitCmd
        ->add_option("--sbatch-arg", submit.sbatchArgs, "Another sbatch option, e.g. --sbatch-arg=--mem=4G")
        ->allow_extra_args(false)
        ->type_name("ARG");
    submitCmd->add_flag("--dry-run", submit.dryRun, "Print the job script; write and submit nothing");
    submitCmd->add_option("--status", submit.status, "Where job JOBID stands: frames done, failed, pending")
        ->type_name("JOBID");
    submitCmd->add_flag("-y,--yes", submit.render.overwrite, "Replace a job script of the same name");
    submitCmd->add_flag("-q,--quiet", submit.render.quiet, "No notes; errors only");

    cli::InfoOptions info;
    CLI::App* infoCmd = app.add_subcommand("info", "Show the plug-in's PiPL, setup answers and controls");
    infoCmd->add_flag("--json", info.json, "As one JSON object");
    infoCmd->add_option("--plugin", info.plugin, "The plug-in file")->type_name("FILE");

    cli::OptionDialogOptions options;
    CLI::App* optionsCmd = app.add_subcommand("options", "Open the effect's option dialog (stored defaults)");
    auto* store =
        optionsCmd->add_flag("--store", options.store, "Store the current values as defaults without asking");
    auto* restore =
        optionsCmd->add_flag("--restore", options.restore, "Restore the built-in defaults without asking");
    store->excludes(restore);
    optionsCmd->add_option("-s,--set", options.sets, "Set a control before storing: \"NAME=VALUE\"")
        ->allow_extra_args(false)
        ->type_name("NAME=VALUE");
    optionsCmd->add_option("--preset", options.preset, "Load control values from a preset file first")
        ->type_name("FILE");
    optionsCmd->add_option("--plugin", options.plugin, "The plug-in file")->type_name("FILE");

    for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
        sub->allow_extras();
    // The manual page and the shell completion, generated at build time from the definitions above.
    if (argc == 2 && std::strcmp(argv[1], "--man-page") == 0) {
        std::fputs(cli::ManPage(app, "tovrin " TOVRIN_VERSION).c_str(), stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--bash-completion") == 0) {
        std::fputs(cli::BashCompletion(app).c_str(), stdout);
        return 0;
    }

    if (const std::string slip = cli::UnknownCommand(app, argc, argv); !slip.empty()) {
        std::fprintf(stderr, "tovrin: %s\n", slip.c_str());
        return cli::kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0)
            return app.exit(e); // --help, --version
        std::fprintf(stderr, "tovrin: %s\n", cli::DescribeParseError(app, e).c_str());
        return cli::kExitUsage;
    }
    for (CLI::App* sub : app.get_subcommands()) {
        if (const std::string slip = cli::UnexpectedArgument(*sub); !slip.empty()) {
            std::fprintf(stderr, "tovrin: %s\n", slip.c_str());
            return cli::kExitUsage;
        }
    }

    render.commandLine = cli::CommandLineText(argc, argv);
    render.overlap = !noOverlap;
    try {
        if (renderCmd->parsed())
            return cli::RunFilesCommand(cli::FilesCommand::Render, &render);
        if (submitCmd->parsed())
            return cli::RunFilesCommand(cli::FilesCommand::Submit, &submit);
        if (infoCmd->parsed())
            return cli::RunInfo(info);
        return cli::RunOptionDialog(options);
    } catch (...) {
        return cli::ReportCommandFailure();
    }
}
