// What an interpreter module implements: its module interface
// (IInterpreterDLL), one descriptor per interpreter (IInterpreterDescriptor)
// and the working interpreter (IInterpreter). Hosts may also register a
// descriptor of their own through IApplication::RegisterInterpreter.
//
// Virtual slot order and data layout are a binary contract with separately
// built interpreter modules. The library implements the special members,
// GetAPIVersion and the default Initialize and ShutDown; everything pure is
// the module's.
//
// Threads: the library calls interpreter modules, descriptors and interpreters on the thread
// that drives the application, one call at a time.
#ifndef ULMORA_IINTERPRETER_H
#define ULMORA_IINTERPRETER_H

#include <cstdint>

#include "ulmora/Export.h"
#include "ulmora/PluginManager.h"

class ParameterList;

namespace Ulmora {

class IResultDatabase;

class ULMORA_API IInterpreterDLL : public PluginManagerAPI::IPluginDLL {
public:
    IInterpreterDLL();
    IInterpreterDLL(const IInterpreterDLL& other);
    IInterpreterDLL& operator=(const IInterpreterDLL& other);
    ~IInterpreterDLL() override;                                   // 0

    // Returns 110; modules normally keep it.
    uint32_t GetAPIVersion() const override;                       // 1
    // GetNumPlugins and GetPlugin (slots 2 and 3) stay pure.
    // Interpreter modules need not override these two: they do nothing.
    void Initialize() override;                                    // 4
    void ShutDown() override;                                      // 5
};

// Describes one interpreter; its slots are those of IPluginDescriptor.
class ULMORA_API IInterpreterDescriptor : public PluginManagerAPI::IPluginDescriptor {
public:
    IInterpreterDescriptor();
    IInterpreterDescriptor(const IInterpreterDescriptor& other);
    IInterpreterDescriptor& operator=(const IInterpreterDescriptor& other);
    ~IInterpreterDescriptor() override;
};

// One working interpreter: made by CreateInstance for one interpretation or
// one save, handed back to DestroyInstance right after.
class ULMORA_API IInterpreter : public PluginManagerAPI::IPluginInstance {
public:
    IInterpreter();
    IInterpreter(const IInterpreter& other);
    IInterpreter& operator=(const IInterpreter& other);
    ~IInterpreter() override;                                      // 0

    // Slot 3: the interpreter's own settings, or null. Asked after each
    // Interpret; the library keeps the pointer (not a copy) in the
    // application's parameter list, so the list must outlive the instance.
    virtual ParameterList* GetParameterList() = 0;
    // Slot 4: judges the results. 0 lets the next interpreter run; any other
    // value ends the pass and becomes the run's answer. Result errors should
    // be caught here: one that escapes fails the whole run.
    virtual uint32_t Interpret(const IResultDatabase* database) = 0;
    // Slot 5: saves the findings. Runs on a fresh instance, so whatever it
    // needs must live outside the instance that interpreted.
    virtual void SaveResults() = 0;
};

} // namespace Ulmora

#endif
