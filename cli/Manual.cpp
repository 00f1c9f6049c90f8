#include "cli/Manual.h"

#include <algorithm>
#include <vector>

#include "cli/Progress.h"
#include "cli/Suggest.h"

namespace cli {
namespace {

struct Entry {
    const char* term;
    const char* text;
};
struct Section {
    const char* title;
    const char* intro;
    std::vector<Entry> entries;
};

const std::vector<Section>& ToolSections() {
    static const std::vector<Section> sections = {
        {"EXIT STATUS",
         nullptr,
         {{"0", "success (frames skipped by --skip-existing count as success)"},
          {"2", "a usage error: nothing was rendered"},
          {"3", "an input or output file could not be read or written"},
          {"4", "the effect or the host returned an error (its PF_Err code and name are printed)"},
          {"130", "cancelled by SIGINT (Ctrl-C)"},
          {"143", "cancelled by SIGTERM"}}},
        {"ENVIRONMENT",
         nullptr,
         {{"TOVRIN_PLUGIN", "the plug-in file Tovrin.so, unless --plugin names one; otherwise the tool looks "
                            "beside itself, in ../plugin and in ../lib/tovrin"}}},
    };
    return sections;
}

const std::vector<Section>& RenderSections() {
    static const std::vector<Section> sections = {
        {"SEQUENCES",
         "A frame pattern in the file names of INPUT and OUTPUT makes a sequence. Padding is at most 18 "
         "digits. In a name with a pattern %% is a literal %.",
         {{"#", "the frame number padded with zeros to four digits, like %04d"},
          {"## ...", "padded with zeros to as many digits as there are #"},
          {"@ ...", "padded with zeros to as many digits as there are @ (a single @: no padding)"},
          {"%04d %4d %d", "printf's: padded with zeros, with spaces, or not at all"},
          {"--frames", "1-3,8,20-40x5: single frames, ranges and ranges with a step; -10--1 for negative "
                       "frames. Default: the input frames on disk"}}},
        {"OUTPUT",
         "On a terminal a status line on stderr (percent, frame, phase, time left). Otherwise one line per "
         "step on stdout; each PROGRESS value appears once.",
         {{"FRAME n start", "a frame begins"},
          {"PROGRESS: p%", "the whole command's progress"},
          {"FRAME n done FILE", "written (DONE FILE for a single file)"},
          {"FRAME n skipped FILE", "its output existed (--skip-existing; SKIPPED FILE for a single file)"},
          {"FRAME n failed: REASON", "on one line; the other frames go on (FAILED: REASON)"},
          {"FRAME n cancelled", "a signal stopped the frame in progress; nothing of it was written"},
          {"CANCELLED", "the last line after SIGINT or SIGTERM"}}},
        {"STATS",
         "--stats prints a line a frame on stderr, also with -q; --stats=json one JSON object a frame and a "
         "summary. A sequence reads the next frame and writes the last one while a frame renders "
         "(--no-overlap: one at a time); lines come in frame order either way.",
         {{"read, render, write", "each step of the frame; wall: from its read to its written file"},
          {"worlds, copies", "the render's time in the host's memory services and world copies"},
          {"selection", "the passes that tested key colours"},
          {"smoothing", "the rest of the render's preparation: edge smoothing, brightness"},
          {"passes", "the passes after the preparation: the blur"},
          {"other", "the rest of the render"},
          {"peak", "the process's peak resident memory while the frame was in flight"}}},
    };
    return sections;
}

std::string FooterText(const std::vector<Section>& sections) {
    std::string text;
    for (const Section& s : sections) {
        text += (text.empty() ? "" : "\n") + std::string(s.title) + "\n";
        if (s.intro)
            text += "  " + std::string(s.intro) + "\n";
        std::size_t width = 0;
        for (const Entry& e : s.entries)
            width = std::max(width, std::string(e.term).size());
        for (const Entry& e : s.entries) {
            std::string term = e.term;
            term.resize(width, ' ');
            text += "  " + term + "  " + e.text + "\n";
        }
    }
    return text;
}

// Text for roff: backslashes and minus signs escaped, no line starting with a control character.
std::string Roff(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

std::string RoffSections(const std::vector<Section>& sections, const char* heading) {
    std::string out;
    for (const Section& s : sections) {
        out += std::string(heading) + " " + s.title + "\n";
        if (s.intro)
            out += Roff(s.intro) + "\n";
        for (const Entry& e : s.entries)
            out += ".TP\n.B " + Roff(e.term) + "\n" + Roff(e.text) + "\n";
    }
    return out;
}

// The choices of an option with a fixed set ("INT:{8,16,32}" → 8 16 32).
std::vector<std::string> Choices(const CLI::Option& option) {
    const std::string type = option.get_type_name();
    const std::size_t open = type.find('{'), close = type.rfind('}');
    std::vector<std::string> choices;
    if (open == std::string::npos || close == std::string::npos || close < open)
        return choices;
    std::string item;
    for (std::size_t i = open + 1; i < close; ++i) {
        if (type[i] == ',') {
            choices.push_back(item);
            item.clear();
        } else if (type[i] != ' ') {
            item += type[i];
        }
    }
    choices.push_back(item);
    return choices;
}

std::string ValueName(const CLI::Option& option) {
    if (option.get_items_expected_max() == 0)
        return "";
    const std::vector<std::string> choices = Choices(option);
    if (!choices.empty()) {
        std::string text;
        for (const std::string& c : choices)
            text += (text.empty() ? "" : "|") + c;
        return text;
    }
    if (!option.nonpositional())
        return "";
    std::string type = option.get_type_name();
    type = type.substr(0, type.find(':'));
    return type == "TEXT" ? "VALUE" : type == "INT" ? "N" : type;
}

std::vector<const CLI::Option*> ShownOptions(const CLI::App& command) {
    return command.get_options([](const CLI::Option* o) {
        const auto& l = o->get_lnames();
        return !o->get_group().empty() && std::find(l.begin(), l.end(), "help") == l.end();
    });
}

std::vector<std::string> OptionNames(const CLI::App& command) {
    std::vector<std::string> names;
    for (const CLI::Option* o : command.get_options()) {
        for (const std::string& s : o->get_snames())
            names.push_back("-" + s);
        for (const std::string& l : o->get_lnames())
            names.push_back("--" + l);
    }
    return names;
}

std::vector<std::string> CommandNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
        names.push_back(sub->get_name());
    return names;
}

std::string JoinCommands(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return text;
}

} // namespace

const char* const kSetHelp =
    "Set a control: \"NAME=VALUE\" (repeatable; later wins; wins over --preset). Sliders take numbers, "
    "checkboxes on/off, true/false, yes/no or 1/0, popups a 1-based number or the item's text, colours "
    "R,G,B (0..255) or #RRGGBB. 'tovrin info' lists the controls";

std::string HelpFooter() {
    return FooterText(ToolSections());
}

std::string RenderHelpFooter() {
    return FooterText(RenderSections());
}

std::string ManPage(const CLI::App& app, const std::string& version) {
    std::string out = ".TH TOVRIN 1 \"\" \"" + Roff(version) + "\" \"User Commands\"\n";
    out += ".SH NAME\ntovrin \\- render image files through the Tovrin effect\n";
    out += ".SH SYNOPSIS\n";
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        out += ".B tovrin " + Roff(sub->get_name()) + "\n";
        for (const CLI::Option* o : ShownOptions(*sub))
            if (!o->nonpositional())
                out += "\\fI" + Roff(o->get_name()) + "\\fR\n";
        if (sub->get_name() == "render")
            out += "\\-o \\fIOUTPUT\\fR\n";
        out += "[\\fIOPTIONS\\fR]\n.br\n";
    }
    out += ".SH DESCRIPTION\n" + Roff(app.get_description()) + "\n";
    out += ".SH COMMANDS\n";
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        out += ".SS \"tovrin " + Roff(sub->get_name()) + "\"\n" + Roff(sub->get_description()) + ".\n";
        for (const CLI::Option* o : ShownOptions(*sub)) {
            std::string names;
            if (!o->nonpositional())
                names = "\\fI" + Roff(o->get_name()) + "\\fR";
            for (const std::string& s : o->get_snames())
                names += (names.empty() ? "" : ", ") + std::string("\\fB\\-") + Roff(s) + "\\fR";
            for (const std::string& l : o->get_lnames())
                names += (names.empty() ? "" : ", ") + std::string("\\fB\\-\\-") + Roff(l) + "\\fR";
            const std::string value = ValueName(*o);
            if (!value.empty())
                names += " \\fI" + Roff(value) + "\\fR";
            out += ".TP\n" + names + "\n" + Roff(o->get_description()) + "\n";
        }
        if (sub->get_name() == "render")
            out += RoffSections(RenderSections(), ".SS");
    }
    out += RoffSections(ToolSections(), ".SH");
    out += ".SH SEE ALSO\n\\fBtovrin info\\fR lists the effect's controls, their ranges and defaults.\n";
    return out;
}

std::string BashCompletion(const CLI::App& app) {
    std::string out = "# bash completion for tovrin (generated by tovrin --bash-completion)\n"
                      "_tovrin() {\n"
                      "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} command= i\n"
                      "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
                      "        case ${COMP_WORDS[i]} in\n";
    std::string commands;
    for (const std::string& name : CommandNames(app))
        commands += (commands.empty() ? "" : "|") + name;
    out += "        " + commands + ") command=${COMP_WORDS[i]}; break ;;\n";
    out += "        esac\n    done\n    case $command in\n";
    std::string top;
    for (const std::string& name : CommandNames(app))
        top += name + " ";
    out += "    '') COMPREPLY=($(compgen -W '" + top + "--help --version' -- \"$cur\")) ;;\n";
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        out += "    " + sub->get_name() + ")\n        case $prev in\n";
        for (const CLI::Option* o : sub->get_options()) {
            if (!o->nonpositional() || o->get_items_expected_max() == 0)
                continue;
            std::string names;
            for (const std::string& s : o->get_snames())
                names += (names.empty() ? "" : "|") + std::string("-") + s;
            for (const std::string& l : o->get_lnames())
                names += (names.empty() ? "" : "|") + std::string("--") + l;
            const std::vector<std::string> choices = Choices(*o);
            const std::string type = o->get_type_name();
            std::string words;
            for (const std::string& c : choices)
                words += c + " ";
            if (!choices.empty())
                out += "        " + names + ") COMPREPLY=($(compgen -W '" + words +
                       "' -- \"$cur\")); return ;;\n";
            else if (type.rfind("FILE", 0) != 0)
                out += "        " + names + ") return ;;\n";
            else
                out += "        " + names + ") COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
        }
        std::string options;
        for (const std::string& name : OptionNames(*sub))
            options += name + " ";
        out += "        esac\n";
        out += "        if [[ $cur == -* ]]; then COMPREPLY=($(compgen -W '" + options +
               "' -- \"$cur\")); else COMPREPLY=($(compgen -f -- \"$cur\")); fi ;;\n";
    }
    out += "    esac\n}\ncomplete -o filenames -F _tovrin tovrin\n";
    return out;
}

std::string UnknownCommand(const CLI::App& app, int argc, const char* const* argv) {
    const std::vector<std::string> names = CommandNames(app);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!arg.empty() && arg[0] == '-')
            continue; // --help, --version, or an option CLI11 will judge
        if (std::find(names.begin(), names.end(), arg) != names.end())
            return "";
        const std::string closest = ClosestName(arg, names);
        return "unknown command \"" + arg + "\"" +
               (closest.empty() ? "" : "; did you mean \"" + closest + "\"?") +
               " (commands: " + JoinCommands(names) + ")";
    }
    bool helpOrVersion = false;
    for (int i = 1; i < argc; ++i)
        helpOrVersion = helpOrVersion || std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h" ||
                        std::string(argv[i]) == "--version";
    if (helpOrVersion)
        return "";
    return "give a command: " + JoinCommands(names) + " ('tovrin --help' tells more)";
}

std::string UnexpectedArgument(const CLI::App& command) {
    const std::vector<std::string> extra = command.remaining();
    if (extra.empty())
        return "";
    const std::string where = "tovrin " + command.get_name();
    // An unknown option is the likelier slip: report it before a stray value that may belong to it.
    for (const std::string& arg : extra) {
        if (arg.size() < 2 || arg[0] != '-' || (arg[1] >= '0' && arg[1] <= '9'))
            continue;
        const std::string name = arg.substr(0, arg.find('='));
        const std::string closest = ClosestName(name, OptionNames(command));
        return "unknown option " + name + " for '" + where + "'" +
               (closest.empty() ? "" : "; did you mean " + closest + "?") + " ('" + where +
               " --help' lists them)";
    }
    return "unexpected argument \"" + extra.front() + "\" for '" + where + "' ('" + where +
           " --help' tells what it takes)";
}

std::string DescribeParseError(const CLI::App& app, const CLI::ParseError& error) {
    const std::vector<CLI::App*> parsed = app.get_subcommands();
    const std::string where = parsed.empty() ? "tovrin" : "tovrin " + parsed.front()->get_name();
    return OneLine(error.what()) + " ('" + where + " --help' tells more)";
}

} // namespace cli
