#include "ulmora/TestManager.h"

#include "ulmora/ITest.h"

namespace Ulmora {

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
}

void TestManager::GetSearchPatterns(PluginManagerAPI::SearchPatternList& /*patterns*/) {}

PluginManagerAPI::PluginManager::ErrorResponse TestManager::OnEndLoadDLL(std::string path, Error error)
{
    return PluginManager::OnEndLoadDLL(path, error);
}

void TestManager::LoadTests() {}

bool TestManager::FindCycleDependency(const PluginManagerAPI::PluginID& test,
                                      const PluginManagerAPI::PluginID& dependency)
{
    return test == dependency;
}

void TestManager::RunTests(IResultDatabase* /*database*/) {}

void TestManager::AddTestObserver(TestObserver* observer)
{
    m_Observers.push_back(observer);
}

void TestManager::NotifyObservers()
{
    for (TestObserver* observer : m_Observers)
        observer->OnTestCompleted(this);
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
