// The library's side of the test contract: special members, the API version
// and the dependency errors built from it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ulmora/Ulmora.h"

namespace {

using PluginManagerAPI::IPluginInstance;
using PluginManagerAPI::PluginID;

class Module : public Ulmora::ITestDLL {
public:
    uint32_t GetNumPlugins() override { return 0; }
    PluginManagerAPI::IPluginDescriptor* GetPlugin(uint32_t) override { return nullptr; }
    void Initialize() override {}
    void ShutDown() override {}
};

class Descriptor : public Ulmora::ITestDescriptor {
public:
    Descriptor(const char* name, uint32_t id) : m_Name(name), m_ID(id) {}
    void Depend(uint32_t id, const char* description) { m_Dependencies.emplace_back(PluginID(id), description); }
    IPluginInstance* CreateInstance() override { return nullptr; }
    void DestroyInstance(IPluginInstance*) override {}
    void Release() override {}
    const char* GetName() override { return m_Name; }
    PluginID GetPluginID() override { return PluginID(m_ID); }
    int32_t GetVersion() override { return 1; }

private:
    const char* m_Name;
    uint32_t m_ID;
};

class Counter : public PluginManagerAPI::IPluginObjectObserver {
public:
    void OnPluginObjectDestroyed(PluginManagerAPI::PluginObject* object) override { destroyed.push_back(object); }
    std::vector<PluginManagerAPI::PluginObject*> destroyed;
};

TEST(TestContract, ModuleReportsApiVersion110UnlessItOverrides)
{
    Module module;
    EXPECT_EQ(module.GetAPIVersion(), 110u);
}

TEST(TestContract, DependencyCopiesKeepIdentifierAndDescription)
{
    Ulmora::PluginDependency disk(PluginID(7), "Needs disk");
    Ulmora::PluginDependency copy(disk);
    EXPECT_EQ(copy.GetPluginID().GetID(), 7u);
    EXPECT_STREQ(copy.GetDescription(), "Needs disk");
    Ulmora::PluginDependency other(PluginID(8), nullptr);
    EXPECT_STREQ(other.GetDescription(), "");
    other = disk;
    EXPECT_EQ(other.GetPluginID(), PluginID(7));
    EXPECT_STREQ(other.GetDescription(), "Needs disk");
}

TEST(TestContract, DescriptorCopiesCarryDependenciesAndObservers)
{
    Counter counter;
    Descriptor original("T", 1);
    original.Depend(2, "two");
    original.Depend(3, "three");
    original.AddObserver(&counter);
    {
        Descriptor copy(original);
        ASSERT_EQ(copy.GetPluginDependencies().size(), 2u);
        EXPECT_EQ(copy.GetPluginDependencies()[1].GetPluginID().GetID(), 3u);
        Descriptor assigned("U", 4);
        assigned = original;
        EXPECT_EQ(assigned.GetPluginDependencies().size(), 2u);
    }
    // Both the copy and the assigned object told the observer.
    EXPECT_EQ(counter.destroyed.size(), 2u);
    original.RemoveObserver(&counter);
}

TEST(TestContract, EachObserverIsToldOnce)
{
    Counter counters[3];
    {
        Module module;
        module.AddObserver(&counters[2]);
        module.AddObserver(&counters[0]);
        module.AddObserver(&counters[0]);
        module.AddObserver(&counters[1]);
        module.RemoveObserver(&counters[1]);
    }
    EXPECT_EQ(counters[0].destroyed.size(), 1u);
    EXPECT_EQ(counters[1].destroyed.size(), 0u);
    EXPECT_EQ(counters[2].destroyed.size(), 1u);
}

TEST(DependencyErrors, MessagesNameTheDependencyOrTheTest)
{
    const Ulmora::DependencyNotFoundException missing(Ulmora::PluginDependency(PluginID(7), "Needs disk"));
    EXPECT_STREQ(missing.GetErrorMsg(),
                 "The application exited because the following dependency could not be found:\r\n"
                 "ID: 7\r\nDescription: Needs disk");

    Descriptor disk("Disk", 99);
    const Ulmora::DependencyCycleFoundException cycle(&disk);
    EXPECT_STREQ(cycle.GetErrorMsg(),
                 "The application exited because the following test is in a dependency cycle:\r\n"
                 "ID: 99\r\nName: Disk");

    try {
        throw Ulmora::DependencyCycleFoundException(&disk);
    } catch (const Ulmora::TestManagerException& error) {
        EXPECT_STREQ(error.GetErrorMsg(), cycle.GetErrorMsg());
    }
}

} // namespace
