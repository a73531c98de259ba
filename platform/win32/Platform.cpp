#include "platform/Platform.h"
#include "platform/Module.h"
#include "platform/win32/ErrorText.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cerrno>
#include <cstring>

namespace Ulmora {
namespace Platform {

const char kPathSeparator = '\\';

std::string Win32ErrorText(unsigned long code, const std::string& path)
{
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                         FORMAT_MESSAGE_IGNORE_INSERTS,
                                     nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string message;
    if (n != 0 && text != nullptr) {
        message.assign(text, n);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
            message.pop_back();
    } else {
        message = "Windows error " + std::to_string(code);
    }
    if (text != nullptr)
        ::LocalFree(text);
    return message + ": " + path;
}

std::string ExecutablePath(std::string* error)
{
    // The null module stands for the executable that started the process.
    return ModuleFileName(nullptr, error);
}

bool LocalTime(std::time_t time, std::tm* out)
{
    *out = std::tm();
    return ::localtime_s(out, &time) == 0;
}

std::FILE* OpenFile(const char* path, const char* mode, std::string* error)
{
    std::FILE* file = std::fopen(path, mode);
    if (file == nullptr && error != nullptr)
        *error = std::string(std::strerror(errno)) + ": " + path;
    return file;
}

} // namespace Platform
} // namespace Ulmora
