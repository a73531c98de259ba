// Runs the registered benchmarks and remembers each one's mean real time (seconds) per
// iteration (the smallest over repetitions), so a benchmark binary can print ratios against
// its baselines.
#ifndef ULMORA_BENCH_RATIOREPORTER_H
#define ULMORA_BENCH_RATIOREPORTER_H

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace UlmoraBench {

// True for CI's smoke pass (ULMORA_BENCH_SMOKE set and not "0"): each
// benchmark runs once at its smallest size, so that none of them rots, and
// set-up work that only serves the full figures is skipped.
inline bool SmokePass()
{
    const char* value = std::getenv("ULMORA_BENCH_SMOKE");
    return value != nullptr && *value != '\0' && std::string(value) != "0";
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            // With --benchmark_repetitions, the fastest repetition counts:
            // the one least disturbed by other processes.
            if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !run.error_occurred) {
                Keep(times, run.benchmark_name(), run.real_accumulated_time / static_cast<double>(run.iterations));
                Keep(cpuTimes, run.benchmark_name(), run.cpu_accumulated_time / static_cast<double>(run.iterations));
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints "label: ours / baseline = ratio (goal ...)" when both ran, for
    // real time and, since other processes may share the machine, CPU time
    // (left out where the baseline runs in another process).
    void PrintRatio(const char* label, const std::string& ours, const std::string& baseline, const char* goal,
                    bool withCpu = true)
    {
        const auto a = times.find(ours);
        const auto b = times.find(baseline);
        if (a == times.end() || b == times.end() || b->second <= 0 || cpuTimes[baseline] <= 0)
            return;
        if (withCpu)
            std::printf("%s: %s / %s = %.4g real, %.4g CPU (goal %s)\n", label, ours.c_str(), baseline.c_str(),
                        a->second / b->second, cpuTimes[ours] / cpuTimes[baseline], goal);
        else
            std::printf("%s: %s / %s = %.4g (goal %s)\n", label, ours.c_str(), baseline.c_str(),
                        a->second / b->second, goal);
    }

    std::map<std::string, double> times;
    std::map<std::string, double> cpuTimes;

private:
    static void Keep(std::map<std::string, double>& table, const std::string& name, double time)
    {
        const auto found = table.find(name);
        if (found == table.end() || time < found->second)
            table[name] = time;
    }
};

} // namespace UlmoraBench

#endif
