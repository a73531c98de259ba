// On Windows the registry calls are the system's own; only the directory of
// the file store used elsewhere has nothing to do here.
#include "ulmora/Registry.h"

extern "C" void UlmoraSetRegistryDirectory(const char* /*directory*/) {}
