// Helpers for a probe module that offers one test: the module interface and
// the descriptor, with the test's name, identifier, version and the tests it
// needs. A probe file defines its ITest class and ULMORA_PROBE_MODULE.
#ifndef ULMORA_PROBES_PROBEMODULE_H
#define ULMORA_PROBES_PROBEMODULE_H

#include <cstdint>
#include <initializer_list>

#include "ulmora/Ulmora.h"

namespace Probes {

// Identifiers of the bundled probes.
enum : uint32_t { kClockProbe = 1001, kCpuProbe = 1002, kDiskProbe = 1003, kSummaryProbe = 1004 };

struct Dependency {
    uint32_t id;
    const char* description;
};

template <class Test>
class Descriptor : public Ulmora::ITestDescriptor {
public:
    Descriptor(const char* name, uint32_t id, int32_t version, std::initializer_list<Dependency> dependencies)
        : m_Name(name), m_ID(id), m_Version(version)
    {
        for (const Dependency& dependency : dependencies)
            m_Dependencies.emplace_back(PluginManagerAPI::PluginID(dependency.id), dependency.description);
    }

    PluginManagerAPI::IPluginInstance* CreateInstance() override { return new Test(); }
    void DestroyInstance(PluginManagerAPI::IPluginInstance* instance) override { delete instance; }
    void Release() override {}
    const char* GetName() override { return m_Name; }
    PluginManagerAPI::PluginID GetPluginID() override { return PluginManagerAPI::PluginID(m_ID); }
    int32_t GetVersion() override { return m_Version; }

private:
    const char* m_Name;
    uint32_t m_ID;
    int32_t m_Version;
};

class Module : public Ulmora::ITestDLL {
public:
    explicit Module(PluginManagerAPI::IPluginDescriptor* descriptor) : m_Descriptor(descriptor) {}
    uint32_t GetNumPlugins() override { return 1; }
    PluginManagerAPI::IPluginDescriptor* GetPlugin(uint32_t index) override
    {
        return index == 0 ? m_Descriptor : nullptr;
    }
    void Initialize() override {}
    void ShutDown() override {}

private:
    PluginManagerAPI::IPluginDescriptor* m_Descriptor;
};

} // namespace Probes

// Defines the module's one descriptor, its interface and its entry point.
#define ULMORA_PROBE_MODULE(TestClass, name, id, version, ...)                                   \
    namespace {                                                                                   \
    Probes::Descriptor<TestClass> g_Descriptor(name, id, version, {__VA_ARGS__});                 \
    Probes::Module g_Module(&g_Descriptor);                                                       \
    }                                                                                             \
    ULMORA_PLUGIN_EXPORT PluginManagerAPI::IPluginDLL* GetPluginManagerAPIInterface()             \
    {                                                                                             \
        return &g_Module;                                                                         \
    }

#endif
