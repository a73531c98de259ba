#include "platform/Directory.h"
#include "platform/win32/ErrorText.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace Ulmora {
namespace Platform {

const bool kCaseInsensitivePaths = true;

namespace {

std::string WithSeparator(const std::string& directory)
{
    if (directory.empty())
        return std::string(".\\");
    const char last = directory.back();
    return (last == '\\' || last == '/') ? directory : directory + '\\';
}

} // namespace

bool ReadDirectory(const std::string& directory, std::vector<DirectoryEntry>* entries,
                   DirectoryIdentity* identity, bool* hasIdentity, std::string* error)
{
    entries->clear();
    if (hasIdentity != nullptr)
        *hasIdentity = false;
    const std::string prefix = WithSeparator(directory);
    WIN32_FIND_DATAA data;
    HANDLE search = ::FindFirstFileA((prefix + "*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        if (error != nullptr)
            *error = Win32ErrorText(::GetLastError(), directory);
        return false;
    }
    do {
        DirectoryEntry item;
        item.name = data.cFileName;
        item.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entries->push_back(std::move(item));
    } while (::FindNextFileA(search, &data));
    const DWORD code = ::GetLastError();
    ::FindClose(search);
    if (code != ERROR_NO_MORE_FILES) {
        if (error != nullptr)
            *error = Win32ErrorText(code, directory);
        return false;
    }

    if (identity != nullptr) {
        // Opening the directory follows junctions and links, so every path
        // to the same directory yields the same volume serial and file index.
        HANDLE handle = ::CreateFileA(prefix.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            BY_HANDLE_FILE_INFORMATION info;
            if (::GetFileInformationByHandle(handle, &info)) {
                identity->volume = info.dwVolumeSerialNumber;
                identity->file = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
                if (hasIdentity != nullptr)
                    *hasIdentity = true;
            }
            ::CloseHandle(handle);
        }
    }
    return true;
}

bool IsDirectory(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string LastPathComponent(const std::string& path)
{
    const std::string::size_type cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

} // namespace Platform
} // namespace Ulmora
