// Store operations with names and data chosen by the fuzzer: keys created,
// opened and held, values set through them or straight on the root, trees
// deleted. After every input the file must parse and hold exactly the values
// that were stored last, by key and name without case.
#include <cstdint>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "FuzzStore.h"
#include "platform/posix/RegistryFormat.h"

using Ulmora::Platform::ParseRegistryFile;
using Ulmora::Platform::RegistryFold;
using Ulmora::Platform::RegistryJoinPath;
using Ulmora::Platform::RegistryTree;
using namespace UlmoraFuzz;

namespace {

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_Data(data), m_Size(size) {}
    bool Empty() const { return m_Position >= m_Size; }
    uint8_t Byte() { return Empty() ? 0 : m_Data[m_Position++]; }
    // A length byte, then that many bytes (NUL stands for a backslash).
    std::string Text(size_t limit)
    {
        const size_t length = Byte() % (limit + 1);
        std::string text;
        for (size_t i = 0; i < length && !Empty(); ++i) {
            const char c = static_cast<char>(Byte());
            text += c == '\0' ? '\\' : c;
        }
        return text;
    }

private:
    const uint8_t* m_Data;
    size_t m_Size;
    size_t m_Position = 0;
};

struct Stored {
    uint32_t type;
    std::string data;
};

// What the file must hold: by folded key path, then folded value name.
typedef std::map<std::string, std::map<std::string, Stored>> Model;

void DeleteFromModel(Model& model, const std::string& path, bool keepSelf)
{
    const std::string folded = RegistryFold(path);
    for (auto it = model.begin(); it != model.end();) {
        const bool self = it->first == folded;
        const bool below = folded.empty() ||
                           (it->first.size() > folded.size() &&
                            it->first.compare(0, folded.size(), folded) == 0 &&
                            it->first[folded.size()] == '\\');
        if ((self && !keepSelf) || (below && !self))
            it = model.erase(it);
        else if (self)
            (it++)->second.clear();
        else
            ++it;
    }
}

struct Held {
    HKEY key;
    std::string path;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    unlink(StoreFile().c_str());
    Input input(data, size);
    Model model;
    std::vector<Held> held;
    for (int step = 0; step < 64 && !input.Empty(); ++step) {
        const uint8_t op = input.Byte() % 5;
        const std::string path = RegistryJoinPath("", input.Text(12).c_str());
        switch (op) {
        case 0:
        case 1: { // set a value, through a key or on the root itself
            const std::string name = input.Text(12);
            const uint32_t types[] = {REG_SZ, REG_DWORD, REG_BINARY, REG_MULTI_SZ, 0x10000u};
            const uint32_t type = types[input.Byte() % 5];
            const std::string value = input.Text(40);
            const BYTE* bytes = reinterpret_cast<const BYTE*>(value.data());
            const DWORD length = static_cast<DWORD>(value.size());
            if (op == 1) {
                if (RegSetValueExA(HKEY_CURRENT_USER, name.c_str(), 0, type, bytes, length) !=
                    ERROR_SUCCESS)
                    Fail("setting a value on the root failed");
                model[""][RegistryFold(name)] = Stored{type, value};
                break;
            }
            HKEY key = nullptr;
            const LONG created = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr);
            if (path.find('\n') != std::string::npos) {
                if (created != ERROR_INVALID_PARAMETER)
                    Fail("a key name with a line feed was taken");
                break;
            }
            if (created != ERROR_SUCCESS)
                Fail("creating a key failed");
            if (RegSetValueExA(key, name.c_str(), 0, type, bytes, length) != ERROR_SUCCESS)
                Fail("setting a value failed");
            model[RegistryFold(path)][RegistryFold(name)] = Stored{type, value};
            if (held.size() < 4 && input.Byte() % 2 == 0)
                held.push_back(Held{key, path}); // written when closed
            else if (RegCloseKey(key) != ERROR_SUCCESS)
                Fail("writing the file failed");
            break;
        }
        case 2: { // delete a tree
            const LONG deleted = RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
            if (deleted == ERROR_SUCCESS) {
                DeleteFromModel(model, path, path.empty());
                // Keys held below it are gone too; they are closed later.
            }
            break;
        }
        case 3: // close a held key
            if (!held.empty()) {
                const size_t which = input.Byte() % held.size();
                RegCloseKey(held[which].key);
                held.erase(held.begin() + static_cast<long>(which));
            }
            break;
        case 4: { // read a value back through the store
            const std::string name = input.Text(12);
            auto key = model.find(RegistryFold(path));
            HKEY handle = nullptr;
            if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &handle) !=
                ERROR_SUCCESS) {
                if (key != model.end())
                    Fail("a stored key does not open:", path);
                break;
            }
            DWORD type = 0, length = 0;
            const LONG found =
                RegQueryValueExA(handle, name.c_str(), nullptr, &type, nullptr, &length);
            RegCloseKey(handle);
            const bool expected = key != model.end() && key->second.count(RegistryFold(name));
            if ((found == ERROR_SUCCESS) != expected)
                Fail("a value is there or missing unexpectedly:", name);
            if (expected) {
                const Stored& want = key->second.at(RegistryFold(name));
                if (type != want.type || length != want.data.size())
                    Fail("a value reads back otherwise:", name);
            }
            break;
        }
        }
    }
    for (const Held& key : held)
        RegCloseKey(key.key);

    // The file on its own, as another process would read it.
    const std::string text = ReadStoreFile();
    RegistryTree tree;
    std::string error;
    if (!ParseRegistryFile(text, "HKEY_CURRENT_USER", tree, error))
        Fail("the store wrote a file that does not parse:", error);
    for (const auto& key : model) {
        const RegistryTree::Node node = tree.Find(key.first);
        if (node == RegistryTree::kNone)
            Fail("a stored key is missing from the file:", key.first);
        const auto& values = tree.Values(node);
        if (values.size() != key.second.size())
            Fail("the file holds other values than stored:", key.first);
        for (const auto& value : key.second) {
            const auto found = values.find(value.first);
            if (found == values.end() || found->second.type != value.second.type ||
                found->second.data != value.second.data)
                Fail("a value in the file differs:", value.first);
        }
    }
    return 0;
}
