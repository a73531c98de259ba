// The settings store on Windows: the system registry.
#include "platform/Registry.h"

#ifndef NOMINMAX
#  define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#  define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "ulmora/Registry.h"

namespace Ulmora {
namespace Platform {
namespace Registry {

int32_t CreateKey(HKEY key, const char* subKey, HKEY* result, bool* created)
{
    DWORD disposition = 0;
    const LONG status = ::RegCreateKeyExA(key, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                          KEY_ALL_ACCESS, nullptr, result, &disposition);
    if (created != nullptr)
        *created = status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    return static_cast<int32_t>(status);
}

int32_t OpenKey(HKEY key, const char* subKey, HKEY* result)
{
    return static_cast<int32_t>(::RegOpenKeyExA(key, subKey, 0, KEY_ALL_ACCESS, result));
}

int32_t QueryValue(HKEY key, const char* name, uint32_t* type, unsigned char* data,
                   uint32_t* size)
{
    DWORD valueType = 0;
    DWORD valueSize = size != nullptr ? *size : 0;
    const LONG status = ::RegQueryValueExA(key, name, nullptr, &valueType, data,
                                           size != nullptr ? &valueSize : nullptr);
    if (type != nullptr)
        *type = valueType;
    if (size != nullptr)
        *size = valueSize;
    return static_cast<int32_t>(status);
}

int32_t SetValue(HKEY key, const char* name, uint32_t type, const unsigned char* data,
                 uint32_t size)
{
    return static_cast<int32_t>(::RegSetValueExA(key, name, 0, type, data, size));
}

int32_t CloseKey(HKEY key)
{
    return static_cast<int32_t>(::RegCloseKey(key));
}

int32_t DeleteTree(HKEY key, const char* subKey)
{
    return static_cast<int32_t>(::RegDeleteTreeA(key, subKey));
}

void SetDirectory(const char* /*directory*/) {}

} // namespace Registry
} // namespace Platform
} // namespace Ulmora

// The file store's directory has nothing to do on Windows.
extern "C" void UlmoraSetRegistryDirectory(const char* directory)
{
    Ulmora::Platform::Registry::SetDirectory(directory);
}
