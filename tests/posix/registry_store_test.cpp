// The file store that stands in for the registry on POSIX: its file format,
// and what it keeps when writers crash, race or meet a damaged file. Writers
// run in child processes of their own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <map>
#include <pwd.h>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/RegistrySandbox.h"
#include "ulmora/Registry.h"
#include "ulmora/Ulmora.h"

namespace {

using UlmoraTest::RegistrySandbox;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

LONG WriteValue(const std::string& keyPath, const std::string& name, DWORD type,
                const std::string& data)
{
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size()));
    return RegCloseKey(key);
}

bool ReadValue(const std::string& keyPath, const std::string& name, std::string& data)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    bool found = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, &size) ==
                 ERROR_SUCCESS;
    if (found) {
        data.assign(size, '\0');
        found = RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                 reinterpret_cast<LPBYTE>(&data[0]), &size) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return found;
}

// Runs `body` in a child process; its exit status is the test's verdict.
template <class Body>
pid_t Spawn(Body body)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(body());
    return child;
}

int WaitFor(pid_t child)
{
    int status = 0;
    ::waitpid(child, &status, 0);
    return status;
}

TEST(RegistryStore, WritesAReadableRegedit4FileForItsOwnerOnly)
{
    RegistrySandbox sandbox;
    const std::string key = sandbox.Key() + "\\Sub";
    ASSERT_EQ(WriteValue(key, "text", REG_SZ, std::string("a \"q\" \\ b\xe9", 10) + '\0'),
              ERROR_SUCCESS);
    ASSERT_EQ(WriteValue(key, "number", REG_DWORD, std::string("\x2a\0\0\0", 4)), ERROR_SUCCESS);
    ASSERT_EQ(WriteValue(key, "list", REG_MULTI_SZ, std::string("a\0bc\0\0", 6)),
              ERROR_SUCCESS);
    ASSERT_EQ(WriteValue(key, "lines", REG_SZ, std::string("x\ny", 4)), ERROR_SUCCESS);
    ASSERT_EQ(WriteValue(key, "", REG_SZ, std::string("default", 8)), ERROR_SUCCESS);

    const std::string text = ReadFile(sandbox.StoreFile());
    EXPECT_THAT(text, StartsWith("REGEDIT4\n"));
    EXPECT_THAT(text, HasSubstr("[HKEY_CURRENT_USER\\" + key + "]\n"));
    EXPECT_THAT(text, HasSubstr("\"text\"=\"a \\\"q\\\" \\\\ b\xe9\"\n"));
    EXPECT_THAT(text, HasSubstr("\"number\"=dword:0000002a\n"));
    EXPECT_THAT(text, HasSubstr("\"list\"=hex(7):61,00,62,63,00,00\n"));
    EXPECT_THAT(text, HasSubstr("\"lines\"=hex(1):78,0a,79,00\n"));
    EXPECT_THAT(text, HasSubstr("@=\"default\"\n"));

    struct stat info;
    ASSERT_EQ(::stat(sandbox.StoreFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // Another process reads every byte back from the file.
    const pid_t reader = Spawn([&] {
        std::string data;
        const bool ok = ReadValue(key, "TEXT", data) &&
                        data == std::string("a \"q\" \\ b\xe9", 10) + '\0' &&
                        ReadValue(key, "lines", data) && data == std::string("x\ny", 4) &&
                        ReadValue(key, "list", data) && data == std::string("a\0bc\0\0", 6);
        return ok ? 0 : 1;
    });
    EXPECT_EQ(WaitFor(reader), 0);
}

TEST(RegistryStore, DefaultLocationIsTheUsersConfigDirectory)
{
    RegistrySandbox sandbox; // a private directory to serve as XDG_CONFIG_HOME
    const std::string config = sandbox.Directory().string();
    const pid_t child = Spawn([&] {
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        UlmoraSetRegistryDirectory(nullptr);
        return WriteValue("Software\\UlmoraDefault", "v", REG_SZ, std::string("x", 2)) ==
                       ERROR_SUCCESS
                   ? 0
                   : 1;
    });
    EXPECT_EQ(WaitFor(child), 0);
    EXPECT_TRUE(std::filesystem::exists(sandbox.Directory() / "ulmora" / "HKEY_CURRENT_USER.reg"));
}

TEST(RegistryStore, QueriesFollowTheWin32Rules)
{
    RegistrySandbox sandbox;
    ASSERT_EQ(WriteValue(sandbox.Key(), "v", REG_BINARY, "abcd"), ERROR_SUCCESS);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, sandbox.Key().c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(type, REG_BINARY);
    BYTE small[2];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(RegQueryValueExA(key, "missing", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

    HKEY missing = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (sandbox.Key() + "\\nothing").c_str(), 0,
                            KEY_READ, &missing),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, sandbox.Key().c_str()), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, sandbox.Key().c_str(), 0, KEY_READ, &missing),
              ERROR_FILE_NOT_FOUND);
}

TEST(RegistryStore, DamagedFileIsNeverOverwritten)
{
    RegistrySandbox sandbox;
    std::filesystem::create_directories(sandbox.Directory());
    const std::string damaged = "REGEDIT4\n\n[HKEY_CURRENT_USER\\x]\n\"a\"=dword:zz\n";
    std::ofstream(sandbox.StoreFile(), std::ios::binary) << damaged;

    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, sandbox.Key().c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_BADDB);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "x", 0, KEY_READ, &key), ERROR_BADDB);

    int32_t value = 5;
    ParameterList list;
    list.SetName("L");
    list.AddParameterInt(1, "a", "", &value, nullptr);
    Ulmora::RegConfigWriter().WriteConfig(HKEY_CURRENT_USER, "x", &list);
    Ulmora::RegConfigReader().ReadConfig(HKEY_CURRENT_USER, "x", &list);
    EXPECT_EQ(value, 5);
    EXPECT_EQ(ReadFile(sandbox.StoreFile()), damaged);
}

// Writes 200 values "<prefix>0".."<prefix>199", each in a write of its own.
int WriteMany(const std::string& key, const std::string& prefix)
{
    for (int i = 0; i < 200; ++i) {
        const std::string data = prefix + std::to_string(i) + '\0';
        if (WriteValue(key, prefix + std::to_string(i), REG_SZ, data) != ERROR_SUCCESS)
            return 1;
    }
    return 0;
}

TEST(RegistryStore, ConcurrentWritersLoseNothing)
{
    RegistrySandbox sandbox;
    const std::string key = sandbox.Key();
    const pid_t first = Spawn([&] { return WriteMany(key, "first"); });
    const pid_t second = Spawn([&] { return WriteMany(key, "second"); });
    EXPECT_EQ(WaitFor(first), 0);
    EXPECT_EQ(WaitFor(second), 0);
    int found = 0;
    for (const char* prefix : {"first", "second"}) {
        for (int i = 0; i < 200; ++i) {
            std::string data;
            if (ReadValue(key, prefix + std::to_string(i), data) &&
                data == prefix + std::to_string(i) + '\0')
                ++found;
        }
    }
    EXPECT_EQ(found, 400);
}

// One generation of content: 300 values that all carry the generation's
// number, written in one replacement of the file.
LONG WriteGeneration(const std::string& key, int generation)
{
    HKEY handle = nullptr;
    LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &handle,
                                  nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    const std::string data = std::to_string(generation) + std::string(200, 'x') + '\0';
    for (int i = 0; i < 300; ++i)
        RegSetValueExA(handle, ("v" + std::to_string(i)).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()));
    return RegCloseKey(handle);
}

TEST(RegistryStore, WriterKilledMidWriteLeavesTheOldOrTheNewFile)
{
    RegistrySandbox sandbox;
    const std::string key = sandbox.Key();
    ASSERT_EQ(WriteGeneration(key, 0), ERROR_SUCCESS);
    for (int round = 0; round < 20; ++round) {
        const pid_t writer = Spawn([&] {
            for (int generation = 1;; ++generation)
                WriteGeneration(key, generation);
            return 0;
        });
        ::usleep(static_cast<useconds_t>(2000 + round * 1500));
        ::kill(writer, SIGKILL);
        WaitFor(writer);

        // Every value comes from one and the same generation.
        HKEY handle = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle),
                  ERROR_SUCCESS)
            << "round " << round;
        std::string first;
        for (int i = 0; i < 300; ++i) {
            char data[512];
            DWORD size = sizeof data;
            ASSERT_EQ(RegQueryValueExA(handle, ("v" + std::to_string(i)).c_str(), nullptr,
                                       nullptr, reinterpret_cast<LPBYTE>(data), &size),
                      ERROR_SUCCESS)
                << "round " << round << " value " << i;
            const std::string value(data, size);
            if (i == 0)
                first = value;
            ASSERT_EQ(value, first) << "round " << round << " value " << i;
        }
        RegCloseKey(handle);
    }
}

// The temporary files of the store in `directory`.
std::vector<std::string> Temporaries(const std::filesystem::path& directory)
{
    std::vector<std::string> found;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".new") == 0)
            found.push_back(name);
    }
    return found;
}

struct NamedValue {
    const char* label;
    std::string keyName; // one component below the test's key
    std::string valueName;
    DWORD type;
    std::string data;
};

TEST(RegistryStore, NamesAndDataOfEveryKindRoundTrip)
{
    const std::string allBytes = [] {
        std::string bytes;
        for (int c = 0; c < 256; ++c)
            bytes += static_cast<char>(c);
        return bytes;
    }();
    const std::vector<NamedValue> rows = {
        {"line feed in a value name", "k", "a\nb", REG_SZ, std::string("x", 2)},
        {"carriage returns in a value name", "k", "\ra\rb\r", REG_SZ, std::string("x", 2)},
        {"quote and backslash", "k", "q\"\\\"\\", REG_SZ, std::string("x", 2)},
        {"equals and brackets", "k", "=[a]=]", REG_SZ, std::string("x", 2)},
        {"name like a comment or the default", "k", ";@", REG_SZ, std::string("x", 2)},
        {"high bytes", "k", "\x80\xe9\xff", REG_SZ, std::string("\x80\xff", 3)},
        {"control bytes", "k", "\x01\t\x1f\x7f", REG_DWORD, std::string("\1\2\3\4", 4)},
        {"carriage return in a key name", "k\rx\r", "v", REG_SZ, std::string("x", 2)},
        {"quote, equals and brackets in a key name", "[\"=]", "v", REG_SZ, std::string("x", 2)},
        {"key name ending in a bracket", "]", "v", REG_SZ, std::string("x", 2)},
        {"high bytes in a key name", "\x80\xff", "v", REG_SZ, std::string("x", 2)},
        {"text data with line breaks and quotes", "k", "t", REG_SZ,
         std::string("a\r\nb\"\\\n", 8)},
        {"text without its NUL", "k", "t2", REG_SZ, "abc"},
        {"every byte as binary data", "k", "b", REG_BINARY, allBytes},
        {"every byte as a type of its own", "k", "o", 0x12345678u, allBytes},
        {"empty data", "k", "e", REG_BINARY, ""},
        {"multi-string", "k", "m", REG_MULTI_SZ, std::string("a\0\n\0\0", 5)},
    };
    RegistrySandbox sandbox;
    for (const NamedValue& row : rows) {
        const std::string key = sandbox.Key() + "\\" + row.keyName;
        ASSERT_EQ(WriteValue(key, row.valueName, row.type, row.data), ERROR_SUCCESS) << row.label;
    }
    // Another process reads every name and byte back from the file.
    const pid_t reader = Spawn([&] {
        int failed = 0;
        for (const NamedValue& row : rows) {
            const std::string key = sandbox.Key() + "\\" + row.keyName;
            std::string data;
            HKEY handle = nullptr;
            DWORD type = 0, size = 0;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) !=
                ERROR_SUCCESS) {
                std::fprintf(stderr, "%s: key missing\n", row.label);
                ++failed;
                continue;
            }
            if (RegQueryValueExA(handle, row.valueName.c_str(), nullptr, &type, nullptr, &size) !=
                    ERROR_SUCCESS ||
                !ReadValue(key, row.valueName, data) || data != row.data || type != row.type) {
                std::fprintf(stderr, "%s: value differs\n", row.label);
                ++failed;
            }
            RegCloseKey(handle);
        }
        return failed;
    });
    EXPECT_EQ(WaitFor(reader), 0);
}

TEST(RegistryStore, KeyNameTheFileCannotHoldIsRefusedAndNothingWritten)
{
    RegistrySandbox sandbox;
    ASSERT_EQ(WriteValue(sandbox.Key(), "v", REG_SZ, std::string("x", 2)), ERROR_SUCCESS);
    const std::string before = ReadFile(sandbox.StoreFile());
    for (const char* name : {"a\nb", "\n", "a\\\n\\b"}) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (sandbox.Key() + "\\" + name).c_str(), 0,
                                  nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_INVALID_PARAMETER);
        EXPECT_EQ(ReadFile(sandbox.StoreFile()), before);
    }
    std::string data;
    EXPECT_TRUE(ReadValue(sandbox.Key(), "v", data));
}

// Random names and values of every byte but NUL (and, in key names, the line
// feed and the separator), written one at a time; after every write another
// process must find the file parseable and holding exactly what was written.
TEST(RegistryStore, RandomNamesAndValuesRoundTripThroughTheFile)
{
    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const std::string specials = "\n\r\"\\=[]@;# \t\x80\xe9\xff";
    auto randomText = [&](size_t maxLength, bool keyName) {
        std::string text;
        const size_t length = 1 + random() % maxLength;
        while (text.size() < length) {
            char c = random() % 2 == 0 ? specials[random() % specials.size()]
                                       : static_cast<char>(1 + random() % 255);
            if (keyName && (c == '\n' || c == '\\'))
                continue;
            text += c;
        }
        return text;
    };
    auto fold = [](std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return text;
    };
    struct Expected {
        std::string key, name;
        DWORD type;
        std::string data;
    };
    std::map<std::string, Expected> expected; // by folded key and value name

    RegistrySandbox sandbox;
    const DWORD types[] = {REG_SZ, REG_DWORD, REG_BINARY, REG_MULTI_SZ, REG_EXPAND_SZ, 0x42};
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::string key = sandbox.Key() + "\\" + randomText(6, true);
        if (random() % 2 == 0)
            key += "\\" + randomText(6, true);
        Expected value{key, randomText(8, false), types[random() % 6], std::string()};
        const size_t length = value.type == REG_DWORD ? 4 : random() % 40;
        for (size_t i = 0; i < length; ++i)
            value.data += static_cast<char>(random() % 256);
        ASSERT_EQ(WriteValue(key, value.name, value.type, value.data), ERROR_SUCCESS);
        const std::string id = fold(key) + '\n' + fold(value.name);
        const auto old = expected.find(id);
        if (old != expected.end())
            value.key = old->second.key; // the key and name keep their first spelling
        expected[id] = value;

        const pid_t reader = Spawn([&] {
            for (const auto& entry : expected) {
                const Expected& want = entry.second;
                HKEY handle = nullptr;
                if (RegOpenKeyExA(HKEY_CURRENT_USER, want.key.c_str(), 0, KEY_READ, &handle) !=
                    ERROR_SUCCESS)
                    return 1;
                DWORD type = 0, size = 0;
                std::string data;
                const bool same =
                    RegQueryValueExA(handle, want.name.c_str(), nullptr, &type, nullptr, &size) ==
                        ERROR_SUCCESS &&
                    ReadValue(want.key, want.name, data) && type == want.type && data == want.data;
                RegCloseKey(handle);
                if (!same)
                    return 2;
            }
            return 0;
        });
        ASSERT_EQ(WaitFor(reader), 0) << "after writing " << value.data.size() << " bytes";
    }
}

TEST(RegistryStore, EmptyFileIsAnEmptyStore)
{
    for (const std::string& content : {std::string(), std::string("\n\n"), std::string("\r\n")}) {
        RegistrySandbox sandbox;
        std::filesystem::create_directories(sandbox.Directory());
        std::ofstream(sandbox.StoreFile(), std::ios::binary) << content;
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, sandbox.Key().c_str(), 0, KEY_READ, &key),
                  ERROR_FILE_NOT_FOUND);
        ASSERT_EQ(WriteValue(sandbox.Key(), "v", REG_SZ, std::string("x", 2)), ERROR_SUCCESS);
        std::string data;
        EXPECT_TRUE(ReadValue(sandbox.Key(), "v", data));
        EXPECT_THAT(ReadFile(sandbox.StoreFile()), StartsWith("REGEDIT4\n"));
    }
}

TEST(RegistryStore, WithoutAHomeThereIsNoStore)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to become a user without a user database entry";
    uid_t stranger = 54321;
    while (::getpwuid(stranger) != nullptr)
        ++stranger;
    const std::filesystem::path shared = "/tmp/.config/ulmora/HKEY_CURRENT_USER.reg";
    const bool existed = std::filesystem::exists(shared);
    const pid_t child = Spawn([&] {
        ::unsetenv("HOME");
        ::unsetenv("XDG_CONFIG_HOME");
        UlmoraSetRegistryDirectory(nullptr);
        if (::setgid(stranger) != 0 || ::setuid(stranger) != 0)
            return 10;
        HKEY key = nullptr;
        const LONG created = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\UlmoraNoHome", 0,
                                             nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr);
        if (created == ERROR_SUCCESS)
            RegCloseKey(key);
        const BYTE data[] = "x";
        const LONG set = RegSetValueExA(HKEY_CURRENT_USER, "v", 0, REG_SZ, data, sizeof data);
        return created == ERROR_PATH_NOT_FOUND && set == ERROR_PATH_NOT_FOUND ? 0 : 1;
    });
    EXPECT_EQ(WaitFor(child), 0);
    if (!existed && std::filesystem::exists(shared)) {
        ADD_FAILURE() << "the store was put in the shared temporary folder";
        std::filesystem::remove(shared);
    }
}

struct UnsafeFolder {
    const char* label;
    mode_t mode;
    uid_t owner; // 0: the user's own
};

TEST(RegistryStore, StoreFolderThatOthersControlIsRefused)
{
    std::vector<UnsafeFolder> rows = {
        {"writable by everybody", 0777, 0},
        {"writable by the group", 0770, 0},
        {"writable by everybody, sticky", 01777, 0},
    };
    if (::geteuid() == 0)
        rows.push_back({"owned by another user", 0700, 54321});
    for (const UnsafeFolder& row : rows) {
        SCOPED_TRACE(row.label);
        RegistrySandbox sandbox;
        ASSERT_EQ(WriteValue(sandbox.Key(), "v", REG_SZ, std::string("x", 2)), ERROR_SUCCESS);
        const std::string before = ReadFile(sandbox.StoreFile());
        ::chmod(sandbox.Directory().c_str(), row.mode);
        if (row.owner != 0) {
            ASSERT_EQ(::chown(sandbox.Directory().c_str(), row.owner, row.owner), 0);
        }

        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, sandbox.Key().c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, sandbox.Key().c_str(), 0, KEY_READ, &key),
                  ERROR_ACCESS_DENIED);
        const BYTE data[] = "y";
        EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "w", 0, REG_SZ, data, sizeof data),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(ReadFile(sandbox.StoreFile()), before);
        ::chmod(sandbox.Directory().c_str(), 0700);
        if (row.owner != 0) {
            ASSERT_EQ(::chown(sandbox.Directory().c_str(), ::geteuid(), ::getegid()), 0);
        }
    }

    // A link to a folder of the user's own is followed.
    RegistrySandbox sandbox;
    const std::filesystem::path real = sandbox.Directory() / "real";
    std::filesystem::create_directories(real);
    ::chmod(sandbox.Directory().c_str(), 0700);
    ::chmod(real.c_str(), 0700);
    std::filesystem::create_directory_symlink(real, sandbox.Directory() / "link");
    UlmoraSetRegistryDirectory((sandbox.Directory() / "link").c_str());
    EXPECT_EQ(WriteValue(sandbox.Key(), "v", REG_SZ, std::string("x", 2)), ERROR_SUCCESS);
    EXPECT_TRUE(std::filesystem::exists(real / "HKEY_CURRENT_USER.reg"));
    UlmoraSetRegistryDirectory(sandbox.Directory().c_str());
}

TEST(RegistryStore, TemporaryFileNeverFollowsALink)
{
    RegistrySandbox sandbox;
    ASSERT_EQ(WriteValue(sandbox.Key(), "v", REG_SZ, std::string("x", 2)), ERROR_SUCCESS);
    const std::filesystem::path victim = sandbox.Directory() / "victim";
    std::ofstream(victim, std::ios::binary) << "precious";
    std::filesystem::create_symlink(victim, sandbox.StoreFile().string() + ".new");

    ASSERT_EQ(WriteValue(sandbox.Key(), "w", REG_SZ, std::string("y", 2)), ERROR_SUCCESS);
    EXPECT_EQ(ReadFile(victim), "precious");
    EXPECT_FALSE(std::filesystem::is_symlink(sandbox.StoreFile()));
    std::string data;
    EXPECT_TRUE(ReadValue(sandbox.Key(), "w", data));
}

TEST(RegistryStore, TemporaryFilesLeftByACrashAreRemovedByTheNextWrite)
{
    RegistrySandbox sandbox;
    ASSERT_EQ(WriteValue(sandbox.Key(), "v", REG_SZ, std::string("x", 2)), ERROR_SUCCESS);
    const std::string file = sandbox.StoreFile().string();
    for (const std::string& leftover : {file + ".new", file + ".4242-1-99.new"})
        std::ofstream(leftover, std::ios::binary) << "half a file";
    const std::filesystem::path unrelated = sandbox.Directory() / "notes.new";
    std::ofstream(unrelated, std::ios::binary) << "mine";

    ASSERT_EQ(WriteValue(sandbox.Key(), "w", REG_SZ, std::string("y", 2)), ERROR_SUCCESS);
    EXPECT_THAT(Temporaries(sandbox.Directory()), ::testing::ElementsAre("notes.new"));
}

// The child's verdicts, by exit status.
enum FullDiskVerdict {
    FullDiskHeld = 0,
    FirstWriteFailed,
    FailedWriteReported,
    NewValueStillVisible,
    OldValueLost,
    TemporaryLeft,
    LaterWriteFailed,
    LaterWriteLost,
};

TEST(RegistryStore, FailedWriteLeavesTheProcessReadingWhatIsOnDisk)
{
    RegistrySandbox sandbox;
    const std::string key = sandbox.Key();
    const pid_t child = Spawn([&]() -> int {
        if (WriteValue(key, "v", REG_SZ, std::string("old", 4)) != ERROR_SUCCESS)
            return FirstWriteFailed;
        // The file may not grow: the next write fails half way, with EFBIG
        // instead of the signal.
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit;
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlim_t unlimited = limit.rlim_cur;
        limit.rlim_cur = static_cast<rlim_t>(std::filesystem::file_size(sandbox.StoreFile()) + 8);
        ::setrlimit(RLIMIT_FSIZE, &limit);

        HKEY handle = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &handle, nullptr);
        const std::string big(4096, 'b');
        RegSetValueExA(handle, "v", 0, REG_SZ, reinterpret_cast<const BYTE*>(big.c_str()),
                       static_cast<DWORD>(big.size() + 1));
        RegSetValueExA(handle, "added", 0, REG_SZ, reinterpret_cast<const BYTE*>(big.c_str()),
                       static_cast<DWORD>(big.size() + 1));
        if (RegCloseKey(handle) != ERROR_CANTWRITE)
            return FailedWriteReported;
        std::string data;
        if (ReadValue(key, "added", data))
            return NewValueStillVisible;
        if (!ReadValue(key, "v", data) || data != std::string("old", 4))
            return OldValueLost;
        if (!Temporaries(sandbox.Directory()).empty())
            return TemporaryLeft;
        limit.rlim_cur = unlimited;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        if (WriteValue(key, "later", REG_SZ, std::string("z", 2)) != ERROR_SUCCESS)
            return LaterWriteFailed;
        if (!ReadValue(key, "later", data) || !ReadValue(key, "v", data) ||
            data != std::string("old", 4) || ReadValue(key, "added", data))
            return LaterWriteLost;
        return FullDiskHeld;
    });
    const int status = WaitFor(child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), FullDiskHeld);
}

TEST(RegistryStore, KeyClosedByAGlobalObjectAfterMainIsStillWritten)
{
    RegistrySandbox sandbox;
    std::filesystem::create_directories(sandbox.Directory());
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(ULMORA_LATE_CLOSE_HOST, ULMORA_LATE_CLOSE_HOST, sandbox.Directory().c_str(),
                sandbox.Key().c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const int status = WaitFor(child);
    ASSERT_TRUE(WIFEXITED(status)) << "the host died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string data;
    EXPECT_TRUE(ReadValue(sandbox.Key(), "early", data));
    ASSERT_TRUE(ReadValue(sandbox.Key(), "late", data));
    EXPECT_EQ(data, std::string("late", 5));
}

TEST(RegistryStore, DeepKeyPathIsWrittenBackAtItsOwnSize)
{
    RegistrySandbox sandbox;
    std::filesystem::create_directories(sandbox.Directory());
    std::string deep = sandbox.Key();
    for (int i = 0; i < 3000; ++i)
        deep += "\\d";
    const std::string text =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\" + deep + "]\n\"v\"=dword:00000007\n";
    std::ofstream(sandbox.StoreFile(), std::ios::binary) << text;

    std::string data;
    ASSERT_TRUE(ReadValue(deep, "v", data));
    EXPECT_EQ(data, std::string("\7\0\0\0", 4));
    ASSERT_EQ(WriteValue(sandbox.Key(), "w", REG_SZ, std::string("x", 2)), ERROR_SUCCESS);
    EXPECT_LT(std::filesystem::file_size(sandbox.StoreFile()), 2 * text.size());
    EXPECT_TRUE(ReadValue(deep, "v", data));
}

TEST(RegistryStore, OpenKeySeesOtherProcessesWritesWhenOpenedAgain)
{
    RegistrySandbox sandbox;
    const std::string key = sandbox.Key();
    ASSERT_EQ(WriteValue(key, "v", REG_SZ, std::string("old", 4)), ERROR_SUCCESS);
    HKEY handle = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle), ERROR_SUCCESS);
    char buffer[8];
    DWORD size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(handle, "v", nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer),
                               &size),
              ERROR_SUCCESS);
    // The writer is another process: it does not share the open key.
    const pid_t writer = Spawn([&] {
        RegCloseKey(handle);
        return WriteValue(key, "v", REG_SZ, std::string("new", 4)) == ERROR_SUCCESS ? 0 : 1;
    });
    ASSERT_EQ(WaitFor(writer), 0);

    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(handle, "v", nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer),
                               &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer, size), std::string("old", 4)) << "through the open key";
    std::string data;
    ASSERT_TRUE(ReadValue(key, "v", data));
    EXPECT_EQ(data, std::string("new", 4)) << "through a key opened again";
    RegCloseKey(handle);
}

} // namespace
