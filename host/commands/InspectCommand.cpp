#include "InspectCommand.h"

#include <cctype>
#include <fstream>

#include <CLI/CLI.hpp>

#include "../ModuleCatalogue.h"
#include "../ModuleFolders.h"
#include "../Output.h"
#include "ModuleText.h"
#include "ulmora/PluginManager.h"

namespace Host {
namespace {

bool SameFile(const std::string& a, const std::string& b)
{
#if defined(_WIN32)
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(a[i])));
        const char y = b[i] == '/' ? '\\' : static_cast<char>(std::tolower(static_cast<unsigned char>(b[i])));
        if (x != y)
            return false;
    }
    return true;
#else
    return a == b;
#endif
}

int Inspect(const std::string& path)
{
    if (!std::ifstream(path, std::ios::binary)) {
        Complain("inspect: cannot open " + path);
        return kExitUsage;
    }
    const ModuleInfo module = InspectModule(path);
    const std::vector<ModuleInfo> installed = InstalledModules();
    int problems = 0;

    std::string text = "file: " + path + "\n";
    text += std::string("kind: ") + KindName(module.kind) + "\n";
    if (module.loaded) {
        text += "loads: yes\n";
    } else {
        text += "loads: no (" + module.error + ")\nreason: " + module.reason + "\n";
        ++problems;
    }
    text += "API version: " +
            (module.apiVersion != 0 ? std::to_string(module.apiVersion) : std::string("unknown")) +
            (module.apiVersion != 0 && module.apiVersion != PluginManagerAPI::kPluginAPIVersion
                 ? " (this library needs " + std::to_string(PluginManagerAPI::kPluginAPIVersion) + ")"
                 : std::string()) +
            "\n";
    std::vector<PluginInfo> known = module.plugins;
    for (const ModuleInfo& other : installed)
        known.insert(known.end(), other.plugins.begin(), other.plugins.end());
    text += "plug-ins: " + std::to_string(module.plugins.size()) + "\n";
    for (const PluginInfo& plugin : module.plugins)
        text += DescribePlugin(plugin, known);

    std::string clashes;
    for (const PluginInfo& plugin : module.plugins) {
        for (const ModuleInfo& other : installed) {
            if (other.kind != module.kind || SameFile(other.path, path))
                continue;
            for (const PluginInfo& theirs : other.plugins) {
                if (theirs.id == plugin.id) {
                    clashes += "  " + plugin.name + " (" + std::to_string(plugin.id) +
                               ") has the identifier of " + theirs.name + " in " +
                               ShownPath(other.path) + "\n";
                    ++problems;
                }
            }
        }
    }
    text += clashes.empty() ? "clashes with installed modules: none\n"
                            : "clashes with installed modules:\n" + clashes;
    return WriteOut(text, problems > 0 ? 1 : kExitOk);
}

} // namespace

void AddInspectCommand(CLI::App& app, const GlobalOptions& globals, CommandAction* action)
{
    CLI::App* command = app.add_subcommand(
        "inspect", "Check one module file without running it: loading, API version, plug-ins, clashes");
    auto file = std::make_shared<std::string>();
    command->add_option("FILE", *file, "the module file (*.tst or *.intr)")->required();
    command->footer("Exit status: 0 when the file loads and clashes with no installed module; "
                    "1 otherwise; 64 when the file cannot be opened.");
    command->callback([&globals, action, file]() {
        *action = [&globals, file]() {
            const int folders = CheckModuleFolders(globals);
            if (folders != kExitOk)
                return folders;
            return Inspect(*file);
        };
    });
}

} // namespace Host
