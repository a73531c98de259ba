// The interpreter manager: loads the "*.intr" modules and runs their
// interpreters over the results.
#ifndef ULMORA_INTERPRETERMANAGER_H
#define ULMORA_INTERPRETERMANAGER_H

#include "ulmora/Export.h"

class ParameterList;
namespace Log { class Logger; }

namespace Ulmora {

class Application;
class IResultDatabase;

class ULMORA_API InterpreterManager {
public:
    void SetLogger(Log::Logger* logger);
    void LoadInterpreters();
    unsigned int InterpretResults(const IResultDatabase* database);
    void SaveResults();
    ParameterList* GetParameterList();

protected:
    friend class Application;
    InterpreterManager();
    virtual ~InterpreterManager();

    ParameterList* m_ParameterList;
    Log::Logger* m_Logger;
};

} // namespace Ulmora

#endif
