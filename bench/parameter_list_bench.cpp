// Building a parameter list, finding parameters in it by identifier, and
// copying values between two lists, at 10,000 and 100,000 parameters. Prints
// the time per parameter and how each operation scales by the factor of ten.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ulmora/Ulmora.h"

namespace {

const int64_t kSmall = 10000;
const int64_t kLarge = 100000;

// Identifiers in a shuffled order; lists built with the same seed have the
// same order.
std::vector<uint32_t> Identifiers(int64_t count, unsigned seed)
{
    std::vector<uint32_t> ids(static_cast<size_t>(count));
    for (size_t i = 0; i < ids.size(); ++i)
        ids[i] = static_cast<uint32_t>(i * 7 + 3);
    std::shuffle(ids.begin(), ids.end(), std::mt19937(seed));
    return ids;
}

std::unique_ptr<ParameterList> Build(const std::vector<uint32_t>& ids,
                                     std::vector<int32_t>& variables)
{
    variables.assign(ids.size(), 0);
    std::unique_ptr<ParameterList> list(new ParameterList());
    for (size_t i = 0; i < ids.size(); ++i)
        list->AddParameterInt(ids[i], "p", "", &variables[i], nullptr);
    return list;
}

void PerParameter(benchmark::State& state, int64_t count)
{
    state.counters["per_item"] = benchmark::Counter(
        static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate |
                                        benchmark::Counter::kInvert);
}

void BuildList(benchmark::State& state)
{
    const std::vector<uint32_t> ids = Identifiers(state.range(0), 1);
    std::vector<int32_t> variables;
    for (auto _ : state) {
        std::unique_ptr<ParameterList> list = Build(ids, variables);
        benchmark::DoNotOptimize(list.get());
    }
    PerParameter(state, state.range(0));
}

// One thousand lookups spread over the list; the walk is linear, so the time
// per lookup grows with the list.
void FindParameter(benchmark::State& state)
{
    const std::vector<uint32_t> ids = Identifiers(state.range(0), 2);
    std::vector<int32_t> variables;
    std::unique_ptr<ParameterList> list = Build(ids, variables);
    const size_t lookups = 1000;
    for (auto _ : state) {
        for (size_t k = 0; k < lookups; ++k)
            benchmark::DoNotOptimize(list->FindParameter(ids[k * ids.size() / lookups]));
    }
    PerParameter(state, static_cast<int64_t>(lookups));
}

void AssignList(benchmark::State& state)
{
    std::vector<int32_t> targetVariables, sourceVariables;
    std::unique_ptr<ParameterList> target = Build(Identifiers(state.range(0), 3), targetVariables);
    std::unique_ptr<ParameterList> source = Build(Identifiers(state.range(0), 3), sourceVariables);
    int32_t round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++round;
        std::fill(sourceVariables.begin(), sourceVariables.end(), round);
        state.ResumeTiming();
        *target = *source;
    }
    if (targetVariables.front() != round || targetVariables.back() != round)
        state.SkipWithError("values were not copied");
    PerParameter(state, state.range(0));
}

// Reference for AssignList: touches the same parameters in the same order,
// reading each source value and writing it to the target by position,
// without any lookup. What it loses from 10,000 to 100,000 parameters is the
// cost of memory (two lists of 100,000 parameters outgrow the caches).
void WalkBothLists(benchmark::State& state)
{
    std::vector<int32_t> targetVariables, sourceVariables;
    std::unique_ptr<ParameterList> target = Build(Identifiers(state.range(0), 3), targetVariables);
    std::unique_ptr<ParameterList> source = Build(Identifiers(state.range(0), 3), sourceVariables);
    for (auto _ : state) {
        for (uint32_t i = 0; i < source->GetNumParameters(); ++i) {
            const int32_t index = static_cast<int32_t>(i);
            int32_t value;
            source->GetParameter(index)->GetValue(&value, 0);
            target->GetParameter(index)->SetValue(&value, 0);
        }
    }
    PerParameter(state, state.range(0));
}

// Copying into a list built in another order: every lookup lands somewhere
// else in memory.
void AssignShuffledList(benchmark::State& state)
{
    std::vector<int32_t> targetVariables, sourceVariables;
    std::unique_ptr<ParameterList> target = Build(Identifiers(state.range(0), 3), targetVariables);
    std::unique_ptr<ParameterList> source = Build(Identifiers(state.range(0), 4), sourceVariables);
    for (auto _ : state)
        *target = *source;
    PerParameter(state, state.range(0));
}

BENCHMARK(BuildList)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(FindParameter)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(AssignList)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(WalkBothLists)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);
BENCHMARK(AssignShuffledList)->Arg(kSmall)->Arg(kLarge)->Unit(benchmark::kMillisecond);

// Remembers the CPU time per iteration of every run to print the ratios;
// with --benchmark_repetitions, the fastest repetition (aggregates such as
// the mean are not runs of their own).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const auto found = times.find(run.benchmark_name());
            if (found == times.end() || run.GetAdjustedCPUTime() < found->second)
                times[run.benchmark_name()] = run.GetAdjustedCPUTime();
        }
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nScaling from %lld to %lld parameters (CPU time per run, fastest repetition):\n",
                static_cast<long long>(kSmall), static_cast<long long>(kLarge));
    for (const char* name : {"BuildList", "FindParameter", "AssignList", "WalkBothLists",
                             "AssignShuffledList"}) {
        const std::string small = std::string(name) + "/" + std::to_string(kSmall);
        const std::string large = std::string(name) + "/" + std::to_string(kLarge);
        if (reporter.times.count(small) && reporter.times.count(large) &&
            reporter.times[small] > 0)
            std::printf("  %-19s %.1fx\n", name, reporter.times[large] / reporter.times[small]);
    }
    benchmark::Shutdown();
    return 0;
}
