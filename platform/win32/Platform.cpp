#include "platform/Platform.h"
#include "platform/win32/ErrorText.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <vector>

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
    // GetModuleFileNameA truncates silently; grow until the name fits.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            if (error != nullptr)
                *error = Win32ErrorText(::GetLastError(), "<executable>");
            return std::string();
        }
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
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
