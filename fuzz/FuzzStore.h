// A private store folder for the store fuzzers, on a memory file system
// where the store's flushes to disk cost nothing.
#ifndef ULMORA_FUZZ_FUZZSTORE_H
#define ULMORA_FUZZ_FUZZSTORE_H

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "ulmora/Registry.h"

namespace UlmoraFuzz {

inline const std::string& StoreDirectory()
{
    static const std::string directory = [] {
        std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string path = base + "/ulmora-fuzz-" + std::to_string(getpid());
        UlmoraSetRegistryDirectory(path.c_str());
        return path;
    }();
    return directory;
}

inline std::string StoreFile()
{
    return StoreDirectory() + "/HKEY_CURRENT_USER.reg";
}

inline std::string ReadStoreFile()
{
    std::ifstream in(StoreFile(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void Fail(const char* what, const std::string& detail = std::string())
{
    std::fprintf(stderr, "store fuzzer: %s %s\n", what, detail.c_str());
    std::abort();
}

} // namespace UlmoraFuzz

#endif
