#include "test_manager/TestOrder.h"

#include <algorithm>
#include <memory>

#include "util/IdentifierIndex.h"

namespace Ulmora {

namespace {

const uint32_t kNone = Util::IdentifierIndex::kNone;

// The set of deferred tests ready to be appended, by deferred index, with the
// largest taken first: a bitmap with a summary word per 64 words, which keeps
// the whole set within a few cache lines where a heap would scatter.
class ReadySet {
public:
    explicit ReadySet(size_t count) : m_Bits((count + 63) / 64, 0), m_Summary((m_Bits.size() + 63) / 64, 0) {}

    void Insert(uint32_t index)
    {
        m_Bits[index / 64] |= uint64_t(1) << (index % 64);
        m_Summary[index / 4096] |= uint64_t(1) << ((index / 64) % 64);
        m_Top = std::max<size_t>(m_Top, index / 4096);
        ++m_Size;
    }

    bool Empty() const { return m_Size == 0; }

    // Removes and returns the largest index; the set must not be empty.
    uint32_t TakeLargest()
    {
        while (m_Summary[m_Top] == 0)
            --m_Top;
        const size_t word = m_Top * 64 + (63 - static_cast<size_t>(__builtin_clzll(m_Summary[m_Top])));
        const uint32_t bit = 63 - static_cast<uint32_t>(__builtin_clzll(m_Bits[word]));
        m_Bits[word] &= ~(uint64_t(1) << bit);
        if (m_Bits[word] == 0)
            m_Summary[m_Top] &= ~(uint64_t(1) << (word % 64));
        --m_Size;
        return static_cast<uint32_t>(word * 64 + bit);
    }

private:
    std::vector<uint64_t> m_Bits;
    std::vector<uint64_t> m_Summary;
    size_t m_Top = 0;  // no summary word above it is set
    size_t m_Size = 0;
};

// A graph in compressed rows: the targets of node n are
// targets[offsets[n]] up to targets[offsets[n + 1]]; kNone marks a
// dependency that no registered test has.
struct Graph {
    std::vector<uint32_t> offsets;
    std::vector<uint32_t> targets;
};

// Strongly connected components of the graph, numbered per node (Tarjan's
// algorithm, iterative so that long chains cannot exhaust the stack). Two
// tests share a component exactly when each reaches the other.
std::vector<uint32_t> Components(const Graph& graph)
{
    // One record per node keeps a visit to one cache line. A node is on
    // the stack while it has an index but no component yet.
    struct Node {
        uint32_t index = kNone;
        uint32_t low = 0;
        uint32_t component = kNone;
    };
    const size_t n = graph.offsets.size() - 1;
    std::vector<Node> nodes(n);
    std::vector<uint32_t> stack;
    std::vector<std::pair<uint32_t, uint32_t>> calls;  // node, next edge to follow
    uint32_t counter = 0;
    uint32_t components = 0;
    auto enter = [&](uint32_t node) {
        nodes[node].index = nodes[node].low = counter++;
        stack.push_back(node);
        calls.emplace_back(node, graph.offsets[node]);
    };
    for (uint32_t root = 0; root < n; ++root) {
        if (nodes[root].index != kNone)
            continue;
        enter(root);
        while (!calls.empty()) {
            const uint32_t node = calls.back().first;
            uint32_t& next = calls.back().second;
            if (next < graph.offsets[node + 1]) {
                const uint32_t target = graph.targets[next++];
                if (target == kNone)
                    continue;
                const Node& visited = nodes[target];
                if (visited.index == kNone)
                    enter(target);
                else if (visited.component == kNone)
                    nodes[node].low = std::min(nodes[node].low, visited.index);
                continue;
            }
            if (nodes[node].low == nodes[node].index) {
                uint32_t member;
                do {
                    member = stack.back();
                    stack.pop_back();
                    nodes[member].component = components;
                } while (member != node);
                ++components;
            }
            calls.pop_back();
            if (!calls.empty()) {
                const uint32_t parent = calls.back().first;
                nodes[parent].low = std::min(nodes[parent].low, nodes[node].low);
            }
        }
    }
    std::vector<uint32_t> component(n);
    for (size_t i = 0; i < n; ++i)
        component[i] = nodes[i].component;
    return component;
}

// Finds the first fault in registry order: a missing dependency or one that
// leads back to its test. Only reached when one exists, so it may take the
// time to compute the components of the graph. `graph.targets` holds
// registry positions by now.
void FindFault(const Graph& graph, TestOrder& result)
{
    const uint32_t count = static_cast<uint32_t>(graph.offsets.size() - 1);

    // A dependency leads back to its test exactly when both lie in one
    // strongly connected component (or the test names itself), so the
    // components, computed once, answer every cycle check. Dependencies that
    // no registered test has count as leading nowhere; their owner's own
    // check reports them.
    const std::vector<uint32_t> component = Components(graph);

    // Tests are placed in registry order up to the first one that needs a
    // test not yet placed; the fault lies at that test or later.
    std::vector<char> placed(count, 0);
    bool deferring = false;
    for (uint32_t t = 0; t < count; ++t) {
        for (uint32_t edge = graph.offsets[t]; edge < graph.offsets[t + 1]; ++edge) {
            const uint32_t target = graph.targets[edge];
            if (target == kNone || target == t || component[target] == component[t]) {
                result.fault = target == kNone ? TestOrder::MissingDependency : TestOrder::DependencyCycle;
                result.faultyTest = t;
                result.faultyDependency = edge - graph.offsets[t];
                return;
            }
            if (!placed[target])
                deferring = true;
        }
        if (!deferring) {
            placed[t] = 1;
            result.order.push_back(t);
        }
    }
}

} // namespace

TestOrder OrderTests(const TestGraph& tests)
{
    TestOrder result;
    const std::vector<uint32_t>& ids = tests.ids;
    const uint32_t count = static_cast<uint32_t>(ids.size());
    Graph graph;
    graph.offsets = tests.offsets;
    graph.targets = tests.dependencies;
    uint32_t lowest = 0xFFFFFFFFu;
    uint32_t highest = 0;
    for (uint32_t id : ids) {
        lowest = std::min(lowest, id);
        highest = std::max(highest, id);
    }

    // Where each identifier sits. Identifiers are mostly numbered densely:
    // then a plain array by identifier answers with one access to a table a
    // quarter the size of the hashed one.
    const bool dense = count > 0 && uint64_t(highest) - lowest < uint64_t(count) * 4;
    std::vector<uint32_t> byId;
    std::unique_ptr<Util::IdentifierIndex> position;
    if (dense) {
        byId.assign(size_t(highest) - lowest + 1, kNone);
        for (uint32_t i = 0; i < count; ++i)
            byId[ids[i] - lowest] = i;
    } else {
        position.reset(new Util::IdentifierIndex(count));
        for (uint32_t i = 0; i < count; ++i)
            position->InsertFirst(ids[i], i);
    }

    // Dependencies become registry positions (kNone: no registered test has
    // it). In the same pass: the first test that needs a test not placed
    // before it starts the deferred stretch (every later test is deferred
    // too), and each deferred test counts the deferred tests it waits for
    // and is counted as a dependant of each of them. A missing dependency or
    // a test needing itself is a fault, reported below.
    uint32_t firstDeferred = count;
    bool fault = false;
    std::vector<uint32_t> waiting;
    std::vector<uint32_t> dependantEnds;
    for (uint32_t t = 0; t < count; ++t) {
        const uint32_t begin = graph.offsets[t];
        const uint32_t end = graph.offsets[t + 1];
        bool deferred = firstDeferred != count;
        for (uint32_t edge = begin; edge < end; ++edge) {
            const uint32_t id = graph.targets[edge];
            uint32_t target;
            if (dense)
                target = id >= lowest && id <= highest ? byId[id - lowest] : kNone;
            else
                target = position->Find(id);
            graph.targets[edge] = target;
            if (target == kNone || target == t)
                fault = true;
            if (target == kNone || target >= t)
                deferred = true;
        }
        if (!deferred)
            continue;
        if (firstDeferred == count) {
            firstDeferred = t;
            waiting.assign(count - t, 0);
            dependantEnds.assign(count - t + 1, 0);
        }
        for (uint32_t edge = begin; edge < end; ++edge) {
            const uint32_t target = graph.targets[edge];
            if (target != kNone && target >= firstDeferred) {
                ++waiting[t - firstDeferred];
                ++dependantEnds[target - firstDeferred];
            }
        }
    }

    // The deferred tests, each after the deferred tests it needs; among the
    // tests ready, the one registered last comes first. Deferred test j is
    // test firstDeferred + j.
    std::vector<uint32_t> order;
    const uint32_t deferredCount = count - firstDeferred;
    if (!fault && deferredCount > 0) {
        // Dependants in compressed rows, filled from each row's end. The
        // order within a row does not matter: a row is taken in as a whole.
        for (uint32_t j = 1; j <= deferredCount; ++j)
            dependantEnds[j] += dependantEnds[j - 1];
        const uint32_t total = dependantEnds[deferredCount];
        std::vector<uint32_t> dependants(total);
        if (size_t(total) * sizeof(uint32_t) <= (size_t(1) << 19)) {
            for (uint32_t j = 0; j < deferredCount; ++j) {
                const uint32_t t = firstDeferred + j;
                for (uint32_t edge = graph.offsets[t]; edge < graph.offsets[t + 1]; ++edge) {
                    const uint32_t target = graph.targets[edge];
                    if (target >= firstDeferred)
                        dependants[--dependantEnds[target - firstDeferred]] = j;
                }
            }
        } else {
            // Rows that outgrow the caches are filled in two sweeps, so that
            // no write lands in a random place of a large array: the edges
            // are first grouped by a range of rows (in that range's place of
            // the final array), then each group fills its own small range.
            unsigned shift = 0;
            while ((deferredCount >> shift) >= 256)
                ++shift;
            std::vector<uint32_t> cursor((deferredCount >> shift) + 1);
            for (size_t group = 0; group < cursor.size(); ++group) {
                const size_t first = group << shift;
                cursor[group] = first == 0 ? 0 : dependantEnds[first - 1];
            }
            std::vector<std::pair<uint32_t, uint32_t>> grouped(total);  // row, dependant
            for (uint32_t j = 0; j < deferredCount; ++j) {
                const uint32_t t = firstDeferred + j;
                for (uint32_t edge = graph.offsets[t]; edge < graph.offsets[t + 1]; ++edge) {
                    const uint32_t target = graph.targets[edge];
                    if (target >= firstDeferred) {
                        const uint32_t row = target - firstDeferred;
                        grouped[cursor[row >> shift]++] = std::make_pair(row, j);
                    }
                }
            }
            for (const std::pair<uint32_t, uint32_t>& entry : grouped)
                dependants[--dependantEnds[entry.first]] = entry.second;
        }
        // Now dependantEnds[i] is where the dependants of i begin, and
        // dependantEnds[i + 1] where they end.
        order.reserve(deferredCount);
        ReadySet ready(deferredCount);
        for (uint32_t j = 0; j < deferredCount; ++j) {
            if (waiting[j] == 0)
                ready.Insert(j);
        }
        while (!ready.Empty()) {
            const uint32_t j = ready.TakeLargest();
            order.push_back(firstDeferred + j);
            for (uint32_t k = dependantEnds[j]; k < dependantEnds[j + 1]; ++k) {
                if (--waiting[dependants[k]] == 0)
                    ready.Insert(dependants[k]);
            }
        }
        // Tests left over wait on each other: a cycle.
        if (order.size() != deferredCount)
            fault = true;
    }
    if (!fault) {
        result.order.reserve(count);
        for (uint32_t t = 0; t < firstDeferred; ++t)
            result.order.push_back(t);
        result.order.insert(result.order.end(), order.begin(), order.end());
        return result;
    }
    FindFault(graph, result);
    return result;
}

} // namespace Ulmora
