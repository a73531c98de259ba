#include "ulmora/Log.h"

#include <algorithm>
#include <cstdio>

namespace Log {

ILogOutput::ILogOutput() = default;
ILogOutput::ILogOutput(const ILogOutput&) = default;
ILogOutput& ILogOutput::operator=(const ILogOutput&) = default;
ILogOutput::~ILogOutput() = default;

Logger::Logger() : m_LastTime(0) {}

Logger::~Logger() = default;

void Logger::AddOutput(ILogOutput* output)
{
    if (std::find(m_Outputs.begin(), m_Outputs.end(), output) == m_Outputs.end())
        m_Outputs.push_back(output);
}

void Logger::RemoveOutput(ILogOutput* output)
{
    auto it = std::find(m_Outputs.begin(), m_Outputs.end(), output);
    if (it != m_Outputs.end())
        m_Outputs.erase(it);
}

int Logger::VPrint(int level, const char* module, const char* format, va_list args)
{
    char buffer[BufferSize];
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    // A message that does not fit whole is dropped rather than delivered cut.
    if (length < 0 || length >= static_cast<int>(sizeof buffer))
        return -1;
    m_LastTime = std::time(nullptr);
    for (ILogOutput* output : m_Outputs)
        output->Write(level, module, &m_LastTime, buffer);
    return length;
}

int Logger::Print(const char* module, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int result = VPrint(LevelInformation, module, format, args);
    va_end(args);
    return result;
}

int Logger::PrintLevel(int level, const char* module, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int result = VPrint(level, module, format, args);
    va_end(args);
    return result;
}

int Logger::PrintNoModule(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int result = VPrint(LevelInformation, "", format, args);
    va_end(args);
    return result;
}

} // namespace Log
