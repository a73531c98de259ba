// The memory probe on Linux: /proc/meminfo, the kernel's own account, whose
// MemAvailable estimates what can be had without swapping.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "MemoryInfo.h"

namespace MemoryProbe {

void Read(Info& info)
{
    const long page = sysconf(_SC_PAGESIZE);
    if (page > 0)
        info.pageSize = static_cast<uint64_t>(page);
    std::FILE* file = std::fopen("/proc/meminfo", "r");
    if (file == nullptr) {
        info.missing.push_back("no /proc/meminfo");
        return;
    }
    bool haveFree = false, haveSwapTotal = false, haveSwapFree = false;
    unsigned long long freeKiB = 0, buffersKiB = 0, cachedKiB = 0;
    char line[256];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        char name[64];
        unsigned long long kib = 0;
        if (std::sscanf(line, "%63[^:]: %llu", name, &kib) != 2)
            continue;
        // meminfo says "kB" but means KiB.
        const uint64_t bytes = kib * 1024ull;
        if (std::strcmp(name, "MemTotal") == 0) {
            info.total = bytes;
            info.haveTotal = true;
        } else if (std::strcmp(name, "MemAvailable") == 0) {
            info.available = bytes;
            info.haveAvailable = true;
        } else if (std::strcmp(name, "MemFree") == 0) {
            freeKiB = kib;
            haveFree = true;
        } else if (std::strcmp(name, "Buffers") == 0) {
            buffersKiB = kib;
        } else if (std::strcmp(name, "Cached") == 0) {
            cachedKiB = kib;
        } else if (std::strcmp(name, "SwapTotal") == 0) {
            info.swapTotal = bytes;
            haveSwapTotal = true;
        } else if (std::strcmp(name, "SwapFree") == 0) {
            info.swapFree = bytes;
            haveSwapFree = true;
        }
    }
    std::fclose(file);
    // Kernels before 3.14 have no MemAvailable; free plus the caches is the
    // estimate tools used before.
    if (!info.haveAvailable && haveFree) {
        info.available = (freeKiB + buffersKiB + cachedKiB) * 1024ull;
        info.haveAvailable = true;
    }
    info.haveSwap = haveSwapTotal && haveSwapFree;
}

} // namespace MemoryProbe
