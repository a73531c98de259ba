// Loading and unloading plug-in modules.
#ifndef ULMORA_PLATFORM_MODULE_H
#define ULMORA_PLATFORM_MODULE_H

#include <string>

namespace Ulmora {
namespace Platform {

typedef void* ModuleHandle;

// Loads the module at `path` (a full path) and resolves all its symbols now.
// Failure: null; `error`, when given, receives a readable reason with the path.
ModuleHandle LoadModule(const std::string& path, std::string* error = nullptr);

// The address of the exported symbol `name`, or null (`error` set) if the
// module exports no such symbol.
void* FindSymbol(ModuleHandle module, const char* name, std::string* error = nullptr);

// Drops one load of `module`. Returns false (`error` set) on failure.
bool UnloadModule(ModuleHandle module, std::string* error = nullptr);

// The full path of the loaded module's file (of the executable for a null
// module), or empty (`error` set).
std::string ModuleFileName(ModuleHandle module, std::string* error = nullptr);

} // namespace Platform
} // namespace Ulmora

#endif
