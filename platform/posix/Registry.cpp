// The registry calls on a file store of our own: one REGEDIT4 text file per
// predefined root key. Keys opened in this process share one parsed copy of
// each file, refreshed when the file on disk changed. Changes are kept in
// memory and as a list of operations; when the last key written through is
// closed, the file is re-read under an advisory lock, the operations are
// applied to it, and the result replaces the file atomically (written beside
// it, flushed, renamed over it), so that concurrent writers merge and a crash
// leaves the old or the new file.
#include "ulmora/Registry.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <pwd.h>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/posix/ErrorText.h"
#include "platform/posix/RegistryFormat.h"

using Ulmora::Platform::RegistryCreateKey;
using Ulmora::Platform::RegistryDeleteTree;
using Ulmora::Platform::RegistryFold;
using Ulmora::Platform::RegistryKey;
using Ulmora::Platform::RegistryTree;
using Ulmora::Platform::RegistryValue;

namespace {

// What identifies the content of a file: replacing it by rename gives a new
// inode, rewriting it in place a new time or size.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modifiedNs = 0;

    bool operator==(const FileStamp& o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
               modifiedNs == o.modifiedNs;
    }
};

FileStamp StampOf(const std::string& path)
{
    FileStamp stamp;
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return stamp;
    stamp.exists = true;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modifiedNs = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL +
                       info.st_mtim.tv_nsec;
    return stamp;
}

struct Operation {
    enum Kind { CreateKey, SetValue, DeleteTree } kind;
    std::string path;
    RegistryValue value;
    bool keepSelf = false;
};

void Apply(RegistryTree& tree, const Operation& op)
{
    switch (op.kind) {
    case Operation::CreateKey:
        RegistryCreateKey(tree, op.path);
        break;
    case Operation::SetValue:
        RegistryCreateKey(tree, op.path).values[RegistryFold(op.value.name)] = op.value;
        break;
    case Operation::DeleteTree:
        RegistryDeleteTree(tree, op.path, op.keepSelf);
        break;
    }
}

struct Store {
    std::string directory;
    std::string file;
    std::string rootName;
    RegistryTree tree;     // the file as last read, with the pending operations applied
    FileStamp stamp;       // of the file `tree` was read from
    bool loaded = false;
    std::vector<Operation> pending;
    int writtenOpen = 0;   // open keys that were written through
    std::string lastError; // for diagnosis in a debugger
};

bool ReadWholeFile(const std::string& path, std::string& text, std::string& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = Ulmora::Platform::ErrnoText(errno, path);
        return false;
    }
    text.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = Ulmora::Platform::ErrnoText(errno, path);
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

// Reads the file into `tree` when it changed since `stamp`. False when it
// exists but cannot be read or parsed.
bool LoadIfChanged(Store& store, RegistryTree& tree, FileStamp& stamp, bool& changed)
{
    changed = false;
    const FileStamp now = StampOf(store.file);
    if (store.loaded && now == stamp)
        return true;
    RegistryTree fresh;
    if (now.exists) {
        std::string text, error;
        if (!ReadWholeFile(store.file, text, error)) {
            store.lastError = error;
            return false;
        }
        if (!Ulmora::Platform::ParseRegistryFile(text, store.rootName, fresh, error)) {
            store.lastError = store.file + ": " + error;
            return false;
        }
    }
    tree.keys.swap(fresh.keys);
    stamp = now;
    changed = true;
    return true;
}

// Brings the shared copy up to date with the file, keeping this process's
// pending changes on top.
LONG Refresh(Store& store)
{
    bool changed = false;
    RegistryTree tree;
    FileStamp stamp = store.stamp;
    if (store.loaded && StampOf(store.file) == store.stamp)
        return ERROR_SUCCESS;
    if (!LoadIfChanged(store, tree, stamp, changed))
        return ERROR_BADDB;
    for (const Operation& op : store.pending)
        Apply(tree, op);
    store.tree.keys.swap(tree.keys);
    store.stamp = stamp;
    store.loaded = true;
    return ERROR_SUCCESS;
}

bool MakeDirectories(const std::string& directory, std::string& error)
{
    std::string path;
    size_t start = 0;
    while (start <= directory.size()) {
        size_t end = directory.find('/', start);
        if (end == std::string::npos)
            end = directory.size();
        path = directory.substr(0, end);
        start = end + 1;
        if (path.empty())
            continue;
        if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
            error = Ulmora::Platform::ErrnoText(errno, path);
            return false;
        }
    }
    return true;
}

bool WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Holds the store's lock file locked for writing.
class WriteLock {
public:
    explicit WriteLock(const std::string& path)
    {
        m_Fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_Fd < 0) {
            m_Error = Ulmora::Platform::ErrnoText(errno, path);
            return;
        }
        while (::flock(m_Fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                m_Error = Ulmora::Platform::ErrnoText(errno, path);
                ::close(m_Fd);
                m_Fd = -1;
                return;
            }
        }
    }
    ~WriteLock()
    {
        if (m_Fd >= 0)
            ::close(m_Fd); // releases the lock
    }
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;
    bool Held() const { return m_Fd >= 0; }
    const std::string& Error() const { return m_Error; }

private:
    int m_Fd = -1;
    std::string m_Error;
};

// Re-reads, applies the pending operations and replaces the file.
LONG Flush(Store& store)
{
    if (store.pending.empty())
        return ERROR_SUCCESS;
    std::vector<Operation> pending;
    pending.swap(store.pending);

    std::string error;
    if (!MakeDirectories(store.directory, error)) {
        store.lastError = error;
        return ERROR_CANTWRITE;
    }
    WriteLock lock(store.file + ".lock");
    if (!lock.Held()) {
        store.lastError = lock.Error();
        return ERROR_CANTWRITE;
    }
    // What other processes stored since we read the file is kept: the
    // operations go onto the file as it is now.
    RegistryTree tree = store.tree;
    FileStamp stamp = store.stamp;
    bool changed = false;
    if (!store.loaded || !(StampOf(store.file) == store.stamp)) {
        store.loaded = false;
        if (!LoadIfChanged(store, tree, stamp, changed))
            return ERROR_BADDB; // never overwrite what we cannot read
        for (const Operation& op : pending)
            Apply(tree, op);
    }
    const std::string text = Ulmora::Platform::FormatRegistryFile(tree, store.rootName);

    const std::string temporary = store.file + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        store.lastError = Ulmora::Platform::ErrnoText(errno, temporary);
        return ERROR_CANTWRITE;
    }
    const bool written = ::fchmod(fd, 0600) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    const int writeErrno = errno;
    ::close(fd);
    if (!written || ::rename(temporary.c_str(), store.file.c_str()) != 0) {
        store.lastError = Ulmora::Platform::ErrnoText(written ? errno : writeErrno, temporary);
        ::unlink(temporary.c_str());
        return ERROR_CANTWRITE;
    }
    // The rename itself reaches the disk with the directory.
    const int directory = ::open(store.directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    store.tree.keys.swap(tree.keys);
    store.stamp = StampOf(store.file);
    store.loaded = true;
    return ERROR_SUCCESS;
}

std::string DefaultDirectory()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/ulmora";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry != nullptr ? entry->pw_dir : "/tmp";
    }
    return std::string(home) + "/.config/ulmora";
}

} // namespace

struct UlmoraRegistryKey {
    Store* store;
    std::string path; // normalized, below the root
    bool written;
};

namespace {

class Registry {
public:
    ~Registry()
    {
        // Changes of keys that were never closed still reach their files.
        for (auto& entry : m_Stores) {
            entry.second->writtenOpen = 0;
            Flush(*entry.second);
        }
        for (UlmoraRegistryKey* key : m_Keys)
            delete key;
    }

    std::mutex mutex;

    void SetDirectory(const char* directory)
    {
        m_Directory = directory != nullptr && directory[0] != '\0' ? directory : std::string();
    }

    Store* RootStore(HKEY root)
    {
        const char* rootName = nullptr;
        if (root == HKEY_CURRENT_USER)
            rootName = "HKEY_CURRENT_USER";
        else if (root == HKEY_LOCAL_MACHINE)
            rootName = "HKEY_LOCAL_MACHINE";
        else
            return nullptr;
        std::string directory = m_Directory.empty() ? DefaultDirectory() : m_Directory;
        while (directory.size() > 1 && directory.back() == '/')
            directory.pop_back();
        const std::string file = directory + "/" + rootName + ".reg";
        std::unique_ptr<Store>& store = m_Stores[file];
        if (!store) {
            store.reset(new Store());
            store->directory = directory;
            store->file = file;
            store->rootName = rootName;
        }
        return store.get();
    }

    // The store and path a key handle stands for; false for an unknown handle.
    bool Resolve(HKEY key, Store*& store, std::string& path)
    {
        store = RootStore(key);
        if (store != nullptr) {
            path.clear();
            return true;
        }
        if (m_Keys.count(key) == 0)
            return false;
        store = key->store;
        path = key->path;
        return true;
    }

    bool IsOpen(HKEY key) const { return m_Keys.count(key) != 0; }

    HKEY Open(Store* store, const std::string& path, bool written)
    {
        std::unique_ptr<UlmoraRegistryKey> key(new UlmoraRegistryKey{store, path, written});
        m_Keys.insert(key.get());
        if (written)
            ++store->writtenOpen;
        return key.release();
    }

    // Another open key of the same store at or above `key`, or null.
    UlmoraRegistryKey* OpenAncestor(HKEY key) const
    {
        for (UlmoraRegistryKey* other : m_Keys) {
            if (other == key || other->store != key->store)
                continue;
            if (other->path.empty() || other->path == key->path ||
                (key->path.size() > other->path.size() &&
                 key->path.compare(0, other->path.size(), other->path) == 0 &&
                 key->path[other->path.size()] == '\\'))
                return other;
        }
        return nullptr;
    }

    void Forget(HKEY key)
    {
        m_Keys.erase(key);
        delete key;
    }

private:
    std::string m_Directory;
    std::map<std::string, std::unique_ptr<Store>> m_Stores;
    std::set<UlmoraRegistryKey*> m_Keys;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

// Joins `base` and `sub`, dropping empty components.
std::string JoinPath(const std::string& base, const char* sub)
{
    std::string out = base;
    if (sub == nullptr)
        return out;
    const std::string text(sub);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\\', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start) {
            if (!out.empty())
                out += '\\';
            out.append(text, start, end - start);
        }
        start = end + 1;
    }
    return out;
}

void MarkWritten(Registry& registry, HKEY key)
{
    if (registry.IsOpen(key) && !key->written) {
        key->written = true;
        ++key->store->writtenOpen;
    }
}

enum class RefreshMode { Always, FirstUse };

// The store and path behind `key`, with the store brought up to date with its
// file: on every call, or only when it was never read (RefreshMode::FirstUse).
LONG ResolveFresh(Registry& registry, HKEY key, RefreshMode mode, Store*& store, std::string& path)
{
    if (!registry.Resolve(key, store, path))
        return ERROR_INVALID_HANDLE;
    if (mode == RefreshMode::FirstUse && store->loaded)
        return ERROR_SUCCESS;
    return Refresh(*store);
}

// Writes now unless a key written through is still open; then its close will.
LONG FlushWhenIdle(Store& store)
{
    return store.writtenOpen == 0 ? Flush(store) : ERROR_SUCCESS;
}

} // namespace

extern "C" {

void UlmoraSetRegistryDirectory(const char* directory)
{
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    registry.SetDirectory(directory);
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD /*reserved*/, LPSTR /*keyClass*/,
                     DWORD /*options*/, REGSAM /*access*/, LPSECURITY_ATTRIBUTES /*security*/,
                     PHKEY result, LPDWORD disposition)
{
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    Store* store = nullptr;
    std::string base;
    const LONG resolved = ResolveFresh(registry, key, RefreshMode::Always, store, base);
    if (resolved != ERROR_SUCCESS)
        return resolved;
    if (!base.empty() && store->tree.keys.count(RegistryFold(base)) == 0)
        return ERROR_KEY_DELETED;
    const std::string path = JoinPath(base, subKey);
    const bool exists = store->tree.keys.count(RegistryFold(path)) != 0;
    if (!exists) {
        Operation op{Operation::CreateKey, path, RegistryValue(), false};
        Apply(store->tree, op);
        store->pending.push_back(op);
    }
    if (disposition != nullptr)
        *disposition = exists ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = registry.Open(store, path, !exists);
    return ERROR_SUCCESS;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD /*options*/, REGSAM /*access*/, PHKEY result)
{
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    Store* store = nullptr;
    std::string base;
    const LONG resolved = ResolveFresh(registry, key, RefreshMode::Always, store, base);
    if (resolved != ERROR_SUCCESS)
        return resolved;
    const std::string path = JoinPath(base, subKey);
    if (!path.empty() && store->tree.keys.count(RegistryFold(path)) == 0)
        return ERROR_FILE_NOT_FOUND;
    *result = registry.Open(store, path, false);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD /*reserved*/, LPDWORD type,
                      LPBYTE data, LPDWORD size)
{
    if (data != nullptr && size == nullptr)
        return ERROR_INVALID_PARAMETER;
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    Store* store = nullptr;
    std::string path;
    const LONG resolved = ResolveFresh(registry, key, RefreshMode::FirstUse, store, path);
    if (resolved != ERROR_SUCCESS)
        return resolved;
    auto found = store->tree.keys.find(RegistryFold(path));
    if (found == store->tree.keys.end())
        return path.empty() ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    auto value = found->second.values.find(RegistryFold(valueName != nullptr ? valueName : ""));
    if (value == found->second.values.end())
        return ERROR_FILE_NOT_FOUND;
    const std::string& bytes = value->second.data;
    if (type != nullptr)
        *type = value->second.type;
    if (data == nullptr) {
        if (size != nullptr)
            *size = static_cast<DWORD>(bytes.size());
        return ERROR_SUCCESS;
    }
    const DWORD room = *size;
    *size = static_cast<DWORD>(bytes.size());
    if (room < bytes.size())
        return ERROR_MORE_DATA;
    if (!bytes.empty())
        std::memcpy(data, bytes.data(), bytes.size());
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD /*reserved*/, DWORD type,
                    const BYTE* data, DWORD size)
{
    if (data == nullptr && size != 0)
        return ERROR_INVALID_PARAMETER;
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    Store* store = nullptr;
    std::string path;
    const LONG resolved = ResolveFresh(registry, key, RefreshMode::FirstUse, store, path);
    if (resolved != ERROR_SUCCESS)
        return resolved;
    if (!path.empty() && store->tree.keys.count(RegistryFold(path)) == 0)
        return ERROR_KEY_DELETED;
    Operation op{Operation::SetValue, path, RegistryValue(), false};
    op.value.name = valueName != nullptr ? valueName : "";
    op.value.type = type;
    op.value.data.assign(reinterpret_cast<const char*>(data), size);
    Apply(store->tree, op);
    store->pending.push_back(std::move(op));
    if (registry.IsOpen(key)) {
        MarkWritten(registry, key);
        return ERROR_SUCCESS;
    }
    return FlushWhenIdle(*store); // written straight through a root key
}

LONG RegCloseKey(HKEY key)
{
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    if (registry.RootStore(key) != nullptr)
        return ERROR_SUCCESS;
    if (!registry.IsOpen(key))
        return ERROR_INVALID_HANDLE;
    Store* store = key->store;
    const bool written = key->written;
    // Changes written below a key that is still open (a list's nested lists
    // below the list's own key) go to the file when that key is closed, so
    // that storing a tree of lists replaces the file once.
    UlmoraRegistryKey* ancestor = written ? registry.OpenAncestor(key) : nullptr;
    if (ancestor != nullptr)
        MarkWritten(registry, ancestor);
    registry.Forget(key);
    if (!written)
        return ERROR_SUCCESS;
    --store->writtenOpen;
    return FlushWhenIdle(*store);
}

LONG RegDeleteTreeA(HKEY key, LPCSTR subKey)
{
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    Store* store = nullptr;
    std::string base;
    const LONG resolved = ResolveFresh(registry, key, RefreshMode::Always, store, base);
    if (resolved != ERROR_SUCCESS)
        return resolved;
    const std::string path = JoinPath(base, subKey);
    if (store->tree.keys.count(RegistryFold(path)) == 0)
        return ERROR_FILE_NOT_FOUND;
    const bool keepSelf = subKey == nullptr || path == base;
    Operation op{Operation::DeleteTree, path, RegistryValue(), keepSelf};
    Apply(store->tree, op);
    store->pending.push_back(op);
    return FlushWhenIdle(*store);
}

} // extern "C"
