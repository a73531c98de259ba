#ifndef ULMORA_HOST_INSPECTCOMMAND_H
#define ULMORA_HOST_INSPECTCOMMAND_H
#include "../Command.h"
namespace Host {
// `ulmora inspect FILE`: a module author's check of one file.
void AddInspectCommand(CLI::App& app, const GlobalOptions& globals, CommandAction* action);
} // namespace Host
#endif
