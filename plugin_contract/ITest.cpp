#include "ulmora/ITest.h"

namespace Ulmora {

PluginDependency::PluginDependency(PluginManagerAPI::PluginID id, const char* description)
    : m_PluginID(id), m_Description(description != nullptr ? description : "")
{
}

PluginDependency::PluginDependency(const PluginDependency& other) = default;
PluginDependency& PluginDependency::operator=(const PluginDependency& other) = default;
PluginDependency::~PluginDependency() = default;

const PluginManagerAPI::PluginID& PluginDependency::GetPluginID() const
{
    return m_PluginID;
}

const char* PluginDependency::GetDescription() const
{
    return m_Description.c_str();
}

ITestDLL::ITestDLL() = default;
ITestDLL::ITestDLL(const ITestDLL& other) = default;
ITestDLL& ITestDLL::operator=(const ITestDLL& other) = default;
ITestDLL::~ITestDLL() = default;

uint32_t ITestDLL::GetAPIVersion() const
{
    return PluginManagerAPI::kPluginAPIVersion;
}

ITestDescriptor::ITestDescriptor() = default;
ITestDescriptor::ITestDescriptor(const ITestDescriptor& other) = default;
ITestDescriptor& ITestDescriptor::operator=(const ITestDescriptor& other) = default;
ITestDescriptor::~ITestDescriptor() = default;

const std::vector<PluginDependency>& ITestDescriptor::GetPluginDependencies() const
{
    return m_Dependencies;
}

ITest::ITest() = default;
ITest::ITest(const ITest& other) = default;

ITest& ITest::operator=(const ITest& /*other*/)
{
    return *this;
}

ITest::~ITest() = default;

} // namespace Ulmora
