// ulmora-test: whitebox
// The run order of many tests, computed by the ordering function itself and
// once through a manager with tests registered directly (no module files),
// against
// an order worked out independently from the rule: tests keep their registry
// order until the first one that needs a test not yet placed; from there on,
// each test comes after the tests it needs, and among the tests ready, the one
// registered last comes first. Large graphs and scattered identifiers take
// other paths through the ordering than the few tests of a module fixture.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <numeric>
#include <queue>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/InMemoryTestDescriptor.h"
#include "test_manager/TestOrder.h"
#include "ulmora/Ulmora.h"

namespace {


using Descriptor = UlmoraTest::InMemoryTestDescriptor;

// Searches no folder and shows its run list.
class Manager : public Ulmora::TestManager {
public:
    std::vector<uint32_t> RunOrder() const
    {
        std::vector<uint32_t> ids;
        for (Ulmora::ITestDescriptor* test : m_Tests)
            ids.push_back(test->GetPluginID().GetID());
        return ids;
    }

protected:
    void GetSearchPatterns(PluginManagerAPI::SearchPatternList&) override {}
};

struct Graph {
    std::vector<uint32_t> ids;                        // by registry position
    std::vector<std::vector<uint32_t>> dependencies;  // identifiers, by registry position
};

// A random graph without cycles whose dependencies are unrelated to the
// registry order, plus a run of tests at the start that need only earlier
// ones, so that both stretches of the order are used.
Graph RandomGraph(size_t count, size_t orderedPrefix, uint32_t idStep, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<uint32_t> rank(count);
    std::iota(rank.begin(), rank.end(), 0);
    std::shuffle(rank.begin() + static_cast<std::ptrdiff_t>(orderedPrefix), rank.end(), random);
    std::vector<uint32_t> byRank(count);
    for (size_t i = 0; i < count; ++i)
        byRank[rank[i]] = static_cast<uint32_t>(i);
    Graph graph;
    for (size_t i = 0; i < count; ++i)
        graph.ids.push_back(static_cast<uint32_t>(i) * idStep + 5);
    graph.dependencies.resize(count);
    for (size_t i = 0; i < count; ++i) {
        if (rank[i] == 0)
            continue;
        const uint32_t wanted = static_cast<uint32_t>(random() % 21);
        for (uint32_t k = 0; k < wanted; ++k)
            graph.dependencies[i].push_back(graph.ids[byRank[random() % rank[i]]]);
    }
    return graph;
}

std::vector<uint32_t> ExpectedOrder(const Graph& graph)
{
    std::map<uint32_t, size_t> positionOf;
    for (size_t i = 0; i < graph.ids.size(); ++i)
        positionOf[graph.ids[i]] = i;
    std::vector<uint32_t> order;
    std::set<size_t> placed;
    size_t t = 0;
    for (; t < graph.ids.size(); ++t) {
        bool ready = true;
        for (uint32_t dependency : graph.dependencies[t])
            ready = ready && placed.count(positionOf.at(dependency)) != 0;
        if (!ready)
            break;
        placed.insert(t);
        order.push_back(graph.ids[t]);
    }
    const size_t firstDeferred = t;
    std::map<size_t, size_t> waiting;
    std::map<size_t, std::vector<size_t>> dependants;
    for (size_t i = firstDeferred; i < graph.ids.size(); ++i) {
        waiting[i] = 0;
        for (uint32_t dependency : graph.dependencies[i]) {
            const size_t position = positionOf.at(dependency);
            if (position >= firstDeferred) {
                ++waiting[i];
                dependants[position].push_back(i);
            }
        }
    }
    std::priority_queue<size_t> ready;
    for (const auto& entry : waiting) {
        if (entry.second == 0)
            ready.push(entry.first);
    }
    while (!ready.empty()) {
        const size_t next = ready.top();
        ready.pop();
        order.push_back(graph.ids[next]);
        for (size_t dependant : dependants[next]) {
            if (--waiting[dependant] == 0)
                ready.push(dependant);
        }
    }
    return order;
}

void Silent(const char*, void*) {}

Ulmora::TestGraph ToTestGraph(const Graph& graph)
{
    Ulmora::TestGraph tests;
    for (size_t i = 0; i < graph.ids.size(); ++i)
        tests.AddTest(graph.ids[i], graph.dependencies[i].data(), graph.dependencies[i].size());
    return tests;
}

std::vector<uint32_t> IdsInOrder(const Graph& graph, const std::vector<uint32_t>& positions)
{
    std::vector<uint32_t> ids;
    for (uint32_t position : positions)
        ids.push_back(graph.ids[position]);
    return ids;
}

TEST(TestOrder, ManyTestsFollowTheOrderingRule)
{
    struct Row {
        const char* name;
        size_t count;
        size_t orderedPrefix;
        uint32_t idStep;  // 1: identifiers numbered densely; larger: scattered
    };
    const Row rows[] = {
        {"few, dense", 50, 5, 1},
        {"few, scattered", 50, 5, 1000003},
        {"many, dense", 30000, 100, 1},        // more dependencies than fit the caches
        {"many, scattered", 30000, 100, 977},
    };
    for (const Row& row : rows) {
        const Graph graph = RandomGraph(row.count, row.orderedPrefix, row.idStep, static_cast<unsigned>(row.count));
        const Ulmora::TestOrder order = Ulmora::OrderTests(ToTestGraph(graph));
        const std::vector<uint32_t> expected = ExpectedOrder(graph);
        ASSERT_EQ(expected.size(), row.count) << row.name;
        EXPECT_EQ(order.fault, Ulmora::TestOrder::NoFault) << row.name;
        EXPECT_TRUE(IdsInOrder(graph, order.order) == expected) << row.name;
    }
}

TEST(TestOrder, TheManagerRunsTestsInTheComputedOrder)
{
    const Graph graph = RandomGraph(2000, 20, 7, 2000);
    std::vector<std::unique_ptr<Descriptor>> descriptors;
    Manager manager;
    UlmoraSetDebugOutputHandler(Silent, nullptr);
    for (size_t i = 0; i < graph.ids.size(); ++i) {
        descriptors.push_back(std::make_unique<Descriptor>(graph.ids[i], graph.dependencies[i]));
        manager.RegisterPlugin(descriptors.back().get());
    }
    manager.LoadTests();
    UlmoraSetDebugOutputHandler(nullptr, nullptr);
    EXPECT_TRUE(manager.RunOrder() == ExpectedOrder(graph));
}

TEST(TestOrder, TheFirstFaultInRegistryOrderEndsTheOrdering)
{
    using Fault = Ulmora::TestOrder::Fault;
    struct Row {
        const char* name;
        Graph graph;
        Fault fault;
        uint32_t faultyTest;        // registry position
        uint32_t faultyDependency;  // index in its list
        std::vector<uint32_t> placed;  // identifiers kept before the fault
    };
    const Row rows[] = {
        {"missing", {{1, 2, 3}, {{}, {1, 99}, {}}}, Fault::MissingDependency, 1, 1, {1}},
        {"itself", {{1, 2}, {{}, {2}}}, Fault::DependencyCycle, 1, 0, {1}},
        {"two in a cycle", {{1, 2, 3}, {{}, {3}, {2}}}, Fault::DependencyCycle, 1, 0, {1}},
        // The test before the cycle waits for a later test: nothing after it is placed.
        {"cycle behind a deferred test", {{1, 2, 3, 4}, {{4}, {}, {4}, {3}}}, Fault::DependencyCycle, 2, 0, {}},
        {"itself before a missing one", {{5, 6, 7}, {{6}, {6}, {42}}}, Fault::DependencyCycle, 1, 0, {}},
        {"scattered identifiers", {{4000000000u, 17, 123456789}, {{}, {4000000000u}, {123456789, 8}}},
         Fault::DependencyCycle, 2, 0, {4000000000u, 17}},
    };
    for (const Row& row : rows) {
        const Ulmora::TestOrder order = Ulmora::OrderTests(ToTestGraph(row.graph));
        EXPECT_EQ(order.fault, row.fault) << row.name;
        EXPECT_EQ(order.faultyTest, row.faultyTest) << row.name;
        EXPECT_EQ(order.faultyDependency, row.faultyDependency) << row.name;
        EXPECT_EQ(IdsInOrder(row.graph, order.order), row.placed) << row.name;
    }
}

TEST(TestOrder, NoTestsGiveAnEmptyOrder)
{
    const Ulmora::TestOrder order = Ulmora::OrderTests(Ulmora::TestGraph());
    EXPECT_EQ(order.fault, Ulmora::TestOrder::NoFault);
    EXPECT_TRUE(order.order.empty());
}

} // namespace
