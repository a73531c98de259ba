// The interpreter manager: loads the "*.intr" modules found under the host
// executable's folder and runs their interpreters over the results.
//
// Threads: a manager is used by one thread at a time; its hooks run on that thread.
#ifndef ULMORA_INTERPRETERMANAGER_H
#define ULMORA_INTERPRETERMANAGER_H

#include <string>

#include "ulmora/Export.h"
#include "ulmora/PluginManager.h"

class ParameterList;
namespace Log { class Logger; }

namespace Ulmora {

class Application;
class IResultDatabase;

class ULMORA_API InterpreterManager : public PluginManagerAPI::PluginManager {
public:
    // Null is ignored.
    void SetLogger(Log::Logger* logger);
    // Loads every interpreter module under the host executable's folder. The
    // first module that fails to load ends the load with
    // DLLLoadFailedException; what was loaded before stays.
    void LoadInterpreters();
    // Runs the interpreters in registry order until one answers non-zero and
    // returns that answer (0 when none does). Each interpreter's parameter
    // list, when it has one, is added to GetParameterList() with identifiers
    // counted from 0 in every call. Errors from an interpreter end the pass.
    unsigned int InterpretResults(const IResultDatabase* database);
    // Asks every interpreter, on a fresh instance, to save its results.
    void SaveResults();
    // The interpreters' lists gathered so far; the same object for the
    // manager's whole life.
    ParameterList* GetParameterList();

protected:
    friend class Application;
    InterpreterManager();
    ~InterpreterManager() override;

    void GetSearchPatterns(PluginManagerAPI::SearchPatternList& patterns) override;
    ErrorResponse OnEndLoadDLL(std::string path, Error error) override;

    ParameterList* m_ParameterList;
    Log::Logger* m_Logger;

private:
    InterpreterManager(const InterpreterManager&) = delete;
    InterpreterManager& operator=(const InterpreterManager&) = delete;
};

} // namespace Ulmora

#endif
