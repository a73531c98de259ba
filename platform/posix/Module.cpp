#include "platform/Module.h"

#include <dlfcn.h>
#include <link.h>

namespace Ulmora {
namespace Platform {

namespace {

// dlerror() is cleared by the next dl call, so its text is copied at once.
std::string DlErrorText(const std::string& path)
{
    const char* text = ::dlerror();
    std::string message = text != nullptr ? text : "unknown dynamic loader error";
    if (message.find(path) == std::string::npos)
        message += ": " + path;
    return message;
}

} // namespace

ModuleHandle LoadModule(const std::string& path, std::string* error)
{
    ::dlerror();
    // RTLD_LOCAL keeps one module's symbols from satisfying another's.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr && error != nullptr)
        *error = DlErrorText(path);
    return handle;
}

void* FindSymbol(ModuleHandle module, const char* name, std::string* error)
{
    ::dlerror();
    void* symbol = ::dlsym(module, name);
    if (symbol == nullptr && error != nullptr)
        *error = DlErrorText(name);
    return symbol;
}

bool UnloadModule(ModuleHandle module, std::string* error)
{
    ::dlerror();
    if (::dlclose(module) == 0)
        return true;
    if (error != nullptr)
        *error = DlErrorText("<module>");
    return false;
}

std::string ModuleFileName(ModuleHandle module, std::string* error)
{
    struct link_map* map = nullptr;
    ::dlerror();
    if (::dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr) {
        if (error != nullptr)
            *error = DlErrorText("<module>");
        return std::string();
    }
    return map->l_name;
}

} // namespace Platform
} // namespace Ulmora
