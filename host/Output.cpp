#include "Output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <process.h>
#else
#include <unistd.h>
#endif

namespace Host {

bool WriteStdout(const std::string& text)
{
    if (!text.empty() && std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
        return false;
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

namespace {

int ProcessID()
{
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(getpid());
#endif
}

bool Replace(const std::string& from, const std::string& to, std::string* error)
{
#ifdef _WIN32
    // A reader (an agent collecting the file) may hold the target open for a
    // moment; the replace is retried for about two seconds.
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (MoveFileExA(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD code = GetLastError();
        if (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION &&
            code != ERROR_LOCK_VIOLATION)
            break;
        Sleep(50);
    }
    *error = "cannot replace " + to + " (Windows error " + std::to_string(GetLastError()) + ")";
    return false;
#else
    if (std::rename(from.c_str(), to.c_str()) == 0)
        return true;
    *error = std::string("cannot rename over ") + to + ": " + std::strerror(errno);
    return false;
#endif
}

} // namespace

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error)
{
    // Beside the target, so the rename stays within one file system; the
    // leading dot keeps node_exporter's textfile collector (which reads
    // *.prom only) away from it.
    std::string folder;
    std::string name = path;
    const size_t slash = path.find_last_of("/\\");
    if (slash != std::string::npos) {
        folder = path.substr(0, slash + 1);
        name = path.substr(slash + 1);
    }
    const std::string temporary = folder + "." + name + ".tmp." + std::to_string(ProcessID());
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        *error = "cannot create " + temporary + ": " + std::strerror(errno);
        return false;
    }
    bool written = text.empty() || std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = std::fflush(file) == 0 && written;
#ifndef _WIN32
    written = fsync(fileno(file)) == 0 && written;
#endif
    const int savedErrno = errno;
    written = std::fclose(file) == 0 && written;
    if (!written) {
        *error = "cannot write " + temporary + ": " + std::strerror(savedErrno);
        std::remove(temporary.c_str());
        return false;
    }
    if (!Replace(temporary, path, error)) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace Host
