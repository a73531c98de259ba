// Fails when a virtual function of the interpreter contract moves to another
// vtable slot: interpreter modules built against an older header would call
// the wrong function.
#include <gtest/gtest.h>

#include "support/VtableSlot.h"
#include "ulmora/Ulmora.h"

namespace {

using UlmoraTest::ExpectSlots;
using UlmoraTest::VtableSlot;

TEST(BinaryContract, IInterpreterDLLSlots)
{
    using D = Ulmora::IInterpreterDLL;
    ExpectSlots("IInterpreterDLL", {
        {"GetAPIVersion", VtableSlot(&D::GetAPIVersion), 1},
        {"GetNumPlugins", VtableSlot(&D::GetNumPlugins), 2},
        {"GetPlugin", VtableSlot(&D::GetPlugin), 3},
        {"Initialize", VtableSlot(&D::Initialize), 4},
        {"ShutDown", VtableSlot(&D::ShutDown), 5},
    });
}

TEST(BinaryContract, IInterpreterDescriptorSlots)
{
    using D = Ulmora::IInterpreterDescriptor;
    ExpectSlots("IInterpreterDescriptor", {
        {"CreateInstance", VtableSlot(&D::CreateInstance), 1},
        {"DestroyInstance", VtableSlot(&D::DestroyInstance), 2},
        {"Release", VtableSlot(&D::Release), 3},
        {"GetName", VtableSlot(&D::GetName), 4},
        {"GetPluginID", VtableSlot(&D::GetPluginID), 5},
        {"GetVersion", VtableSlot(&D::GetVersion), 6},
    });
    // Only the PluginObject part: vtable pointer and observer set.
    EXPECT_EQ(sizeof(D), sizeof(PluginManagerAPI::PluginObject));
}

TEST(BinaryContract, IInterpreterSlots)
{
    using I = Ulmora::IInterpreter;
    ExpectSlots("IInterpreter", {
        {"Reserved1", VtableSlot(&I::Reserved1), 1},
        {"Reserved2", VtableSlot(&I::Reserved2), 2},
        {"GetParameterList", VtableSlot(&I::GetParameterList), 3},
        {"Interpret", VtableSlot(&I::Interpret), 4},
        {"SaveResults", VtableSlot(&I::SaveResults), 5},
    });
    EXPECT_EQ(sizeof(I), sizeof(void*));
}

TEST(InterpreterContract, TheModuleInterfaceDefaultsNeedNoOverride)
{
    struct Module : Ulmora::IInterpreterDLL {
        uint32_t GetNumPlugins() override { return 0; }
        PluginManagerAPI::IPluginDescriptor* GetPlugin(uint32_t) override { return nullptr; }
    } module;
    EXPECT_EQ(module.GetAPIVersion(), 110u);
    module.Initialize();
    module.ShutDown();
}

} // namespace
