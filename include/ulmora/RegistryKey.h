// The registry key handle, HKEY, declared without <windows.h>.
//
// On Windows it is the very type <windows.h> declares (struct HKEY__*), so
// that callers pass their keys unchanged; elsewhere it is a handle of the
// library's own file store (ulmora/Registry.h).
#ifndef ULMORA_REGISTRYKEY_H
#define ULMORA_REGISTRYKEY_H

#if defined(_WIN32)
struct HKEY__;
typedef struct HKEY__* HKEY;
#else
typedef struct UlmoraRegistryKey* HKEY;
#endif

#endif
