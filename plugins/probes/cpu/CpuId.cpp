// The processor's own description through CPUID, on x86 and x86_64 only.
#include <cstdlib>
#include <cstring>

#include "CpuInfo.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace CpuProbe {

double BrandFrequency(const std::string& model)
{
    const size_t at = model.rfind('@');
    if (at == std::string::npos)
        return 0;
    char* end = nullptr;
    const double value = std::strtod(model.c_str() + at + 1, &end);
    if (end == nullptr || value <= 0)
        return 0;
    while (*end == ' ')
        ++end;
    if (std::strncmp(end, "GHz", 3) == 0)
        return value * 1e9;
    if (std::strncmp(end, "MHz", 3) == 0)
        return value * 1e6;
    return 0;
}

#if defined(__i386__) || defined(__x86_64__)

namespace {

struct Registers {
    unsigned a = 0, b = 0, c = 0, d = 0;
};

Registers Leaf(unsigned leaf, unsigned subleaf = 0)
{
    Registers r;
    __cpuid_count(leaf, subleaf, r.a, r.b, r.c, r.d);
    return r;
}

// The state components the OS saves on a context switch (XCR0): AVX is
// usable only when the OS saves the YMM registers, AVX-512 only with ZMM.
unsigned long long EnabledStates()
{
    unsigned lo = 0, hi = 0;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return (static_cast<unsigned long long>(hi) << 32) | lo;
}

std::string Trimmed(const char* text)
{
    std::string s(text);
    const size_t first = s.find_first_not_of(' ');
    const size_t last = s.find_last_not_of(' ');
    if (first == std::string::npos)
        return "";
    s = s.substr(first, last - first + 1);
    // Some brand strings pad between words too.
    std::string out;
    for (char c : s) {
        if (c != ' ' || out.empty() || out.back() != ' ')
            out += c;
    }
    return out;
}

} // namespace

bool ReadCpuId(Info& info)
{
    if (__get_cpuid_max(0, nullptr) == 0)
        return false;
    const Registers zero = Leaf(0);
    const unsigned maxLeaf = zero.a;
    char vendor[13] = {};
    std::memcpy(vendor, &zero.b, 4);
    std::memcpy(vendor + 4, &zero.d, 4);
    std::memcpy(vendor + 8, &zero.c, 4);
    info.vendor = vendor;

    const unsigned maxExtended = Leaf(0x80000000).a;
    if (maxExtended >= 0x80000004) {
        char brand[49] = {};
        for (unsigned i = 0; i < 3; ++i) {
            const Registers r = Leaf(0x80000002 + i);
            std::memcpy(brand + 16 * i, &r, 16);
        }
        info.model = Trimmed(brand);
    }

    const Registers one = maxLeaf >= 1 ? Leaf(1) : Registers();
    const Registers seven = maxLeaf >= 7 ? Leaf(7) : Registers();
    const Registers extended = maxExtended >= 0x80000001 ? Leaf(0x80000001) : Registers();
    const bool osSaves = (one.c >> 27) & 1;
    const unsigned long long states = osSaves ? EnabledStates() : 0;
    const bool ymm = (states & 0x6) == 0x6;
    const bool zmm = ymm && (states & 0xE0) == 0xE0;

    const struct {
        const char* name;
        const unsigned& reg;
        unsigned bit;
        bool usable;
    } bits[] = {
        {"mmx", one.d, 23, true},         {"sse", one.d, 25, true},
        {"sse2", one.d, 26, true},        {"sse3", one.c, 0, true},
        {"pclmulqdq", one.c, 1, true},    {"ssse3", one.c, 9, true},
        {"fma", one.c, 12, ymm},          {"cx16", one.c, 13, true},
        {"sse4_1", one.c, 19, true},      {"sse4_2", one.c, 20, true},
        {"movbe", one.c, 22, true},       {"popcnt", one.c, 23, true},
        {"aes", one.c, 25, true},         {"xsave", one.c, 26, true},
        {"avx", one.c, 28, ymm},          {"f16c", one.c, 29, ymm},
        {"rdrand", one.c, 30, true},      {"hypervisor", one.c, 31, true},
        {"bmi1", seven.b, 3, true},       {"avx2", seven.b, 5, ymm},
        {"bmi2", seven.b, 8, true},       {"avx512f", seven.b, 16, zmm},
        {"avx512dq", seven.b, 17, zmm},   {"rdseed", seven.b, 18, true},
        {"adx", seven.b, 19, true},       {"avx512ifma", seven.b, 21, zmm},
        {"avx512cd", seven.b, 28, zmm},   {"sha", seven.b, 29, true},
        {"avx512bw", seven.b, 30, zmm},   {"avx512vl", seven.b, 31, zmm},
        {"avx512vbmi", seven.c, 1, zmm},  {"vaes", seven.c, 9, ymm},
        {"vpclmulqdq", seven.c, 10, ymm}, {"avx512vnni", seven.c, 11, zmm},
        {"lahf_lm", extended.c, 0, true}, {"abm", extended.c, 5, true},
        {"sse4a", extended.c, 6, true},   {"fma4", extended.c, 16, ymm},
        {"nx", extended.d, 20, true},     {"lm", extended.d, 29, true},
    };
    for (const auto& bit : bits) {
        if (bit.usable && ((bit.reg >> bit.bit) & 1))
            info.features.push_back(bit.name);
    }

    // Leaf 0x16 names base and maximum frequency in MHz on newer Intel
    // processors; elsewhere an Intel brand string ends in "@ 2.40GHz".
    if (maxLeaf >= 0x16) {
        const Registers freq = Leaf(0x16);
        if ((freq.a & 0xFFFF) != 0)
            info.baseHertz = (freq.a & 0xFFFF) * 1e6;
        if ((freq.b & 0xFFFF) != 0)
            info.maxHertz = (freq.b & 0xFFFF) * 1e6;
    }
    if (info.baseHertz == 0)
        info.baseHertz = BrandFrequency(info.model);
    return true;
}

#else

bool ReadCpuId(Info&)
{
    return false;
}

#endif

} // namespace CpuProbe
