// The library's only door to the operating system.
//
// Each function is implemented once per OS, in platform/posix/ and
// platform/win32/; CMake compiles exactly one of the two. Functions built only
// on other platform functions live once in platform/*.cpp. Nothing outside this
// folder includes an OS header. Further platform services (modules,
// directories, debugger output, registry) live beside this file, one header
// per service, with the same backend split.
#ifndef ULMORA_PLATFORM_PLATFORM_H
#define ULMORA_PLATFORM_PLATFORM_H

#include <cstdio>
#include <ctime>
#include <string>

namespace Ulmora {
namespace Platform {

// The path separator of the platform: '\\' on Windows, '/' elsewhere.
extern const char kPathSeparator;

// Full path of the running executable (the host, never the library).
// Success: the absolute path, symbolic links resolved on POSIX.
// Failure: an empty string; `error`, when given, receives a readable reason.
std::string ExecutablePath(std::string* error = nullptr);

// The directory part of ExecutablePath(), ending in kPathSeparator, or empty
// on failure. The same for every OS (platform/Platform.cpp).
std::string ExecutableDirectory(std::string* error = nullptr);

// Converts a calendar time to local broken-down time into `out`.
// Returns false (leaving `out` zeroed) when the time cannot be converted.
// Thread-safe: no shared static buffer is used.
bool LocalTime(std::time_t time, std::tm* out);

// Opens a file with a C stdio mode ("w+t", "rb", ...). The 't' (text) flag is
// honoured where the runtime distinguishes text files and ignored elsewhere.
// Success: a stream the caller owns and closes with fclose.
// Failure: null; `error`, when given, receives "<reason>: <path>".
std::FILE* OpenFile(const char* path, const char* mode, std::string* error = nullptr);

} // namespace Platform
} // namespace Ulmora

#endif
