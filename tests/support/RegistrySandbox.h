// A registry key of its own for each test: a unique key under
// HKEY_CURRENT_USER\Software\UlmoraTests, in a private store directory where
// the library keeps the registry in files. Removed again with RegDeleteTreeA.
#ifndef ULMORA_TESTS_REGISTRYSANDBOX_H
#define ULMORA_TESTS_REGISTRYSANDBOX_H

#include <chrono>
#include <filesystem>
#include <random>
#include <string>

#include "ulmora/Registry.h"

namespace UlmoraTest {

inline std::string UniqueName(const char* prefix)
{
    std::random_device device;
    std::mt19937_64 generator(device() ^ static_cast<uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count()));
    return prefix + std::to_string(generator());
}

class RegistrySandbox {
public:
    RegistrySandbox()
        : m_Directory(std::filesystem::temp_directory_path() / UniqueName("ulmora-registry-")),
          m_Key("Software\\UlmoraTests\\" + UniqueName("t"))
    {
        UlmoraSetRegistryDirectory(m_Directory.string().c_str());
    }
    ~RegistrySandbox()
    {
        RegDeleteTreeA(HKEY_CURRENT_USER, m_Key.c_str());
        UlmoraSetRegistryDirectory(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(m_Directory, ignored);
    }
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // The test's own key below HKEY_CURRENT_USER.
    const std::string& Key() const { return m_Key; }
    // Where the file store keeps HKEY_CURRENT_USER (unused on Windows).
    std::filesystem::path StoreFile() const { return m_Directory / "HKEY_CURRENT_USER.reg"; }
    const std::filesystem::path& Directory() const { return m_Directory; }

private:
    std::filesystem::path m_Directory;
    std::string m_Key;
};

} // namespace UlmoraTest

#endif
