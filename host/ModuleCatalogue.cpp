#include "ModuleCatalogue.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>

#include "ulmora/DebugOutput.h"
#include "ulmora/IInterpreter.h"
#include "ulmora/ITest.h"
#include "ulmora/PluginManager.h"

#if defined(_WIN32)
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  include <windows.h>
#else
#  include <limits.h>
#  include <unistd.h>
#endif

namespace Host {
namespace {

using PluginManagerAPI::PluginManager;

#if defined(_WIN32)
const char kSeparator = '\\';
#else
const char kSeparator = '/';
#endif

const char* PatternOf(ModuleKind kind)
{
    return kind == ModuleKind::Probe ? "*.tst" : "*.intr";
}

const char* ErrorName(PluginManager::Error error)
{
    switch (error) {
    case PluginManager::NoError: return "";
    case PluginManager::InterfaceMissing: return "InterfaceMissing";
    case PluginManager::LoadSkipped: return "LoadSkipped";
    case PluginManager::LoadLibraryFailed: return "LoadLibraryFailed";
    case PluginManager::EntryPointMissing: return "EntryPointMissing";
    case PluginManager::WrongAPIVersion: return "WrongAPIVersion";
    }
    return "unknown error";
}

// Walks the folders exactly as the library's managers do, but only notes the
// files: declining each one keeps them from being loaded by the walk itself.
class FileLister : public PluginManager {
public:
    FileLister(const std::string& directory, ModuleKind kind) : m_Directory(directory), m_Kind(kind) {}
    std::vector<std::string> files;

protected:
    void GetSearchPatterns(PluginManagerAPI::SearchPatternList& patterns) override
    {
        patterns.emplace_back(m_Directory, PatternOf(m_Kind), true);
    }
    int32_t OnBeginLoadDLL(std::string path) override
    {
        files.push_back(path);
        return 1;
    }

private:
    std::string m_Directory;
    ModuleKind m_Kind;
};

// Loads one file through the library's loader, so the outcome and the reason
// are the ones `ulmora run` would meet.
class SingleFileLoader : public PluginManager {
public:
    Error LoadFile(const std::string& path) { return LoadDLL(path); }
    const std::vector<PluginManagerAPI::IPluginDescriptor*>& Plugins() const { return m_Plugins; }
};

void CollectLine(const char* text, void* context)
{
    static_cast<std::string*>(context)->append(text);
}

// The loader's own reason when it gave one, else the last line it printed.
std::string ReasonFrom(const SingleFileLoader& loader, const std::string& lines)
{
    std::string reason = loader.GetLastLoadError();
    if (reason.empty()) {
        const std::string prefix = "Failed to load module: ";
        const std::string::size_type at = lines.rfind(prefix);
        if (at != std::string::npos)
            reason = lines.substr(at + prefix.size(), lines.find('\n', at) - at - prefix.size());
    }
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
        reason.pop_back();
    return reason;
}

const char* MachineName(uint32_t machine, bool pe)
{
    if (pe) {
        switch (machine) {
        case 0x14C: return "32-bit x86";
        case 0x8664: return "x86-64";
        case 0xAA64: return "ARM64";
        case 0x1C4: return "32-bit ARM";
        default: return "another machine";
        }
    }
    switch (machine) {
    case 3: return "32-bit x86";
    case 62: return "x86-64";
    case 183: return "AArch64";
    case 40: return "32-bit ARM";
    case 243: return "RISC-V";
    default: return "another machine";
    }
}

// Some loaders give a misleading reason for a file of another machine
// (glibc says "No such file or directory"), so the file's own header is
// read for a plain one.
std::string HeaderNote(const std::string& path)
{
    std::string bytes(512, '\0');
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return std::string();
    bytes.resize(std::fread(&bytes[0], 1, bytes.size(), file));
    std::fclose(file);
    const auto byte = [&bytes](size_t at) -> uint32_t {
        return at < bytes.size() ? static_cast<unsigned char>(bytes[at]) : 0u;
    };
#if defined(_WIN32)
    if (bytes.size() < 0x40 || bytes.compare(0, 2, "MZ") != 0)
        return "the file is not a Windows module (no MZ header)";
    const size_t pe = byte(0x3C) | (byte(0x3D) << 8) | (byte(0x3E) << 16) | (byte(0x3F) << 24);
    if (pe + 6 > bytes.size() || bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return "the file is truncated or not a Windows module (no PE header)";
    const uint32_t machine = byte(pe + 4) | (byte(pe + 5) << 8);
#  if defined(_WIN64)
    const uint32_t own = 0x8664;
#  else
    const uint32_t own = 0x14C;
#  endif
    const bool isPE = true;
#else
    if (bytes.size() < 20 || bytes.compare(0, 4, "\x7f" "ELF") != 0)
        return "the file is not a shared object (no ELF header)";
    const uint32_t machine = byte(5) == 2 ? (byte(18) << 8) | byte(19) : byte(18) | (byte(19) << 8);
#  if defined(__x86_64__)
    const uint32_t own = 62;
#  elif defined(__i386__)
    const uint32_t own = 3;
#  elif defined(__aarch64__)
    const uint32_t own = 183;
#  elif defined(__arm__)
    const uint32_t own = 40;
#  else
    const uint32_t own = machine;
#  endif
    const bool isPE = false;
    const uint32_t bits = byte(4) == 2 ? 64 : 32;
    if (machine == own && bits != sizeof(void*) * 8)
        return "the file is a " + std::to_string(bits) + "-bit module; this ulmora is " +
               std::to_string(sizeof(void*) * 8) + "-bit";
#endif
    if (machine != own) {
        char number[16];
        std::snprintf(number, sizeof number, "0x%X", static_cast<unsigned>(machine));
        return std::string("the file is built for ") + MachineName(machine, isPE) + " (machine " + number +
               "); this ulmora runs on " + MachineName(own, isPE);
    }
    return std::string();
}

ModuleInfo LoadOne(const std::string& path, ModuleKind kind, bool kindFromPlugins)
{
    ModuleInfo info;
    info.path = path;
    info.kind = kind;
    std::string lines;
    UlmoraSetDebugOutputHandler(CollectLine, &lines);
    {
        SingleFileLoader loader;
        const PluginManager::Error error = loader.LoadFile(path);
        info.loaded = error == PluginManager::NoError;
        info.error = ErrorName(error);
        if (info.loaded) {
            // The loader refuses every other version, so a loaded module has
            // answered this one.
            info.apiVersion = PluginManagerAPI::kPluginAPIVersion;
        } else {
            info.reason = ReasonFrom(loader, lines);
            if (error == PluginManager::LoadLibraryFailed) {
                const std::string note = HeaderNote(path);
                if (!note.empty())
                    info.reason += " (" + note + ")";
            }
            const std::string::size_type at = info.reason.find("API version ");
            if (error == PluginManager::WrongAPIVersion && at != std::string::npos)
                info.apiVersion = static_cast<uint32_t>(
                    std::strtoul(info.reason.c_str() + at + 12, nullptr, 10));
        }
        bool sawProbe = false, sawJudge = false;
        for (PluginManagerAPI::IPluginDescriptor* descriptor : loader.Plugins()) {
            PluginInfo plugin;
            plugin.name = descriptor->GetName();
            plugin.id = descriptor->GetPluginID().GetID();
            plugin.version = descriptor->GetVersion();
            if (auto* test = dynamic_cast<Ulmora::ITestDescriptor*>(descriptor)) {
                sawProbe = true;
                for (const Ulmora::PluginDependency& need : test->GetPluginDependencies())
                    plugin.dependencies.push_back({need.GetPluginID().GetID(), need.GetDescription()});
            } else if (dynamic_cast<Ulmora::IInterpreterDescriptor*>(descriptor)) {
                sawJudge = true;
            }
            info.plugins.push_back(std::move(plugin));
        }
        if (kindFromPlugins && (sawProbe != sawJudge))
            info.kind = sawProbe ? ModuleKind::Probe : ModuleKind::Judge;
    }
    UlmoraSetDebugOutputHandler(nullptr, nullptr);
    return info;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    if (text.size() < end.size())
        return false;
    for (size_t i = 0; i < end.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i])
            return false;
    }
    return true;
}

} // namespace

const char* KindName(ModuleKind kind)
{
    return kind == ModuleKind::Probe ? "probe" : "judge";
}

std::string ExecutableDirectory()
{
    std::string path;
#if defined(_WIN32)
    char buffer[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    path.assign(buffer, length);
#else
    char buffer[PATH_MAX + 1];
    const ssize_t length = readlink("/proc/self/exe", buffer, PATH_MAX);
    if (length > 0)
        path.assign(buffer, static_cast<size_t>(length));
#endif
    const std::string::size_type cut = path.find_last_of(kSeparator);
    return cut == std::string::npos ? std::string(1, '.') + kSeparator : path.substr(0, cut + 1);
}

std::vector<ModuleInfo> ScanModules(const std::string& directory, ModuleKind kind)
{
    std::vector<std::string> files;
    {
        std::string ignored;
        UlmoraSetDebugOutputHandler(CollectLine, &ignored);
        FileLister lister(directory, kind);
        lister.Load();
        files = lister.files;
        UlmoraSetDebugOutputHandler(nullptr, nullptr);
    }
    std::vector<ModuleInfo> modules;
    std::map<uint32_t, std::string> owner;
    for (const std::string& file : files) {
        ModuleInfo info = LoadOne(file, kind, false);
        for (PluginInfo& plugin : info.plugins) {
            const auto found = owner.find(plugin.id);
            if (found != owner.end())
                plugin.shadowedBy = found->second;
            else
                owner[plugin.id] = file;
        }
        modules.push_back(std::move(info));
    }
    return modules;
}

std::vector<ModuleInfo> InstalledModules()
{
    const std::string directory = ExecutableDirectory();
    std::vector<ModuleInfo> modules = ScanModules(directory, ModuleKind::Probe);
    std::vector<ModuleInfo> judges = ScanModules(directory, ModuleKind::Judge);
    modules.insert(modules.end(), judges.begin(), judges.end());
    return modules;
}

ModuleInfo InspectModule(const std::string& path)
{
    const ModuleKind guess = EndsWith(path, ".intr") ? ModuleKind::Judge : ModuleKind::Probe;
    return LoadOne(path, guess, true);
}

std::vector<PluginInfo> RegisteredPlugins(const std::vector<ModuleInfo>& modules, ModuleKind kind)
{
    std::vector<PluginInfo> plugins;
    for (const ModuleInfo& module : modules) {
        if (module.kind != kind || !module.loaded)
            continue;
        for (const PluginInfo& plugin : module.plugins) {
            if (plugin.shadowedBy.empty())
                plugins.push_back(plugin);
        }
    }
    return plugins;
}

std::vector<uint32_t> RunOrder(const std::vector<PluginInfo>& probes, std::string* problem)
{
    std::map<uint32_t, const PluginInfo*> byID;
    for (const PluginInfo& probe : probes)
        byID.emplace(probe.id, &probe);

    // Depth first from `from`, each probe expanded at most once, so a cycle
    // that does not pass through `test` cannot keep the search going. A
    // dependency nobody offers is left to its owner's own check.
    const auto leadsBack = [&](uint32_t test, uint32_t from) {
        std::set<uint32_t> expanded;
        std::function<bool(uint32_t)> visit = [&](uint32_t id) {
            if (id == test)
                return true;
            if (!expanded.insert(id).second)
                return false;
            const auto found = byID.find(id);
            if (found == byID.end())
                return false;
            for (const DependencyInfo& next : found->second->dependencies) {
                if (visit(next.id))
                    return true;
            }
            return false;
        };
        return visit(from);
    };

    std::vector<uint32_t> order;
    std::set<uint32_t> placed;
    std::vector<const PluginInfo*> deferred;
    bool deferring = false;
    for (const PluginInfo& test : probes) {
        for (const DependencyInfo& need : test.dependencies) {
            if (byID.find(need.id) == byID.end()) {
                *problem = "probe " + test.name + " (" + std::to_string(test.id) + ") needs " +
                           std::to_string(need.id) + " (" + need.description +
                           "), which no installed probe offers";
                return {};
            }
            if (leadsBack(test.id, need.id)) {
                *problem = "dependency cycle between probe " + test.name + " (" +
                           std::to_string(test.id) + ") and " + std::to_string(need.id) + " (" +
                           need.description + ")";
                return {};
            }
            if (placed.count(need.id) == 0)
                deferring = true;
        }
        if (deferring) {
            deferred.push_back(&test);
        } else {
            placed.insert(test.id);
            order.push_back(test.id);
        }
    }

    std::set<uint32_t> deferredIDs, appended;
    for (const PluginInfo* test : deferred)
        deferredIDs.insert(test->id);
    while (appended.size() < deferred.size()) {
        const PluginInfo* pick = nullptr;
        for (const PluginInfo* test : deferred) {
            if (appended.count(test->id))
                continue;
            bool ready = true;
            for (const DependencyInfo& need : test->dependencies) {
                if (deferredIDs.count(need.id) && !appended.count(need.id))
                    ready = false;
            }
            if (ready)
                pick = test;  // the last ready one in registry order wins
        }
        if (pick == nullptr)
            break;  // cannot happen after the checks above
        appended.insert(pick->id);
        order.push_back(pick->id);
    }
    problem->clear();
    return order;
}

} // namespace Host
