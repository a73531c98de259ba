// The six info probes (system, cpu, memory, storage, graphics, timer) as a
// person meets them: one whole `ulmora run` process, in a folder that holds
// only these probes, from start to exit. Side by side, the same machine
// described by the usual tools: inxi, neofetch and lshw (each only when
// installed; the benchmark says which it skips). Goal: at most 30 ms, and
// at least 10 times faster than the fastest of the tools.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "support/RatioReporter.h"

#ifndef _WIN32
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct Program {
    const char* label;
    std::vector<std::string> argv;
};

const std::vector<Program>& Anchors()
{
    static const std::vector<Program> anchors = {
        {"inxi", {"inxi", "-Fxz", "--output", "json", "--output-file", "print"}},
        {"neofetch", {"neofetch", "--stdout"}},
        {"lshw", {"lshw", "-json"}},
    };
    return anchors;
}

// The program's path in PATH, or empty.
std::string Find(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        const size_t end = folders.find(':', start);
        const std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return "";
}

// Runs the program to its end with its output thrown away; its exit status.
// Adds the CPU time it used (user and system, seconds) to `cpuSeconds`: on
// a busy machine that says more than the wall time.
int RunProcess(const std::string& path, const std::vector<std::string>& args, double& cpuSeconds)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int error = posix_spawn(&child, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return -1;
    int status = 0;
    struct rusage usage {};
    while (wait4(child, &status, 0, &usage) < 0) {
    }
    cpuSeconds += usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
                  usage.ru_stime.tv_usec * 1e-6;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The least CPU time one run of each program took, in seconds, by label.
std::map<std::string, double> g_LeastCpu;

void KeepCpu(const std::string& label, double seconds)
{
    const auto found = g_LeastCpu.find(label);
    if (found == g_LeastCpu.end() || seconds < found->second)
        g_LeastCpu[label] = seconds;
}

void BM_InfoProbesRun(benchmark::State& state)
{
    const std::vector<std::string> args = {INFO_BENCH_HOST, "run"};
    double cpu = 0;
    for (auto _ : state) {
        if (RunProcess(INFO_BENCH_HOST, args, cpu) != 0) {
            state.SkipWithError("ulmora run failed");
            return;
        }
    }
    state.counters["process_cpu_ms"] = benchmark::Counter(cpu * 1e3, benchmark::Counter::kAvgIterations);
    KeepCpu("info probes", cpu / static_cast<double>(state.iterations()));
}

void BM_Anchor(benchmark::State& state, const std::string& label, const std::string& path,
               const std::vector<std::string>& args)
{
    double cpu = 0;
    for (auto _ : state)
        RunProcess(path, args, cpu);  // inxi answers 1 when it cannot read everything; the time still counts
    state.counters["process_cpu_ms"] = benchmark::Counter(cpu * 1e3, benchmark::Counter::kAvgIterations);
    KeepCpu(label, cpu / static_cast<double>(state.iterations()));
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    // A smoke run (bench/run-all --smoke) only checks that the benchmark works.
    const char* smokeFlag = std::getenv("ULMORA_BENCH_SMOKE");
    const bool smoke = smokeFlag != nullptr && std::string(smokeFlag) == "1";
    const std::string oursName = smoke ? "InfoProbesRun/iterations:1/repeats:1/real_time"
                                       : "InfoProbesRun/iterations:20/repeats:5/real_time";
    benchmark::RegisterBenchmark("InfoProbesRun", BM_InfoProbesRun)->Unit(benchmark::kMillisecond)->UseRealTime()
        ->Iterations(smoke ? 1 : 20)->Repetitions(smoke ? 1 : 5);
    std::vector<std::string> found;
    for (const Program& anchor : Anchors()) {
        const std::string path = Find(anchor.argv[0]);
        if (path.empty()) {
            std::printf("skipping %s: not installed (Debian package %s)\n", anchor.label, anchor.label);
            continue;
        }
        found.push_back(anchor.label);
        benchmark::RegisterBenchmark(anchor.label, BM_Anchor, std::string(anchor.label), path, anchor.argv)
            ->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(3);
    }
    UlmoraBench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    // Only the iteration runs count: the fastest repetition of each.
    const auto ours = reporter.times.find(oursName);
    if (ours == reporter.times.end())
        return 1;
    std::printf("info probes, whole process: %.2f ms wall, %.2f ms CPU (goal at most 30 ms)\n", ours->second * 1e3,
                g_LeastCpu["info probes"] * 1e3);
    std::string fastest;
    double fastestTime = 0;
    for (const std::string& label : found) {
        const std::string name = label + "/iterations:1/repeats:3/real_time";
        const auto time = reporter.times.find(name);
        if (time == reporter.times.end())
            continue;
        std::printf("%s: %.1f ms wall, %.1f ms CPU; %.1fx the info probes' wall time, %.1fx their CPU time\n",
                    label.c_str(), time->second * 1e3, g_LeastCpu[label] * 1e3, time->second / ours->second,
                    g_LeastCpu[label] / g_LeastCpu["info probes"]);
        if (fastest.empty() || time->second < fastestTime) {
            fastest = name;
            fastestTime = time->second;
        }
    }
    if (!fastest.empty())
        reporter.PrintRatio("info probes against the fastest tool", ours->first, fastest, "at most 0.1", false);
    else if (found.empty())
        std::printf("no anchor tool installed: install inxi, neofetch and lshw for the comparison\n");
    benchmark::Shutdown();
    return 0;
}

#else

int main()
{
    std::printf("the info probes benchmark runs on Linux only\n");
    return 0;
}

#endif
