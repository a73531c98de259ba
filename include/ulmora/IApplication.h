// The host's handle on the library: create it with CreateApplication, drive it
// through IApplication, destroy it with ReleaseApplication.
//
// The sixteen virtual slots are a binary contract with separately built hosts.
//
// Threads: an application, its managers, its logger and its database are used by one thread at a
// time, including CreateApplication and ReleaseApplication.
#ifndef ULMORA_IAPPLICATION_H
#define ULMORA_IAPPLICATION_H

#include <string>

#include "ulmora/Export.h"
#include "ulmora/Log.h"
#include "ulmora/TestManager.h"

class ParameterList;

namespace Ulmora {

class IInterpreterDescriptor;
class IResultDatabase;

class ULMORA_API IApplication {
protected:
    // Slot 0. Hosts destroy an application only through ReleaseApplication.
    virtual ~IApplication();

public:
    // Runs every loaded test in dependency order, then the interpreters until
    // one answers non-zero; returns that answer (0 if none). Library errors are
    // logged and rethrown as UlmoraFailedException.
    virtual unsigned int Run() = 0;                                          // 1
    // Asks every interpreter to save its results.
    virtual void Save() = 0;                                                 // 2
    // Loads the "*.tst" modules under the host executable's directory.
    virtual void LoadTestDLLs() = 0;                                         // 3
    // Loads the "*.intr" modules under the host executable's directory.
    virtual void LoadInterpreterDLLs() = 0;                                  // 4
    // Registers a host-owned interpreter; it is Release()d at unload.
    virtual void RegisterInterpreter(IInterpreterDescriptor* descriptor) = 0; // 5
    // Uses the host's database from now on; null is ignored. Not owned.
    virtual void SetResultDatabase(IResultDatabase* database) = 0;           // 6
    // The interpreters' parameter lists gathered so far.
    virtual ParameterList* GetParameterList() = 0;                           // 7
    virtual const char* Name() = 0;                                          // 8
    virtual float Version() = 0;                                             // 9
    // Not owned; called after every completed test.
    virtual void AddTestObserver(TestManager::TestObserver* observer) = 0;  // 10
    // Every result of the last run, one "key\tvalue\n" line per value.
    virtual std::string Output() = 0;                                        // 11
    // "name , V.version\r\n" per plug-in, interpreters first.
    virtual std::string GetLoadedPluginsInfo() = 0;                          // 12
    // Logs to a file, emptied first. Only the first call has an effect; an
    // unopenable path gives a silent output and no error.
    virtual void UseDefaultLogOutput(const char* path) = 0;                  // 13
    // Not owned; an output already present is not added twice.
    virtual void AddLogOutput(Log::ILogOutput* output) = 0;                  // 14
    virtual void RemoveLogOutput(Log::ILogOutput* output) = 0;               // 15

protected:
    IApplication();
    IApplication(const IApplication&);
    IApplication& operator=(const IApplication&);
    friend void DestroyApplication(IApplication*);
};

} // namespace Ulmora

extern "C" {
// Destroys *application if set, then creates a new application, stores it in
// *application and returns it. `application` must not be null.
ULMORA_API Ulmora::IApplication* CreateApplication(Ulmora::IApplication** application);
// Destroys *application if set and leaves null behind.
ULMORA_API void ReleaseApplication(Ulmora::IApplication** application);
}

#endif
