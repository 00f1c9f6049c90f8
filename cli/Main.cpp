// The tovrin command-line tool: renders image files through the effect, loaded by the embedded host.
#include <cstdio>
#include <exception>

#include <CLI/CLI.hpp>

#include "cli/Commands.h"
#include "cli/OutputMetadata.h"
#include "cli/ToolError.h"

int main(int argc, char** argv) {
    CLI::App app{"tovrin: renders image files through the Tovrin effect, loaded as a host loads it"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "tovrin 1.0.2");

    cli::RenderOptions render;
    CLI::App* renderCmd = app.add_subcommand("render", "Render an image file or a sequence of frames");
    renderCmd->add_option("input", render.input, "Input image; a sequence with # or %04d in its name");
    renderCmd->add_option("-o,--output", render.output,
                          "Output image; a sequence with # or %04d in its name");
    renderCmd->add_option("-s,--set", render.sets, "Set a control: \"NAME=VALUE\" (repeatable)")
        ->allow_extra_args(false);
    renderCmd->add_option("--preset", render.preset, "Load control values from a preset file");
    renderCmd->add_option("--save-preset", render.savePreset, "Save the control values to a preset file");
    renderCmd->add_option("--depth", render.depth, "Render depth 8, 16 or 32 (default: the input file's)")
        ->check(CLI::IsMember({8, 16, 32}));
    renderCmd->add_option("--quality", render.quality, "high or draft")
        ->check(CLI::IsMember({"high", "draft"}));
    renderCmd->add_option("--downsample", render.downsample, "Downsample factors 1/X, 1/Y: X[,Y]");
    renderCmd->add_option("--path", render.path, "smart or classic render commands")
        ->check(CLI::IsMember({"smart", "classic"}));
    renderCmd->add_option("--threads", render.threads, "Threads per pass (default: all processors)")
        ->check(CLI::Range(1, 1024));
    renderCmd->add_option("--frames", render.frames, "Frames of a sequence: A-B[xSTEP]");
    renderCmd->add_option("--alpha", render.alpha, "How the files store colour: straight or premultiplied")
        ->check(CLI::IsMember({"straight", "premultiplied"}));
    renderCmd->add_flag("-y,--yes", render.overwrite, "Replace existing output files");
    renderCmd->add_flag("-q,--quiet", render.quiet, "No progress, no notes; errors only");
    renderCmd->add_option("--plugin", render.plugin,
                          "The plug-in file (default: TOVRIN_PLUGIN, or beside the tool)");
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

    cli::InfoOptions info;
    CLI::App* infoCmd = app.add_subcommand("info", "Show the plug-in's PiPL, setup answers and controls");
    infoCmd->add_flag("--json", info.json, "As one JSON object");
    infoCmd->add_option("--plugin", info.plugin, "The plug-in file");

    cli::OptionDialogOptions options;
    CLI::App* optionsCmd = app.add_subcommand("options", "Open the effect's option dialog (stored defaults)");
    auto* store =
        optionsCmd->add_flag("--store", options.store, "Store the current values as defaults without asking");
    auto* restore =
        optionsCmd->add_flag("--restore", options.restore, "Restore the built-in defaults without asking");
    store->excludes(restore);
    optionsCmd->add_option("-s,--set", options.sets, "Set a control before storing: \"NAME=VALUE\"")
        ->allow_extra_args(false);
    optionsCmd->add_option("--preset", options.preset, "Load control values from a preset file first");
    optionsCmd->add_option("--plugin", options.plugin, "The plug-in file");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : cli::kExitUsage;
    }

    render.commandLine = cli::CommandLineText(argc, argv);
    try {
        if (renderCmd->parsed())
            return cli::RunRender(render);
        if (infoCmd->parsed())
            return cli::RunInfo(info);
        return cli::RunOptionDialog(options);
    } catch (const cli::ToolError& e) {
        std::fprintf(stderr, "tovrin: %s\n", e.what());
        return e.ExitCode();
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "tovrin: not enough memory\n");
        return cli::kExitFile;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tovrin: %s\n", e.what());
        return cli::kExitEffect;
    }
}
