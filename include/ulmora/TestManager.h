// The test manager: loads the "*.tst" modules, orders their tests by their
// dependencies and runs them against the result database.
#ifndef ULMORA_TESTMANAGER_H
#define ULMORA_TESTMANAGER_H

#include <vector>

#include "ulmora/Export.h"

namespace Log { class Logger; }

namespace Ulmora {

class Application;
class IResultDatabase;
class ITestDescriptor;

class ULMORA_API TestManager {
public:
    // Implemented by hosts that want to follow a run's progress.
    class ULMORA_API TestObserver {
    public:
        // Slot 0: called after every completed test.
        virtual void OnTestCompleted(TestManager* manager) = 0;
        virtual ~TestObserver();
    };

    void SetLogger(Log::Logger* logger);
    void LoadTests();
    void RunTests(IResultDatabase* database);
    void AddTestObserver(TestObserver* observer);
    int GetNumTests() const;
    int GetNumTestCompleted() const;

protected:
    friend class Application;
    TestManager();
    virtual ~TestManager();
    void NotifyObservers();

    std::vector<TestObserver*> m_Observers;
    std::vector<ITestDescriptor*> m_Tests;
    int m_NumTestCompleted;
    Log::Logger* m_Logger;
};

} // namespace Ulmora

#endif
