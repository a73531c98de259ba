// Fails when a virtual function of IResultDatabase moves to another vtable
// slot: test and interpreter modules built against an older header would
// then call the wrong operation.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "support/VtableSlot.h"
#include "ulmora/Ulmora.h"

namespace {

using UlmoraTest::ExpectSlots;
using UlmoraTest::VtableSlot;

TEST(BinaryContract, IResultDatabaseSlots)
{
    using D = Ulmora::IResultDatabase;
    ExpectSlots("IResultDatabase", {
        {"Clear", VtableSlot(&D::Clear), 1},
        {"AddUInt8", VtableSlot(&D::AddUInt8), 2},
        {"AddInt8", VtableSlot(&D::AddInt8), 3},
        {"AddUInt16", VtableSlot(&D::AddUInt16), 4},
        {"AddInt16", VtableSlot(&D::AddInt16), 5},
        {"AddUInt32", VtableSlot(&D::AddUInt32), 6},
        {"AddInt32", VtableSlot(&D::AddInt32), 7},
        {"AddUInt64", VtableSlot(&D::AddUInt64), 8},
        {"AddInt64", VtableSlot(&D::AddInt64), 9},
        {"AddFloat", VtableSlot(&D::AddFloat), 10},
        {"AddDouble", VtableSlot(&D::AddDouble), 11},
        {"AddBool", VtableSlot(&D::AddBool), 12},
        {"AddString", VtableSlot(&D::AddString), 13},
        {"GetUInt8", VtableSlot(&D::GetUInt8), 14},
        {"GetInt8", VtableSlot(&D::GetInt8), 15},
        {"GetUInt16", VtableSlot(&D::GetUInt16), 16},
        {"GetInt16", VtableSlot(&D::GetInt16), 17},
        {"GetUInt32", VtableSlot(&D::GetUInt32), 18},
        {"GetInt32", VtableSlot(&D::GetInt32), 19},
        {"GetUInt64", VtableSlot(&D::GetUInt64), 20},
        {"GetInt64", VtableSlot(&D::GetInt64), 21},
        {"GetFloat", VtableSlot(&D::GetFloat), 22},
        {"GetDouble", VtableSlot(&D::GetDouble), 23},
        {"GetBool", VtableSlot(&D::GetBool), 24},
        {"GetString", VtableSlot(&D::GetString), 25},
        {"GetValues", VtableSlot(&D::GetValues), 26},
        {"GetValueCount", VtableSlot(&D::GetValueCount), 27},
        {"GetAsText", VtableSlot(&D::GetAsText), 28},
        {"WriteToLog", VtableSlot(&D::WriteToLog), 29},
    });
}

// The exact parameter and result types are part of every slot's calling
// signature: a value's width decides how a caller passes it. Taking each
// operation's address as a member pointer of the exact type stops the build
// when a parameter or result type changes.
#define EXPECT_SIGNATURE(name, type)             \
    do {                                         \
        using Expected = type;                   \
        Expected member = &D::name;              \
        EXPECT_TRUE(member != nullptr) << #name; \
    } while (0)

TEST(BinaryContract, IResultDatabaseSignatures)
{
    using D = Ulmora::IResultDatabase;
    using Logger = Log::Logger;
    EXPECT_SIGNATURE(AddUInt8, void (D::*)(const char*, uint8_t, ...));
    EXPECT_SIGNATURE(AddInt8, void (D::*)(const char*, int8_t, ...));
    EXPECT_SIGNATURE(AddUInt16, void (D::*)(const char*, uint16_t, ...));
    EXPECT_SIGNATURE(AddInt16, void (D::*)(const char*, int16_t, ...));
    EXPECT_SIGNATURE(AddUInt32, void (D::*)(const char*, uint32_t, ...));
    EXPECT_SIGNATURE(AddInt32, void (D::*)(const char*, int32_t, ...));
    EXPECT_SIGNATURE(AddUInt64, void (D::*)(const char*, uint64_t, ...));
    EXPECT_SIGNATURE(AddInt64, void (D::*)(const char*, int64_t, ...));
    EXPECT_SIGNATURE(AddFloat, void (D::*)(const char*, float, ...));
    EXPECT_SIGNATURE(AddDouble, void (D::*)(const char*, double, ...));
    EXPECT_SIGNATURE(AddBool, void (D::*)(const char*, bool, ...));
    EXPECT_SIGNATURE(AddString, void (D::*)(const char*, const char*, ...));
    EXPECT_SIGNATURE(GetUInt8, uint8_t (D::*)(const char*, uint32_t, ...) const);
    EXPECT_SIGNATURE(GetInt8, int8_t (D::*)(const char*, uint32_t, ...) const);
    EXPECT_SIGNATURE(GetUInt16, uint16_t (D::*)(const char*, uint32_t, ...) const);
    EXPECT_SIGNATURE(GetInt16, int16_t (D::*)(const char*, uint32_t, ...) const);
    EXPECT_SIGNATURE(GetUInt32, uint32_t (D::*)(const char*, uint32_t, ...) const);
    EXPECT_SIGNATURE(GetInt32, int32_t (D::*)(const char*, uint32_t, ...) const);
    EXPECT_SIGNATURE(GetUInt64, uint64_t (D::*)(const char*, uint32_t, ...) const);
    EXPECT_SIGNATURE(GetInt64, int64_t (D::*)(const char*, uint32_t, ...) const);
    EXPECT_SIGNATURE(GetFloat, float (D::*)(const char*, uint32_t, ...) const);
    EXPECT_SIGNATURE(GetDouble, double (D::*)(const char*, uint32_t, ...) const);
    EXPECT_SIGNATURE(GetBool, bool (D::*)(const char*, uint32_t, ...) const);
    EXPECT_SIGNATURE(GetString, std::string (D::*)(const char*, uint32_t, ...) const);
    EXPECT_SIGNATURE(GetValues, DoubleZeroString (D::*)(const char*, ...) const);
    EXPECT_SIGNATURE(GetValueCount, uint32_t (D::*)(const char*, ...) const);
    EXPECT_SIGNATURE(GetAsText, std::string (D::*)() const);
    EXPECT_SIGNATURE(WriteToLog, void (D::*)(Logger*) const);
}

// No data members; public construction, copy and destruction so that hosts
// and plug-ins can derive databases of their own.
TEST(BinaryContract, IResultDatabaseHasNoData)
{
    using D = Ulmora::IResultDatabase;
    EXPECT_EQ(sizeof(D), sizeof(void*));
    EXPECT_TRUE(std::has_virtual_destructor<D>::value);
    EXPECT_TRUE(std::is_abstract<D>::value);
    EXPECT_TRUE(std::is_copy_assignable<D>::value);
}

} // namespace
