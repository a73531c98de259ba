// What every subcommand of the ulmora host shares: the exit statuses, the
// options that apply to all commands, and how a command file adds itself to
// the command line.
#ifndef ULMORA_HOST_COMMAND_H
#define ULMORA_HOST_COMMAND_H

#include <functional>
#include <string>

namespace CLI {
class App;
}

namespace Host {

// Exit statuses. A run's answer is passed through, capped below the codes
// the host keeps for itself, so a caller can always tell them apart.
enum ExitStatus : int {
    kExitOk = 0,
    kMaxAnswerStatus = 63,
    kExitUsage = 64,         // bad command line
    kExitNoModules = 66,     // no probe or judge module was found
    kExitSoftware = 70,      // a library or plug-in error
    kExitCannotWrite = 74,   // stdout, the log or a report file cannot be written
};

// Options given before or after the subcommand, for every command.
struct GlobalOptions {
    bool verbose = false;               // the plug-in manager's messages on stderr
    bool allowInsecureModules = false;  // load from folders others can write
    std::string color = "auto";         // auto, always or never
};

// A command file offers one function of this shape: it adds its subcommand
// (with its own options) to `app`; when that subcommand is the one given,
// the host calls `*action` after parsing and exits with what it returns.
using CommandAction = std::function<int()>;
using AddCommand = void (*)(CLI::App& app, const GlobalOptions& globals, CommandAction* action);

} // namespace Host

#endif
