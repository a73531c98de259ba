// What a test module implements: its module interface (ITestDLL), one
// descriptor per test (ITestDescriptor) with the tests it depends on, and the
// running test (ITest).
//
// Virtual slot order and data layout are a binary contract with separately
// built test modules. The library implements the special members and
// ITestDLL::GetAPIVersion; everything pure is the module's.
//
// Threads: the library calls test modules, descriptors and tests on the thread that drives the
// application, one call at a time; a test that starts threads of its own joins them before Run returns.
#ifndef ULMORA_ITEST_H
#define ULMORA_ITEST_H

#include <cstdint>
#include <string>
#include <vector>

#include "ulmora/Export.h"
#include "ulmora/PluginManager.h"
#include "ulmora/PluginObject.h"

namespace Ulmora {

class IResultDatabase;

// One prerequisite of a test: the identifier of the test it needs and words
// for people.
class ULMORA_API PluginDependency {
public:
    // A null description is kept as empty text.
    PluginDependency(PluginManagerAPI::PluginID id, const char* description);
    PluginDependency(const PluginDependency& other);
    PluginDependency& operator=(const PluginDependency& other);
    ~PluginDependency();

    const PluginManagerAPI::PluginID& GetPluginID() const;
    // Valid while the dependency lives unchanged.
    const char* GetDescription() const;

private:
    PluginManagerAPI::PluginID m_PluginID;
    std::string m_Description;
};

class ULMORA_API ITestDLL : public PluginManagerAPI::IPluginDLL {
public:
    ITestDLL();
    ITestDLL(const ITestDLL& other);
    ITestDLL& operator=(const ITestDLL& other);
    ~ITestDLL() override;                                          // 0

    // Returns 110; modules normally keep it.
    uint32_t GetAPIVersion() const override;                       // 1
    // GetNumPlugins, GetPlugin, Initialize and ShutDown (slots 2 to 5)
    // stay pure.
};

// Describes one test. An implementation fills m_Dependencies, for instance
// in its constructor.
class ULMORA_API ITestDescriptor : public PluginManagerAPI::IPluginDescriptor {
public:
    ITestDescriptor();
    ITestDescriptor(const ITestDescriptor& other);
    ITestDescriptor& operator=(const ITestDescriptor& other);
    ~ITestDescriptor() override;

    // The tests this test needs, in the order it lists them.
    const std::vector<PluginDependency>& GetPluginDependencies() const;

protected:
    std::vector<PluginDependency> m_Dependencies;
};

// One run of a test: made by CreateInstance, handed back to DestroyInstance.
class ULMORA_API ITest : public PluginManagerAPI::IPluginInstance {
public:
    ITest();
    ITest(const ITest& other);
    ITest& operator=(const ITest& other);
    ~ITest() override;                                             // 0

    // Slot 3: writes the test's results into the database. The library does
    // not look at the result.
    virtual uint32_t Run(IResultDatabase* database) = 0;
};

} // namespace Ulmora

#endif
