// The error family of the Ulmora library.
//
// Every error the library raises is one of these classes, thrown by value and
// caught by reference. Each carries only its message, composed by its
// constructor. The classes have no virtual functions and derived classes add
// no data, so all of them share the layout of Ulmora::Exception.
//
// Threads: exception objects hold only their message and may be created, copied and read on any thread.
#ifndef ULMORA_EXCEPTION_H
#define ULMORA_EXCEPTION_H

#include <string>

#include "ulmora/Export.h"

namespace PluginManagerAPI { class PluginID; }

namespace Ulmora {

class PluginDependency;
class ITestDescriptor;

class ULMORA_API Exception {
public:
    Exception();
    Exception(const Exception& other);
    Exception& operator=(const Exception& other);
    ~Exception();

    // The message; an empty error gives "", never null. Valid while the error
    // object lives unchanged.
    const char* GetErrorMsg() const;

protected:
    std::string m_Message;
};

// The one error the application hands to its host: the message of whatever
// library error ended loading or running.
class ULMORA_API UlmoraFailedException : public Exception {
public:
    explicit UlmoraFailedException(const char* message);
};

class ULMORA_API DLLLoadFailedException : public Exception {
public:
    explicit DLLLoadFailedException(const std::string& moduleName);
};

// Root of the result database errors; never thrown itself.
class ULMORA_API ResultDBException : public Exception {
public:
    ResultDBException();
};

class ULMORA_API ResultNotFoundException : public ResultDBException {
public:
    explicit ResultNotFoundException(const std::string& key);
};

class ULMORA_API ResultIndexOutOfBoundException : public ResultDBException {
public:
    explicit ResultIndexOutOfBoundException(unsigned long index);
};

// Root of the dependency errors; never thrown itself.
class ULMORA_API TestManagerException : public Exception {
public:
    TestManagerException();
};

class ULMORA_API DependencyNotFoundException : public TestManagerException {
public:
    explicit DependencyNotFoundException(const PluginDependency& dependency);
};

class ULMORA_API DependencyCycleFoundException : public TestManagerException {
public:
    explicit DependencyCycleFoundException(const ITestDescriptor* test);
};

} // namespace Ulmora

#endif
