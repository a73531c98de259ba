// Writing a parameter list to the registry file store and reading it back:
// 10,000 parameters in 100 nested lists against 1,000 in 10. Prints the time
// per parameter and the scaling between the two sizes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ulmora/Registry.h"
#include "ulmora/Ulmora.h"

namespace {

const int64_t kPerList = 100;

// A top list holding `lists` nested lists of kPerList integer parameters.
struct Tree {
    explicit Tree(int64_t lists)
        : values(static_cast<size_t>(lists * kPerList), 0)
    {
        top.SetName("Settings");
        for (int64_t l = 0; l < lists; ++l) {
            nested.emplace_back(new ParameterList());
            ParameterList& list = *nested.back();
            list.SetName("List" + std::to_string(l));
            for (int64_t p = 0; p < kPerList; ++p) {
                int32_t* variable = &values[static_cast<size_t>(l * kPerList + p)];
                *variable = static_cast<int32_t>(l * 1000 + p);
                list.AddParameterInt(static_cast<uint32_t>(p), "value" + std::to_string(p), "",
                                     variable, nullptr);
            }
            top.AddParameterList(static_cast<uint32_t>(l), &list, nullptr, false, true);
        }
    }
    std::vector<int32_t> values;
    std::vector<std::unique_ptr<ParameterList>> nested;
    ParameterList top;
};

std::filesystem::path Directory()
{
    return std::filesystem::temp_directory_path() / "ulmora-registry-bench";
}

void WriteAndRead(benchmark::State& state)
{
    const int64_t lists = state.range(0);
    std::filesystem::remove_all(Directory());
    UlmoraSetRegistryDirectory(Directory().string().c_str());
    Tree tree(lists);
    Ulmora::RegConfigWriter writer;
    Ulmora::RegConfigReader reader;
    for (auto _ : state) {
        writer.WriteConfig(HKEY_CURRENT_USER, "Software\\UlmoraBench", &tree.top);
        reader.ReadConfig(HKEY_CURRENT_USER, "Software\\UlmoraBench", &tree.top);
    }
    if (tree.values.back() != static_cast<int32_t>((lists - 1) * 1000 + kPerList - 1))
        state.SkipWithError("values did not survive the round trip");
    state.counters["per_parameter"] = benchmark::Counter(
        static_cast<double>(lists * kPerList),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    UlmoraSetRegistryDirectory(nullptr);
    std::filesystem::remove_all(Directory());
}

BENCHMARK(WriteAndRead)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
            cpuTimes[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
    }
    std::map<std::string, double> times;
    std::map<std::string, double> cpuTimes;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double small = reporter.times["WriteAndRead/10"];
    const double large = reporter.times["WriteAndRead/100"];
    const double smallCpu = reporter.cpuTimes["WriteAndRead/10"];
    const double largeCpu = reporter.cpuTimes["WriteAndRead/100"];
    // Real time includes waiting for the disk (one fsync per file
    // replacement), which varies much more than the work done.
    if (small > 0 && smallCpu > 0)
        std::printf("\nScaling from 1,000 to 10,000 parameters per round trip: "
                    "%.1fx real time, %.1fx CPU time\n",
                    large / small, largeCpu / smallCpu);
    benchmark::Shutdown();
    return 0;
}
