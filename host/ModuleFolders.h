// Stand-in until the module folder check lands: accepts every folder.
#ifndef ULMORA_HOST_MODULEFOLDERS_H
#define ULMORA_HOST_MODULEFOLDERS_H

#include "Command.h"

namespace Host {
inline int CheckModuleFolders(const GlobalOptions&) { return kExitOk; }
} // namespace Host

#endif
