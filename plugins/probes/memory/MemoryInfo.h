// What the memory probe learns from the OS, in bytes; each OS file names
// what it could not learn in `missing`.
#ifndef ULMORA_PROBE_MEMORYINFO_H
#define ULMORA_PROBE_MEMORYINFO_H

#include <cstdint>
#include <string>
#include <vector>

namespace MemoryProbe {

struct Info {
    bool haveTotal = false, haveAvailable = false, haveSwap = false;
    uint64_t total = 0;
    uint64_t available = 0;
    uint64_t swapTotal = 0;
    uint64_t swapFree = 0;
    uint64_t pageSize = 0;
    std::vector<std::string> missing;
};

// Never throws.
void Read(Info& info);

} // namespace MemoryProbe

#endif
