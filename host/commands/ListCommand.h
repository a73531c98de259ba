#ifndef ULMORA_HOST_LISTCOMMAND_H
#define ULMORA_HOST_LISTCOMMAND_H
#include "../Command.h"
namespace Host {
// `ulmora list [--json]`: the installed module files and their plug-ins.
void AddListCommand(CLI::App& app, const GlobalOptions& globals, CommandAction* action);
} // namespace Host
#endif
