#include "ulmora/TestManager.h"

namespace Ulmora {

TestManager::TestObserver::~TestObserver() = default;

TestManager::TestManager() : m_NumTestCompleted(0), m_Logger(nullptr) {}

TestManager::~TestManager() = default;

void TestManager::SetLogger(Log::Logger* logger)
{
    if (logger != nullptr)
        m_Logger = logger;
}

void TestManager::LoadTests() {}

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
