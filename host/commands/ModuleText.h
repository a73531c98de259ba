// Shared wording of the module commands.
#ifndef ULMORA_HOST_MODULETEXT_H
#define ULMORA_HOST_MODULETEXT_H

#include <cctype>
#include <string>
#include <vector>

#include "../ModuleCatalogue.h"

namespace Host {

// `path` relative to the executable's folder when it lies below it.
inline std::string ShownPath(const std::string& path)
{
    const std::string base = ExecutableDirectory();
    if (path.size() > base.size()) {
        bool same = true;
        for (size_t i = 0; i < base.size() && same; ++i) {
#if defined(_WIN32)
            same = std::tolower(static_cast<unsigned char>(path[i])) ==
                   std::tolower(static_cast<unsigned char>(base[i]));
#else
            same = path[i] == base[i];
#endif
        }
        if (same)
            return path.substr(base.size());
    }
    return path;
}

// "cpu (1102)" for a probe the list knows, else "1102".
inline std::string NameOfID(const std::vector<PluginInfo>& plugins, uint32_t id)
{
    for (const PluginInfo& plugin : plugins) {
        if (plugin.id == id)
            return plugin.name + " (" + std::to_string(id) + ")";
    }
    return std::to_string(id);
}

inline std::string DescribePlugin(const PluginInfo& plugin, const std::vector<PluginInfo>& known)
{
    std::string text = "  " + plugin.name + "  id " + std::to_string(plugin.id) + "  version " +
                       std::to_string(plugin.version) + "\n";
    for (const DependencyInfo& need : plugin.dependencies) {
        text += "    needs " + NameOfID(known, need.id);
        if (!need.description.empty())
            text += ": " + need.description;
        text += "\n";
    }
    return text;
}

} // namespace Host

#endif
