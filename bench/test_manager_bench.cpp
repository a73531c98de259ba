// ulmora-bench: whitebox
// Ordering tests by their dependencies, against GNU tsort sorting the same
// graph: the ordering function itself (BM_Order*), and LoadTests over
// registered, in-memory descriptors, which reads them first (BM_LoadTests*;
// no module files).
// Graphs: a random DAG with 10 dependencies per test on average, registered
// in an order unrelated to the dependencies, and one long chain in which
// every test needs the one registered after it. Both at 10,000 and 100,000
// tests. Goals: ours / tsort below 1.0; 100k / 10k at most 12x.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "support/InMemoryTestDescriptor.h"
#include "support/RatioReporter.h"
#include "test_manager/TestOrder.h"
#include "ulmora/Ulmora.h"

namespace fs = std::filesystem;

namespace {

using Descriptor = UlmoraTest::InMemoryTestDescriptor;

// Searches no folder: the tests are registered directly.
class Manager : public Ulmora::TestManager {
public:
    using Ulmora::TestManager::TestManager;

protected:
    void GetSearchPatterns(PluginManagerAPI::SearchPatternList&) override {}
};

struct Graph {
    std::vector<std::vector<uint32_t>> dependencies;  // per test, by registry position; ids are position + 1
    std::string pairsFile;
};

Graph RandomDag(size_t count)
{
    std::mt19937 random(static_cast<uint32_t>(count));
    std::vector<uint32_t> rank(count);
    std::iota(rank.begin(), rank.end(), 0);
    std::shuffle(rank.begin(), rank.end(), random);
    std::vector<uint32_t> byRank(count);
    for (size_t i = 0; i < count; ++i)
        byRank[rank[i]] = static_cast<uint32_t>(i);
    Graph graph;
    graph.dependencies.resize(count);
    for (size_t i = 0; i < count; ++i) {
        if (rank[i] == 0)
            continue;
        const uint32_t wanted = static_cast<uint32_t>(random() % 21);  // 10 on average
        for (uint32_t k = 0; k < wanted; ++k)
            graph.dependencies[i].push_back(byRank[random() % rank[i]] + 1);
    }
    return graph;
}

Graph Chain(size_t count)
{
    Graph graph;
    graph.dependencies.resize(count);
    for (size_t i = 0; i + 1 < count; ++i)
        graph.dependencies[i].push_back(static_cast<uint32_t>(i + 2));
    return graph;
}

void WritePairs(Graph& graph, const std::string& name)
{
    graph.pairsFile = (fs::temp_directory_path() / ("ulmora-order-" + name + ".txt")).string();
    std::ofstream file(graph.pairsFile);
    for (size_t i = 0; i < graph.dependencies.size(); ++i) {
        const uint32_t id = static_cast<uint32_t>(i + 1);
        file << id << ' ' << id << '\n';  // every test appears, needed or not
        for (uint32_t dependency : graph.dependencies[i])
            file << dependency << ' ' << id << '\n';
    }
}

Graph& GetGraph(bool chain, size_t count)
{
    static std::map<std::pair<bool, size_t>, std::unique_ptr<Graph>> graphs;
    auto& slot = graphs[{chain, count}];
    if (!slot) {
        slot = std::make_unique<Graph>(chain ? Chain(count) : RandomDag(count));
        WritePairs(*slot, std::string(chain ? "chain" : "dag") + std::to_string(count));
    }
    return *slot;
}

void Ours(benchmark::State& state, bool chain)
{
    Graph& graph = GetGraph(chain, static_cast<size_t>(state.range(0)));
    Ulmora::TestGraph tests;
    for (size_t i = 0; i < graph.dependencies.size(); ++i)
        tests.AddTest(static_cast<uint32_t>(i + 1), graph.dependencies[i].data(), graph.dependencies[i].size());
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const Ulmora::TestOrder order = Ulmora::OrderTests(tests);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (order.order.size() != graph.dependencies.size())
            state.SkipWithError("not every test was placed");
    }
}

void ThroughManager(benchmark::State& state, bool chain)
{
    Graph& graph = GetGraph(chain, static_cast<size_t>(state.range(0)));
    std::vector<std::unique_ptr<Descriptor>> descriptors;
    for (size_t i = 0; i < graph.dependencies.size(); ++i)
        descriptors.push_back(std::make_unique<Descriptor>(static_cast<uint32_t>(i + 1), graph.dependencies[i]));
    for (auto _ : state) {
        auto manager = std::make_unique<Manager>();
        for (auto& descriptor : descriptors)
            manager->RegisterPlugin(descriptor.get());
        const auto start = std::chrono::steady_clock::now();
        manager->LoadTests();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (manager->GetNumTests() != static_cast<int>(descriptors.size()))
            state.SkipWithError("not every test was placed");
    }
}

void Tsort(benchmark::State& state, bool chain)
{
    Graph& graph = GetGraph(chain, static_cast<size_t>(state.range(0)));
    const std::string command = "tsort " + graph.pairsFile + " > " + graph.pairsFile + ".sorted";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (status != 0)
            state.SkipWithError("tsort failed");
    }
}

// The memory-latency floor of ordering the random graph: the same passes
// over the same arrays (every dependency read in order, and the slot of the
// test it names touched at random), without any ordering logic. Once the
// arrays outgrow the cache this scales past 10x by itself, which bounds how
// well the ordering can scale.
void BM_WalkDag(benchmark::State& state)
{
    Graph& graph = GetGraph(false, static_cast<size_t>(state.range(0)));
    Ulmora::TestGraph tests;
    for (size_t i = 0; i < graph.dependencies.size(); ++i)
        tests.AddTest(static_cast<uint32_t>(i + 1), graph.dependencies[i].data(), graph.dependencies[i].size());
    std::vector<uint32_t> slots(graph.dependencies.size());
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::fill(slots.begin(), slots.end(), 0u);
        for (uint32_t dependency : tests.dependencies)
            ++slots[dependency - 1];
        uint64_t sum = 0;
        for (size_t i = 0; i + 1 < tests.offsets.size(); ++i)
            for (uint32_t k = tests.offsets[i]; k < tests.offsets[i + 1]; ++k)
                sum += slots[tests.dependencies[k] - 1];
        const auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(sum);
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}

void BM_OrderDag(benchmark::State& state) { Ours(state, false); }
void BM_LoadTestsDag(benchmark::State& state) { ThroughManager(state, false); }
void BM_LoadTestsChain(benchmark::State& state) { ThroughManager(state, true); }
void BM_TsortDag(benchmark::State& state) { Tsort(state, false); }
void BM_OrderChain(benchmark::State& state) { Ours(state, true); }
void BM_TsortChain(benchmark::State& state) { Tsort(state, true); }

#define ORDER_BENCH(name) BENCHMARK(name)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond)
ORDER_BENCH(BM_OrderDag);
ORDER_BENCH(BM_WalkDag);
ORDER_BENCH(BM_LoadTestsDag);
ORDER_BENCH(BM_TsortDag);
ORDER_BENCH(BM_OrderChain);
ORDER_BENCH(BM_LoadTestsChain);
ORDER_BENCH(BM_TsortChain);

void Silent(const char*, void*) {}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    // Registering 100,000 tests would otherwise send as many debug lines.
    UlmoraSetDebugOutputHandler(Silent, nullptr);
    UlmoraBench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* graph : {"Dag", "Chain"}) {
        for (const char* size : {"10000", "100000"}) {
            const std::string suffix = std::string("/") + size + "/manual_time";
            reporter.PrintRatio((std::string(graph) + " " + size + " vs tsort").c_str(),
                                std::string("BM_Order") + graph + suffix, std::string("BM_Tsort") + graph + suffix,
                                "< 1.0", false);
        }
        reporter.PrintRatio((std::string(graph) + " scaling").c_str(),
                            std::string("BM_Order") + graph + "/100000/manual_time",
                            std::string("BM_Order") + graph + "/10000/manual_time", "<= 12", false);
    }
    reporter.PrintRatio("Dag plain walk scaling", "BM_WalkDag/100000/manual_time",
                        "BM_WalkDag/10000/manual_time", "the floor for Dag scaling", false);
    benchmark::Shutdown();
    return 0;
}
