// ulmora-test: whitebox
// The library's result store, used directly and through the IResultDatabase
// interface that tests and interpreters see.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "result_database/ResultStore.h"
#include "support/RecordingLogOutput.h"
#include "support/VtableSlot.h"
#include "ulmora/Exception.h"
#include "ulmora/Log.h"

namespace {

using Ulmora::IResultDatabase;
using Ulmora::ResultIndexOutOfBoundException;
using Ulmora::ResultNotFoundException;
using Ulmora::ResultStore;

// ---- value conversions ----------------------------------------------------

// Each row adds one value through the interface under a key format with key
// arguments after the value, checks the stored text, and reads it back with
// the same type. Adds use a mixed-case key format; reads pass the lower-case
// key, so every row also checks that the key arguments reach the key after
// each width of value.
struct ConversionCase {
    const char* name;
    std::function<void(IResultDatabase&)> add;
    const char* text;
    std::function<void(const IResultDatabase&)> read;
};

#define ADD(call) [](IResultDatabase& db) { db.call; }
#define READ(expr, expected) [](const IResultDatabase& db) { EXPECT_EQ(db.expr, expected); }

const char kAddKey[] = "Row%d/%s";
const char kReadKey[] = "row%d/%s";

TEST(ResultStoreConversion, EachTypeWritesItsTextAndReadsItBack)
{
    const ConversionCase cases[] = {
        {"uint8 max", ADD(AddUInt8(kAddKey, 255, 1, "X")), "255", READ(GetUInt8(kReadKey, 0, 1, "x"), 255)},
        {"uint8 zero", ADD(AddUInt8(kAddKey, 0, 1, "X")), "0", READ(GetUInt8(kReadKey, 0, 1, "x"), 0)},
        {"int8 min", ADD(AddInt8(kAddKey, -128, 1, "X")), "-128", READ(GetInt8(kReadKey, 0, 1, "x"), -128)},
        {"int8 max", ADD(AddInt8(kAddKey, 127, 1, "X")), "127", READ(GetInt8(kReadKey, 0, 1, "x"), 127)},
        {"uint16 max", ADD(AddUInt16(kAddKey, 65535, 1, "X")), "65535",
         READ(GetUInt16(kReadKey, 0, 1, "x"), 65535)},
        {"int16 min", ADD(AddInt16(kAddKey, -32768, 1, "X")), "-32768",
         READ(GetInt16(kReadKey, 0, 1, "x"), -32768)},
        {"uint32 max", ADD(AddUInt32(kAddKey, 4294967295u, 1, "X")), "4294967295",
         READ(GetUInt32(kReadKey, 0, 1, "x"), 4294967295u)},
        {"int32 min", ADD(AddInt32(kAddKey, INT32_MIN, 1, "X")), "-2147483648",
         READ(GetInt32(kReadKey, 0, 1, "x"), INT32_MIN)},
        {"uint64 max", ADD(AddUInt64(kAddKey, UINT64_MAX, 1, "X")), "18446744073709551615",
         READ(GetUInt64(kReadKey, 0, 1, "x"), UINT64_MAX)},
        {"int64 min", ADD(AddInt64(kAddKey, INT64_MIN, 1, "X")), "-9223372036854775808",
         READ(GetInt64(kReadKey, 0, 1, "x"), INT64_MIN)},
        {"int64 max", ADD(AddInt64(kAddKey, INT64_MAX, 1, "X")), "9223372036854775807",
         READ(GetInt64(kReadKey, 0, 1, "x"), INT64_MAX)},
        {"float 0.1", ADD(AddFloat(kAddKey, 0.1f, 1, "X")), "0.1000000015",
         READ(GetFloat(kReadKey, 0, 1, "x"), 0.1f)},
        {"float 0.1 as double", ADD(AddFloat(kAddKey, 0.1f, 1, "X")), "0.1000000015",
         READ(GetDouble(kReadKey, 0, 1, "x"), 0.1000000015)},
        {"float exponent", ADD(AddFloat(kAddKey, 1e20f, 1, "X")), "1.00000002e+20",
         READ(GetFloat(kReadKey, 0, 1, "x"), 1e20f)},
        {"float lowest", ADD(AddFloat(kAddKey, -std::numeric_limits<float>::max(), 1, "X")),
         "-3.402823466e+38", READ(GetFloat(kReadKey, 0, 1, "x"), -std::numeric_limits<float>::max())},
        {"double 0.1", ADD(AddDouble(kAddKey, 0.1, 1, "X")), "0.10000000000000000555",
         READ(GetDouble(kReadKey, 0, 1, "x"), 0.1)},
        {"double 2.5", ADD(AddDouble(kAddKey, 2.5, 1, "X")), "2.5", READ(GetDouble(kReadKey, 0, 1, "x"), 2.5)},
        {"double exponent", ADD(AddDouble(kAddKey, 1e300, 1, "X")), "1.0000000000000000525e+300",
         READ(GetDouble(kReadKey, 0, 1, "x"), 1e300)},
        {"bool true", ADD(AddBool(kAddKey, true, 1, "X")), "true", READ(GetBool(kReadKey, 0, 1, "x"), true)},
        {"bool false", ADD(AddBool(kAddKey, false, 1, "X")), "false",
         READ(GetBool(kReadKey, 0, 1, "x"), false)},
        {"string", ADD(AddString(kAddKey, "Mixed Case 100%", 1, "X")), "Mixed Case 100%",
         READ(GetString(kReadKey, 0, 1, "x"), "Mixed Case 100%")},
    };
    for (const ConversionCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResultStore store;
        IResultDatabase& db = store;
        c.add(db);
        ASSERT_EQ(db.GetValueCount("row1/x"), 1u);
        EXPECT_EQ(db.GetString("row1/x", 0), c.text);
        c.read(db);
    }
}

// A value may be read with another type than it was added with: the stored
// text is then parsed by the reading type's rule.
TEST(ResultStoreConversion, ReadingWithAnotherTypeParsesTheText)
{
    const ConversionCase cases[] = {
        {"300 as uint8 keeps the low bits", ADD(AddInt32("v", 300)), "300", READ(GetUInt8("v", 0), 44)},
        {"-1 as uint8", ADD(AddInt8("v", -1)), "-1", READ(GetUInt8("v", 0), 255)},
        {"200 as int8", ADD(AddInt32("v", 200)), "200", READ(GetInt8("v", 0), -56)},
        {"double as int32 takes the leading digits", ADD(AddDouble("v", 2.5)), "2.5",
         READ(GetInt32("v", 0), 2)},
        {"float as double", ADD(AddFloat("v", 0.1f)), "0.1000000015", READ(GetDouble("v", 0), 0.1000000015)},
        {"bool as string", ADD(AddBool("v", true)), "true", READ(GetString("v", 0), "true")},
        {"True is not true", ADD(AddString("v", "True")), "True", READ(GetBool("v", 0), false)},
        {"true with a tail is not true", ADD(AddString("v", "true ")), "true ", READ(GetBool("v", 0), false)},
        {"leading space and a tail", ADD(AddString("v", "  42 apples")), "  42 apples",
         READ(GetInt32("v", 0), 42)},
        // The signed reads detect the base as the "%i" conversions do.
        {"octal as int32", ADD(AddString("v", "010")), "010", READ(GetInt32("v", 0), 8)},
        {"hex as int64", ADD(AddString("v", "0x1F")), "0x1F", READ(GetInt64("v", 0), 31)},
        {"unsigned reads are decimal", ADD(AddString("v", "010")), "010", READ(GetUInt32("v", 0), 10u)},
        // Texts that do not parse read as 0.
        {"bool as int32", ADD(AddBool("v", true)), "true", READ(GetInt32("v", 0), 0)},
        {"word as uint64", ADD(AddString("v", "abc")), "abc", READ(GetUInt64("v", 0), 0u)},
        {"word as float", ADD(AddString("v", "abc")), "abc", READ(GetFloat("v", 0), 0.0f)},
        {"word as double", ADD(AddString("v", "abc")), "abc", READ(GetDouble("v", 0), 0.0)},
        {"empty as uint16", ADD(AddString("v", "")), "", READ(GetUInt16("v", 0), 0)},
        {"empty as int8", ADD(AddString("v", "")), "", READ(GetInt8("v", 0), 0)},
    };
    for (const ConversionCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResultStore store;
        c.add(store);
        EXPECT_EQ(store.GetString("v", 0), c.text);
        c.read(store);
    }
}

#undef ADD
#undef READ

// ---- keys and lookups -----------------------------------------------------

TEST(ResultStoreLookup, ValuesOfAKeyKeepTheirOrder)
{
    ResultStore store;
    store.AddUInt32("disk%d", 10, 0);
    store.AddString("disk%d", "second", 0);
    store.AddInt32("disk0", -3);
    EXPECT_EQ(store.GetValueCount("disk0"), 3u);
    EXPECT_EQ(store.GetUInt32("disk0", 0), 10u);
    EXPECT_EQ(store.GetString("disk%s", 1, "0"), "second");
    EXPECT_EQ(store.GetInt32("disk0", 2), -3);
}

TEST(ResultStoreLookup, KeysAreLoweredOnAddAndLookedUpAsFormatted)
{
    ResultStore store;
    store.AddString("SpeedMB", "1");
    store.AddString("Disk%s", "2", "SDA");
    // Only A to Z are lowered; other bytes stay as they are.
    store.AddString("\xC4Z_%s", "3", "\xE4Q");

    EXPECT_EQ(store.GetValueCount("SpeedMB"), 0u);
    EXPECT_THROW(store.GetString("SpeedMB", 0), ResultNotFoundException);
    EXPECT_EQ(store.GetString("speedmb", 0), "1");
    EXPECT_EQ(store.GetString("disk%s", 0, "sda"), "2");
    EXPECT_EQ(store.GetValueCount("Disk%s", "sda"), 0u);
    EXPECT_EQ(store.GetString("\xC4z_\xE4q", 0), "3");
    // Nothing else is normalised either.
    EXPECT_EQ(store.GetValueCount("speedmb "), 0u);
    EXPECT_EQ(store.GetAsText(), "disksda\t2\nspeedmb\t1\n\xC4z_\xE4q\t3\n");
}

TEST(ResultStoreLookup, MissingKeyAndIndexRaiseTheirErrors)
{
    ResultStore store;
    store.AddUInt32("present", 1);
    store.AddUInt32("present", 2);

    try {
        store.GetUInt32("present", 2);
        FAIL() << "index equal to the count must raise";
    } catch (const ResultIndexOutOfBoundException& error) {
        EXPECT_STREQ(error.GetErrorMsg(), "Index out of bound: 2");
    }
    try {
        store.GetDouble("Disk%d/%s", 0, 3, "Speed");
        FAIL() << "a never added key must raise";
    } catch (const ResultNotFoundException& error) {
        // The key as formatted, not lowered.
        EXPECT_STREQ(error.GetErrorMsg(), "Result not found : Disk3/Speed");
    }
    try {
        store.GetValues("absent");
        FAIL() << "GetValues of a never added key must raise";
    } catch (const ResultNotFoundException& error) {
        EXPECT_STREQ(error.GetErrorMsg(), "Result not found : absent");
    }
    EXPECT_EQ(store.GetValueCount("absent"), 0u);
    // Both errors belong to the result database branch of the family.
    EXPECT_THROW(store.GetBool("absent", 0), Ulmora::ResultDBException);
    EXPECT_THROW(store.GetString("present", 7), Ulmora::ResultDBException);
}

TEST(ResultStoreLookup, AFailedLookupChangesNothing)
{
    ResultStore store;
    store.AddString("a", "1");
    const std::string before = store.GetAsText();

    EXPECT_THROW(store.GetString("b", 0), ResultNotFoundException);
    EXPECT_THROW(store.GetString("a", 1), ResultIndexOutOfBoundException);
    EXPECT_THROW(store.GetValues("b"), ResultNotFoundException);
    EXPECT_EQ(store.GetValueCount("b"), 0u);
    EXPECT_THROW(store.GetString("A", 0), ResultNotFoundException);

    EXPECT_EQ(store.GetAsText(), before);
    EXPECT_EQ(store.GetValueCount("b"), 0u);
    EXPECT_EQ(store.GetValueCount("a"), 1u);
    EXPECT_EQ(store.GetValueCount("A"), 0u);
}

TEST(ResultStoreLookup, GetValuesStopsAtTheFirstEmptyValueButCountCountsAll)
{
    ResultStore store;
    store.AddString("k", "a");
    store.AddString("k", "");
    store.AddString("k", "b");

    EXPECT_EQ(store.GetValueCount("k"), 3u);
    EXPECT_EQ(store.GetString("k", 1), "");
    EXPECT_EQ(store.GetString("k", 2), "b");
    const DoubleZeroString values = store.GetValues("k");
    ASSERT_EQ(values.GetCount(), 1u);
    EXPECT_STREQ(values.Get(0), "a");
    EXPECT_EQ(store.GetAsText(), "k\ta\nk\t\nk\tb\n");
}

TEST(ResultStoreLookup, GetValuesReturnsACopy)
{
    ResultStore store;
    store.AddString("k", "a");
    DoubleZeroString values = store.GetValues("k");
    values.Add("b");
    EXPECT_EQ(store.GetValueCount("k"), 1u);
}

TEST(ResultStoreLookup, NullValueTextIsStoredAsEmptyText)
{
    ResultStore store;
    store.AddString("k", nullptr);
    EXPECT_EQ(store.GetValueCount("k"), 1u);
    EXPECT_EQ(store.GetString("k", 0), "");
    EXPECT_EQ(store.GetAsText(), "k\t\n");
}

// ---- key length bounds ----------------------------------------------------

// A key format of `prefix` bytes of 'k' followed by "%s" (so its length is
// prefix + 2), formatted with an argument of `argument` bytes of 'a'.
struct BoundCase {
    const char* name;
    size_t prefix;
    size_t argument;
    bool storedAndRead;  // AddTextV / GetTextV bound: key <= format + 511
    bool listed;         // GetValues / GetValueCount bound: key <= format + 255
};

TEST(ResultStoreBounds, KeyLengthLimits)
{
    const BoundCase cases[] = {
        {"short", 1, 10, true, true},
        {"list bound", 1, 257, true, true},      // key 258 = format 3 + 255
        {"list bound + 1", 1, 258, true, false},  // key 259
        {"text bound", 1, 513, true, false},      // key 514 = format 3 + 511
        {"text bound + 1", 1, 514, false, false}, // key 515
        // Formats longer than the stack buffer take the heap path.
        {"long format, list bound", 2000, 257, true, true},       // key 2257 = 2002 + 255
        {"long format, list bound + 1", 2000, 258, true, false},
        {"long format, text bound", 2000, 513, true, false},      // key 2513 = 2002 + 511
        {"long format, text bound + 1", 2000, 514, false, false},
    };
    for (const BoundCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string format = std::string(c.prefix, 'k') + "%s";
        const std::string argument(c.argument, 'a');
        const std::string key = std::string(c.prefix, 'k') + argument;

        ResultStore store;
        store.AddUInt32(format.c_str(), 7, argument.c_str());
        if (c.storedAndRead) {
            EXPECT_EQ(store.GetAsText(), key + "\t7\n");
            EXPECT_EQ(store.GetUInt32(format.c_str(), 0, argument.c_str()), 7u);
        } else {
            EXPECT_EQ(store.GetAsText(), "");
            // Too long to look up: empty text, nothing raised.
            EXPECT_EQ(store.GetString(format.c_str(), 0, argument.c_str()), "");
            EXPECT_EQ(store.GetUInt32(format.c_str(), 0, argument.c_str()), 0u);
        }
        if (c.listed) {
            EXPECT_EQ(store.GetValueCount(format.c_str(), argument.c_str()), 1u);
            EXPECT_EQ(store.GetValues(format.c_str(), argument.c_str()).GetCount(), 1u);
        } else {
            EXPECT_EQ(store.GetValueCount(format.c_str(), argument.c_str()), 0u);
            try {
                store.GetValues(format.c_str(), argument.c_str());
                ADD_FAILURE() << "a key over the list bound counts as absent";
            } catch (const ResultNotFoundException& error) {
                // The message names the whole key, not the part that fitted.
                EXPECT_EQ(error.GetErrorMsg(), "Result not found : " + key);
            }
        }
    }
}

// ---- order and text form --------------------------------------------------

TEST(ResultStoreText, LinesComeInKeyOrderThenValueOrder)
{
    ResultStore store;
    EXPECT_EQ(store.GetAsText(), "");
    store.AddString("b", "1");
    store.AddString("a", "x");
    store.AddString("a", "y");
    EXPECT_EQ(store.GetAsText(), "a\tx\na\ty\nb\t1\n");
}

TEST(ResultStoreText, KeysSortAsUnsignedBytesWithPrefixesFirst)
{
    ResultStore store;
    const char* keys[] = {"\xC3\xA9t\xC3\xA9", "b", "a\x80", "a0", "z", "a", "a~"};
    for (const char* key : keys)
        store.AddString("%s", "v", key);
    EXPECT_EQ(store.GetAsText(),
              "a\tv\na0\tv\na~\tv\na\x80\tv\nb\tv\nz\tv\n\xC3\xA9t\xC3\xA9\tv\n");
}

TEST(ResultStoreText, ClearEmptiesTheStore)
{
    ResultStore store;
    store.AddUInt32("k", 1);
    store.AddUInt32("j", 2);
    store.Clear();
    EXPECT_EQ(store.GetAsText(), "");
    EXPECT_THROW(store.GetUInt32("k", 0), ResultNotFoundException);
    EXPECT_EQ(store.GetValueCount("j"), 0u);
    store.AddUInt32("k", 3);
    EXPECT_EQ(store.GetUInt32("k", 0), 3u);
    EXPECT_EQ(store.GetValueCount("k"), 1u);
}

// ---- the log --------------------------------------------------------------

using RecordingOutput = UlmoraTest::RecordingLogOutput;

TEST(ResultStoreLog, EmptyStoreWritesNothing)
{
    Log::Logger logger;
    RecordingOutput output;
    logger.AddOutput(&output);
    ResultStore store;
    store.WriteToLog(&logger);
    EXPECT_TRUE(output.lines.empty());
    store.WriteToLog(nullptr);  // ignored
}

TEST(ResultStoreLog, OneMessagePerValueWithoutModule)
{
    Log::Logger logger;
    RecordingOutput output;
    logger.AddOutput(&output);
    ResultStore store;
    store.AddString("b", "1");
    store.AddString("a", "x");
    store.AddString("a", "y");
    // Percent signs in keys and values are text, never directives.
    store.AddString("cpu%%load", "50%d%s%n");
    // A line of 2048 characters or more is dropped by the logger; the other
    // lines still go out.
    store.AddString("long", std::string(3000, 'v').c_str());

    store.WriteToLog(&logger);
    const char* expected[] = {"a\tx\n", "a\ty\n", "b\t1\n", "cpu%load\t50%d%s%n\n"};
    ASSERT_EQ(output.lines.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(output.lines[i].level, Log::LevelInformation);
        EXPECT_EQ(output.lines[i].module, "");
        EXPECT_EQ(output.lines[i].text, expected[i]);
    }
}

// ---- the store's own slots ------------------------------------------------

// The typed operations reach the store's text through its two own virtual
// slots, with the caller's key arguments passed on by reference.
class SpyStore : public ResultStore {
public:
    void AddTextV(const char* keyFormat, const char* value, va_list& args) override
    {
        va_list copy;
        va_copy(copy, args);
        char key[256];
        std::vsnprintf(key, sizeof key, keyFormat, copy);
        va_end(copy);
        added.push_back(std::string(key) + "=" + value);
        ResultStore::AddTextV(keyFormat, value, args);
    }
    std::string GetTextV(const char* keyFormat, uint32_t index, va_list& args) const override
    {
        const std::string text = ResultStore::GetTextV(keyFormat, index, args);
        return text == "replace" ? std::string("12") : text;
    }
    std::vector<std::string> added;
};

TEST(ResultStoreSlots, TypedOperationsGoThroughTheTextSlots)
{
    SpyStore spy;
    IResultDatabase& db = spy;
    db.AddFloat("F%d%s", 0.5f, 7, "x");
    db.AddBool("b%c", false, 'q');
    db.AddUInt8("u%lld", 200, 123456789012LL);
    db.AddString("s", "replace");
    const std::vector<std::string> expected = {"F7x=0.5", "bq=false", "u123456789012=200", "s=replace"};
    EXPECT_EQ(spy.added, expected);
    EXPECT_EQ(db.GetUInt8("s", 0), 12);
    EXPECT_EQ(db.GetString("s", 0), "12");
}

TEST(ResultStoreSlots, TextSlotsFollowTheInterfaceSlots)
{
    using UlmoraTest::ItaniumEntry;
    using UlmoraTest::VtableSlot;
    EXPECT_EQ(VtableSlot(&ResultStore::AddTextV), ItaniumEntry(30, 0));
    EXPECT_EQ(VtableSlot(&ResultStore::GetTextV), ItaniumEntry(31, 0));
    EXPECT_EQ(VtableSlot(&ResultStore::WriteToLog), ItaniumEntry(29, 0));
}

} // namespace
