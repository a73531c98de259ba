#include "ulmora/Exception.h"

#include <cstdio>


namespace Ulmora {

Exception::Exception() = default;
Exception::Exception(const Exception& other) = default;
Exception& Exception::operator=(const Exception& other) = default;
Exception::~Exception() = default;

const char* Exception::GetErrorMsg() const
{
    return m_Message.c_str();
}

UlmoraFailedException::UlmoraFailedException(const char* message)
{
    m_Message = message;
}

DLLLoadFailedException::DLLLoadFailedException(const std::string& moduleName)
{
    m_Message = "The application exited because it failed to load the following library:\r\n";
    m_Message += moduleName;
}

ResultDBException::ResultDBException() = default;

ResultNotFoundException::ResultNotFoundException(const std::string& key)
{
    m_Message = "Result not found : ";
    m_Message += key;
}

ResultIndexOutOfBoundException::ResultIndexOutOfBoundException(unsigned long index)
{
    char text[64];
    std::snprintf(text, sizeof text, "Index out of bound: %lu", index);
    m_Message = text;
}

TestManagerException::TestManagerException() = default;

} // namespace Ulmora
