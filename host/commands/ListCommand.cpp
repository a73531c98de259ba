#include "ListCommand.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "../ModuleCatalogue.h"
#include "../ModuleFolders.h"
#include "../Output.h"
#include "ModuleText.h"

namespace Host {
namespace {

nlohmann::json ModuleJson(const ModuleInfo& module)
{
    nlohmann::json plugins = nlohmann::json::array();
    for (const PluginInfo& plugin : module.plugins) {
        nlohmann::json needs = nlohmann::json::array();
        for (const DependencyInfo& need : plugin.dependencies)
            needs.push_back({{"id", need.id}, {"description", need.description}});
        nlohmann::json entry = {{"name", plugin.name},
                                {"id", plugin.id},
                                {"version", plugin.version},
                                {"dependencies", needs}};
        if (!plugin.shadowedBy.empty())
            entry["shadowed_by"] = ShownPath(plugin.shadowedBy);
        plugins.push_back(entry);
    }
    nlohmann::json entry = {{"path", ShownPath(module.path)},
                            {"kind", KindName(module.kind)},
                            {"loaded", module.loaded},
                            {"plugins", plugins}};
    if (module.apiVersion != 0)
        entry["api_version"] = module.apiVersion;
    if (!module.loaded) {
        entry["error"] = module.error;
        entry["reason"] = module.reason;
    }
    return entry;
}

int ListModules(bool json)
{
    const std::vector<ModuleInfo> modules = InstalledModules();
    if (modules.empty()) {
        Complain("no probe (*.tst) or judge (*.intr) module found under " + ExecutableDirectory());
        return kExitNoModules;
    }
    std::vector<PluginInfo> known;
    for (const ModuleInfo& module : modules)
        known.insert(known.end(), module.plugins.begin(), module.plugins.end());

    int problems = 0;
    std::string text;
    nlohmann::json list = nlohmann::json::array();
    for (const ModuleInfo& module : modules) {
        list.push_back(ModuleJson(module));
        text += ShownPath(module.path) + "  (" + KindName(module.kind);
        if (module.loaded) {
            text += ", API " + std::to_string(module.apiVersion) + ")\n";
        } else {
            text += ", cannot be loaded: " + module.error + ")\n  reason: " + module.reason + "\n";
            ++problems;
        }
        for (const PluginInfo& plugin : module.plugins) {
            text += DescribePlugin(plugin, known);
            if (!plugin.shadowedBy.empty()) {
                text += "    refused: identifier " + std::to_string(plugin.id) +
                        " is already offered by " + ShownPath(plugin.shadowedBy) + "\n";
                ++problems;
            }
        }
        if (module.loaded && module.plugins.empty())
            text += "  (offers no plug-in)\n";
    }
    if (json) {
        const nlohmann::json document = {{"schema", "ulmora.modules/1"},
                                         {"directory", ExecutableDirectory()},
                                         {"modules", list}};
        text = document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    }
    return WriteOut(text, problems > 0 ? 1 : kExitOk);
}

} // namespace

void AddListCommand(CLI::App& app, const GlobalOptions& globals, CommandAction* action)
{
    CLI::App* command = app.add_subcommand(
        "list", "Load the installed modules without running them and list their plug-ins");
    auto json = std::make_shared<bool>(false);
    command->add_flag("--json", *json, "one JSON document (schema ulmora.modules/1)");
    command->footer("Exit status: 0; 1 when a module file cannot be loaded or offers an "
                    "identifier an earlier file already offers; 66 when no module was found.");
    command->callback([&globals, action, json]() {
        *action = [&globals, json]() {
            const int folders = CheckModuleFolders(globals);
            if (folders != kExitOk)
                return folders;
            return ListModules(*json);
        };
    });
}

} // namespace Host
