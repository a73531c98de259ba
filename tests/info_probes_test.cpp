// The six info probes through a real host process, each checked against a
// route of its own: the files and commands a person would consult (Linux),
// or plausibility where only the probes' own OS interfaces exist (Windows).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <dirent.h>
#include <sys/utsname.h>
#include <unistd.h>
#endif

#include "InfoFixturePaths.h"

namespace {

using Results = std::map<std::string, std::vector<std::string>>;

const std::string kRoot = INFO_FIXTURE_ROOT;
const std::string kSep = INFO_FIXTURE_SEPARATOR;

// Runs the fixture host once per test case and parses its key<TAB>value lines.
Results RunProbes()
{
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    const std::string out = kRoot + kSep + "results." + test->test_suite_name() + "." + test->name() + ".out";
    std::remove(out.c_str());
    const std::string command = kRoot + kSep + "host" + INFO_EXECUTABLE_SUFFIX + " " + out;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    Results results;
    std::ifstream file(out, std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t tab = line.find('\t');
        if (tab != std::string::npos)
            results[line.substr(0, tab)].push_back(line.substr(tab + 1));
    }
    EXPECT_FALSE(results.empty()) << command;
    return results;
}

std::string One(const Results& results, const std::string& key)
{
    const auto found = results.find(key);
    if (found == results.end() || found->second.size() != 1) {
        ADD_FAILURE() << key << " missing or not single";
        return "";
    }
    return found->second[0];
}

unsigned long long Count(const Results& results, const std::string& key)
{
    const std::string text = One(results, key);
    EXPECT_TRUE(!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) << key << "=" << text;
    return std::strtoull(text.c_str(), nullptr, 10);
}

double Number(const Results& results, const std::string& key)
{
    return std::strtod(One(results, key).c_str(), nullptr);
}

bool Has(const Results& results, const std::string& key)
{
    return results.count(key) != 0;
}

// Every probe says how complete its answer is, and none gives up.
TEST(InfoProbes, EveryProbeReportsOkOrPartial)
{
    const Results results = RunProbes();
    for (const char* probe : {"system", "cpu", "memory", "storage", "graphics", "timer"}) {
        const std::string status = One(results, std::string(probe) + ".status");
        EXPECT_TRUE(status == "ok" || (status.compare(0, 9, "partial: ") == 0 && status.size() > 9))
            << probe << ": " << status;
    }
    // Keys are lower case and numbers carry their unit as the last word.
    for (const auto& entry : results) {
        const std::string& key = entry.first;
        EXPECT_EQ(key, [&] {
            std::string lower = key;
            std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
            return lower;
        }()) << key;
    }
}

TEST(InfoProbes, TimerFiguresArePlausible)
{
    const Results results = RunProbes();
    for (const char* key : {"timer.monotonic.resolution_seconds", "timer.wall.resolution_seconds"}) {
        const double value = Number(results, key);
        EXPECT_GT(value, 0) << key;
        EXPECT_LE(value, 0.1) << key;
    }
    const double cost = Number(results, "timer.monotonic.read_cost_seconds");
    EXPECT_GT(cost, 0);
    EXPECT_LT(cost, 1e-3);
    // A clock cannot step finer than the OS says it counts.
    if (Has(results, "timer.monotonic.reported_resolution_seconds")) {
        EXPECT_GE(Number(results, "timer.monotonic.resolution_seconds") * 1.000001,
                  Number(results, "timer.monotonic.reported_resolution_seconds"));
    }
}

#ifndef _WIN32

std::string Command(const std::string& command)
{
    std::string text;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, got);
        pclose(pipe);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string FileLine(const std::string& path)
{
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// "NAME=value" lines of a file such as /etc/os-release, quotes removed.
std::map<std::string, std::string> Assignments(const std::string& path)
{
    std::map<std::string, std::string> values;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        std::string value = line.substr(equals + 1);
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\''))
            value = value.substr(1, value.size() - 2);
        values[line.substr(0, equals)] = value;
    }
    return values;
}

// "Name:   1234 kB" lines of /proc/meminfo, in bytes.
std::map<std::string, unsigned long long> MemInfo()
{
    std::map<std::string, unsigned long long> values;
    std::ifstream file("/proc/meminfo");
    for (std::string name, unit; file >> name;) {
        unsigned long long value = 0;
        file >> value;
        std::getline(file, unit);
        name.pop_back();  // the colon
        values[name] = value * (unit.find("kB") != std::string::npos ? 1024 : 1);
    }
    return values;
}

TEST(InfoProbes, SystemMatchesOsReleaseUnameAndHostname)
{
    const double uptimeBefore = std::strtod(FileLine("/proc/uptime").c_str(), nullptr);
    const Results results = RunProbes();
    const double uptimeAfter = std::strtod(FileLine("/proc/uptime").c_str(), nullptr);

    auto release = Assignments("/etc/os-release");
    if (release.empty())
        release = Assignments("/usr/lib/os-release");
    ASSERT_FALSE(release.empty());
    EXPECT_EQ(One(results, "system.os.name"), release["NAME"]);
    if (release.count("VERSION_ID")) {
        EXPECT_EQ(One(results, "system.os.version"), release["VERSION_ID"]);
    }
    if (release.count("PRETTY_NAME")) {
        EXPECT_EQ(One(results, "system.os.pretty_name"), release["PRETTY_NAME"]);
    }
    EXPECT_EQ(One(results, "system.kernel.name"), Command("uname -s"));
    EXPECT_EQ(One(results, "system.kernel.version"), Command("uname -r"));
    EXPECT_EQ(One(results, "system.hostname"), Command("hostname"));
    EXPECT_EQ(Count(results, "system.process.bits"), 8 * sizeof(void*));

    const std::map<std::string, std::string> arch = {
        {"x86_64", "x86_64"}, {"i686", "x86"}, {"i386", "x86"}, {"aarch64", "arm64"}, {"armv7l", "arm"}};
    const std::string machine = Command("uname -m");
    EXPECT_EQ(One(results, "system.arch"), arch.count(machine) ? arch.at(machine) : machine);

    const double uptime = Number(results, "system.uptime_seconds");
    EXPECT_GE(uptime, uptimeBefore);
    EXPECT_LE(uptime, uptimeAfter);
}

TEST(InfoProbes, CpuCountsMatchSysconfNprocAndSysfsTopology)
{
    const Results results = RunProbes();
    EXPECT_EQ(Count(results, "cpu.logical_count"), static_cast<unsigned long long>(sysconf(_SC_NPROCESSORS_ONLN)));
    EXPECT_EQ(Count(results, "cpu.available_count"), std::stoull(Command("nproc")));

    // Cores as lscpu counts them: distinct (package, core) pairs of the
    // online processors.
    std::set<std::pair<std::string, std::string>> cores;
    std::set<std::string> packages;
    std::stringstream online(FileLine("/sys/devices/system/cpu/online"));
    for (std::string range; std::getline(online, range, ',');) {
        unsigned first = 0, last = 0;
        if (std::sscanf(range.c_str(), "%u-%u", &first, &last) == 1)
            last = first;
        for (unsigned cpu = first; cpu <= last; ++cpu) {
            const std::string topology = "/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/topology/";
            const std::string package = FileLine(topology + "physical_package_id");
            cores.insert({package, FileLine(topology + "core_id")});
            packages.insert(package);
        }
    }
    EXPECT_EQ(Count(results, "cpu.physical_count"), cores.size());
    EXPECT_EQ(Count(results, "cpu.package_count"), packages.size());
}

TEST(InfoProbes, CpuCachesMatchLscpu)
{
    const std::string table = Command("lscpu -B -C=NAME,ONE-SIZE 2>/dev/null");
    if (table.empty())
        GTEST_SKIP() << "lscpu cannot list caches here";
    const Results results = RunProbes();
    std::istringstream lines(table);
    std::string header;
    std::getline(lines, header);
    const std::map<std::string, std::string> keys = {
        {"L1d", "cpu.cache.l1d_bytes"}, {"L1i", "cpu.cache.l1i_bytes"}, {"L2", "cpu.cache.l2_bytes"},
        {"L3", "cpu.cache.l3_bytes"}};
    int compared = 0;
    for (std::string name, size; lines >> name >> size;) {
        if (keys.count(name)) {
            EXPECT_EQ(One(results, keys.at(name)), size) << name;
            ++compared;
        }
    }
    EXPECT_GE(compared, 2) << table;
}

TEST(InfoProbes, CpuIdentityAndFeaturesMatchProcCpuinfo)
{
    const Results results = RunProbes();
    std::map<std::string, std::string> first;  // the first processor's fields
    std::ifstream file("/proc/cpuinfo");
    for (std::string line; std::getline(file, line) && !line.empty();) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name = line.substr(0, colon);
        name.erase(name.find_last_not_of(" \t") + 1);
        std::string value = colon + 1 < line.size() ? line.substr(colon + 2) : "";
        first[name] = value;
    }
    if (!first.count("flags"))
        GTEST_SKIP() << "not an x86 processor";
    EXPECT_EQ(One(results, "cpu.vendor"), first["vendor_id"]);
    // The kernel keeps the brand string's inner spacing; compare words.
    auto words = [](const std::string& text) {
        std::istringstream stream(text);
        std::vector<std::string> list;
        for (std::string word; stream >> word;)
            list.push_back(word);
        return list;
    };
    EXPECT_EQ(words(One(results, "cpu.model")), words(first["model name"]));

    // The kernel's flag names, where they differ from the probe's.
    const std::map<std::string, std::string> renamed = {
        {"pni", "sse3"}, {"sha_ni", "sha"}, {"avx512_vnni", "avx512vnni"}};
    const std::set<std::string> stable = {
        "mmx", "sse", "sse2", "sse3", "ssse3", "sse4_1", "sse4_2", "popcnt", "aes", "pclmulqdq",
        "avx", "f16c", "fma", "avx2", "bmi1", "bmi2", "avx512f", "avx512dq", "avx512cd", "avx512bw",
        "avx512vl", "sha", "rdrand", "movbe", "adx", "cx16", "xsave", "lm", "nx"};
    std::set<std::string> kernel;
    std::istringstream flags(first["flags"]);
    for (std::string flag; flags >> flag;)
        kernel.insert(renamed.count(flag) ? renamed.at(flag) : flag);
    const auto found = results.find("cpu.features");
    ASSERT_NE(found, results.end());
    const std::set<std::string> probe(found->second.begin(), found->second.end());
    EXPECT_EQ(probe.size(), found->second.size()) << "a feature is listed twice";
    for (const std::string& name : stable) {
        EXPECT_EQ(probe.count(name), kernel.count(name)) << name << (kernel.count(name) ? " the kernel lists"
                                                                                     : " the kernel does not list");
    }
}

TEST(InfoProbes, MemoryMatchesProcMeminfo)
{
    const auto before = MemInfo();
    const Results results = RunProbes();
    const auto after = MemInfo();
    ASSERT_TRUE(before.count("MemTotal"));
    EXPECT_EQ(Count(results, "memory.total_bytes"), before.at("MemTotal"));
    EXPECT_EQ(Count(results, "memory.total_bytes"),
              static_cast<unsigned long long>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGESIZE));
    EXPECT_EQ(Count(results, "memory.page_size_bytes"), static_cast<unsigned long long>(sysconf(_SC_PAGESIZE)));
    EXPECT_EQ(Count(results, "memory.swap.total_bytes"), before.at("SwapTotal"));
    // What is free moves while the machine works; allow for that.
    const auto within = [&](const char* key, const char* name) {
        const double slack = 256.0 * 1024 * 1024;
        const double low = std::min(before.at(name), after.at(name)) - slack;
        const double high = std::max(before.at(name), after.at(name)) + slack;
        const double value = static_cast<double>(Count(results, key));
        EXPECT_GE(value, low) << key;
        EXPECT_LE(value, high) << key;
    };
    within("memory.available_bytes", "MemAvailable");
    within("memory.swap.free_bytes", "SwapFree");
    EXPECT_LE(Count(results, "memory.available_bytes"), Count(results, "memory.total_bytes"));
}

// df's view of the volume holding `path`: filesystem type, size, space
// available to this user, mount point, device.
struct Df {
    std::string fstype, target, source;
    unsigned long long size = 0, avail = 0;
};

Df DfOf(const std::string& path)
{
    std::istringstream lines(Command("df -B1 --output=fstype,size,avail,target,source '" + path + "' 2>/dev/null"));
    std::string header, line;
    std::getline(lines, header);
    std::getline(lines, line);
    Df df;
    std::istringstream fields(line);
    fields >> df.fstype >> df.size >> df.avail >> df.target >> df.source;
    return df;
}

void ExpectVolume(const Results& results, const std::string& prefix, const std::string& path)
{
    SCOPED_TRACE(prefix + " " + path);
    const Df df = DfOf(path);
    ASSERT_FALSE(df.fstype.empty()) << "df knows nothing of " << path;
    EXPECT_EQ(One(results, prefix + ".filesystem"), df.fstype);
    EXPECT_EQ(One(results, prefix + ".mount_point"), df.target);
    EXPECT_EQ(One(results, prefix + ".device"), df.source);
    EXPECT_EQ(Count(results, prefix + ".total_bytes"), df.size);
    // Other programs write to the same disk meanwhile.
    const double slack = 512.0 * 1024 * 1024;
    EXPECT_NEAR(static_cast<double>(Count(results, prefix + ".available_bytes")), static_cast<double>(df.avail),
                slack);
}

TEST(InfoProbes, StorageVolumesMatchDf)
{
    const Results results = RunProbes();
    char real[4096];
    ASSERT_NE(realpath(kRoot.c_str(), real), nullptr);
    EXPECT_EQ(One(results, "storage.program.path"), real);
    ExpectVolume(results, "storage.program", kRoot);
    const char* tmpdir = std::getenv("TMPDIR");
    const std::string temp = tmpdir != nullptr && *tmpdir == '/' ? tmpdir : "/tmp";
    EXPECT_EQ(One(results, "storage.temp.path"), temp);
    ExpectVolume(results, "storage.temp", temp);

    const unsigned long long count = Count(results, "storage.volume.count");
    EXPECT_GE(count, 1u);
    std::set<std::string> mountPoints;
    for (unsigned long long i = 0; i < count; ++i) {
        const std::string prefix = "storage.volume" + std::to_string(i);
        const std::string mountPoint = One(results, prefix + ".mount_point");
        EXPECT_TRUE(mountPoints.insert(mountPoint).second) << mountPoint << " listed twice";
        EXPECT_EQ(One(results, prefix + ".device").compare(0, 5, "/dev/"), 0) << prefix;
        ExpectVolume(results, prefix, mountPoint);
    }
    // The program's volume is one of them when it is on a block device.
    if (One(results, "storage.program.device").compare(0, 5, "/dev/") == 0) {
        EXPECT_TRUE(mountPoints.count(One(results, "storage.program.mount_point")));
    }
    EXPECT_FALSE(Has(results, "storage.volume" + std::to_string(count) + ".path"));
}

TEST(InfoProbes, GraphicsAdaptersMatchSysClassDrm)
{
    const Results results = RunProbes();
    std::vector<std::string> cards;
    if (DIR* folder = opendir("/sys/class/drm")) {
        while (const dirent* entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(0, 4, "card") == 0 &&
                name.find_first_not_of("0123456789", 4) == std::string::npos)
                cards.push_back(name);
        }
        closedir(folder);
    }
    std::sort(cards.begin(), cards.end(), [](const std::string& a, const std::string& b) {
        return std::stoi(a.substr(4)) < std::stoi(b.substr(4));
    });
    ASSERT_EQ(Count(results, "graphics.adapter.count"), cards.size());
    EXPECT_EQ(One(results, "graphics.status"), "ok");
    for (size_t i = 0; i < cards.size(); ++i) {
        const std::string prefix = "graphics.adapter" + std::to_string(i);
        const std::string device = "/sys/class/drm/" + cards[i] + "/device/";
        EXPECT_FALSE(One(results, prefix + ".name").empty());
        const std::string vendor = FileLine(device + "vendor");
        if (!vendor.empty()) {
            EXPECT_EQ(One(results, prefix + ".vendor_id"), vendor) << prefix;
            EXPECT_EQ(One(results, prefix + ".device_id"), FileLine(device + "device")) << prefix;
        }
    }
}

TEST(InfoProbes, TimerReportsTheOsResolution)
{
    const Results results = RunProbes();
    timespec resolution {};
    ASSERT_EQ(clock_getres(CLOCK_MONOTONIC, &resolution), 0);
    EXPECT_DOUBLE_EQ(Number(results, "timer.monotonic.reported_resolution_seconds"),
                     resolution.tv_sec + resolution.tv_nsec * 1e-9);
    const std::string source = FileLine("/sys/devices/system/clocksource/clocksource0/current_clocksource");
    if (!source.empty()) {
        EXPECT_EQ(One(results, "timer.monotonic.source"), source);
    }
}

#else

// Under Wine the OS interfaces are Wine's: check that the answers are sane.
TEST(InfoProbes, WindowsValuesArePlausible)
{
    const Results results = RunProbes();
    EXPECT_EQ(One(results, "system.os.name"), "Windows");
    EXPECT_EQ(Count(results, "system.process.bits"), 32u);
    EXPECT_FALSE(One(results, "system.hostname").empty());
    EXPECT_THAT(One(results, "system.arch"), ::testing::AnyOf("x86", "x86_64"));
    EXPECT_GT(Number(results, "system.uptime_seconds"), 0);
    EXPECT_NE(One(results, "system.os.version").find('.'), std::string::npos);

    const unsigned long long logical = Count(results, "cpu.logical_count");
    EXPECT_GE(logical, 1u);
    EXPECT_GE(Count(results, "cpu.physical_count"), 1u);
    EXPECT_LE(Count(results, "cpu.physical_count"), logical);
    EXPECT_LE(Count(results, "cpu.available_count"), logical);
    EXPECT_FALSE(One(results, "cpu.vendor").empty());
    EXPECT_GE(results.count("cpu.features") ? results.at("cpu.features").size() : 0u, 3u);

    const unsigned long long total = Count(results, "memory.total_bytes");
    EXPECT_GE(total, 64ull << 20);
    EXPECT_LE(Count(results, "memory.available_bytes"), total);
    EXPECT_LE(Count(results, "memory.swap.free_bytes"), Count(results, "memory.swap.total_bytes"));

    for (const char* volume : {"storage.program", "storage.temp"}) {
        const std::string prefix = volume;
        EXPECT_GT(Count(results, prefix + ".total_bytes"), 0u) << volume;
        EXPECT_LE(Count(results, prefix + ".available_bytes"), Count(results, prefix + ".total_bytes")) << volume;
        EXPECT_EQ(One(results, prefix + ".mount_point").substr(1, 2), ":\\") << volume;
    }
    EXPECT_EQ(One(results, "storage.program.path"), kRoot + kSep);
    EXPECT_GE(Count(results, "storage.volume.count"), 1u);
    Count(results, "graphics.adapter.count");
}

#endif

} // namespace
