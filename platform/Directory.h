// Reading directories and taking paths apart.
#ifndef ULMORA_PLATFORM_DIRECTORY_H
#define ULMORA_PLATFORM_DIRECTORY_H

#include <cstdint>
#include <string>
#include <vector>

namespace Ulmora {
namespace Platform {

// Whether the file system ignores the case of names (Windows).
extern const bool kCaseInsensitivePaths;

struct DirectoryEntry {
    std::string name;  // as the file system reports it
    bool isDirectory;  // following symbolic links and junctions
};

// Identifies a directory on this machine, whatever path leads to it
// (device and inode; volume serial number and file index on Windows).
struct DirectoryIdentity {
    uint64_t volume;
    uint64_t file;
    bool operator==(const DirectoryIdentity& o) const { return volume == o.volume && file == o.file; }
};

// Lists `directory` (ending in a separator or not) in the order the platform
// returns its entries, "." and ".." included. `identity`, when given and
// known, receives the directory's identity and `hasIdentity` is set.
// Failure: false; `error`, when given, receives a readable reason.
bool ReadDirectory(const std::string& directory, std::vector<DirectoryEntry>* entries,
                   DirectoryIdentity* identity, bool* hasIdentity, std::string* error = nullptr);

// True when `path` names a directory (following links).
bool IsDirectory(const std::string& path);

// The part of `path` after its last separator (the whole path if none).
std::string LastPathComponent(const std::string& path);

// Matches a file name against a wildcard pattern ('*' any run, '?' any one
// character) without regard to ASCII case, as the Windows file search does.
bool MatchWildcard(const char* pattern, const char* name);

} // namespace Platform
} // namespace Ulmora

#endif
