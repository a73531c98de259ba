#ifndef ULMORA_HOST_DIFFCOMMAND_H
#define ULMORA_HOST_DIFFCOMMAND_H
#include "../Command.h"
namespace Host {
// `ulmora diff OLD.json NEW.json [--fail-above PCT]`: two saved reports compared.
void AddDiffCommand(CLI::App& app, const GlobalOptions& globals, CommandAction* action);
} // namespace Host
#endif
