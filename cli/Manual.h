#pragma once
// The texts the tool shows about itself, written once: --help shows them, and the manual page and the bash
// completion are generated from the same command-line definitions at build time.
#include <string>

#include <CLI/CLI.hpp>

namespace cli {

// --set's description: the forms of values.
extern const char* const kSetHelp;
// The end of `tovrin --help` and of `tovrin render --help`: sections of the manual page too.
std::string HelpFooter();
std::string RenderHelpFooter();

// A manual page (roff, section 1) from the app's commands, options and footers.
std::string ManPage(const CLI::App& app, const std::string& version);
// A bash completion script: commands, options, the choices of options that have them, file names.
std::string BashCompletion(const CLI::App& app);

// Command-line slips, answered before or after CLI11's parse with a suggestion where one is close:
// no command or an unknown one ("rendr"); an option the command does not know ("--depht") or an extra
// argument. Empty when there is nothing to say.
std::string UnknownCommand(const CLI::App& app, int argc, const char* const* argv);
std::string UnexpectedArgument(const CLI::App& command);
// CLI11's own error as one line, with where to read more.
std::string DescribeParseError(const CLI::App& app, const CLI::ParseError& error);

} // namespace cli
