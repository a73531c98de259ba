#include "ModuleFolders.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace Host {

std::string ExecutableFolder()
{
#ifdef _WIN32
    char path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return std::string();
    std::string text(path, length);
#else
    std::error_code error;
    const fs::path resolved = fs::canonical("/proc/self/exe", error);
    if (error)
        return std::string();
    std::string text = resolved.string();
#endif
    const size_t slash = text.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : text.substr(0, slash + 1);
}

namespace {

#ifndef _WIN32
bool IsModuleFile(const fs::path& path)
{
    const std::string extension = path.extension().string();
    return extension == ".tst" || extension == ".intr";
}

// Writable by the group or by everyone, or owned by another user than the
// one running (or root): any of them can put code there.
bool Unsafe(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return false;
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return true;
    return info.st_uid != 0 && info.st_uid != geteuid();
}
#endif

} // namespace

std::vector<std::string> WritableByOthers(const std::string& root)
{
    std::vector<std::string> found;
#ifndef _WIN32
    std::error_code error;
    if (Unsafe(root))
        found.push_back(root);
    fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink,
                                        error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code typeError;
        const bool folder = it->is_directory(typeError);
        if (!folder && !IsModuleFile(it->path()))
            continue;
        const std::string path = it->path().string();
        if (Unsafe(path))
            found.push_back(folder ? path + "/" : path);
    }
#else
    (void)root;
#endif
    return found;
}

int CheckModuleFolders(const GlobalOptions& options)
{
    if (options.allowInsecureModules)
        return kExitOk;
    const std::string root = ExecutableFolder();
    if (root.empty())
        return kExitOk;
    const std::vector<std::string> unsafe = WritableByOthers(root);
    if (unsafe.empty())
        return kExitOk;
    for (const std::string& path : unsafe)
        std::fprintf(stderr, "ulmora: refusing to load modules: %s can be written by other users\n",
                     path.c_str());
    std::fprintf(stderr,
                 "ulmora: make it writable by its owner only (chmod go-w), or run with "
                 "--allow-insecure-modules if you trust every user of this machine\n");
    // Nothing usable was found, as with an empty folder.
    return kExitNoModules;
}

} // namespace Host
