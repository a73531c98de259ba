// The settings store: the system registry on Windows, the library's own file
// store elsewhere (platform/posix/Registry.cpp). The library reaches it only
// through these calls, never through the exported Win32-named functions, so
// that a host defining functions of those names cannot take its calls over.
//
// Results are Win32 error codes (0 is success). Every call may come from any
// thread.
#ifndef ULMORA_PLATFORM_REGISTRY_H
#define ULMORA_PLATFORM_REGISTRY_H

#include <cstdint>

#include "ulmora/RegistryKey.h"

namespace Ulmora {
namespace Platform {
namespace Registry {

const int32_t kSuccess = 0;
const uint32_t kTypeSz = 1;
const uint32_t kTypeDword = 4;
const uint32_t kTypeMultiSz = 7;

// Creates the key and every missing key on its path, or opens it, with full
// access. `created`, when given, tells which.
int32_t CreateKey(HKEY key, const char* subKey, HKEY* result, bool* created = nullptr);
// Opens an existing key with full access.
int32_t OpenKey(HKEY key, const char* subKey, HKEY* result);
// As RegQueryValueExA: without `data` only the type and size.
int32_t QueryValue(HKEY key, const char* name, uint32_t* type, unsigned char* data,
                   uint32_t* size);
int32_t SetValue(HKEY key, const char* name, uint32_t type, const unsigned char* data,
                 uint32_t size);
int32_t CloseKey(HKEY key);
int32_t DeleteTree(HKEY key, const char* subKey);
// Where the file store keeps its files; nothing on Windows.
void SetDirectory(const char* directory);

} // namespace Registry
} // namespace Platform
} // namespace Ulmora

#endif
