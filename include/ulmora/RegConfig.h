// Storing a ParameterList under a registry key and reading it back.
//
// The list gets a key named after it under the caller's root key and path
// ("path\name", with one backslash, or just "name" for an empty path). Each
// parameter becomes a value named after it holding its display text (REG_SZ);
// a nested list becomes a subkey in the same layout; a dynamic list becomes
// "<name>choices" (REG_MULTI_SZ) and "<name>" (REG_DWORD, the selected index).
// Integers, floats, texts, bools, nested and dynamic lists are read back;
// enumerations, colours and files are written for people and never read.
// Nothing is reported: a key that cannot be opened means nothing is written
// or read, and a value that is missing or does not parse leaves its
// parameter as it was.
//
// Threads: a reader or writer may be used from any thread, as long as no
// other thread changes the list it reads or writes meanwhile.
//
// HKEY comes from ulmora/RegistryKey.h, without <windows.h>; the predefined
// roots (HKEY_CURRENT_USER...) and the registry calls come with
// ulmora/Registry.h (or <windows.h> on Windows).
#ifndef ULMORA_REGCONFIG_H
#define ULMORA_REGCONFIG_H

#include "ulmora/Export.h"
#include "ulmora/ParameterList.h"
#include "ulmora/RegistryKey.h"

namespace Ulmora {

class ULMORA_API RegConfigWriter {
public:
    RegConfigWriter();
    ~RegConfigWriter();
    RegConfigWriter& operator=(const RegConfigWriter&);

    // The root key stays the caller's. Null path or list: nothing happens.
    void WriteConfig(HKEY root, const char* path, ParameterList* list);

protected:
    void WriteConfigSection(HKEY key, ParameterList* list);
};

class ULMORA_API RegConfigReader {
public:
    RegConfigReader();
    ~RegConfigReader();
    RegConfigReader& operator=(const RegConfigReader&);

    void ReadConfig(HKEY root, const char* path, ParameterList* list);

protected:
    void ReadConfigSection(HKEY key, ParameterList* list);
};

} // namespace Ulmora

#endif
