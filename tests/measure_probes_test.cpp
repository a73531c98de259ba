// The measuring probes (compute, memory-bandwidth, disk-speed) as the ulmora
// host runs them, beside stand-ins for the probes they depend on. The
// figures are checked against what the test reads from the OS itself, and
// the disk probe's scratch file against the folders it may write in.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "MeasureFixturePaths.h"

namespace {

namespace fs = std::filesystem;
using ::testing::AnyOf;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kRoot = MEASURE_FIXTURE_ROOT;
const std::string kSep = MEASURE_FIXTURE_SEPARATOR;
constexpr uint64_t kMiB = 1024 * 1024;

struct Results {
    int status = -1;
    std::string text;
    std::map<std::string, std::vector<std::string>> values;

    std::string Value(const std::string& key) const
    {
        const auto found = values.find(key);
        return found == values.end() || found->second.empty() ? std::string("<missing>") : found->second[0];
    }
    double Number(const std::string& key) const { return std::strtod(Value(key).c_str(), nullptr); }
};

void Parse(const std::string& path, Results& results)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    results.text = text.str();
    std::istringstream lines(results.text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string::size_type tab = line.find('\t');
        if (tab != std::string::npos)
            results.values[line.substr(0, tab)].push_back(line.substr(tab + 1));
    }
}

// How a run is set up: results for the stand-ins, and for the POSIX cases
// a file size limit, a preloaded library and a temporary folder.
struct RunSetup {
    std::string standIns;
    std::string folder = kRoot;
    long fileSizeLimit = -1;
    bool ignoreFileSizeSignal = true;
    std::string preload;
    std::string tempFolder;
};

std::string OutputFile()
{
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    for (char& c : name) {
        if (c == '/')
            c = '_';
    }
    return kRoot + ".measure." + name + ".out";
}

#ifdef _WIN32
Results RunHost(const RunSetup& setup)
{
    _putenv_s("ULMORA_STAND_IN_RESULTS", setup.standIns.c_str());
    const std::string out = OutputFile();
    const std::string command = setup.folder + kSep + "ulmora" + MEASURE_EXECUTABLE_SUFFIX + " run --plain > " + out;
    Results results;
    results.status = std::system(command.c_str());
    Parse(out, results);
    return results;
}
#else
Results RunHost(const RunSetup& setup)
{
    const std::string out = OutputFile();
    const std::string host = setup.folder + "/ulmora";
    const pid_t child = fork();
    if (child == 0) {
        setenv("ULMORA_STAND_IN_RESULTS", setup.standIns.c_str(), 1);
        if (!setup.preload.empty())
            setenv("LD_PRELOAD", setup.preload.c_str(), 1);
        if (!setup.tempFolder.empty())
            setenv("TMPDIR", setup.tempFolder.c_str(), 1);
        if (setup.fileSizeLimit >= 0) {
            const struct rlimit limit = {static_cast<rlim_t>(setup.fileSizeLimit),
                                         static_cast<rlim_t>(setup.fileSizeLimit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        signal(SIGXFSZ, setup.ignoreFileSizeSignal ? SIG_IGN : SIG_DFL);
        // The output file is opened before the limit can matter to it.
        const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 1);
        execl(host.c_str(), host.c_str(), "run", "--plain", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    Results results;
    results.status = status;
    Parse(out, results);
    return results;
}
#endif

// Files the disk probe left in `folder`.
std::vector<std::string> Leftovers(const std::string& folder)
{
    std::vector<std::string> found;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("ulmora-disk-speed-", 0) == 0)
            found.push_back(name);
    }
    return found;
}

bool IsUnsigned(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

bool IsNumber(const std::string& text)
{
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return !text.empty() && end != nullptr && *end == '\0';
}

// Every key of the three probes with its kind: a count or size (unsigned
// integer), another number, or text.
enum class Kind { Unsigned, Number, Text };
const struct {
    const char* key;
    Kind kind;
} kKeys[] = {
    {"compute.threads_count", Kind::Unsigned},
    {"compute.integer.single_thread_ops_per_second", Kind::Number},
    {"compute.integer.single_thread_relative_stddev_ratio", Kind::Number},
    {"compute.integer.multi_thread_ops_per_second", Kind::Number},
    {"compute.integer.multi_thread_relative_stddev_ratio", Kind::Number},
    {"compute.float.single_thread_ops_per_second", Kind::Number},
    {"compute.float.single_thread_relative_stddev_ratio", Kind::Number},
    {"compute.float.multi_thread_ops_per_second", Kind::Number},
    {"compute.float.multi_thread_relative_stddev_ratio", Kind::Number},
    {"compute.status", Kind::Text},
    {"memory.bandwidth.array_bytes", Kind::Unsigned},
    {"memory.bandwidth.threads_count", Kind::Unsigned},
    {"memory.bandwidth.copy_bytes_per_second", Kind::Number},
    {"memory.bandwidth.copy_relative_stddev_ratio", Kind::Number},
    {"memory.bandwidth.triad_bytes_per_second", Kind::Number},
    {"memory.bandwidth.triad_relative_stddev_ratio", Kind::Number},
    {"memory.bandwidth.status", Kind::Text},
    {"disk.path", Kind::Text},
    {"disk.file_bytes", Kind::Unsigned},
    {"disk.sequential_write_bytes_per_second", Kind::Number},
    {"disk.sequential_read_bytes_per_second", Kind::Number},
    {"disk.sync_latency_seconds", Kind::Number},
    {"disk.status", Kind::Text},
};

// The last-level cache as the kernel describes it; 0 when it does not.
uint64_t CacheFromSysfs()
{
#ifdef _WIN32
    return 0;
#else
    uint64_t best = 0;
    for (int index = 0; index < 8; ++index) {
        std::ifstream size("/sys/devices/system/cpu/cpu0/cache/index" + std::to_string(index) + "/size");
        unsigned long long kib = 0;
        char unit = 0;
        if (size >> kib >> unit && unit == 'K')
            best = std::max<uint64_t>(best, kib * 1024);
    }
    return best;
#endif
}

TEST(MeasureProbes, ReportEveryKeyWithPlausibleFigures)
{
    const Results results = RunHost(RunSetup());
    ASSERT_EQ(results.status, 0) << results.text;

    for (const auto& row : kKeys) {
        SCOPED_TRACE(row.key);
        ASSERT_EQ(results.values.count(row.key), 1u) << results.text;
        const std::string value = results.Value(row.key);
        if (row.kind == Kind::Unsigned) {
            EXPECT_TRUE(IsUnsigned(value)) << value;
        } else if (row.kind == Kind::Number) {
            EXPECT_TRUE(IsNumber(value)) << value;
        }
    }

    EXPECT_EQ(results.Value("compute.status"), "ok");
    EXPECT_EQ(results.Value("memory.bandwidth.status"), "ok");
    EXPECT_THAT(results.Value("disk.status"), AnyOf("ok", StartsWith("partial: the page cache was not bypassed")));

    // Nothing told the probes the CPU count; they asked the OS, as nproc does.
#ifdef _WIN32
    const double cpus = results.Number("compute.threads_count");
    EXPECT_GE(cpus, 1);
#else
    const double cpus = static_cast<double>(sysconf(_SC_NPROCESSORS_ONLN));
    EXPECT_EQ(results.Number("compute.threads_count"), cpus);
#endif
    EXPECT_EQ(results.Number("memory.bandwidth.threads_count"), cpus);

    const struct {
        const char* key;
        double low, high;
    } ranges[] = {
        {"compute.integer.single_thread_ops_per_second", 1e7, 1e12},
        {"compute.integer.multi_thread_ops_per_second", 1e7, 1e13},
        {"compute.float.single_thread_ops_per_second", 1e7, 1e12},
        {"compute.float.multi_thread_ops_per_second", 1e7, 1e13},
        {"compute.integer.single_thread_relative_stddev_ratio", 0, 2},
        {"compute.float.multi_thread_relative_stddev_ratio", 0, 2},
        {"memory.bandwidth.copy_bytes_per_second", 1e8, 1e12},
        {"memory.bandwidth.triad_bytes_per_second", 1e8, 1e12},
        {"memory.bandwidth.triad_relative_stddev_ratio", 0, 2},
        {"disk.sequential_write_bytes_per_second", 1e6, 1e11},
        {"disk.sequential_read_bytes_per_second", 1e6, 1e11},
        {"disk.sync_latency_seconds", 1e-8, 1},
    };
    for (const auto& range : ranges) {
        const double value = results.Number(range.key);
        EXPECT_GE(value, range.low) << range.key;
        EXPECT_LE(value, range.high) << range.key;
    }
    // Several threads do no more than the sum of single ones.
    for (const char* kernel : {"integer", "float"}) {
        const std::string base = std::string("compute.") + kernel;
        EXPECT_LE(results.Number(base + ".multi_thread_ops_per_second"),
                  1.5 * cpus * results.Number(base + ".single_thread_ops_per_second"))
            << kernel;
    }

    // Each array is four times the cache the kernel reports.
    const uint64_t cache = CacheFromSysfs();
    const double arrays = results.Number("memory.bandwidth.array_bytes");
    EXPECT_GE(arrays, 16.0 * kMiB);
    if (cache != 0) {
        EXPECT_GE(arrays, std::min(4.0 * static_cast<double>(cache), 256.0 * kMiB));
    }

    // The scratch file went to the program folder, full size, and is gone.
    EXPECT_EQ(fs::path(results.Value("disk.path")), fs::path(kRoot));
#ifndef _WIN32
    struct statvfs volume;
    ASSERT_EQ(statvfs(kRoot.c_str(), &volume), 0);
    if (static_cast<uint64_t>(volume.f_bavail) * volume.f_frsize >= 1024 * kMiB) {
        EXPECT_EQ(results.Value("disk.file_bytes"), std::to_string(64 * kMiB));
    }
#endif
    EXPECT_THAT(Leftovers(kRoot), ::testing::IsEmpty());
}

// What the probes make of the results of the probes they depend on: the CPU
// count sets the threads, the cache and available memory the arrays, the
// free space the scratch file.
TEST(MeasureProbes, SizeTheirWorkFromTheResultsTheyDependOn)
{
    const struct {
        const char* name;
        const char* standIns;
        const char* threads;
        uint64_t arrayBytes;
        const char* bandwidthStatus;
        const char* fileBytes;
        const char* diskStatus;
    } rows[] = {
        {"three CPUs, 24 MiB cache, 512 MiB free",
         "cpu.logical_count=3;cpu.cache.l3_bytes=25165824;storage.program.available_bytes=536870912", "3",
         96 * kMiB, "ok", "33554432", "ok"},
        {"one GiB free takes the full file", "cpu.logical_count=1;storage.program.available_bytes=1073741824", "1",
         0, "ok", "67108864", "ok"},
        {"little memory bounds the arrays, little space refuses the file",
         "cpu.cache.l3_bytes=25165824;memory.available_bytes=125829120;storage.program.available_bytes=10485760",
         nullptr, 10 * kMiB, "partial: the arrays are less than twice the cache", nullptr,
         "unsupported: only 10485760 bytes available in "},
        {"values that are not numbers are ignored", "cpu.logical_count=many;cpu.cache.l3_bytes=-1", nullptr, 0, "ok",
         nullptr, "ok"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        RunSetup setup;
        setup.standIns = row.standIns;
        const Results results = RunHost(setup);
        ASSERT_EQ(results.status, 0) << results.text;
        if (row.threads != nullptr) {
            EXPECT_EQ(results.Value("compute.threads_count"), row.threads);
            EXPECT_EQ(results.Value("memory.bandwidth.threads_count"), row.threads);
        }
        if (row.arrayBytes != 0) {
            EXPECT_EQ(results.Value("memory.bandwidth.array_bytes"), std::to_string(row.arrayBytes));
        }
        EXPECT_THAT(results.Value("memory.bandwidth.status"), StartsWith(row.bandwidthStatus));
        if (row.fileBytes != nullptr) {
            EXPECT_EQ(results.Value("disk.file_bytes"), row.fileBytes);
        }
        const std::string diskStatus = results.Value("disk.status");
        if (std::string(row.diskStatus) == "ok") {
            EXPECT_THAT(diskStatus, AnyOf("ok", StartsWith("partial: the page cache was not bypassed")));
        } else {
            EXPECT_THAT(diskStatus, StartsWith(row.diskStatus));
        }
        EXPECT_EQ(results.Value("compute.status"), "ok");
        EXPECT_THAT(Leftovers(kRoot), ::testing::IsEmpty());
    }
}

#ifndef _WIN32

// A fresh copy of the fixture folder, so a test may take rights away from it.
std::string CopyOfFixture(const std::string& name)
{
    const fs::path copy = fs::path(kRoot + "-" + name);
    fs::remove_all(copy);
    fs::create_directories(copy / "probes");
    fs::copy_file(fs::path(kRoot) / "ulmora", copy / "ulmora");
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(kRoot) / "probes"))
        fs::copy_file(entry.path(), copy / "probes" / entry.path().filename());
    return copy.string();
}

// Makes a folder take no new file, even for root: immutable where the file
// system supports it, else without write permission.
bool LockFolder(const std::string& folder, bool lock)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        int flags = 0;
        if (ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags = lock ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        close(fd);
    }
    chmod(folder.c_str(), lock ? 0555 : 0755);
    const std::string probe = folder + "/lock-check";
    const int check = open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (check >= 0) {
        close(check);
        unlink(probe.c_str());
        return !lock;
    }
    return lock;
}

TEST(MeasureProbes, WriteInTheTempFolderWhenTheProgramFolderTakesNoFile)
{
    const std::string folder = CopyOfFixture("locked");
    const std::string temp = folder + "-temp";
    fs::remove_all(temp);
    fs::create_directories(temp);
    if (!LockFolder(folder, true)) {
        LockFolder(folder, false);
        GTEST_SKIP() << "cannot make " << folder << " unwritable here";
    }
    RunSetup setup;
    setup.folder = folder;
    setup.tempFolder = temp;
    const Results results = RunHost(setup);
    ASSERT_TRUE(LockFolder(folder, false));
    ASSERT_EQ(results.status, 0) << results.text;
    EXPECT_EQ(results.Value("disk.path"), temp);
    EXPECT_THAT(results.Value("disk.status"), AnyOf("ok", StartsWith("partial: the page cache was not bypassed")));
    EXPECT_TRUE(IsNumber(results.Value("disk.sequential_write_bytes_per_second"))) << results.text;
    EXPECT_THAT(Leftovers(folder), ::testing::IsEmpty());
    EXPECT_THAT(Leftovers(temp), ::testing::IsEmpty());
    fs::remove_all(folder);
    fs::remove_all(temp);
}

TEST(MeasureProbes, NoFolderThatTakesAFileIsReportedNotFailed)
{
    const std::string folder = CopyOfFixture("nowhere");
    if (!LockFolder(folder, true)) {
        LockFolder(folder, false);
        GTEST_SKIP() << "cannot make " << folder << " unwritable here";
    }
    RunSetup setup;
    setup.folder = folder;
    setup.tempFolder = folder + "/no-such-folder";
    const Results results = RunHost(setup);
    ASSERT_TRUE(LockFolder(folder, false));
    ASSERT_EQ(results.status, 0) << results.text;
    EXPECT_THAT(results.Value("disk.status"),
                AllOf(StartsWith("unsupported: no folder takes a new file ("), HasSubstr(folder + ": "),
                      HasSubstr(folder + "/no-such-folder: No such file or directory")));
    EXPECT_EQ(results.values.count("disk.sequential_write_bytes_per_second"), 0u);
    EXPECT_EQ(results.Value("compute.status"), "ok");
    fs::remove_all(folder);
}

TEST(MeasureProbes, AFailedWriteLeavesNoFileAndFailsOnlyTheDiskFigures)
{
    RunSetup setup;
    setup.fileSizeLimit = static_cast<long>(kMiB);
    const Results results = RunHost(setup);
    ASSERT_EQ(results.status, 0) << results.text;
    EXPECT_THAT(results.Value("disk.status"), AllOf(StartsWith("unsupported: writing " + kRoot + "/ulmora-disk-speed-"),
                                                    HasSubstr(" failed: File too large")));
    EXPECT_EQ(results.values.count("disk.sequential_write_bytes_per_second"), 0u);
    EXPECT_EQ(results.Value("memory.bandwidth.status"), "ok");
    EXPECT_THAT(Leftovers(kRoot), ::testing::IsEmpty());
}

TEST(MeasureProbes, AProcessKilledWhileWritingLeavesNoFile)
{
    RunSetup setup;
    setup.fileSizeLimit = static_cast<long>(kMiB);
    setup.ignoreFileSizeSignal = false;
    const Results results = RunHost(setup);
    ASSERT_TRUE(WIFSIGNALED(results.status)) << results.status;
    EXPECT_EQ(WTERMSIG(results.status), SIGXFSZ);
    EXPECT_THAT(Leftovers(kRoot), ::testing::IsEmpty());
}

TEST(MeasureProbes, AFileSystemWithoutDirectIoGivesPartialFigures)
{
    RunSetup setup;
    setup.preload = MEASURE_NO_DIRECT_IO;
    const Results results = RunHost(setup);
    ASSERT_EQ(results.status, 0) << results.text;
    EXPECT_EQ(results.Value("disk.status"),
              "partial: the page cache was not bypassed: the file system refuses O_DIRECT (Invalid argument)");
    for (const char* key : {"disk.sequential_write_bytes_per_second", "disk.sequential_read_bytes_per_second",
                            "disk.sync_latency_seconds"})
        EXPECT_GT(results.Number(key), 0) << key;
    EXPECT_THAT(Leftovers(kRoot), ::testing::IsEmpty());
}

#endif

} // namespace
