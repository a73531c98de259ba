// ulmora: checks this machine with the probe modules (*.tst) and judge
// modules (*.intr) installed beside the executable.
//
// main() only builds the command line: every command lives in a file of its
// own under commands/ and adds itself through an Add...Command function.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "Command.h"
#include "HostInfo.h"
#include "commands/ConfigCommand.h"
#include "commands/DiffCommand.h"
#include "commands/GraphCommand.h"
#include "commands/InspectCommand.h"
#include "commands/ListCommand.h"
#include "commands/RunCommand.h"

namespace {

// Every command of the host, in the order --help lists them. `run` comes
// first: it is also what a bare `ulmora` does.
const Host::AddCommand kCommands[] = {
    Host::AddRunCommand,
    Host::AddListCommand,
    Host::AddGraphCommand,
    Host::AddInspectCommand,
    Host::AddConfigCommand,
    Host::AddDiffCommand,
};

bool IsHelpOrVersion(const char* arg)
{
    return std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0 ||
           std::strcmp(arg, "--help-all") == 0 || std::strcmp(arg, "--version") == 0;
}

// Without a command, `ulmora [options]` means `ulmora run [options]`. The
// run is inserted before the first argument unless a command is named or
// the top-level help or version is asked for.
std::vector<std::string> WithDefaultCommand(int argc, char** argv, const CLI::App& app)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
        if (IsHelpOrVersion(arg.c_str()))
            return args;
        for (const CLI::App* command : app.get_subcommands({}))
            if (command->check_name(arg))
                return args;
    }
    args.insert(args.begin(), "run");
    return args;
}

} // namespace

int main(int argc, char** argv)
{
#ifdef _WIN32
    // Reports go out byte for byte: JSON, perfdata and escaped plain lines
    // must not gain carriage returns on the way.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    CLI::App app("ulmora checks this machine: it runs the probe modules installed beside it, "
                 "lets the judge modules decide whether the machine meets its profile, and "
                 "reports what it found.",
                 "ulmora");
    // Options of the whole tool are accepted after the command name too.
    app.fallthrough();
    app.set_help_flag("-h,--help", "Show this help (a command's own: ulmora COMMAND --help)");
    app.set_help_all_flag("--help-all", "Show the help of every command");
    app.footer(Host::HelpFooter());

    Host::GlobalOptions globals;
    bool showVersion = false;
    app.add_flag("--version", showVersion, "Show the tool, library and plug-in API versions");
    app.add_flag("-v,--verbose", globals.verbose,
                 "Print the plug-in manager's messages on stderr");
    app.add_flag("--allow-insecure-modules", globals.allowInsecureModules,
                 "Load modules even from folders that other users can write");
    app.add_option("--color", globals.color, "Colour in the report: auto (default), always, never")
        ->check(CLI::IsMember({"auto", "always", "never"}))
        ->type_name("WHEN");

    Host::CommandAction action;
    for (Host::AddCommand add : kCommands)
        add(app, globals, &action);
    app.require_subcommand(0, 1);

    std::vector<std::string> args = WithDefaultCommand(argc, argv, app);
    try {
        // CLI11 takes the arguments last first.
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return Host::PrintHelp(app.help());
    } catch (const CLI::CallForAllHelp&) {
        return Host::PrintHelp(app.help("", CLI::AppFormatMode::All));
    } catch (const CLI::ParseError& error) {
        // One line and a pointer to the help, not the whole help.
        std::fprintf(stderr, "ulmora: %s\nRun 'ulmora --help' for usage.\n", error.what());
        return Host::kExitUsage;
    }
    if (showVersion)
        return Host::PrintVersion();
    if (!action) {
        std::fputs("ulmora: no command given\nRun 'ulmora --help' for usage.\n", stderr);
        return Host::kExitUsage;
    }
    return action();
}
