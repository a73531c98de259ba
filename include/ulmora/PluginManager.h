// The plug-in manager: finds module files, loads them, checks their API
// version, registers the plug-ins they offer, and unloads everything when it
// is destroyed. The test and interpreter managers derive from it.
//
// The module contract lives here too: the module interface IPluginDLL that a
// module's "GetPluginManagerAPIInterface" entry point returns, and the
// descriptor and instance bases of every plug-in. Their virtual slot order is
// a binary contract with separately built modules.
#ifndef ULMORA_PLUGINMANAGER_H
#define ULMORA_PLUGINMANAGER_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "ulmora/Export.h"
#include "ulmora/PluginObject.h"

namespace Log { class Logger; }

namespace PluginManagerAPI {

// The API version every module must report.
const uint32_t kPluginAPIVersion = 110;

class IPluginDescriptor;

// What a module's entry point returns. The object belongs to the module and
// must stay valid until the module is unloaded.
class ULMORA_API IPluginDLL : public PluginObject {
public:
    IPluginDLL();
    IPluginDLL(const IPluginDLL& other);
    IPluginDLL& operator=(const IPluginDLL& other);
    ~IPluginDLL() override;                                        // 0

    virtual uint32_t GetAPIVersion() const = 0;                   // 1
    virtual uint32_t GetNumPlugins() = 0;                         // 2
    // Null entries are skipped.
    virtual IPluginDescriptor* GetPlugin(uint32_t index) = 0;     // 3
    // Once, after the version check and before the plug-ins are asked for.
    virtual void Initialize() = 0;                                // 4
    // Once, before the module is unloaded.
    virtual void ShutDown() = 0;                                  // 5
};

// One running instance of a plug-in, made by its descriptor.
class ULMORA_API IPluginInstance {
public:
    IPluginInstance();
    IPluginInstance(const IPluginInstance& other);
    IPluginInstance& operator=(const IPluginInstance& other);
    virtual ~IPluginInstance();                                    // 0
    // Two slots kept for binary compatibility. The library never calls them;
    // their bodies do nothing, so plug-ins need not override them.
    virtual void Reserved1();                                      // 1
    virtual void Reserved2();                                      // 2
};

// Describes one plug-in and makes its instances. Belongs to its module (or to
// the host that registers it directly).
class ULMORA_API IPluginDescriptor : public PluginObject {
public:
    IPluginDescriptor();
    IPluginDescriptor(const IPluginDescriptor& other);
    IPluginDescriptor& operator=(const IPluginDescriptor& other);
    ~IPluginDescriptor() override;                                 // 0

    virtual IPluginInstance* CreateInstance() = 0;                 // 1
    virtual void DestroyInstance(IPluginInstance* instance) = 0;   // 2
    // The manager's last call on the descriptor, when it unloads.
    virtual void Release() = 0;                                    // 3
    // Never null.
    virtual const char* GetName() = 0;                             // 4
    virtual PluginID GetPluginID() = 0;                            // 5
    virtual int32_t GetVersion() = 0;                              // 6
};

// One place to search: a directory (ending in the path separator), a
// file-name wildcard pattern and whether subdirectories are searched too.
struct ULMORA_API SearchPattern {
    // The pattern is lower-cased. On Windows the directory is lower-cased as
    // well; elsewhere it keeps its case, since file systems there tell case
    // apart. A separator is appended unless the directory already ends in one.
    SearchPattern(const std::string& directory, const std::string& pattern, bool recursive);

    std::string directory;
    std::string pattern;
    bool recursive;
};

typedef std::vector<SearchPattern> SearchPatternList;

class PluginManager;

// A cursor over a manager's registered descriptors. It reads the manager's
// list at every step, so it follows changes made while it is in use.
class ULMORA_API PluginIterator {
public:
    explicit PluginIterator(PluginManager* manager);
    virtual ~PluginIterator();

    // Each returns the descriptor at the new position, or null past the end.
    IPluginDescriptor* First();
    IPluginDescriptor* Next();
    IPluginDescriptor* Current();

private:
    friend class PluginManager;
    PluginIterator(const PluginIterator&) = delete;
    PluginIterator& operator=(const PluginIterator&) = delete;

    uint32_t m_Index;
    PluginManager* m_Manager;
};

struct LoadedModule;

class ULMORA_API PluginManager : public IPluginObjectObserver {
public:
    // The outcome of one module file, as reported to OnEndLoadDLL.
    enum Error : uint32_t {
        NoError = 0,
        InterfaceMissing = 1,
        LoadSkipped = 2,
        LoadLibraryFailed = 4,
        EntryPointMissing = 5,
        WrongAPIVersion = 6
    };

    // How the search goes on after a module file.
    enum ErrorResponse : uint32_t {
        Continue = 0,  // next file; subdirectories after the last one
        Retry = 1,     // offer the same file again
        Ignore = 2,    // next file
        Abort = 3      // stop the whole search
    };

    PluginManager();

    // Slot 0: forgets a registered descriptor or a kept module's interface
    // that is being destroyed.
    void OnPluginObjectDestroyed(PluginObject* object) override;
    // Slot 1: releases every plug-in and unloads every module.
    virtual ~PluginManager();

    // Searches every pattern and loads every module found. Returns 0.
    int32_t Load();

    // Registers `descriptor` unless it is null or its identifier is already
    // registered with this manager. Returns true when registered.
    bool RegisterPlugin(IPluginDescriptor* descriptor);
    bool IsRegistered(PluginID id);

    // Iterators come from the heap; hand them back to ReleaseIterator.
    PluginIterator* CreateIterator();
    // An iterator positioned at the descriptor with `id`, or null.
    PluginIterator* FindPlugin(const PluginID& id);
    void ReleaseIterator(PluginIterator* iterator);

    // Readable reason of the last module load that failed, for diagnostics.
    const std::string& GetLastLoadError() const;

protected:
    // Slot 2: adds the places to search. Asked while the list is empty.
    virtual void GetSearchPatterns(SearchPatternList& patterns);
    // Slot 3: a value other than 0 skips the file.
    virtual int32_t OnBeginLoadDLL(std::string path);
    // Slot 4: decides how the search goes on after each file.
    virtual ErrorResponse OnEndLoadDLL(std::string path, Error error);

    // Searches `directory` for `pattern`, then its subdirectories in order of
    // their lower-cased paths. Returns 3 when the search was aborted, else 0.
    int32_t SearchDirectory(const std::string& directory, const std::string& pattern, bool recursive);
    // Loads one module file and registers its plug-ins.
    Error LoadDLL(const std::string& path);

    // What both managers do in their hooks, each with its own pattern and
    // module name. AddExecutablePattern appends one recursive entry for the
    // host executable's folder, or none when that folder is unknown.
    // EndLoadOrThrow answers Continue after a good load; after any other
    // outcome it logs "Failed to load the following dll: %s" at level 4
    // (when a logger is given) and throws DLLLoadFailedException.
    static void AddExecutablePattern(SearchPatternList& patterns, const char* pattern);
    static ErrorResponse EndLoadOrThrow(const std::string& path, Error error, Log::Logger* logger,
                                        const char* module);

    void UnloadPlugins();
    void ReleaseModules();

    SearchPatternList m_Patterns;
    std::vector<IPluginDescriptor*> m_Plugins;
    std::vector<LoadedModule*> m_Modules;

private:
    friend class PluginIterator;
    struct SearchState;

    // A manager owns what it registered and loaded; copies would release
    // the same plug-ins and unload the same modules twice.
    PluginManager(const PluginManager&) = delete;
    PluginManager& operator=(const PluginManager&) = delete;

    int32_t SearchTree(const std::string& directory, const std::string& pattern, bool recursive,
                       SearchState& state);
    void RemovePluginAt(size_t position);

    // Kept by the base alongside m_Plugins, which subclasses only read: the
    // identifier number of each entry (taken when it was registered), and
    // where each number and each descriptor sits in m_Plugins.
    std::vector<uint32_t> m_PluginNumbers;
    std::unordered_map<uint32_t, size_t> m_IndexByID;
    std::unordered_map<const PluginObject*, size_t> m_IndexByObject;
    std::string m_LastLoadError;
};

} // namespace PluginManagerAPI

#endif
