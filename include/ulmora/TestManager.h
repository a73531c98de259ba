// The test manager: loads the "*.tst" modules found under the host
// executable's directory, orders their tests by their dependencies and runs
// them against the result database.
//
// Threads: a manager is used by one thread at a time; observers are called on that thread.
#ifndef ULMORA_TESTMANAGER_H
#define ULMORA_TESTMANAGER_H

#include <string>
#include <vector>

#include "ulmora/Export.h"
#include "ulmora/PluginManager.h"

namespace Log { class Logger; }

namespace Ulmora {

class Application;
class IResultDatabase;
class ITestDescriptor;

class ULMORA_API TestManager : public PluginManagerAPI::PluginManager {
public:
    // Implemented by hosts that want to follow a run's progress.
    class ULMORA_API TestObserver {
    public:
        // Slot 0: called after every completed test.
        virtual void OnTestCompleted(TestManager* manager) = 0;
        virtual ~TestObserver();
    };

    // Logs to `logger` from now on; null is ignored. Not owned.
    void SetLogger(Log::Logger* logger);
    // Loads the test modules, checks every test's dependencies and appends
    // every registered test to the run list, each after the tests it needs.
    // Throws DLLLoadFailedException, DependencyNotFoundException or
    // DependencyCycleFoundException.
    void LoadTests();
    // Runs the run list once, in order, each test on a fresh instance.
    void RunTests(IResultDatabase* database);
    // Not owned; duplicates are called twice.
    void AddTestObserver(TestObserver* observer);
    int GetNumTests() const;
    int GetNumTestCompleted() const;

protected:
    friend class Application;
    TestManager();
    ~TestManager() override;

    // Also drops a destroyed descriptor from the run list.
    void OnPluginObjectDestroyed(PluginManagerAPI::PluginObject* object) override;
    // The host executable's directory, "*.tst", recursive.
    void GetSearchPatterns(PluginManagerAPI::SearchPatternList& patterns) override;
    // Any failed module ends the load with DLLLoadFailedException.
    ErrorResponse OnEndLoadDLL(std::string path, Error error) override;

    // True when the test `test` can be reached from the test `dependency`
    // through dependencies (or is that test).
    bool FindCycleDependency(const PluginManagerAPI::PluginID& test, const PluginManagerAPI::PluginID& dependency);
    void NotifyObservers();

    std::vector<TestObserver*> m_Observers;
    std::vector<ITestDescriptor*> m_Tests;
    int m_NumTestCompleted;
    Log::Logger* m_Logger;

private:
    TestManager(const TestManager&) = delete;
    TestManager& operator=(const TestManager&) = delete;
};

} // namespace Ulmora

#endif
