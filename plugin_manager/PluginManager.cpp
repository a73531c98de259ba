#include "ulmora/PluginManager.h"

#include <algorithm>
#include <set>
#include <utility>

#include "platform/Directory.h"
#include "platform/Module.h"
#include "platform/ModuleImage.h"
#include "platform/Platform.h"
#include "plugin_manager/DebugOutput.h"
#include "ulmora/Exception.h"
#include "ulmora/Log.h"

namespace PluginManagerAPI {

namespace {

const char kEntryPointName[] = "GetPluginManagerAPIInterface";
typedef IPluginDLL* (*EntryPoint)();

// More plug-ins than any module carries. A module that claims more (a count
// read from garbage, or 0xFFFFFFFF) is asked for this many only, so that the
// load cannot spin through four billion calls.
const uint32_t kMaxPluginsPerModule = 65536;

std::string LowerAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

const char* NameOf(IPluginDescriptor* descriptor)
{
    const char* name = descriptor->GetName();
    return name != nullptr ? name : "";
}

// Keeps the reason of a failed load and reports it. The reason quotes the
// file's name; a line feed in it must not start a line of its own in
// whatever shows the output.
void ReportLoadFailure(std::string& lastError, const std::string& reason)
{
    lastError = reason;
    Ulmora::DebugOutput("Failed to load module: " + Ulmora::EscapeControlCharacters(reason) + "\n");
}

} // namespace

// One kept module: what the loader returned and what its entry point returned.
struct LoadedModule {
    Ulmora::Platform::ModuleHandle module;
    IPluginDLL* interface;
};

// Directories already entered in one search, so that links which lead back
// into the tree cannot make it endless.
struct PluginManager::SearchState {
    std::set<std::pair<uint64_t, uint64_t>> visited;
};

// --- contract classes of the plug-in manager layer --------------------------

IPluginDLL::IPluginDLL() = default;
IPluginDLL::IPluginDLL(const IPluginDLL& other) = default;
IPluginDLL& IPluginDLL::operator=(const IPluginDLL& other) = default;
IPluginDLL::~IPluginDLL() = default;

IPluginInstance::IPluginInstance() = default;
IPluginInstance::IPluginInstance(const IPluginInstance& other) = default;
IPluginInstance& IPluginInstance::operator=(const IPluginInstance& other) = default;
IPluginInstance::~IPluginInstance() = default;
void IPluginInstance::Reserved1() {}
void IPluginInstance::Reserved2() {}

IPluginDescriptor::IPluginDescriptor() = default;
IPluginDescriptor::IPluginDescriptor(const IPluginDescriptor& other) = default;
IPluginDescriptor& IPluginDescriptor::operator=(const IPluginDescriptor& other) = default;
IPluginDescriptor::~IPluginDescriptor() = default;

SearchPattern::SearchPattern(const std::string& directory_, const std::string& pattern_, bool recursive_)
    : directory(Ulmora::Platform::kCaseInsensitivePaths ? LowerAscii(directory_) : directory_),
      pattern(LowerAscii(pattern_)),
      recursive(recursive_)
{
    if (directory.empty() || directory.back() != Ulmora::Platform::kPathSeparator)
        directory += Ulmora::Platform::kPathSeparator;
}

// --- iterator ----------------------------------------------------------------

PluginIterator::PluginIterator(PluginManager* manager) : m_Index(0), m_Manager(manager) {}

PluginIterator::~PluginIterator() = default;

IPluginDescriptor* PluginIterator::First()
{
    m_Index = 0;
    return Current();
}

IPluginDescriptor* PluginIterator::Next()
{
    ++m_Index;
    return Current();
}

IPluginDescriptor* PluginIterator::Current()
{
    const std::vector<IPluginDescriptor*>& plugins = m_Manager->m_Plugins;
    return m_Index < plugins.size() ? plugins[m_Index] : nullptr;
}

// --- manager -----------------------------------------------------------------

PluginManager::PluginManager() = default;

PluginManager::~PluginManager()
{
    UnloadPlugins();
}

void PluginManager::GetSearchPatterns(SearchPatternList& /*patterns*/) {}

int32_t PluginManager::OnBeginLoadDLL(std::string /*path*/)
{
    return 0;
}

PluginManager::ErrorResponse PluginManager::OnEndLoadDLL(std::string /*path*/, Error /*error*/)
{
    return Continue;
}

void PluginManager::AddExecutablePattern(SearchPatternList& patterns, const char* pattern)
{
    // Without the executable's path there is no folder to search; searching
    // from the file system's root instead would be wrong.
    const std::string directory = Ulmora::Platform::ExecutableDirectory();
    if (!directory.empty())
        patterns.push_back(SearchPattern(directory, pattern, true));
}

PluginManager::ErrorResponse PluginManager::EndLoadOrThrow(const std::string& path, Error error,
                                                           Log::Logger* logger, const char* module)
{
    if (error != NoError) {
        if (logger != nullptr)
            logger->PrintLevel(Log::LevelInformation, module, "Failed to load the following dll: %s", path.c_str());
        throw Ulmora::DLLLoadFailedException(path);
    }
    return Continue;
}

const std::string& PluginManager::GetLastLoadError() const
{
    return m_LastLoadError;
}

int32_t PluginManager::Load()
{
    if (m_Patterns.empty())
        GetSearchPatterns(m_Patterns);
    // Entries are copied: a hook may touch the list while its entry is searched.
    for (size_t i = 0; i < m_Patterns.size(); ++i) {
        const SearchPattern entry = m_Patterns[i];
        if (SearchDirectory(entry.directory, entry.pattern, entry.recursive) == Abort)
            break;
    }
    return 0;
}

int32_t PluginManager::SearchDirectory(const std::string& directory, const std::string& pattern, bool recursive)
{
    SearchState state;
    return SearchTree(directory, pattern, recursive, state);
}

int32_t PluginManager::SearchTree(const std::string& directory, const std::string& pattern, bool recursive,
                                  SearchState& state)
{
    namespace Platform = Ulmora::Platform;

    // One read of the directory serves both passes. A directory that cannot
    // be read offers nothing.
    std::vector<Platform::DirectoryEntry> entries;
    Platform::DirectoryIdentity identity = {0, 0};
    bool hasIdentity = false;
    std::string reason;
    if (!Platform::ReadDirectory(directory, &entries, &identity, &hasIdentity, &reason)) {
        // Whatever lies below it stays unseen: say so, since the modules
        // there are missed without any other sign.
        Ulmora::DebugOutput("Failed to search folder: " + Ulmora::EscapeControlCharacters(reason) + "\n");
        if (entries.empty())
            return 0;
    }
    if (hasIdentity && !state.visited.insert(std::make_pair(identity.volume, identity.file)).second)
        return 0;

    // The file pass: every entry whose name matches, directories included.
    for (const Platform::DirectoryEntry& entry : entries) {
        if (!Platform::MatchWildcard(pattern.c_str(), entry.name.c_str()))
            continue;
        const std::string path = directory + entry.name;
        ErrorResponse response;
        do {
            const Error error = OnBeginLoadDLL(path) != 0 ? LoadSkipped : LoadDLL(path);
            response = OnEndLoadDLL(path, error);
        } while (response == Retry);
        if (response == Abort)
            return Abort;
    }

    if (!recursive)
        return 0;

    // The subdirectory pass, in byte order of the lower-cased path with a
    // trailing backslash, so the order is the same on every platform. On
    // Windows the lower-cased path is also the one searched; elsewhere the
    // path keeps its case.
    std::vector<std::pair<std::string, std::string>> subdirectories;
    for (const Platform::DirectoryEntry& entry : entries) {
        if (!entry.isDirectory || entry.name == "." || entry.name == "..")
            continue;
        const std::string path = directory + entry.name;
        std::string key = LowerAscii(path) + '\\';
        std::string searched = (Platform::kCaseInsensitivePaths ? LowerAscii(path) : path) +
                               Platform::kPathSeparator;
        subdirectories.emplace_back(std::move(key), std::move(searched));
    }
    std::sort(subdirectories.begin(), subdirectories.end());
    subdirectories.erase(std::unique(subdirectories.begin(), subdirectories.end()), subdirectories.end());
    for (const auto& subdirectory : subdirectories) {
        if (SearchTree(subdirectory.second, pattern, recursive, state) == Abort)
            return Abort;
    }
    return 0;
}

PluginManager::Error PluginManager::LoadDLL(const std::string& path)
{
    namespace Platform = Ulmora::Platform;

    // The file is checked before the loader sees it: a FIFO would block the
    // loader for ever, and a module cut short inside a segment crashes it.
    std::string reason;
    Platform::ModuleHandle module = nullptr;
    if (Platform::CheckModuleFile(path, &reason))
        module = Platform::LoadModule(path, &reason);
    if (module == nullptr) {
        ReportLoadFailure(m_LastLoadError, reason);
        return LoadLibraryFailed;
    }

    Error error = NoError;
    IPluginDLL* interface = nullptr;
    void* symbol = Platform::FindSymbol(module, kEntryPointName, &reason);
    if (symbol == nullptr) {
        error = EntryPointMissing;
        reason = std::string("no entry point ") + kEntryPointName + ": " + path;
    } else {
        interface = reinterpret_cast<EntryPoint>(symbol)();
        if (interface == nullptr) {
            error = InterfaceMissing;
            reason = "the entry point returned no interface: " + path;
        } else {
            const uint32_t version = interface->GetAPIVersion();
            if (version != kPluginAPIVersion) {
                error = WrongAPIVersion;
                reason = "API version " + std::to_string(version) + " instead of " +
                         std::to_string(kPluginAPIVersion) + ": " + path;
            }
        }
    }
    if (error != NoError) {
        ReportLoadFailure(m_LastLoadError, reason);
        Platform::UnloadModule(module);
        return error;
    }

    interface->Initialize();
    uint32_t count = interface->GetNumPlugins();
    if (count > kMaxPluginsPerModule) {
        Ulmora::DebugOutput("Module offers " + std::to_string(count) + " plugins; asking for the first " +
                            std::to_string(kMaxPluginsPerModule) + " only: " +
                            Ulmora::EscapeControlCharacters(path) + "\n");
        count = kMaxPluginsPerModule;
    }
    const auto keepModule = [&] {
        LoadedModule* record = new LoadedModule{module, interface};
        interface->AddObserver(this);
        m_Modules.push_back(record);
    };
    uint32_t registered = 0;
    try {
        for (uint32_t index = 0; index < count; ++index) {
            if (RegisterPlugin(interface->GetPlugin(index)))
                ++registered;
        }
    } catch (...) {
        // An error from the module passes on to the host, but what it has
        // registered by then stays released and unloaded with the rest.
        if (registered > 0)
            keepModule();
        throw;
    }
    if (registered > 0) {
        keepModule();
    } else {
        interface->ShutDown();
        Platform::UnloadModule(module);
    }
    return NoError;
}

bool PluginManager::RegisterPlugin(IPluginDescriptor* descriptor)
{
    if (descriptor == nullptr)
        return false;
    const uint32_t number = descriptor->GetPluginID().GetID();
    if (m_IndexByID.find(number) != m_IndexByID.end()) {
        Ulmora::DebugOutput(std::string("Failed to register plugin: ") + NameOf(descriptor) +
                            "(A plugin with the same PluginID is already registered.)\n");
        return false;
    }
    descriptor->AddObserver(this);
    const size_t position = m_Plugins.size();
    m_Plugins.push_back(descriptor);
    m_PluginNumbers.push_back(number);
    m_IndexByID[number] = position;
    m_IndexByObject[descriptor] = position;
    Ulmora::DebugOutput(std::string("Registered plugin: ") + NameOf(descriptor) + "\n");
    return true;
}

bool PluginManager::IsRegistered(PluginID id)
{
    return m_IndexByID.find(id.GetID()) != m_IndexByID.end();
}

PluginIterator* PluginManager::CreateIterator()
{
    return new PluginIterator(this);
}

PluginIterator* PluginManager::FindPlugin(const PluginID& id)
{
    const auto found = m_IndexByID.find(id.GetID());
    if (found == m_IndexByID.end())
        return nullptr;
    PluginIterator* iterator = new PluginIterator(this);
    iterator->m_Index = static_cast<uint32_t>(found->second);
    return iterator;
}

void PluginManager::ReleaseIterator(PluginIterator* iterator)
{
    delete iterator;
}

void PluginManager::RemovePluginAt(size_t position)
{
    // The last entry takes the freed place, as iterators already under way
    // expect.
    m_IndexByObject.erase(m_Plugins[position]);
    m_IndexByID.erase(m_PluginNumbers[position]);
    const size_t last = m_Plugins.size() - 1;
    if (position != last) {
        m_Plugins[position] = m_Plugins[last];
        m_PluginNumbers[position] = m_PluginNumbers[last];
        m_IndexByObject[m_Plugins[position]] = position;
        m_IndexByID[m_PluginNumbers[position]] = position;
    }
    m_Plugins.pop_back();
    m_PluginNumbers.pop_back();
}

void PluginManager::OnPluginObjectDestroyed(PluginObject* object)
{
    if (object == nullptr)
        return;
    const auto found = m_IndexByObject.find(object);
    if (found != m_IndexByObject.end())
        RemovePluginAt(found->second);
    for (LoadedModule*& record : m_Modules) {
        if (record != nullptr && static_cast<PluginObject*>(record->interface) == object) {
            delete record;
            record = nullptr;
        }
    }
}

void PluginManager::UnloadPlugins()
{
    Ulmora::DebugOutput("Unloading plugins...\n");
    // By index: a Release may destroy a later descriptor, whose notice then
    // reorders the rest of the list.
    for (size_t i = 0; i < m_Plugins.size(); ++i) {
        IPluginDescriptor* descriptor = m_Plugins[i];
        descriptor->RemoveObserver(this);
        descriptor->Release();
    }
    m_Plugins.clear();
    m_PluginNumbers.clear();
    m_IndexByID.clear();
    m_IndexByObject.clear();
    ReleaseModules();
}

void PluginManager::ReleaseModules()
{
    namespace Platform = Ulmora::Platform;
    for (size_t i = 0; i < m_Modules.size(); ++i) {
        if (m_Modules[i] == nullptr)
            continue;
        // The record may be destroyed from here on, by the notice of its
        // interface while it shuts down or while its module unloads.
        Platform::ModuleHandle module = m_Modules[i]->module;
        IPluginDLL* interface = m_Modules[i]->interface;
        interface->ShutDown();
        Ulmora::DebugOutput("Releasing " + Platform::ModuleFileName(module) + ".\n");
        Platform::UnloadModule(module);
        if (m_Modules[i] != nullptr) {
            // No notice came, so the interface still lives: its module is
            // still loaded elsewhere, or the object was left on the heap.
            // Stop watching it so that its later destruction cannot reach a
            // manager that is gone, and free the record.
            interface->RemoveObserver(this);
            delete m_Modules[i];
            m_Modules[i] = nullptr;
        }
    }
    m_Modules.clear();
}

} // namespace PluginManagerAPI
