#include "ulmora/InterpreterManager.h"

#include "ulmora/ParameterList.h"

namespace Ulmora {

InterpreterManager::InterpreterManager() : m_ParameterList(new ParameterList()), m_Logger(nullptr)
{
}

InterpreterManager::~InterpreterManager()
{
    delete m_ParameterList;
    m_ParameterList = nullptr;
}

void InterpreterManager::SetLogger(Log::Logger* logger)
{
    if (logger != nullptr)
        m_Logger = logger;
}

void InterpreterManager::LoadInterpreters() {}

unsigned int InterpreterManager::InterpretResults(const IResultDatabase* /*database*/)
{
    return 0;
}

void InterpreterManager::SaveResults() {}

ParameterList* InterpreterManager::GetParameterList()
{
    return m_ParameterList;
}

} // namespace Ulmora
