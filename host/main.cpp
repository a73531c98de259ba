// ulmora: runs the probe modules (*.tst) and judge modules (*.intr) found
// under this executable's folder and prints every result.
#include <cstdio>
#include <cstring>
#include <string>

#include <CLI/CLI.hpp>

#include "Command.h"
#include "commands/ConfigCommand.h"
#include "commands/DiffCommand.h"
#include "commands/GraphCommand.h"
#include "commands/InspectCommand.h"
#include "commands/ListCommand.h"
#include "ulmora/Ulmora.h"

namespace {

// Exit statuses. A run's answer is passed through, capped below the codes the
// host keeps for itself so a caller can always tell them apart.
const int kExitUsage = 64;
const int kExitLibraryError = 70;
const unsigned kMaxAnswerStatus = 63;

struct Options {
    bool verbose = false;
    std::string logPath;
};

// --verbose: the plug-in manager's lines (registrations, unloading) go to
// stderr as they come.
void PrintDebugLine(const char* text, void* context)
{
    std::fputs(text, static_cast<std::FILE*>(context));
}

int Run(const Options& options)
{
    Ulmora::IApplication* application = nullptr;
    int status = 0;
    if (options.verbose)
        UlmoraSetDebugOutputHandler(PrintDebugLine, stderr);
    try {
        CreateApplication(&application);
        if (!options.logPath.empty())
            application->UseDefaultLogOutput(options.logPath.c_str());
        application->LoadTestDLLs();
        application->LoadInterpreterDLLs();
        const unsigned answer = application->Run();
        const std::string output = application->Output();
        std::fwrite(output.data(), 1, output.size(), stdout);
        status = static_cast<int>(answer < kMaxAnswerStatus ? answer : kMaxAnswerStatus);
    } catch (const Ulmora::Exception& error) {
        std::fprintf(stderr, "ulmora: %s\n", error.GetErrorMsg());
        status = kExitLibraryError;
    }
    ReleaseApplication(&application);
    UlmoraSetDebugOutputHandler(nullptr, nullptr);
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app("ulmora: checks this machine with the probe modules (*.tst) and judge modules\n"
                 "(*.intr) installed beside this executable.");
    app.require_subcommand(0, 1);
    // Global options may also follow the command: `ulmora run --verbose`.
    app.fallthrough();
    Host::GlobalOptions globals;
    app.add_flag("--verbose", globals.verbose, "print the plug-in manager's messages to stderr");
    app.add_flag("--allow-insecure-modules", globals.allowInsecureModules,
                 "load modules from folders that others can write");

    Options options;
    CLI::App* run = app.add_subcommand("run", "Run every probe, let the judges decide (the default)");
    run->add_option("--log", options.logPath, "write the library's log lines to FILE");

    Host::CommandAction action;
    Host::AddListCommand(app, globals, &action);
    Host::AddGraphCommand(app, globals, &action);
    Host::AddInspectCommand(app, globals, &action);
    Host::AddConfigCommand(app, globals, &action);
    Host::AddDiffCommand(app, globals, &action);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        std::fprintf(stderr, "ulmora: %s\nRun 'ulmora --help' for more.\n", error.what());
        return Host::kExitUsage;
    }
    if (action)
        return action();
    options.verbose = globals.verbose;
    return Run(options);
}
