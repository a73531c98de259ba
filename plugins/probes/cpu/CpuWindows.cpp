// The cpu probe on Windows: GetLogicalProcessorInformation for cores,
// packages and caches, GetNativeSystemInfo and the affinity mask for
// counts, and the processor's registry entry for a frequency CPUID keeps to
// itself.
#define NOMINMAX
#include <windows.h>

#include "CpuInfo.h"

namespace CpuProbe {
namespace {

uint64_t Bits(ULONG_PTR mask)
{
    uint64_t count = 0;
    for (; mask != 0; mask &= mask - 1)
        ++count;
    return count;
}

void ReadProcessorInformation(Info& info)
{
    DWORD size = 0;
    GetLogicalProcessorInformation(nullptr, &size);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return;
    std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> entries(size / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION) + 1);
    size = static_cast<DWORD>(entries.size() * sizeof entries[0]);
    if (!GetLogicalProcessorInformation(entries.data(), &size))
        return;
    entries.resize(size / sizeof entries[0]);
    uint64_t logical = 0;
    for (const SYSTEM_LOGICAL_PROCESSOR_INFORMATION& entry : entries) {
        switch (entry.Relationship) {
        case RelationProcessorCore:
            ++info.physicalCount;
            logical += Bits(entry.ProcessorMask);
            break;
        case RelationProcessorPackage:
            ++info.packageCount;
            break;
        case RelationCache: {
            const CACHE_DESCRIPTOR& cache = entry.Cache;
            uint64_t* slot = nullptr;
            if (cache.Level == 1 && cache.Type == CacheData)
                slot = &info.l1d;
            else if (cache.Level == 1 && cache.Type == CacheInstruction)
                slot = &info.l1i;
            else if (cache.Level == 2)
                slot = &info.l2;
            else if (cache.Level == 3)
                slot = &info.l3;
            if (slot != nullptr && *slot == 0)
                *slot = cache.Size;
            break;
        }
        default:
            break;
        }
    }
    if (logical != 0)
        info.logicalCount = logical;
}

DWORD RegistryMegahertz()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(key, "~MHz", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        value = 0;
    RegCloseKey(key);
    return value;
}

} // namespace

void ReadOs(Info& info)
{
    ReadProcessorInformation(info);
    if (info.logicalCount == 0) {
        SYSTEM_INFO system {};
        GetNativeSystemInfo(&system);
        info.logicalCount = system.dwNumberOfProcessors;
    }
    DWORD_PTR process = 0, system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0)
        info.availableCount = Bits(process);
    else
        info.availableCount = info.logicalCount;
    if (info.baseHertz == 0) {
        const DWORD megahertz = RegistryMegahertz();
        if (megahertz != 0)
            info.baseHertz = megahertz * 1e6;
    }
}

} // namespace CpuProbe
