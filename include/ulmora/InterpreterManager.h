// The interpreter manager: loads the "*.intr" modules and runs their
// interpreters over the results.
#ifndef ULMORA_INTERPRETERMANAGER_H
#define ULMORA_INTERPRETERMANAGER_H

#include "ulmora/Export.h"
#include "ulmora/PluginManager.h"

class ParameterList;
namespace Log { class Logger; }

namespace Ulmora {

class Application;
class IResultDatabase;

class ULMORA_API InterpreterManager : public PluginManagerAPI::PluginManager {
public:
    void SetLogger(Log::Logger* logger);
    void LoadInterpreters();
    unsigned int InterpretResults(const IResultDatabase* database);
    void SaveResults();
    ParameterList* GetParameterList();

protected:
    friend class Application;
    InterpreterManager();
    ~InterpreterManager() override;

    ParameterList* m_ParameterList;
    Log::Logger* m_Logger;

private:
    InterpreterManager(const InterpreterManager&) = delete;
    InterpreterManager& operator=(const InterpreterManager&) = delete;
};

} // namespace Ulmora

#endif
