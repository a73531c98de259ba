// The registry calls on a file store of our own: one REGEDIT4 text file per
// predefined root key. Keys opened in this process share one parsed copy of
// each file, refreshed when the file on disk changed. Changes are kept in
// memory and as a list of operations; when the last key written through is
// closed, the file is re-read under an advisory lock, the operations are
// applied to it, and the result replaces the file atomically (written beside
// it under a name of its own, flushed, renamed over it), so that concurrent
// writers merge and a crash leaves the old or the new file.
#include "platform/Registry.h"

#include "ulmora/Registry.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
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

using Ulmora::Platform::RegistryFold;
using Ulmora::Platform::RegistryJoinPath;
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
        tree.Create(op.path);
        break;
    case Operation::SetValue:
        tree.Values(tree.Create(op.path))[RegistryFold(op.value.name)] = op.value;
        break;
    case Operation::DeleteTree:
        tree.DeleteTree(op.path, op.keepSelf);
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
    tree = std::move(fresh);
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
    store.tree = std::move(tree);
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


// The store folder must be the user's own: a folder that someone else owns or
// may write to would let them swap the files under us. A folder that does not
// exist yet is fine (it is created private). A symbolic link is followed only
// when the link itself is the user's too.
LONG CheckDirectory(Store& store)
{
    struct stat info;
    if (::lstat(store.directory.c_str(), &info) != 0)
        return errno == ENOENT ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    const uid_t user = ::geteuid();
    std::string reason;
    if (S_ISLNK(info.st_mode)) {
        if (info.st_uid != user)
            reason = "the store folder is a link owned by another user";
        else if (::stat(store.directory.c_str(), &info) != 0)
            return errno == ENOENT ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    }
    if (reason.empty()) {
        if (!S_ISDIR(info.st_mode))
            reason = "the store folder is not a folder";
        else if (info.st_uid != user)
            reason = "the store folder is owned by another user";
        else if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
            reason = "the store folder may be written by other users";
    }
    if (reason.empty())
        return ERROR_SUCCESS;
    store.lastError = store.directory + ": " + reason;
    return ERROR_ACCESS_DENIED;
}

// Forgets the changes that could not be written and the copy they were made
// on: the next call reads what is on disk.
void Discard(Store& store)
{
    store.pending.clear();
    store.tree = RegistryTree();
    store.loaded = false;
}

// Temporary files are named "<file>.<unique>.new". Under the write lock no
// writer is busy with one, so any that exists was left by a writer that died.
bool IsTemporaryOf(const std::string& name, const std::string& fileName)
{
    const std::string suffix = ".new";
    return name.size() >= fileName.size() + suffix.size() &&
           name.compare(0, fileName.size(), fileName) == 0 &&
           (name.size() == fileName.size() + suffix.size() || name[fileName.size()] == '.') &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void RemoveStaleTemporaries(const Store& store)
{
    DIR* directory = ::opendir(store.directory.c_str());
    if (directory == nullptr)
        return;
    const std::string fileName = store.file.substr(store.directory.size() + 1);
    std::vector<std::string> stale;
    while (const dirent* entry = ::readdir(directory)) {
        if (IsTemporaryOf(entry->d_name, fileName))
            stale.push_back(entry->d_name);
    }
    for (const std::string& name : stale)
        ::unlinkat(::dirfd(directory), name.c_str(), 0);
    ::closedir(directory);
}

// A new file beside the store file that nobody else can have prepared: a
// unique name, created exclusively, never through a link.
int CreateTemporary(const std::string& file, std::string& name)
{
    static unsigned long counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned long long now = static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count());
        name = file + "." + std::to_string(::getpid()) + "-" + std::to_string(++counter) + "-" +
               std::to_string(now % 1000000007ULL) + ".new";
        const int fd =
            ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
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
        m_Fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
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

// Re-reads, applies the pending operations and replaces the file. On any
// failure the pending changes are dropped, so that what the process reads
// afterwards is what is on disk.
LONG Flush(Store& store)
{
    if (store.pending.empty())
        return ERROR_SUCCESS;
    const LONG result = [&]() -> LONG {
        std::string error;
        const LONG allowed = CheckDirectory(store);
        if (allowed != ERROR_SUCCESS)
            return allowed;
        if (!MakeDirectories(store.directory, error)) {
            store.lastError = error;
            return ERROR_CANTWRITE;
        }
        const LONG created = CheckDirectory(store);
        if (created != ERROR_SUCCESS)
            return created;
        WriteLock lock(store.file + ".lock");
        if (!lock.Held()) {
            store.lastError = lock.Error();
            return ERROR_CANTWRITE;
        }
        RemoveStaleTemporaries(store);
        // What other processes stored since we read the file is kept: the
        // operations go onto the file as it is now.
        RegistryTree tree = store.tree;
        FileStamp stamp = store.stamp;
        bool changed = false;
        if (!store.loaded || !(StampOf(store.file) == store.stamp)) {
            store.loaded = false;
            if (!LoadIfChanged(store, tree, stamp, changed))
                return ERROR_BADDB; // never overwrite what we cannot read
            for (const Operation& op : store.pending)
                Apply(tree, op);
        }
        const std::string text = Ulmora::Platform::FormatRegistryFile(tree, store.rootName);

        std::string temporary;
        const int fd = CreateTemporary(store.file, temporary);
        if (fd < 0) {
            store.lastError = Ulmora::Platform::ErrnoText(errno, store.file + ".new");
            return ERROR_CANTWRITE;
        }
        const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
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
        store.pending.clear();
        store.tree = std::move(tree);
        store.stamp = StampOf(store.file);
        store.loaded = true;
        return ERROR_SUCCESS;
    }();
    if (result != ERROR_SUCCESS)
        Discard(store);
    return result;
}

// The default store folder, or empty when the user has no home: then there
// is no private place for it, and a shared one would let others tamper.
std::string DefaultDirectory()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return std::string(config) + "/ulmora";
    std::string home;
    const char* variable = std::getenv("HOME");
    if (variable != nullptr && variable[0] == '/') {
        home = variable;
    } else {
        passwd entry;
        passwd* found = nullptr;
        std::vector<char> buffer(16384);
        if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/')
            home = found->pw_dir;
    }
    if (home.empty())
        return std::string();
    return home + "/.config/ulmora";
}

} // namespace

struct UlmoraRegistryKey {
    Store* store;
    std::string path; // normalized, below the root
    bool written;
};

namespace {

bool IsRoot(HKEY key)
{
    return key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

class Registry {
public:
    std::mutex mutex;

    // Changes of keys that were never closed still reach their files.
    void FlushAll()
    {
        for (auto& entry : m_Stores)
            Flush(*entry.second);
    }

    void SetDirectory(const char* directory)
    {
        m_Directory = directory != nullptr && directory[0] != '\0' ? directory : std::string();
    }

    // The store of a predefined root key.
    LONG RootStore(HKEY root, Store*& result)
    {
        const char* rootName = nullptr;
        if (root == HKEY_CURRENT_USER)
            rootName = "HKEY_CURRENT_USER";
        else if (root == HKEY_LOCAL_MACHINE)
            rootName = "HKEY_LOCAL_MACHINE";
        else
            return ERROR_INVALID_HANDLE;
        std::string directory = m_Directory.empty() ? DefaultDirectory() : m_Directory;
        if (directory.empty())
            return ERROR_PATH_NOT_FOUND;
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
        result = store.get();
        return ERROR_SUCCESS;
    }

    // The store and path a key handle stands for.
    LONG Resolve(HKEY key, Store*& store, std::string& path)
    {
        if (IsRoot(key)) {
            path.clear();
            return RootStore(key, store);
        }
        if (m_Keys.count(key) == 0)
            return ERROR_INVALID_HANDLE;
        store = key->store;
        path = key->path;
        return ERROR_SUCCESS;
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

// Writes what is still pending when the process exits.
struct ExitFlush {
    explicit ExitFlush(Registry& registry) : m_Registry(registry) {}
    ~ExitFlush()
    {
        std::lock_guard<std::mutex> guard(m_Registry.mutex);
        m_Registry.FlushAll();
    }
    Registry& m_Registry;
};

Registry& TheRegistry()
{
    // Never destroyed: a host's global objects may close keys after the
    // library's own statics are gone, and must find the store still there.
    static Registry* const registry = new Registry();
    static ExitFlush exitFlush(*registry);
    return *registry;
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
    const LONG resolved = registry.Resolve(key, store, path);
    if (resolved != ERROR_SUCCESS)
        return resolved;
    const LONG allowed = CheckDirectory(*store);
    if (allowed != ERROR_SUCCESS)
        return allowed;
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

namespace Ulmora {
namespace Platform {
namespace Registry {

void SetDirectory(const char* directory)
{
    ::Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    registry.SetDirectory(directory);
}

int32_t CreateKey(HKEY key, const char* subKey, HKEY* result, bool* created)
{
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (subKey != nullptr && !RegistryKeyNameWritable(subKey))
        return ERROR_INVALID_PARAMETER; // nothing is written
    ::Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    Store* store = nullptr;
    std::string base;
    const LONG resolved = ResolveFresh(registry, key, RefreshMode::Always, store, base);
    if (resolved != ERROR_SUCCESS)
        return resolved;
    if (!base.empty() && !store->tree.Exists(base))
        return ERROR_KEY_DELETED;
    const std::string path = RegistryJoinPath(base, subKey);
    const bool exists = store->tree.Exists(path);
    if (!exists) {
        Operation op{Operation::CreateKey, path, RegistryValue(), false};
        Apply(store->tree, op);
        store->pending.push_back(op);
    }
    if (created != nullptr)
        *created = !exists;
    *result = registry.Open(store, path, !exists);
    return ERROR_SUCCESS;
}

int32_t OpenKey(HKEY key, const char* subKey, HKEY* result)
{
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    ::Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    Store* store = nullptr;
    std::string base;
    const LONG resolved = ResolveFresh(registry, key, RefreshMode::Always, store, base);
    if (resolved != ERROR_SUCCESS)
        return resolved;
    const std::string path = RegistryJoinPath(base, subKey);
    if (!path.empty() && !store->tree.Exists(path))
        return ERROR_FILE_NOT_FOUND;
    *result = registry.Open(store, path, false);
    return ERROR_SUCCESS;
}

int32_t QueryValue(HKEY key, const char* name, uint32_t* type, unsigned char* data,
                   uint32_t* size)
{
    if (data != nullptr && size == nullptr)
        return ERROR_INVALID_PARAMETER;
    ::Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    Store* store = nullptr;
    std::string path;
    const LONG resolved = ResolveFresh(registry, key, RefreshMode::FirstUse, store, path);
    if (resolved != ERROR_SUCCESS)
        return resolved;
    const RegistryTree::Node node = store->tree.Find(path);
    if (node == RegistryTree::kNone)
        return path.empty() ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    const auto& values = store->tree.Values(node);
    auto value = values.find(RegistryFold(name != nullptr ? name : ""));
    if (value == values.end())
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

int32_t SetValue(HKEY key, const char* name, uint32_t type, const unsigned char* data,
                 uint32_t size)
{
    if (data == nullptr && size != 0)
        return ERROR_INVALID_PARAMETER;
    ::Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    Store* store = nullptr;
    std::string path;
    const LONG resolved = ResolveFresh(registry, key, RefreshMode::FirstUse, store, path);
    if (resolved != ERROR_SUCCESS)
        return resolved;
    if (!path.empty() && !store->tree.Exists(path))
        return ERROR_KEY_DELETED;
    Operation op{Operation::SetValue, path, RegistryValue(), false};
    op.value.name = name != nullptr ? name : "";
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

int32_t CloseKey(HKEY key)
{
    ::Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    if (IsRoot(key))
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

int32_t DeleteTree(HKEY key, const char* subKey)
{
    ::Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> guard(registry.mutex);
    Store* store = nullptr;
    std::string base;
    const LONG resolved = ResolveFresh(registry, key, RefreshMode::Always, store, base);
    if (resolved != ERROR_SUCCESS)
        return resolved;
    const std::string path = RegistryJoinPath(base, subKey);
    if (!store->tree.Exists(path))
        return ERROR_FILE_NOT_FOUND;
    const bool keepSelf = subKey == nullptr || path == base;
    Operation op{Operation::DeleteTree, path, RegistryValue(), keepSelf};
    Apply(store->tree, op);
    store->pending.push_back(op);
    return FlushWhenIdle(*store);
}

} // namespace Registry
} // namespace Platform
} // namespace Ulmora

// The Win32-named calls for hosts, over the same store. The library itself
// never calls these: a host that defines functions of the same names takes
// over only its own calls.
extern "C" {

void UlmoraSetRegistryDirectory(const char* directory)
{
    Ulmora::Platform::Registry::SetDirectory(directory);
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD /*reserved*/, LPSTR /*keyClass*/,
                     DWORD /*options*/, REGSAM /*access*/, LPSECURITY_ATTRIBUTES /*security*/,
                     PHKEY result, LPDWORD disposition)
{
    bool created = false;
    const LONG status = Ulmora::Platform::Registry::CreateKey(key, subKey, result, &created);
    if (status == ERROR_SUCCESS && disposition != nullptr)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return status;
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD /*options*/, REGSAM /*access*/, PHKEY result)
{
    return Ulmora::Platform::Registry::OpenKey(key, subKey, result);
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD /*reserved*/, LPDWORD type,
                      LPBYTE data, LPDWORD size)
{
    return Ulmora::Platform::Registry::QueryValue(key, valueName, type, data, size);
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD /*reserved*/, DWORD type,
                    const BYTE* data, DWORD size)
{
    return Ulmora::Platform::Registry::SetValue(key, valueName, type, data, size);
}

LONG RegCloseKey(HKEY key)
{
    return Ulmora::Platform::Registry::CloseKey(key);
}

LONG RegDeleteTreeA(HKEY key, LPCSTR subKey)
{
    return Ulmora::Platform::Registry::DeleteTree(key, subKey);
}

} // extern "C"
