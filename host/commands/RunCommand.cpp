#include "commands/RunCommand.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "Output.h"
#include "Terminal.h"
#include "report/Formats.h"
#include "run/RunSession.h"

namespace Host {

namespace {

struct RunOptions {
    std::string format = "human";
    bool json = false;
    bool plain = false;
    std::string prometheus;
    std::string log;
};

int RunCommand(const GlobalOptions& globals, const RunOptions& options)
{
    std::string format = options.format;
    if (options.json)
        format = "json";
    if (options.plain)
        format = "plain";

    RunSettings settings;
    settings.logPath = options.log;
    const char* term = std::getenv("TERM");
    settings.progress = IsTerminal(stderr) && !(term != nullptr && std::string(term) == "dumb");
    settings.colour = UseColour(globals.color, stderr);

    RunSession session(globals, settings);
    Report report;
    const int failed = session.Run(&report);
    if (failed >= 0)
        return failed;

    if (!options.prometheus.empty()) {
        std::string error;
        if (!WriteFileAtomically(options.prometheus, PrometheusReport(report), &error)) {
            std::fprintf(stderr, "ulmora: cannot write the Prometheus file: %s\n", error.c_str());
            return kExitCannotWrite;
        }
    }

    std::string text;
    int status = AnswerStatus(report.answer);
    if (format == "json")
        text = JsonReport(report);
    else if (format == "plain")
        text = PlainReport(report);
    else if (format == "plugin")
        text = MonitoringPluginReport(report, &status);
    else
        text = HumanReport(report, UseColour(globals.color, stdout));
    if (!WriteStdout(text)) {
        std::fputs("ulmora: cannot write the report to stdout\n", stderr);
        return kExitCannotWrite;
    }
    return status;
}

} // namespace

void AddRunCommand(CLI::App& app, const GlobalOptions& globals, CommandAction* action)
{
    auto options = std::make_shared<RunOptions>();
    CLI::App* run = app.add_subcommand(
        "run", "Run every probe and judge and report (the default command)");
    run->add_option("--format", options->format,
                    "Report format: human (default), json, plain, plugin")
        ->check(CLI::IsMember({"human", "json", "plain", "plugin"}))
        ->type_name("FORMAT");
    CLI::Option* json =
        run->add_flag("--json", options->json, "One JSON document (schema ulmora.report/1)");
    CLI::Option* plain = run->add_flag(
        "--plain", options->plain, "key<TAB>value lines; tab, newline and backslash escaped");
    json->excludes(plain);
    run->add_option("--prometheus", options->prometheus,
                    "Also write the results as a node_exporter textfile (replaced atomically)")
        ->type_name("FILE");
    run->add_option("--log", options->log, "Write the library's log to FILE (emptied first)")
        ->type_name("FILE");
    run->callback([action, &globals, options]() {
        *action = [&globals, options]() { return RunCommand(globals, *options); };
    });
}

} // namespace Host
