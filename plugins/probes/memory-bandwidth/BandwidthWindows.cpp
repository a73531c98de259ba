#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <vector>

#include "BandwidthOs.h"

namespace Bandwidth {

uint64_t LastLevelCacheBytes()
{
    DWORD length = 0;
    GetLogicalProcessorInformation(nullptr, &length);
    if (length == 0)
        return 0;
    std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> entries(length / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION) + 1);
    length = static_cast<DWORD>(entries.size() * sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
    if (!GetLogicalProcessorInformation(entries.data(), &length))
        return 0;
    entries.resize(length / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
    uint64_t best = 0;
    int bestLevel = 0;
    for (const SYSTEM_LOGICAL_PROCESSOR_INFORMATION& entry : entries) {
        if (entry.Relationship != RelationCache || entry.Cache.Type == CacheInstruction)
            continue;
        const int level = entry.Cache.Level;
        if (level > bestLevel || (level == bestLevel && entry.Cache.Size > best)) {
            bestLevel = level;
            best = entry.Cache.Size;
        }
    }
    return best;
}

uint64_t AvailableMemoryBytes()
{
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return 0;
    // A 32-bit process is also bounded by its own address space.
    return std::min<uint64_t>(status.ullAvailPhys, status.ullAvailVirtual);
}

unsigned UsableLogicalCpus()
{
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system))
        return 0;
    unsigned count = 0;
    for (; process != 0; process &= process - 1)
        ++count;
    return count;
}

double* AllocateArray(size_t bytes)
{
    return static_cast<double*>(VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
}

void FreeArray(double* array, size_t)
{
    if (array != nullptr)
        VirtualFree(array, 0, MEM_RELEASE);
}

} // namespace Bandwidth
