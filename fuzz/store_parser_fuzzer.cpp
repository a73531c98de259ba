// Bytes as a settings store file. The parser must never crash, and what it
// accepts must survive a round trip: written back and parsed again, it gives
// the same text. Through the store's calls, an accepted file opens, its
// values read back, and a write leaves a file that parses; a refused file is
// refused by the store too and never overwritten.
#include <cstdint>
#include <cstring>
#include <sys/stat.h>

#include "FuzzStore.h"
#include "platform/posix/RegistryFormat.h"

using Ulmora::Platform::FormatRegistryFile;
using Ulmora::Platform::ParseRegistryFile;
using Ulmora::Platform::RegistryTree;
using Ulmora::Platform::RegistryValue;
using namespace UlmoraFuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* root = "HKEY_CURRENT_USER";
    RegistryTree tree;
    std::string error;
    const bool parsed = ParseRegistryFile(text, root, tree, error);
    std::string written;
    if (parsed) {
        written = FormatRegistryFile(tree, root);
        RegistryTree again;
        if (!ParseRegistryFile(written, root, again, error))
            Fail("the written form does not parse:", error);
        if (FormatRegistryFile(again, root) != written)
            Fail("the round trip changed the content");
    } else if (error.empty()) {
        Fail("a refused text without a reason");
    }

    // The same bytes as the store's file.
    mkdir(StoreDirectory().c_str(), 0700);
    {
        std::ofstream out(StoreFile(), std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(HKEY_CURRENT_USER, nullptr, 0, KEY_READ, &key);
    if (!parsed) {
        if (opened != ERROR_BADDB)
            Fail("the store opened a file the parser refused");
        HKEY created = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "x", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &created, nullptr) != ERROR_BADDB)
            Fail("the store created a key in a file it cannot read");
        if (ReadStoreFile() != text)
            Fail("a file that does not parse was overwritten");
        return 0;
    }
    if (opened != ERROR_SUCCESS)
        Fail("the store refused a file the parser accepted");
    RegCloseKey(key);

    // A few values read back through the store as the parser read them.
    int checked = 0;
    tree.ForEach([&](const std::string& path, RegistryTree::Node node) {
        if (path.find('\0') != std::string::npos)
            return true; // the calls take paths as C strings: out of their reach
        for (const auto& named : tree.Values(node)) {
            const RegistryValue& value = named.second;
            if (value.name.find('\0') != std::string::npos)
                continue; // the calls take names as C strings: out of their reach
            HKEY handle = nullptr;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &handle) !=
                ERROR_SUCCESS)
                Fail("a parsed key does not open:", path);
            DWORD type = 0, length = 0;
            if (RegQueryValueExA(handle, value.name.c_str(), nullptr, &type, nullptr, &length) !=
                    ERROR_SUCCESS ||
                type != value.type || length != value.data.size())
                Fail("a parsed value reads back otherwise:", value.name);
            RegCloseKey(handle);
            if (++checked == 8)
                return false;
        }
        return true;
    });

    // A write keeps the file parseable and adds the value.
    const BYTE added[] = "fuzz";
    if (RegSetValueExA(HKEY_CURRENT_USER, "ulmora-fuzz-added", 0, REG_SZ, added, sizeof added) !=
        ERROR_SUCCESS)
        Fail("writing to an accepted file failed");
    RegistryTree after;
    if (!ParseRegistryFile(ReadStoreFile(), root, after, error))
        Fail("the store wrote a file that does not parse:", error);
    if (after.Values(RegistryTree::kRoot).count("ulmora-fuzz-added") != 1)
        Fail("the written value is missing");
    return 0;
}
