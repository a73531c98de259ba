// A host executable that defines RegCreateKeyExA itself, as a host with a
// registry layer of its own might. Its definition takes over its own calls,
// but the library stores and reads parameter lists through its own store
// all the same.
#include <gtest/gtest.h>

#include "support/RegistrySandbox.h"
#include "ulmora/Ulmora.h"

namespace {
int g_HostCalls = 0;
}

// The host's own RegCreateKeyExA: refuses everything.
extern "C" LONG RegCreateKeyExA(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                                PHKEY result, LPDWORD)
{
    ++g_HostCalls;
    if (result != nullptr)
        *result = nullptr;
    return ERROR_ACCESS_DENIED;
}

namespace {

TEST(RegistryInterposition, HostDefinitionOfRegCreateKeyExADoesNotReachTheLibrary)
{
    UlmoraTest::RegistrySandbox sandbox;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_ACCESS_DENIED);
    ASSERT_EQ(g_HostCalls, 1) << "the host's own calls go to its own definition";

    int32_t number = 42;
    std::string text = "kept";
    ParameterList list;
    list.SetName("Host");
    list.AddParameterInt(1, "number", "", &number, nullptr);
    list.AddParameterString(2, "text", "", &text, nullptr);
    Ulmora::RegConfigWriter().WriteConfig(HKEY_CURRENT_USER, sandbox.Key().c_str(), &list);
    EXPECT_EQ(g_HostCalls, 1) << "the library called the host's RegCreateKeyExA";
    EXPECT_TRUE(std::filesystem::exists(sandbox.StoreFile()));

    number = 0;
    text.clear();
    Ulmora::RegConfigReader().ReadConfig(HKEY_CURRENT_USER, sandbox.Key().c_str(), &list);
    EXPECT_EQ(number, 42);
    EXPECT_EQ(text, "kept");
}

} // namespace
