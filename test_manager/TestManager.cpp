#include "ulmora/TestManager.h"

#include <algorithm>
#include <unordered_set>

#include "test_manager/TestOrder.h"
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
    TestGraph graph;
    PluginManagerAPI::PluginIterator* iterator = CreateIterator();
    for (PluginManagerAPI::IPluginDescriptor* d = iterator->First(); d != nullptr; d = iterator->Next()) {
        ITestDescriptor* test = static_cast<ITestDescriptor*>(d);
        tests.push_back(test);
        graph.ids.push_back(test->GetPluginID().GetID());
        for (const PluginDependency& dependency : test->GetPluginDependencies())
            graph.dependencies.push_back(dependency.GetPluginID().GetID());
        graph.offsets.push_back(static_cast<uint32_t>(graph.dependencies.size()));
    }
    ReleaseIterator(iterator);

    const TestOrder order = OrderTests(graph);
    // With a fault, the tests placed before the faulty one stay in the run list.
    m_Tests.reserve(m_Tests.size() + order.order.size());
    for (uint32_t t : order.order)
        m_Tests.push_back(tests[t]);
    if (order.fault == TestOrder::NoFault)
        return;

    ITestDescriptor* test = tests[order.faultyTest];
    const PluginDependency& dependency = test->GetPluginDependencies()[order.faultyDependency];
    const int testId = AsInt(graph.ids[order.faultyTest]);
    const int id = AsInt(dependency.GetPluginID().GetID());
    if (order.fault == TestOrder::MissingDependency) {
        if (m_Logger != nullptr)
            m_Logger->PrintLevel(Log::LevelInformation, kModule,
                                 "Test(ID=%d Name=%s) is missing a dependency(ID=%d Desc=%s)", testId, NameOf(test),
                                 id, dependency.GetDescription());
        throw DependencyNotFoundException(dependency);
    }
    if (m_Logger != nullptr)
        m_Logger->PrintLevel(Log::LevelError, kModule,
                             "Dependency cycle found between test(ID=%d Name=%s) and dependency(ID=%d Desc=%s)",
                             testId, NameOf(test), id, dependency.GetDescription());
    throw DependencyCycleFoundException(test);
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
