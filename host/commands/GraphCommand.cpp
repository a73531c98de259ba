#include "GraphCommand.h"

#include <map>
#include <set>

#include <CLI/CLI.hpp>

#include "../ModuleCatalogue.h"
#include "../ModuleFolders.h"
#include "../Output.h"

namespace Host {
namespace {

// A DOT string literal.
std::string Quoted(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        if (c == '\n')
            quoted += "\\n";
        else if (c != '\r')
            quoted += c;
    }
    return quoted + "\"";
}

std::string Node(ModuleKind kind, uint32_t id)
{
    return Quoted((kind == ModuleKind::Probe ? "probe " : "judge ") + std::to_string(id));
}

int PrintGraph()
{
    const std::vector<ModuleInfo> modules = InstalledModules();
    if (modules.empty()) {
        Complain("no probe (*.tst) or judge (*.intr) module found under " + ExecutableDirectory());
        return kExitNoModules;
    }
    int status = kExitOk;
    for (const ModuleInfo& module : modules) {
        if (!module.loaded) {
            Complain(module.path + " cannot be loaded (" + module.reason +
                     "); it is left out of the graph, and `ulmora run` would stop at it");
            status = 1;
        }
    }
    const std::vector<PluginInfo> probes = RegisteredPlugins(modules, ModuleKind::Probe);
    const std::vector<PluginInfo> judges = RegisteredPlugins(modules, ModuleKind::Judge);
    std::string problem;
    const std::vector<uint32_t> order = RunOrder(probes, &problem);
    if (!problem.empty()) {
        Complain(problem + "; `ulmora run` would stop before running anything");
        status = 1;
    }
    std::map<uint32_t, size_t> position;
    for (size_t i = 0; i < order.size(); ++i)
        position[order[i]] = i + 1;

    std::string dot = "// The probes' dependencies (an edge runs from a probe to one that needs it)\n"
                      "// and the run order: the probes in the order shown by their numbers,\n"
                      "// then the judges in the order listed.\n"
                      "digraph ulmora {\n  rankdir=LR;\n  node [shape=box];\n";
    std::string orderText;
    std::set<uint32_t> known;
    for (const PluginInfo& probe : probes)
        known.insert(probe.id);
    for (const PluginInfo& probe : probes) {
        std::string label = probe.name + "\nid " + std::to_string(probe.id) + ", version " +
                            std::to_string(probe.version);
        const auto at = position.find(probe.id);
        if (at != position.end())
            label = std::to_string(at->second) + ". " + label;
        dot += "  " + Node(ModuleKind::Probe, probe.id) + " [label=" + Quoted(label) + "];\n";
    }
    std::set<uint32_t> missing;
    for (const PluginInfo& probe : probes) {
        for (const DependencyInfo& need : probe.dependencies) {
            if (!known.count(need.id) && missing.insert(need.id).second)
                dot += "  " + Node(ModuleKind::Probe, need.id) + " [label=" +
                       Quoted("missing\nid " + std::to_string(need.id)) +
                       ", style=dashed, color=red];\n";
            dot += "  " + Node(ModuleKind::Probe, need.id) + " -> " +
                   Node(ModuleKind::Probe, probe.id);
            if (!need.description.empty())
                dot += " [tooltip=" + Quoted(need.description) + "]";
            dot += ";\n";
        }
    }
    for (uint32_t id : order) {
        for (const PluginInfo& probe : probes) {
            if (probe.id == id)
                orderText += (orderText.empty() ? "" : ", ") + probe.name;
        }
    }
    if (!judges.empty()) {
        dot += "  subgraph cluster_judges {\n    label=\"judges (after every probe)\";\n";
        size_t next = order.size();
        for (const PluginInfo& judge : judges) {
            const std::string label = (problem.empty() ? std::to_string(++next) + ". " : "") +
                                      judge.name + "\nid " + std::to_string(judge.id) +
                                      ", version " + std::to_string(judge.version);
            dot += "    " + Node(ModuleKind::Judge, judge.id) + " [label=" + Quoted(label) +
                   ", shape=ellipse];\n";
            orderText += (orderText.empty() ? "" : ", ") + judge.name;
        }
        dot += "  }\n";
    }
    dot += "  label=" + Quoted(problem.empty() ? "run order: " + orderText : "no run order: " + problem) +
           ";\n}\n";
    const int written = WriteOut(dot);
    return written != kExitOk ? written : status;
}

} // namespace

void AddGraphCommand(CLI::App& app, const GlobalOptions& globals, CommandAction* action)
{
    CLI::App* command = app.add_subcommand(
        "graph", "Print the probes' dependency graph and the run order as Graphviz DOT");
    command->footer("The run order is computed from the modules' descriptors by the library's "
                    "own rule.\nExit status: 0; 1 when a module cannot be loaded or a dependency "
                    "is missing or circular; 66 when no module was found.");
    command->callback([&globals, action]() {
        *action = [&globals]() {
            const int folders = CheckModuleFolders(globals);
            if (folders != kExitOk)
                return folders;
            return PrintGraph();
        };
    });
}

} // namespace Host
