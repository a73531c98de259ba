// The processor's own description through CPUID, on x86 and x86_64 only.
#include <cstdlib>
#include <cstring>

#include "CpuInfo.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace CpuProbe {

namespace {

// Where CPUID keeps a feature's bit: leaf 1 ECX/EDX, leaf 7 EBX/ECX, leaf
// 0x80000001 ECX/EDX; and which register state the OS must save for the
// feature to be usable.
enum Register { k1C, k1D, k7B, k7C, kE1C, kE1D };
enum State { kPlain, kYmm, kZmm };
struct Feature {
    const char* name;
    Register reg;
    unsigned bit;
    State state;
};
const Feature kFeatures[] = {
    {"mmx", k1D, 23, kPlain},         {"sse", k1D, 25, kPlain},
    {"sse2", k1D, 26, kPlain},        {"sse3", k1C, 0, kPlain},
    {"pclmulqdq", k1C, 1, kPlain},    {"ssse3", k1C, 9, kPlain},
    {"fma", k1C, 12, kYmm},           {"cx16", k1C, 13, kPlain},
    {"sse4_1", k1C, 19, kPlain},      {"sse4_2", k1C, 20, kPlain},
    {"movbe", k1C, 22, kPlain},       {"popcnt", k1C, 23, kPlain},
    {"aes", k1C, 25, kPlain},         {"xsave", k1C, 26, kPlain},
    {"avx", k1C, 28, kYmm},           {"f16c", k1C, 29, kYmm},
    {"rdrand", k1C, 30, kPlain},      {"hypervisor", k1C, 31, kPlain},
    {"bmi1", k7B, 3, kPlain},         {"avx2", k7B, 5, kYmm},
    {"bmi2", k7B, 8, kPlain},         {"avx512f", k7B, 16, kZmm},
    {"avx512dq", k7B, 17, kZmm},      {"rdseed", k7B, 18, kPlain},
    {"adx", k7B, 19, kPlain},         {"avx512ifma", k7B, 21, kZmm},
    {"avx512cd", k7B, 28, kZmm},      {"sha", k7B, 29, kPlain},
    {"avx512bw", k7B, 30, kZmm},      {"avx512vl", k7B, 31, kZmm},
    {"avx512vbmi", k7C, 1, kZmm},     {"vaes", k7C, 9, kYmm},
    {"vpclmulqdq", k7C, 10, kYmm},    {"avx512vnni", k7C, 11, kZmm},
    {"lahf_lm", kE1C, 0, kPlain},     {"abm", kE1C, 5, kPlain},
    {"sse4a", kE1C, 6, kPlain},       {"fma4", kE1C, 16, kYmm},
    {"nx", kE1D, 20, kPlain},         {"lm", kE1D, 29, kPlain},
};

} // namespace

std::vector<std::string> FeatureNames()
{
    std::vector<std::string> names;
    for (const Feature& feature : kFeatures)
        names.push_back(feature.name);
    return names;
}

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

    const unsigned registers[] = {one.c, one.d, seven.b, seven.c, extended.c, extended.d};
    for (const Feature& feature : kFeatures) {
        const bool usable = feature.state == kPlain || (feature.state == kYmm && ymm) || (feature.state == kZmm && zmm);
        if (usable && ((registers[feature.reg] >> feature.bit) & 1))
            info.features.push_back(feature.name);
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
