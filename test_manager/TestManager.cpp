#include "ulmora/TestManager.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "ulmora/Exception.h"
#include "ulmora/ITest.h"
#include "ulmora/Log.h"

namespace Ulmora {

namespace {

const char kModule[] = "Ulmora::TestManager";

using PluginManagerAPI::PluginID;

int AsInt(uint32_t number)
{
    return static_cast<int>(number);
}

const char* NameOf(ITestDescriptor* test)
{
    const char* name = test->GetName();
    return name != nullptr ? name : "";
}

const uint32_t kNone = 0xFFFFFFFFu;

// Registry position of each identifier number: open addressing in one flat
// array, which stays in cache where a node-based map would not.
class PositionIndex {
public:
    explicit PositionIndex(size_t count)
    {
        size_t size = 16;
        while (size < count * 2)
            size *= 2;
        m_Mask = size - 1;
        m_Slots.assign(size, Slot{0, kNone});
    }

    void Insert(uint32_t id, uint32_t position)
    {
        size_t slot = Hash(id);
        while (m_Slots[slot].position != kNone && m_Slots[slot].id != id)
            slot = (slot + 1) & m_Mask;
        m_Slots[slot] = Slot{id, position};
    }

    uint32_t Find(uint32_t id) const
    {
        for (size_t slot = Hash(id);; slot = (slot + 1) & m_Mask) {
            if (m_Slots[slot].position == kNone || m_Slots[slot].id == id)
                return m_Slots[slot].position;
        }
    }

private:
    struct Slot {
        uint32_t id;
        uint32_t position;
    };

    size_t Hash(uint32_t id) const { return (static_cast<size_t>(id) * 0x9E3779B1u) & m_Mask; }

    std::vector<Slot> m_Slots;
    size_t m_Mask;
};

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

// Finds and reports the first fault in registry order: a missing dependency
// or one that leads back to its test. Only reached when one exists, so it
// may take the time to compute the components of the graph. The tests placed
// before the faulty one stay in the run list.
void ReportFault(const std::vector<ITestDescriptor*>& tests, const std::vector<uint32_t>& ids, const Graph& graph,
                 Log::Logger* logger, std::vector<ITestDescriptor*>& runList)
{
    const uint32_t count = static_cast<uint32_t>(tests.size());

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
        ITestDescriptor* test = tests[t];
        for (uint32_t edge = graph.offsets[t]; edge < graph.offsets[t + 1]; ++edge) {
            const uint32_t target = graph.targets[edge];
            if (target == kNone || target == t || component[target] == component[t]) {
                const PluginDependency& dependency = test->GetPluginDependencies()[edge - graph.offsets[t]];
                const int id = AsInt(dependency.GetPluginID().GetID());
                if (target == kNone) {
                    if (logger != nullptr)
                        logger->PrintLevel(Log::LevelInformation, kModule,
                                           "Test(ID=%d Name=%s) is missing a dependency(ID=%d Desc=%s)",
                                           AsInt(ids[t]), NameOf(test), id, dependency.GetDescription());
                    throw DependencyNotFoundException(dependency);
                }
                if (logger != nullptr)
                    logger->PrintLevel(Log::LevelError, kModule,
                                       "Dependency cycle found between test(ID=%d Name=%s) and dependency(ID=%d "
                                       "Desc=%s)",
                                       AsInt(ids[t]), NameOf(test), id, dependency.GetDescription());
                throw DependencyCycleFoundException(test);
            }
            if (!placed[target])
                deferring = true;
        }
        if (!deferring) {
            placed[t] = 1;
            runList.push_back(test);
        }
    }
}

} // namespace

TestManager::TestObserver::~TestObserver() = default;

TestManager::TestManager() : m_NumTestCompleted(0), m_Logger(nullptr) {}

TestManager::~TestManager() = default;

void TestManager::SetLogger(Log::Logger* logger)
{
    if (logger != nullptr)
        m_Logger = logger;
}

void TestManager::OnPluginObjectDestroyed(PluginManagerAPI::PluginObject* object)
{
    PluginManager::OnPluginObjectDestroyed(object);
    // A test destroyed by its module must not stay in the run list.
    if (object != nullptr) {
        m_Tests.erase(std::remove_if(m_Tests.begin(), m_Tests.end(),
                                     [object](ITestDescriptor* test) {
                                         return static_cast<PluginManagerAPI::PluginObject*>(test) == object;
                                     }),
                      m_Tests.end());
    }
}

void TestManager::GetSearchPatterns(PluginManagerAPI::SearchPatternList& patterns)
{
    AddExecutablePattern(patterns, "*.tst");
}

PluginManagerAPI::PluginManager::ErrorResponse TestManager::OnEndLoadDLL(std::string path, Error error)
{
    return EndLoadOrThrow(path, error, m_Logger, kModule);
}

void TestManager::LoadTests()
{
    if (Load() != 0) {
        if (m_Logger != nullptr)
            m_Logger->PrintLevel(Log::LevelInformation, kModule, "Failed PluginManager::Load()");
        return;
    }

    // The registered tests in registry order, with their identifiers and their
    // dependencies' identifiers: each descriptor is read once, in one pass.
    std::vector<ITestDescriptor*> tests;
    std::vector<uint32_t> ids;
    Graph graph;
    uint32_t lowest = 0xFFFFFFFFu;
    uint32_t highest = 0;
    PluginManagerAPI::PluginIterator* iterator = CreateIterator();
    for (PluginManagerAPI::IPluginDescriptor* d = iterator->First(); d != nullptr; d = iterator->Next()) {
        ITestDescriptor* test = static_cast<ITestDescriptor*>(d);
        const uint32_t id = test->GetPluginID().GetID();
        tests.push_back(test);
        ids.push_back(id);
        lowest = std::min(lowest, id);
        highest = std::max(highest, id);
        graph.offsets.push_back(static_cast<uint32_t>(graph.targets.size()));
        for (const PluginDependency& dependency : test->GetPluginDependencies())
            graph.targets.push_back(dependency.GetPluginID().GetID());
    }
    ReleaseIterator(iterator);
    const uint32_t count = static_cast<uint32_t>(tests.size());
    graph.offsets.push_back(static_cast<uint32_t>(graph.targets.size()));

    // Where each identifier sits. Identifiers are mostly numbered densely:
    // then a plain array by identifier answers with one access to a table a
    // quarter the size of the hashed one.
    const bool dense = count > 0 && uint64_t(highest) - lowest < uint64_t(count) * 4;
    std::vector<uint32_t> byId;
    std::unique_ptr<PositionIndex> position;
    if (dense) {
        byId.assign(size_t(highest) - lowest + 1, kNone);
        for (uint32_t i = 0; i < count; ++i)
            byId[ids[i] - lowest] = i;
    } else {
        position.reset(new PositionIndex(count));
        for (uint32_t i = 0; i < count; ++i)
            position->Insert(ids[i], i);
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
        m_Tests.reserve(m_Tests.size() + count);
        for (uint32_t t = 0; t < firstDeferred; ++t)
            m_Tests.push_back(tests[t]);
        for (uint32_t t : order)
            m_Tests.push_back(tests[t]);
        return;
    }
    ReportFault(tests, ids, graph, m_Logger, m_Tests);
}

bool TestManager::FindCycleDependency(const PluginManagerAPI::PluginID& test,
                                      const PluginManagerAPI::PluginID& dependency)
{
    if (test == dependency)
        return true;
    // Depth first; each test is expanded at most once, so the search ends
    // also when it meets a cycle that does not pass through `test`.
    std::unordered_set<uint32_t> expanded;
    std::vector<uint32_t> pending(1, dependency.GetID());
    while (!pending.empty()) {
        const uint32_t id = pending.back();
        pending.pop_back();
        if (!expanded.insert(id).second)
            continue;
        PluginManagerAPI::PluginIterator* found = FindPlugin(PluginID(id));
        if (found == nullptr)
            continue;  // not registered: its owner's own check reports it
        ITestDescriptor* current = static_cast<ITestDescriptor*>(found->Current());
        ReleaseIterator(found);
        const std::vector<PluginDependency>& dependencies = current->GetPluginDependencies();
        for (auto it = dependencies.rbegin(); it != dependencies.rend(); ++it) {
            if (it->GetPluginID() == test)
                return true;
            pending.push_back(it->GetPluginID().GetID());
        }
    }
    return false;
}

void TestManager::RunTests(IResultDatabase* database)
{
    // By index: a destruction notice may shorten the list while tests run.
    size_t i = 0;
    while (i < m_Tests.size()) {
        ITestDescriptor* test = m_Tests[i];
        PluginManagerAPI::IPluginInstance* instance = test->CreateInstance();
        if (instance == nullptr) {
            // Nothing to run. If the descriptor went away meanwhile, the
            // next test has moved into its place.
            if (i < m_Tests.size() && m_Tests[i] == test)
                ++i;
            continue;
        }
        ++i;
        try {
            static_cast<ITest*>(instance)->Run(database);
        } catch (...) {
            // The instance goes back to its descriptor even when the test
            // fails, so that the module can free it.
            test->DestroyInstance(instance);
            throw;
        }
        if (m_Logger != nullptr)
            m_Logger->PrintLevel(Log::LevelInformation, kModule, "Test(ID=%d Name=%s Version=%d) ran with success.",
                                 AsInt(test->GetPluginID().GetID()), NameOf(test),
                                 static_cast<int>(test->GetVersion()));
        test->DestroyInstance(instance);
        ++m_NumTestCompleted;
        NotifyObservers();
    }
}

void TestManager::AddTestObserver(TestObserver* observer)
{
    m_Observers.push_back(observer);
}

void TestManager::NotifyObservers()
{
    for (size_t i = 0; i < m_Observers.size(); ++i)
        m_Observers[i]->OnTestCompleted(this);
}

int TestManager::GetNumTests() const
{
    return static_cast<int>(m_Tests.size());
}

int TestManager::GetNumTestCompleted() const
{
    return m_NumTestCompleted;
}

} // namespace Ulmora
