// What the cpu probe learns. The processor's own answers (CPUID on x86) come
// from CpuId.cpp; counts, caches and frequencies the OS knows come from the
// per-OS file. Zero or empty means unknown.
#ifndef ULMORA_PROBE_CPUINFO_H
#define ULMORA_PROBE_CPUINFO_H

#include <cstdint>
#include <string>
#include <vector>

namespace CpuProbe {

struct Info {
    std::string vendor;
    std::string model;
    uint64_t logicalCount = 0;   // online logical processors
    uint64_t availableCount = 0; // those this process may run on
    uint64_t physicalCount = 0;  // cores
    uint64_t packageCount = 0;   // sockets
    double baseHertz = 0;
    double maxHertz = 0;
    uint64_t l1d = 0, l1i = 0, l2 = 0, l3 = 0; // bytes, one instance each
    std::vector<std::string> features;         // lower case, e.g. sse2, avx2
    std::vector<std::string> missing;
};

// CPUID: vendor, model, features usable by the OS, and the frequencies the
// processor names (leaf 0x16, or the brand string's "@ 2.40GHz"). Returns
// false where there is no CPUID (not x86).
bool ReadCpuId(Info& info);

// The OS's view: counts, caches, frequencies, and vendor, model and
// features where the OS tells (its word wins over CPUID's: a hypervisor may
// show the kernel another processor than user programs). Never throws.
void ReadOs(Info& info);

// The x86 feature names the probe reports, in the order it reports them.
std::vector<std::string> FeatureNames();

// "@ 2.40GHz" at the end of a brand string as hertz, or 0.
double BrandFrequency(const std::string& model);

} // namespace CpuProbe

#endif
