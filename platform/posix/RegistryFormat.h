// The registry export format "REGEDIT4", for the file store that stands in
// for the Windows registry elsewhere: reading a file into a tree of keys and
// values, and writing the tree back. Pure text handling; no file access.
#ifndef ULMORA_PLATFORM_POSIX_REGISTRYFORMAT_H
#define ULMORA_PLATFORM_POSIX_REGISTRYFORMAT_H

#include <cstdint>
#include <map>
#include <string>

namespace Ulmora {
namespace Platform {

struct RegistryValue {
    std::string name; // as written; empty for the default value "@"
    uint32_t type = 0;
    std::string data; // the raw bytes
};

struct RegistryKey {
    std::string path; // below the root, components joined by '\', as written
    std::map<std::string, RegistryValue> values; // by lower-case name
};

// Every key of one root, by lower-case path; "" is the root itself. Parents
// come before their children in this order.
struct RegistryTree {
    std::map<std::string, RegistryKey> keys;
};

// ASCII lower case: key and value names compare without case.
std::string RegistryFold(const std::string& name);

// Creates the key and its missing parents. `path` is already normalized.
RegistryKey& RegistryCreateKey(RegistryTree& tree, const std::string& path);
// Removes the key and everything below it; with keepSelf, only its values
// and everything below it.
void RegistryDeleteTree(RegistryTree& tree, const std::string& path, bool keepSelf);

// Parses a whole file for the root named `rootName` ("HKEY_CURRENT_USER").
// False, with `error` set and `tree` untouched, when the text is not a
// complete REGEDIT4 file of that root.
bool ParseRegistryFile(const std::string& text, const std::string& rootName, RegistryTree& tree,
                       std::string& error);
std::string FormatRegistryFile(const RegistryTree& tree, const std::string& rootName);

} // namespace Platform
} // namespace Ulmora

#endif
