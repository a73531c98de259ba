// The registry reader and writer hold no data and have no vtable: hosts may
// embed them by value, so that must stay so.
#include <gtest/gtest.h>

#include <type_traits>

#include "ulmora/Registry.h"
#include "ulmora/Ulmora.h"

TEST(RegistryContract, ReaderAndWriterAreEmptyAndNotPolymorphic)
{
    EXPECT_FALSE(std::is_polymorphic<Ulmora::RegConfigWriter>::value);
    EXPECT_FALSE(std::is_polymorphic<Ulmora::RegConfigReader>::value);
    EXPECT_EQ(sizeof(Ulmora::RegConfigWriter), 1u);
    EXPECT_EQ(sizeof(Ulmora::RegConfigReader), 1u);
    EXPECT_EQ(sizeof(DWORD), 4u);
    EXPECT_EQ(sizeof(LONG), 4u);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), 1u);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), 4u);
    EXPECT_EQ(static_cast<DWORD>(REG_MULTI_SZ), 7u);
    EXPECT_EQ(static_cast<DWORD>(KEY_ALL_ACCESS), 0xF003Fu);
}
