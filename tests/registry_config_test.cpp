// Storing parameter lists in the registry and reading them back: the real
// registry on Windows, the library's file store elsewhere.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "support/RegistrySandbox.h"
#include "ulmora/Ulmora.h"

namespace {

using UlmoraTest::RegistrySandbox;

// Reads one raw value below HKEY_CURRENT_USER; false when it is missing.
bool RawValue(const std::string& keyPath, const char* name, std::string& data,
              DWORD* type = nullptr)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    bool found = RegQueryValueExA(key, name, nullptr, type, nullptr, &size) == ERROR_SUCCESS;
    if (found) {
        data.assign(size, '\0');
        found = RegQueryValueExA(key, name, nullptr, type,
                                 reinterpret_cast<LPBYTE>(&data[0]), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return found;
}

void SetRaw(const std::string& keyPath, const char* name, DWORD type, const std::string& data)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

bool KeyExists(const std::string& keyPath)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The settings of a host: one parameter of every class, and a nested list.
struct Settings {
    int32_t number = 0;
    float ratio = 0;
    std::string text;
    bool flag = false;
    int32_t choice = 0;
    Parameter::Color color = {};
    std::string file;
    DoubleZeroString dynamicChoices;
    int32_t selection = 0;
    int32_t innerNumber = 0;
    ParameterList list;
    ParameterList inner;

    Settings()
    {
        list.SetName("L");
        inner.SetName("N");
        list.AddParameterInt(1, "number", "", &number, nullptr);
        list.AddParameterFloat(2, "ratio", "", &ratio, nullptr);
        list.AddParameterString(3, "text", "", &text, nullptr);
        list.AddParameterBool(4, "flag", "", &flag, nullptr);
        list.AddParameterEnum(5, "choice", "", std::string("low;high;"), &choice, nullptr);
        list.AddParameterColor(6, "color", "", &color, Parameter::Color::ColorFormatStandard,
                               nullptr);
        list.AddParameterFile(7, "file", "", "*.txt", &file, nullptr);
        list.AddParameterDynamicList(8, "dyn", "dyn", "", &dynamicChoices, &selection, nullptr,
                                     false, true);
        inner.AddParameterInt(1, "innerNumber", "", &innerNumber, nullptr);
        list.AddParameterList(9, &inner, nullptr, false, true);
    }
};

class RegistryConfig : public ::testing::Test {
protected:
    RegistrySandbox sandbox;
    Ulmora::RegConfigWriter writer;
    Ulmora::RegConfigReader reader;
};

TEST_F(RegistryConfig, RoundTripRestoresWhatIsReadAndKeepsTheRest)
{
    Settings saved;
    saved.number = -42;
    saved.ratio = 0.25f;
    saved.text = "hello \"world\" \\ done";
    saved.flag = true;
    saved.choice = 1;
    saved.color = {0, {1, 2, 3, 4}};
    saved.file = "/tmp/a.txt";
    saved.dynamicChoices.Add("a");
    saved.dynamicChoices.Add("bc");
    saved.selection = 1;
    saved.innerNumber = 7;
    writer.WriteConfig(HKEY_CURRENT_USER, sandbox.Key().c_str(), &saved.list);

    Settings loaded;
    loaded.file = "kept";
    reader.ReadConfig(HKEY_CURRENT_USER, sandbox.Key().c_str(), &loaded.list);
    EXPECT_EQ(loaded.number, -42);
    EXPECT_EQ(loaded.ratio, 0.25f);
    EXPECT_EQ(loaded.text, saved.text);
    EXPECT_TRUE(loaded.flag); // "1" comes back true
    EXPECT_EQ(loaded.selection, 1);
    EXPECT_EQ(loaded.dynamicChoices.GetCount(), 2u);
    EXPECT_STREQ(loaded.dynamicChoices.Get(1), "bc");
    EXPECT_EQ(loaded.innerNumber, 7);
    // Written for people only: enumeration, colour and file stay as they were.
    EXPECT_EQ(loaded.choice, 0);
    EXPECT_EQ(loaded.color.m_Channels[0], 0);
    EXPECT_EQ(loaded.file, "kept");

    const std::string listKey = sandbox.Key() + "\\L";
    std::string data;
    DWORD type = 0;
    ASSERT_TRUE(RawValue(listKey, "choice", data, &type));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(data, std::string("high", 5));
    ASSERT_TRUE(RawValue(listKey, "color", data));
    EXPECT_EQ(data, std::string(1, '\0'));
    ASSERT_TRUE(RawValue(listKey, "number", data));
    EXPECT_EQ(data, std::string("-42", 4));
    ASSERT_TRUE(RawValue(listKey, "flag", data));
    EXPECT_EQ(data, std::string("1", 2));
}

TEST_F(RegistryConfig, DynamicListIsStoredAsChoicesAndSelection)
{
    Settings saved;
    saved.dynamicChoices.Add("a");
    saved.dynamicChoices.Add("bc");
    saved.selection = 1;
    writer.WriteConfig(HKEY_CURRENT_USER, sandbox.Key().c_str(), &saved.list);

    const std::string listKey = sandbox.Key() + "\\L";
    std::string data;
    DWORD type = 0;
    ASSERT_TRUE(RawValue(listKey, "dynchoices", data, &type));
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(data, std::string("a\0bc\0\0", 6));
    ASSERT_TRUE(RawValue(listKey, "dyn", data, &type));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(data, std::string("\1\0\0\0", 4));
}

TEST_F(RegistryConfig, DynamicListWithoutChoicesStillRestoresItsSelection)
{
    Settings saved;
    saved.selection = 3;
    writer.WriteConfig(HKEY_CURRENT_USER, sandbox.Key().c_str(), &saved.list);
    std::string data;
    ASSERT_TRUE(RawValue(sandbox.Key() + "\\L", "dynchoices", data));
    EXPECT_EQ(data, std::string(1, '\0'));

    Settings loaded;
    loaded.dynamicChoices.Add("stale");
    reader.ReadConfig(HKEY_CURRENT_USER, sandbox.Key().c_str(), &loaded.list);
    EXPECT_EQ(loaded.dynamicChoices.GetCount(), 0u);
    EXPECT_EQ(loaded.selection, 3);
}

TEST_F(RegistryConfig, DynamicListWithoutItsChoicesValueIsLeftAlone)
{
    SetRaw(sandbox.Key() + "\\L", "dyn", REG_DWORD, std::string("\2\0\0\0", 4));
    Settings loaded;
    loaded.dynamicChoices.Add("mine");
    loaded.selection = 0;
    reader.ReadConfig(HKEY_CURRENT_USER, sandbox.Key().c_str(), &loaded.list);
    EXPECT_EQ(loaded.selection, 0);
    EXPECT_EQ(loaded.dynamicChoices.GetCount(), 1u);
}

TEST_F(RegistryConfig, ChoicesDataWithoutItsFinalNulsIsReadWithinItsSize)
{
    const std::string key = sandbox.Key() + "\\L";
    SetRaw(key, "dynchoices", REG_MULTI_SZ, "ab"); // no NUL at all
    SetRaw(key, "dyn", REG_DWORD, std::string("\0\0\0\0", 4));
    Settings loaded;
    loaded.selection = 5;
    reader.ReadConfig(HKEY_CURRENT_USER, sandbox.Key().c_str(), &loaded.list);
    ASSERT_EQ(loaded.dynamicChoices.GetCount(), 1u);
    EXPECT_STREQ(loaded.dynamicChoices.Get(0), "ab");
    EXPECT_EQ(loaded.selection, 0);
}

struct TextCase {
    const char* name;
    const char* number;
    const char* ratio;
    const char* flag;
    int32_t expectedNumber;
    float expectedRatio;
    bool initialFlag;
    bool expectedFlag;
};

TEST_F(RegistryConfig, StoredTextsParseOrLeaveTheParameterAlone)
{
    const TextCase cases[] = {
        {"digits then text", "42abc", "1.5x", "true", 42, 1.5f, false, true},
        {"no number at all", "abc", "x", "yes", 11, 2.5f, true, true},
        {"beyond 32 bits", "4294967296", "", "0", 11, 2.5f, true, false},
        {"negative, spaces", "  -7", " -0.5", "1", -7, -0.5f, false, true},
        {"bool false", "0", "0", "false", 0, 0.0f, true, false},
    };
    for (const TextCase& c : cases) {
        const std::string key = sandbox.Key() + "\\L";
        SetRaw(key, "number", REG_SZ, std::string(c.number) + '\0');
        SetRaw(key, "ratio", REG_SZ, std::string(c.ratio) + '\0');
        SetRaw(key, "flag", REG_SZ, std::string(c.flag) + '\0');
        Settings loaded;
        loaded.number = 11;
        loaded.ratio = 2.5f;
        loaded.flag = c.initialFlag;
        reader.ReadConfig(HKEY_CURRENT_USER, sandbox.Key().c_str(), &loaded.list);
        EXPECT_EQ(loaded.number, c.expectedNumber) << c.name;
        EXPECT_EQ(loaded.ratio, c.expectedRatio) << c.name;
        EXPECT_EQ(loaded.flag, c.expectedFlag) << c.name;
    }
}

TEST_F(RegistryConfig, ListKeysJoinThePathWithOneBackslash)
{
    struct PathCase {
        std::string path;
        std::string expectedKey;
    };
    const std::string base = sandbox.Key();
    const PathCase cases[] = {
        {base, base + "\\L"},
        {base + "\\", base + "\\L"},
        {base + "\\P", base + "\\P\\L"},
    };
    for (const PathCase& c : cases) {
        Settings saved;
        saved.number = 5;
        saved.innerNumber = 6;
        writer.WriteConfig(HKEY_CURRENT_USER, c.path.c_str(), &saved.list);
        std::string data;
        EXPECT_TRUE(RawValue(c.expectedKey, "number", data)) << c.path;
        // The nested list N of L lands below L.
        EXPECT_TRUE(RawValue(c.expectedKey + "\\N", "innerNumber", data)) << c.path;
        EXPECT_EQ(data, std::string("6", 2)) << c.path;

        Settings loaded;
        reader.ReadConfig(HKEY_CURRENT_USER, c.path.c_str(), &loaded.list);
        EXPECT_EQ(loaded.innerNumber, 6) << c.path;
    }
}

TEST_F(RegistryConfig, EmptyPathPutsTheListRightUnderTheRoot)
{
    HKEY root = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, sandbox.Key().c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &root, nullptr),
              ERROR_SUCCESS);
    Settings saved;
    saved.number = 9;
    writer.WriteConfig(root, "", &saved.list);
    Settings loaded;
    reader.ReadConfig(root, "", &loaded.list);
    EXPECT_EQ(RegCloseKey(root), ERROR_SUCCESS);
    EXPECT_EQ(loaded.number, 9);
    std::string data;
    EXPECT_TRUE(RawValue(sandbox.Key() + "\\L", "number", data));
}

TEST_F(RegistryConfig, ListNeverWrittenChangesNothing)
{
    Settings loaded;
    loaded.number = 3;
    loaded.text = "same";
    reader.ReadConfig(HKEY_CURRENT_USER, sandbox.Key().c_str(), &loaded.list);
    EXPECT_EQ(loaded.number, 3);
    EXPECT_EQ(loaded.text, "same");
    EXPECT_FALSE(KeyExists(sandbox.Key() + "\\L"));
}

TEST_F(RegistryConfig, ListHoldingItselfIsWrittenOnce)
{
    int32_t value = 4;
    ParameterList list;
    list.SetName("Loop");
    list.AddParameterInt(1, "value", "", &value, nullptr);
    list.AddParameterList(2, &list, nullptr, false, true);
    writer.WriteConfig(HKEY_CURRENT_USER, sandbox.Key().c_str(), &list);
    value = 0;
    reader.ReadConfig(HKEY_CURRENT_USER, sandbox.Key().c_str(), &list);
    EXPECT_EQ(value, 4);
    EXPECT_FALSE(KeyExists(sandbox.Key() + "\\Loop\\Loop"));
}

} // namespace
