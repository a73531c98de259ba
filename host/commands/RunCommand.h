// `ulmora run` (also what a bare `ulmora` does): runs every probe and judge
// and reports in the chosen format.
#ifndef ULMORA_HOST_RUNCOMMAND_H
#define ULMORA_HOST_RUNCOMMAND_H

#include "Command.h"

namespace Host {

void AddRunCommand(CLI::App& app, const GlobalOptions& globals, CommandAction* action);

} // namespace Host

#endif
