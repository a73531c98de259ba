#include "ulmora/Exception.h"

#include <cstdio>

#include "ulmora/ITest.h"

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

DependencyNotFoundException::DependencyNotFoundException(const PluginDependency& dependency)
{
    char id[32];
    std::snprintf(id, sizeof id, "ID: %d\r\n", static_cast<int>(dependency.GetPluginID().GetID()));
    m_Message = "The application exited because the following dependency could not be found:\r\n";
    m_Message += id;
    m_Message += "Description: ";
    m_Message += dependency.GetDescription();
}

DependencyCycleFoundException::DependencyCycleFoundException(const ITestDescriptor* test)
{
    // The descriptor's operations are not const; asking for its name and
    // identifier changes nothing.
    ITestDescriptor* descriptor = const_cast<ITestDescriptor*>(test);
    char id[32];
    std::snprintf(id, sizeof id, "ID: %d\r\n", static_cast<int>(descriptor->GetPluginID().GetID()));
    const char* name = descriptor->GetName();
    m_Message = "The application exited because the following test is in a dependency cycle:\r\n";
    m_Message += id;
    m_Message += "Name: ";
    m_Message += name != nullptr ? name : "";
}

} // namespace Ulmora
