// Settings profiles in the registry editor's export format: REGEDIT4 (what
// `ulmora config export` writes) and "Windows Registry Editor Version 5.00"
// in UTF-16LE with a byte-order mark (what Windows' editor writes).
#ifndef ULMORA_HOST_PROFILE_H
#define ULMORA_HOST_PROFILE_H

#include <cstdint>
#include <string>
#include <vector>

namespace Host {

struct ProfileValue {
    enum Kind { Text, Dword, Hex, Delete };
    int line = 0;
    std::string name;  // empty for the key's default value ("@")
    Kind kind = Text;
    std::string text;  // Text: the string; Hex: the type it named ("hex(7)")
    uint32_t dword = 0;
};

struct ProfileKey {
    int line = 0;
    std::string root;  // "HKEY_CURRENT_USER"
    std::string path;  // below the root, backslash-separated, may be empty
    bool remove = false;  // [-KEY]
    std::vector<ProfileValue> values;
};

struct ProfileError {
    int line;
    std::string message;
};

// Reads a profile's bytes: UTF-16LE with a byte-order mark is converted to
// UTF-8, anything else is taken as 8-bit text. Every malformed line adds an
// error; the keys read are returned either way.
std::vector<ProfileKey> ReadProfile(const std::string& bytes, std::vector<ProfileError>* errors);

// A REGEDIT4 text of `keys` (text values only), with CRLF line ends as the
// registry editor writes them.
std::string WriteProfile(const std::vector<ProfileKey>& keys);

} // namespace Host

#endif
