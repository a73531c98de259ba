#include "platform/Directory.h"
#include "platform/posix/ErrorText.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace Ulmora {
namespace Platform {

const bool kCaseInsensitivePaths = false;

namespace {

bool StatIsDirectory(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

bool ReadDirectory(const std::string& directory, std::vector<DirectoryEntry>* entries,
                   DirectoryIdentity* identity, bool* hasIdentity, std::string* error)
{
    entries->clear();
    if (hasIdentity != nullptr)
        *hasIdentity = false;
    DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
    if (dir == nullptr) {
        if (error != nullptr)
            *error = ErrnoText(errno, directory);
        return false;
    }
    struct stat self;
    if (identity != nullptr && ::fstat(::dirfd(dir), &self) == 0) {
        identity->volume = static_cast<uint64_t>(self.st_dev);
        identity->file = static_cast<uint64_t>(self.st_ino);
        if (hasIdentity != nullptr)
            *hasIdentity = true;
    }
    std::string prefix = directory;
    if (!prefix.empty() && prefix.back() != '/')
        prefix += '/';
    errno = 0;
    while (struct dirent* entry = ::readdir(dir)) {
        DirectoryEntry item;
        item.name = entry->d_name;
        // The entry type saves a stat call where the file system reports it;
        // links and unknown types are resolved the slow way.
        if (entry->d_type == DT_DIR)
            item.isDirectory = true;
        else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN)
            item.isDirectory = StatIsDirectory(prefix + item.name);
        else
            item.isDirectory = false;
        entries->push_back(std::move(item));
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0) {
        if (error != nullptr)
            *error = ErrnoText(readError, directory);
        return false;
    }
    return true;
}

bool IsDirectory(const std::string& path)
{
    return StatIsDirectory(path);
}

std::string LastPathComponent(const std::string& path)
{
    const std::string::size_type cut = path.rfind('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

} // namespace Platform
} // namespace Ulmora
