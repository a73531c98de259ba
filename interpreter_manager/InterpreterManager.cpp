#include "ulmora/InterpreterManager.h"

namespace Ulmora {

InterpreterManager::InterpreterManager() : m_ParameterList(nullptr), m_Logger(nullptr) {}

InterpreterManager::~InterpreterManager() = default;

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
