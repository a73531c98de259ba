// The library's one implementation of IApplication.
#ifndef ULMORA_APPLICATION_APPLICATION_H
#define ULMORA_APPLICATION_APPLICATION_H

#include "ulmora/Exception.h"
#include "ulmora/IApplication.h"
#include "ulmora/InterpreterManager.h"
#include "ulmora/Log.h"
#include "ulmora/TestManager.h"

namespace Ulmora {

class Application : public IApplication {
public:
    unsigned int Run() override;
    void Save() override;
    void LoadTestDLLs() override;
    void LoadInterpreterDLLs() override;
    void RegisterInterpreter(IInterpreterDescriptor* descriptor) override;
    void SetResultDatabase(IResultDatabase* database) override;
    ParameterList* GetParameterList() override;
    const char* Name() override;
    float Version() override;
    void AddTestObserver(TestManager::TestObserver* observer) override;
    std::string Output() override;
    std::string GetLoadedPluginsInfo() override;
    void UseDefaultLogOutput(const char* path) override;
    void AddLogOutput(Log::ILogOutput* output) override;
    void RemoveLogOutput(Log::ILogOutput* output) override;

    static Application* Create();

protected:
    Application();
    ~Application() override;

private:
    // Copies would share the owned store, output and modules.
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Logs a library error caught while loading and turns it into the one
    // error type hosts see.
    [[noreturn]] void Fail(const Exception& error);

    IResultDatabase* m_ResultDatabase;
    IResultDatabase* m_OwnResultDatabase;
    TestManager m_TestManager;
    InterpreterManager m_InterpreterManager;
    Log::Logger m_Logger;
    Log::ILogOutput* m_DefaultLogOutput;
};

} // namespace Ulmora

#endif
