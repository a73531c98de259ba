// A test descriptor that lives only in memory, for registering tests with a
// manager directly: it carries an identifier and dependencies, nothing to run.
#ifndef ULMORA_TESTS_INMEMORYTESTDESCRIPTOR_H
#define ULMORA_TESTS_INMEMORYTESTDESCRIPTOR_H

#include <cstdint>
#include <vector>

#include "ulmora/Ulmora.h"

namespace UlmoraTest {

class InMemoryTestDescriptor : public Ulmora::ITestDescriptor {
public:
    InMemoryTestDescriptor(uint32_t id, const std::vector<uint32_t>& dependencies) : m_ID(id)
    {
        m_Dependencies.reserve(dependencies.size());
        for (uint32_t dependency : dependencies)
            m_Dependencies.emplace_back(PluginManagerAPI::PluginID(dependency), "");
    }
    PluginManagerAPI::IPluginInstance* CreateInstance() override { return nullptr; }
    void DestroyInstance(PluginManagerAPI::IPluginInstance*) override {}
    void Release() override {}
    const char* GetName() override { return "t"; }
    PluginManagerAPI::PluginID GetPluginID() override { return PluginManagerAPI::PluginID(m_ID); }
    int32_t GetVersion() override { return 1; }

private:
    uint32_t m_ID;
};

} // namespace UlmoraTest

#endif
