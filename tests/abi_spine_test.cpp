// Fails when a virtual function of the spine's exported interfaces moves to
// another vtable slot: hosts and plug-ins built against an older header would
// then call the wrong function.
#include <gtest/gtest.h>

#include "support/VtableSlot.h"
#include "ulmora/Ulmora.h"

namespace {

using UlmoraTest::ExpectSlots;
using UlmoraTest::VtableSlot;

TEST(BinaryContract, IApplicationSlots)
{
    using A = Ulmora::IApplication;
    ExpectSlots("IApplication", {
        {"Run", VtableSlot(&A::Run), 1, 0},
        {"Save", VtableSlot(&A::Save), 2, 0},
        {"LoadTestDLLs", VtableSlot(&A::LoadTestDLLs), 3, 0},
        {"LoadInterpreterDLLs", VtableSlot(&A::LoadInterpreterDLLs), 4, 0},
        {"RegisterInterpreter", VtableSlot(&A::RegisterInterpreter), 5, 0},
        {"SetResultDatabase", VtableSlot(&A::SetResultDatabase), 6, 0},
        {"GetParameterList", VtableSlot(&A::GetParameterList), 7, 0},
        {"Name", VtableSlot(&A::Name), 8, 0},
        {"Version", VtableSlot(&A::Version), 9, 0},
        {"AddTestObserver", VtableSlot(&A::AddTestObserver), 10, 0},
        {"Output", VtableSlot(&A::Output), 11, 0},
        {"GetLoadedPluginsInfo", VtableSlot(&A::GetLoadedPluginsInfo), 12, 0},
        {"UseDefaultLogOutput", VtableSlot(&A::UseDefaultLogOutput), 13, 0},
        {"AddLogOutput", VtableSlot(&A::AddLogOutput), 14, 0},
        {"RemoveLogOutput", VtableSlot(&A::RemoveLogOutput), 15, 0},
    });
}

TEST(BinaryContract, ILogOutputSlots)
{
    // Write comes before the destructor.
    ExpectSlots("ILogOutput", {{"Write", VtableSlot(&Log::ILogOutput::Write), 0, 1}});
}

TEST(BinaryContract, TestObserverSlots)
{
    using O = Ulmora::TestManager::TestObserver;
    ExpectSlots("TestObserver", {{"OnTestCompleted", VtableSlot(&O::OnTestCompleted), 0, 1}});
}

// DoubleZeroString's only virtual function is its destructor; its data follow
// the vtable pointer in a fixed order.
TEST(BinaryContract, DoubleZeroStringLayout)
{
    EXPECT_TRUE(std::has_virtual_destructor<DoubleZeroString>::value);
    const size_t pointer = sizeof(void*);
    const size_t vectorSize = sizeof(std::vector<uint32_t>);
    EXPECT_EQ(sizeof(DoubleZeroString), pointer + vectorSize + pointer + 4 + 4 +
                                            ((pointer + vectorSize + pointer + 8) % pointer));
}

TEST(BinaryContract, ExceptionHasOnlyItsMessage)
{
    EXPECT_EQ(sizeof(Ulmora::Exception), sizeof(std::string));
    EXPECT_EQ(sizeof(Ulmora::DependencyCycleFoundException), sizeof(std::string));
    EXPECT_FALSE(std::is_polymorphic<Ulmora::Exception>::value);
}

} // namespace
