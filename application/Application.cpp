#include "UlmoraVersion.h"
#include "application/Application.h"

#include <cstdio>

#include "log/FileLogOutput.h"
#include "result_database/ResultStore.h"
#include "ulmora/IInterpreter.h"
#include "ulmora/ITest.h"
#include "ulmora/Exception.h"
#include "ulmora/IResultDatabase.h"

namespace Ulmora {

namespace {
const char kModule[] = "Ulmora::Application";
}

IApplication::IApplication() = default;
IApplication::IApplication(const IApplication&) = default;
IApplication& IApplication::operator=(const IApplication&) = default;
IApplication::~IApplication() = default;

void DestroyApplication(IApplication* application)
{
    delete application;
}

Application* Application::Create()
{
    return new Application();
}

Application::Application()
    : m_ResultDatabase(nullptr), m_OwnResultDatabase(nullptr), m_DefaultLogOutput(nullptr)
{
    m_OwnResultDatabase = new ResultStore();
    m_ResultDatabase = m_OwnResultDatabase;
    m_TestManager.SetLogger(&m_Logger);
    m_InterpreterManager.SetLogger(&m_Logger);
}

Application::~Application()
{
    delete m_OwnResultDatabase;
    m_OwnResultDatabase = nullptr;
    if (m_DefaultLogOutput != nullptr) {
        delete m_DefaultLogOutput;
        m_DefaultLogOutput = nullptr;
    }
    // Members then go in reverse order: logger, interpreter manager, test
    // manager, so interpreter modules are unloaded before test modules.
}

void Application::Fail(const Exception& error)
{
    m_Logger.PrintLevel(Log::LevelError, kModule, "Ulmora failed!");
    m_Logger.PrintLevel(Log::LevelError, kModule, "%s", error.GetErrorMsg());
    throw UlmoraFailedException(error.GetErrorMsg());
}

unsigned int Application::Run()
{
    unsigned int answer = 0;
    try {
        m_Logger.Print(kModule, "Clearing result database.");
        m_ResultDatabase->Clear();
        m_Logger.Print(kModule, "Running tests...");
        m_TestManager.RunTests(m_ResultDatabase);
        m_Logger.Print(kModule, "Finished running tests.");
        m_Logger.Print(kModule, "Interpreting results...");
        answer = m_InterpreterManager.InterpretResults(m_ResultDatabase);
        m_Logger.Print(kModule, "Finished interpretation.");
    } catch (const ResultDBException& error) {
        m_Logger.PrintLevel(Log::LevelWarning, kModule,
                            "This exception should have been caught in the interpreter!");
        Fail(error);
    } catch (const Exception& error) {
        Fail(error);
    }
    m_ResultDatabase->WriteToLog(&m_Logger);
    return answer;
}

void Application::Save()
{
    m_InterpreterManager.SaveResults();
}

void Application::LoadTestDLLs()
{
    try {
        m_TestManager.LoadTests();
    } catch (const Exception& error) {
        Fail(error);
    }
}

void Application::LoadInterpreterDLLs()
{
    try {
        m_InterpreterManager.LoadInterpreters();
    } catch (const Exception& error) {
        Fail(error);
    }
}

void Application::RegisterInterpreter(IInterpreterDescriptor* descriptor)
{
    // A refusal (null, or an identifier already registered) is not passed on.
    m_InterpreterManager.RegisterPlugin(descriptor);
}

void Application::SetResultDatabase(IResultDatabase* database)
{
    if (database != nullptr)
        m_ResultDatabase = database;
}

ParameterList* Application::GetParameterList()
{
    return m_InterpreterManager.GetParameterList();
}

const char* Application::Name()
{
    return "Ulmora";
}

float Application::Version()
{
    return ULMORA_VERSION_FLOAT;
}

void Application::AddTestObserver(TestManager::TestObserver* observer)
{
    m_TestManager.AddTestObserver(observer);
}

std::string Application::Output()
{
    return m_ResultDatabase->GetAsText();
}

namespace {

// One "name , V.version\r\n" line per registered plug-in, in registry order.
// Lines are not cut, however long the name.
void AppendPluginsInfo(PluginManagerAPI::PluginManager& manager, std::string* text)
{
    PluginManagerAPI::PluginIterator* iterator = manager.CreateIterator();
    for (PluginManagerAPI::IPluginDescriptor* descriptor = iterator->First(); descriptor != nullptr;
         descriptor = iterator->Next()) {
        const char* name = descriptor->GetName();
        *text += name != nullptr ? name : "";
        *text += " , V.";
        *text += std::to_string(descriptor->GetVersion());
        *text += "\r\n";
    }
    manager.ReleaseIterator(iterator);
}

} // namespace

std::string Application::GetLoadedPluginsInfo()
{
    std::string text;
    AppendPluginsInfo(m_InterpreterManager, &text);
    AppendPluginsInfo(m_TestManager, &text);
    return text;
}

void Application::UseDefaultLogOutput(const char* path)
{
    if (m_DefaultLogOutput != nullptr)
        return;
    m_DefaultLogOutput = new FileLogOutput(path, "w+t");
    m_Logger.AddOutput(m_DefaultLogOutput);
}

void Application::AddLogOutput(Log::ILogOutput* output)
{
    m_Logger.AddOutput(output);
}

void Application::RemoveLogOutput(Log::ILogOutput* output)
{
    m_Logger.RemoveOutput(output);
}

} // namespace Ulmora

extern "C" ULMORA_API Ulmora::IApplication* CreateApplication(Ulmora::IApplication** application)
{
    if (*application != nullptr) {
        Ulmora::DestroyApplication(*application);
        *application = nullptr;
    }
    *application = Ulmora::Application::Create();
    return *application;
}

extern "C" ULMORA_API void ReleaseApplication(Ulmora::IApplication** application)
{
    if (*application == nullptr)
        return;
    Ulmora::DestroyApplication(*application);
    *application = nullptr;
}
