// Fails when an exported interface of the plug-in layer or of the test
// contract changes its virtual slots or its data layout: modules built
// against an older header would then call the wrong function or read the
// wrong member.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "support/VtableSlot.h"
#include "ulmora/Ulmora.h"

namespace {

using UlmoraTest::ExpectSlots;
using UlmoraTest::VtableSlot;
namespace PM = PluginManagerAPI;

const size_t kPointer = sizeof(void*);

size_t RoundUp(size_t size, size_t alignment)
{
    return (size + alignment - 1) / alignment * alignment;
}

// Opens the protected members of the managers to the checks below.
class ManagerProbe : public PM::PluginManager {
public:
    using PM::PluginManager::GetSearchPatterns;
    using PM::PluginManager::OnBeginLoadDLL;
    using PM::PluginManager::OnEndLoadDLL;

    size_t Offset(const void* member) const
    {
        return static_cast<size_t>(static_cast<const char*>(member) - reinterpret_cast<const char*>(this));
    }
    size_t PatternsOffset() const { return Offset(&m_Patterns); }
    size_t PluginsOffset() const { return Offset(&m_Plugins); }
    size_t ModulesOffset() const { return Offset(&m_Modules); }
};

class TestManagerProbe : public Ulmora::TestManager {
public:
    size_t Offset(const void* member) const
    {
        return static_cast<size_t>(static_cast<const char*>(member) - reinterpret_cast<const char*>(this));
    }
    std::vector<size_t> Offsets() const
    {
        return {Offset(&m_Modules), Offset(&m_Observers), Offset(&m_Tests), Offset(&m_NumTestCompleted),
                Offset(&m_Logger)};
    }
};

TEST(BinaryContract, PluginManagerSlots)
{
    using M = ManagerProbe;
    ExpectSlots("PluginManager", {
        {"OnPluginObjectDestroyed", VtableSlot(&M::OnPluginObjectDestroyed), 0, 1},
        {"GetSearchPatterns", VtableSlot(&M::GetSearchPatterns), 2, 1},
        {"OnBeginLoadDLL", VtableSlot(&M::OnBeginLoadDLL), 3, 1},
        {"OnEndLoadDLL", VtableSlot(&M::OnEndLoadDLL), 4, 1},
    });
    EXPECT_TRUE(std::has_virtual_destructor<PM::PluginManager>::value);
    EXPECT_TRUE((std::is_base_of<PM::IPluginObjectObserver, PM::PluginManager>::value));
    EXPECT_EQ(sizeof(PM::PluginManager::Error), 4u);
    EXPECT_EQ(sizeof(PM::PluginManager::ErrorResponse), 4u);
    EXPECT_EQ(PM::PluginManager::WrongAPIVersion, 6u);
    EXPECT_EQ(PM::PluginManager::LoadLibraryFailed, 4u);
    EXPECT_EQ(PM::PluginManager::Abort, 3u);
}

TEST(BinaryContract, ObserverAndObjectSlots)
{
    ExpectSlots("IPluginObjectObserver",
                {{"OnPluginObjectDestroyed", VtableSlot(&PM::IPluginObjectObserver::OnPluginObjectDestroyed), 0, 99}});
    EXPECT_TRUE(std::has_virtual_destructor<PM::PluginObject>::value);
    EXPECT_TRUE(std::has_virtual_destructor<PM::PluginID>::value);
}

TEST(BinaryContract, ModuleInterfaceSlots)
{
    for (const char* name : {"IPluginDLL", "ITestDLL"}) {
        const bool test = std::string(name) == "ITestDLL";
        ExpectSlots(name, {
            {"GetAPIVersion", test ? VtableSlot(&Ulmora::ITestDLL::GetAPIVersion) : VtableSlot(&PM::IPluginDLL::GetAPIVersion), 1, 0},
            {"GetNumPlugins", VtableSlot(&PM::IPluginDLL::GetNumPlugins), 2, 0},
            {"GetPlugin", VtableSlot(&PM::IPluginDLL::GetPlugin), 3, 0},
            {"Initialize", VtableSlot(&PM::IPluginDLL::Initialize), 4, 0},
            {"ShutDown", VtableSlot(&PM::IPluginDLL::ShutDown), 5, 0},
        });
    }
}

TEST(BinaryContract, DescriptorAndInstanceSlots)
{
    using D = PM::IPluginDescriptor;
    ExpectSlots("IPluginDescriptor", {
        {"CreateInstance", VtableSlot(&D::CreateInstance), 1, 0},
        {"DestroyInstance", VtableSlot(&D::DestroyInstance), 2, 0},
        {"Release", VtableSlot(&D::Release), 3, 0},
        {"GetName", VtableSlot(&D::GetName), 4, 0},
        {"GetPluginID", VtableSlot(&D::GetPluginID), 5, 0},
        {"GetVersion", VtableSlot(&D::GetVersion), 6, 0},
    });
    ExpectSlots("ITest", {
        {"Reserved1", VtableSlot(&Ulmora::ITest::Reserved1), 1, 0},
        {"Reserved2", VtableSlot(&Ulmora::ITest::Reserved2), 2, 0},
        {"Run", VtableSlot(&Ulmora::ITest::Run), 3, 0},
    });
    EXPECT_TRUE((std::is_base_of<D, Ulmora::ITestDescriptor>::value));
    EXPECT_TRUE((std::is_base_of<D, Ulmora::IInterpreterDescriptor>::value));
}

TEST(BinaryContract, DataLayouts)
{
    // PluginID: table pointer, then the 32-bit number.
    EXPECT_EQ(sizeof(PM::PluginID), RoundUp(kPointer + 4, kPointer));
    // PluginObject: table pointer, then the observer set.
    EXPECT_EQ(sizeof(PM::PluginObject), kPointer + sizeof(std::set<PM::IPluginObjectObserver*>));
    EXPECT_EQ(sizeof(Ulmora::ITestDLL), sizeof(PM::PluginObject));
    // ITestDescriptor: the PluginObject part, then the dependency vector.
    EXPECT_EQ(sizeof(Ulmora::ITestDescriptor),
              sizeof(PM::PluginObject) + sizeof(std::vector<Ulmora::PluginDependency>));
    EXPECT_EQ(sizeof(Ulmora::ITest), kPointer);
    // PluginDependency: not polymorphic; the identifier, then the text.
    EXPECT_FALSE(std::is_polymorphic<Ulmora::PluginDependency>::value);
    EXPECT_EQ(sizeof(Ulmora::PluginDependency), sizeof(PM::PluginID) + sizeof(std::string));
    const Ulmora::PluginDependency dependency(PM::PluginID(1), "x");
    EXPECT_EQ(static_cast<const void*>(&dependency.GetPluginID()), static_cast<const void*>(&dependency));
    // PluginIterator: table pointer, index, manager.
    EXPECT_EQ(sizeof(PM::PluginIterator), RoundUp(kPointer + 4, kPointer) + kPointer);
}

TEST(BinaryContract, ManagerMembersInOrder)
{
    ManagerProbe manager;
    EXPECT_EQ(manager.PatternsOffset(), kPointer);
    EXPECT_EQ(manager.PluginsOffset(), kPointer + sizeof(PM::SearchPatternList));
    EXPECT_EQ(manager.ModulesOffset(), manager.PluginsOffset() + sizeof(std::vector<void*>));

    TestManagerProbe tests;
    const std::vector<size_t> offsets = tests.Offsets();
    for (size_t i = 1; i < offsets.size(); ++i)
        EXPECT_LT(offsets[i - 1], offsets[i]) << "member " << i;
}

} // namespace
