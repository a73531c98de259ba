#include <sched.h>
#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "BandwidthOs.h"

namespace Bandwidth {

namespace {

bool ReadLine(const std::string& path, std::string& line)
{
    std::ifstream file(path);
    return static_cast<bool>(std::getline(file, line));
}

// "32768K" or "2M" as sysfs writes cache sizes.
uint64_t ParseSize(const std::string& text)
{
    char* end = nullptr;
    const unsigned long long number = std::strtoull(text.c_str(), &end, 10);
    if (end == text.c_str())
        return 0;
    switch (*end) {
    case 'K': return number << 10;
    case 'M': return number << 20;
    case 'G': return number << 30;
    default: return number;
    }
}

} // namespace

uint64_t LastLevelCacheBytes()
{
    uint64_t best = 0;
    int bestLevel = 0;
    for (int index = 0; index < 16; ++index) {
        const std::string base = "/sys/devices/system/cpu/cpu0/cache/index" + std::to_string(index) + "/";
        std::string level;
        std::string type;
        std::string size;
        if (!ReadLine(base + "level", level))
            break;
        if (!ReadLine(base + "type", type) || type == "Instruction" || !ReadLine(base + "size", size))
            continue;
        const int levelNumber = std::atoi(level.c_str());
        const uint64_t bytes = ParseSize(size);
        if (levelNumber > bestLevel || (levelNumber == bestLevel && bytes > best)) {
            bestLevel = levelNumber;
            best = bytes;
        }
    }
    return best;
}

uint64_t AvailableMemoryBytes()
{
    std::ifstream file("/proc/meminfo");
    for (std::string line; std::getline(file, line);) {
        unsigned long long kib = 0;
        if (std::sscanf(line.c_str(), "MemAvailable: %llu kB", &kib) == 1)
            return static_cast<uint64_t>(kib) * 1024;
    }
    return 0;
}

unsigned UsableLogicalCpus()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return 0;
    return static_cast<unsigned>(CPU_COUNT(&set));
}

double* AllocateArray(size_t bytes)
{
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return nullptr;
    // Only advice: where transparent huge pages are off, small pages serve.
    madvise(memory, bytes, MADV_HUGEPAGE);
    return static_cast<double*>(memory);
}

void FreeArray(double* array, size_t bytes)
{
    if (array != nullptr)
        munmap(array, bytes);
}

} // namespace Bandwidth
