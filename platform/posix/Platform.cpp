#include "platform/Platform.h"
#include "platform/posix/ErrorText.h"

#include <cerrno>
#include <cstring>
#include <limits.h>
#include <unistd.h>
#include <vector>

namespace Ulmora {
namespace Platform {

const char kPathSeparator = '/';

std::string ErrnoText(int code, const std::string& path)
{
    return std::string(std::strerror(code)) + ": " + path;
}

std::string ExecutablePath(std::string* error)
{
    // /proc/self/exe names the executable even when it was started through a
    // symbolic link or a relative path.
    std::vector<char> buffer(PATH_MAX + 1);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            if (error != nullptr)
                *error = ErrnoText(errno, "/proc/self/exe");
            return std::string();
        }
        if (static_cast<size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

bool LocalTime(std::time_t time, std::tm* out)
{
    *out = std::tm();
    return ::localtime_r(&time, out) != nullptr;
}

std::FILE* OpenFile(const char* path, const char* mode, std::string* error)
{
    std::string posixMode;
    for (const char* c = mode; *c != 0; ++c) {
        if (*c != 't')
            posixMode += *c;
    }
    std::FILE* file = std::fopen(path, posixMode.c_str());
    if (file == nullptr && error != nullptr)
        *error = ErrnoText(errno, path);
    return file;
}

} // namespace Platform
} // namespace Ulmora
