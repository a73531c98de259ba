// Where the modules come from, and whether that place can be trusted.
//
// The library loads every *.tst and *.intr below the executable's folder and
// runs their code with the caller's rights. A folder there that other users
// can write lets any of them run code as whoever runs ulmora, so the host
// refuses such folders unless the user insists.
#ifndef ULMORA_HOST_MODULEFOLDERS_H
#define ULMORA_HOST_MODULEFOLDERS_H

#include <string>
#include <vector>

#include "Command.h"

namespace Host {

// The folder of the running executable with symbolic links resolved (where
// the library looks), ending in a separator; empty when it cannot be told.
std::string ExecutableFolder();

// The folders (and module files) below `root`, `root` included, that users
// other than the owner can write. Empty on Windows, where access is decided
// by ACLs that the installer sets.
std::vector<std::string> WritableByOthers(const std::string& root);

// Checks the module folders before anything is loaded. Returns 0, or prints
// why it refuses (naming each folder) and returns the exit status.
int CheckModuleFolders(const GlobalOptions& options);

} // namespace Host

#endif
