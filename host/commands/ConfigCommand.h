#ifndef ULMORA_HOST_CONFIGCOMMAND_H
#define ULMORA_HOST_CONFIGCOMMAND_H
#include "../Command.h"
namespace Host {
// `ulmora config show|set|reset|export|import`: the installed judges' settings.
void AddConfigCommand(CLI::App& app, const GlobalOptions& globals, CommandAction* action);
} // namespace Host
#endif
