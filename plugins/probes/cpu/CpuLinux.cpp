// The cpu probe on Linux: sysconf and the affinity mask for counts, the
// sysfs topology and cache folders, cpufreq for frequencies, and
// /proc/cpuinfo for vendor, model and features.
#include <sched.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <utility>

#include "CpuInfo.h"

namespace CpuProbe {
namespace {

const std::string kCpus = "/sys/devices/system/cpu/";

// The first line of a small sysfs file, or empty.
std::string Line(const std::string& path)
{
    std::string text;
    if (std::FILE* file = std::fopen(path.c_str(), "r")) {
        char buffer[512];
        if (std::fgets(buffer, sizeof buffer, file) != nullptr)
            text = buffer;
        std::fclose(file);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// A cpu list such as "0-3,8,10-11".
std::vector<unsigned> CpuList(const std::string& text)
{
    std::vector<unsigned> cpus;
    std::stringstream stream(text);
    for (std::string range; std::getline(stream, range, ',');) {
        unsigned first = 0, last = 0;
        const int got = std::sscanf(range.c_str(), "%u-%u", &first, &last);
        if (got == 1)
            last = first;
        if (got >= 1 && last >= first && last - first < 65536)
            for (unsigned cpu = first; cpu <= last; ++cpu)
                cpus.push_back(cpu);
    }
    return cpus;
}

// "48K", "1M", "32768" as bytes.
uint64_t Size(const std::string& text)
{
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (end == text.c_str())
        return 0;
    switch (*end) {
    case 'K': return value * 1024ull;
    case 'M': return value * 1024ull * 1024ull;
    case 'G': return value * 1024ull * 1024ull * 1024ull;
    default: return value;
    }
}

void ReadTopology(Info& info)
{
    std::vector<unsigned> online = CpuList(Line(kCpus + "online"));
    std::set<std::string> cores;
    std::set<std::string> packages;
    for (unsigned cpu : online) {
        const std::string topology = kCpus + "cpu" + std::to_string(cpu) + "/topology/";
        const std::string package = Line(topology + "physical_package_id");
        std::string siblings = Line(topology + "core_cpus_list");
        if (siblings.empty())
            siblings = Line(topology + "thread_siblings_list");
        if (package.empty() || siblings.empty())
            continue;
        packages.insert(package);
        // A core is the set of logical processors sharing it.
        cores.insert(siblings);
    }
    info.physicalCount = cores.size();
    info.packageCount = packages.size();
    if (info.logicalCount == 0)
        info.logicalCount = online.size();
}

void ReadCaches(Info& info)
{
    for (int index = 0; index < 16; ++index) {
        const std::string folder = kCpus + "cpu0/cache/index" + std::to_string(index) + "/";
        const std::string level = Line(folder + "level");
        if (level.empty())
            break;
        const std::string type = Line(folder + "type");
        const uint64_t size = Size(Line(folder + "size"));
        if (level == "1" && type == "Data")
            info.l1d = size;
        else if (level == "1" && type == "Instruction")
            info.l1i = size;
        else if (level == "2")
            info.l2 = size;
        else if (level == "3")
            info.l3 = size;
    }
}

void ReadFrequencies(Info& info)
{
    // cpufreq speaks kHz. Its maximum is the OS's own word and wins over
    // CPUID; base_frequency exists with intel_pstate only.
    const std::string folder = kCpus + "cpu0/cpufreq/";
    const double base = std::atof(Line(folder + "base_frequency").c_str());
    const double max = std::atof(Line(folder + "cpuinfo_max_freq").c_str());
    if (base > 0)
        info.baseHertz = base * 1e3;
    if (max > 0)
        info.maxHertz = max * 1e3;
}

// The first processor's entry in /proc/cpuinfo; field names differ by
// architecture. On x86 the kernel's flags are kept where the probe knows the
// feature, under the probe's names.
void ReadCpuInfo(Info& info)
{
    std::ifstream file("/proc/cpuinfo");
    std::string vendor, model, flags;
    for (std::string line; std::getline(file, line) && !line.empty();) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name = line.substr(0, colon);
        while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
            name.pop_back();
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        if (vendor.empty() && (name == "vendor_id" || name == "CPU implementer" || name == "vendor"))
            vendor = value;
        else if (model.empty() && (name == "model name" || name == "Processor" || name == "cpu model" ||
                                   name == "uarch" || name == "cpu"))
            model = value;
        else if (flags.empty() && (name == "flags" || name == "Features" || name == "isa"))
            flags = value;
    }
    if (!vendor.empty())
        info.vendor = vendor;
    if (!model.empty())
        info.model = model;
    if (flags.empty())
        return;
    std::set<std::string> words;
    std::stringstream stream(flags);
    for (std::string word; stream >> word;)
        words.insert(word);
    const std::vector<std::string> known = FeatureNames();
    if (words.count("sse2") == 0) {
        // Not x86: the kernel's words are all there is.
        info.features.assign(words.begin(), words.end());
        return;
    }
    const std::map<std::string, std::string> kernelNames = {
        {"sse3", "pni"}, {"sha", "sha_ni"}, {"avx512vnni", "avx512_vnni"}};
    info.features.clear();
    for (const std::string& name : known) {
        const auto renamed = kernelNames.find(name);
        if (words.count(renamed != kernelNames.end() ? renamed->second : name) != 0)
            info.features.push_back(name);
    }
}

} // namespace

void ReadOs(Info& info)
{
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    if (online > 0)
        info.logicalCount = static_cast<uint64_t>(online);
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        info.availableCount = static_cast<uint64_t>(CPU_COUNT(&set));
    else
        info.availableCount = info.logicalCount;  // more than CPU_SETSIZE processors
    ReadTopology(info);
    ReadCaches(info);
    ReadFrequencies(info);
    ReadCpuInfo(info);
    if (info.baseHertz == 0)
        info.baseHertz = BrandFrequency(info.model);
}

} // namespace CpuProbe
