// What the host knows about the module files installed beside it, read
// without running anything: each file's load outcome and the plug-ins it
// offers. The library's own managers stop at the first file that fails to
// load; the catalogue goes on, so a person sees every file and its reason.
#ifndef ULMORA_HOST_MODULECATALOGUE_H
#define ULMORA_HOST_MODULECATALOGUE_H

#include <cstdint>
#include <string>
#include <vector>

namespace Host {

enum class ModuleKind { Probe, Judge };

const char* KindName(ModuleKind kind);  // "probe" or "judge"

struct DependencyInfo {
    uint32_t id = 0;
    std::string description;
};

struct PluginInfo {
    std::string name;
    uint32_t id = 0;
    int32_t version = 0;
    std::vector<DependencyInfo> dependencies;  // probes only
    // Set when an earlier file (in the library's search order) already offers
    // this identifier, so the library would refuse this plug-in: that file.
    std::string shadowedBy;
};

struct ModuleInfo {
    std::string path;
    ModuleKind kind = ModuleKind::Probe;
    bool loaded = false;
    std::string error;     // the loader's outcome name ("LoadLibraryFailed"), empty when loaded
    std::string reason;    // the loader's reason, as the manager reported it
    uint32_t apiVersion = 0;  // 0 when the file never answered
    std::vector<PluginInfo> plugins;
};

// The folder of the running executable, with a trailing separator.
std::string ExecutableDirectory();

// The module files of one kind under `directory` (and below), in the order in
// which the library's manager would load them, each loaded on its own and
// unloaded again. Clashing identifiers are marked in PluginInfo::shadowedBy.
std::vector<ModuleInfo> ScanModules(const std::string& directory, ModuleKind kind);

// Every probe and judge module installed beside the executable.
std::vector<ModuleInfo> InstalledModules();

// One file, loaded on its own. The kind comes from what its plug-ins are, or
// from the file name when it offers none.
ModuleInfo InspectModule(const std::string& path);

// The probes that would be registered, in registry order: the plug-ins of
// the loaded probe modules that no earlier file shadows.
std::vector<PluginInfo> RegisteredPlugins(const std::vector<ModuleInfo>& modules, ModuleKind kind);

// The run order of `probes` (in registry order) by the library's rule: the
// longest leading stretch whose tests depend only on tests before them, then
// the rest, each after the tests it needs, a later-registered one first where
// that leaves a choice. Empty with `problem` set when a dependency is missing
// or leads back to its test.
std::vector<uint32_t> RunOrder(const std::vector<PluginInfo>& probes, std::string* problem);

} // namespace Host

#endif
