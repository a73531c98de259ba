#include "platform/Module.h"
#include "platform/win32/ErrorText.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <vector>

namespace Ulmora {
namespace Platform {

ModuleHandle LoadModule(const std::string& path, std::string* error)
{
    // No "cannot load" message box: a module that fails is reported, not shown.
    DWORD previousMode = 0;
    const BOOL modeSet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    HMODULE module = ::LoadLibraryA(path.c_str());
    const DWORD code = ::GetLastError();
    if (modeSet)
        ::SetThreadErrorMode(previousMode, nullptr);
    if (module == nullptr && error != nullptr)
        *error = Win32ErrorText(code, path);
    return reinterpret_cast<ModuleHandle>(module);
}

void* FindSymbol(ModuleHandle module, const char* name, std::string* error)
{
    FARPROC symbol = ::GetProcAddress(reinterpret_cast<HMODULE>(module), name);
    if (symbol == nullptr && error != nullptr)
        *error = Win32ErrorText(::GetLastError(), name);
    return reinterpret_cast<void*>(symbol);
}

bool UnloadModule(ModuleHandle module, std::string* error)
{
    if (::FreeLibrary(reinterpret_cast<HMODULE>(module)))
        return true;
    if (error != nullptr)
        *error = Win32ErrorText(::GetLastError(), "<module>");
    return false;
}

std::string ModuleFileName(ModuleHandle module, std::string* error)
{
    // GetModuleFileNameA truncates silently; grow until the name fits.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(reinterpret_cast<HMODULE>(module), buffer.data(),
                                             static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            if (error != nullptr)
                *error = Win32ErrorText(::GetLastError(),
                                        module == nullptr ? "<executable>" : "<module>");
            return std::string();
        }
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace Platform
} // namespace Ulmora
