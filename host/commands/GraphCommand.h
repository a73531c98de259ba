#ifndef ULMORA_HOST_GRAPHCOMMAND_H
#define ULMORA_HOST_GRAPHCOMMAND_H
#include "../Command.h"
namespace Host {
// `ulmora graph`: the probes' dependency graph and the run order as DOT.
void AddGraphCommand(CLI::App& app, const GlobalOptions& globals, CommandAction* action);
} // namespace Host
#endif
