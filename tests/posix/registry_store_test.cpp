// The file store that stands in for the registry on POSIX: its file format,
// and what it keeps when writers crash, race or meet a damaged file. Writers
// run in child processes of their own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/RegistrySandbox.h"
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

} // namespace
