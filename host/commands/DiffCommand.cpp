#include "DiffCommand.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "../Output.h"

namespace Host {
namespace {

using nlohmann::json;

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Which way is better for a figure: +1 higher, -1 lower, 0 not a
// performance figure. Rates (`_per_second`) are better higher; latencies
// (`_seconds` keys with "latency" in their name) better lower. Other times,
// such as uptimes or a probe's duration, are not judged.
int BetterDirection(const std::string& key)
{
    if (EndsWith(key, "_per_second"))
        return 1;
    if (EndsWith(key, "_seconds") && key.find("latency") != std::string::npos)
        return -1;
    return 0;
}

// Every value of a report by key. A report has "probes", an array of
// objects (or an object by probe name) each with "values": an object of
// key -> value (an array for a key with several values).
bool ReadReport(const std::string& path, std::map<std::string, json>* values, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open " + path;
        return false;
    }
    json document;
    try {
        document = json::parse(in);
    } catch (const json::exception& problem) {
        *error = path + " is not valid JSON: " + problem.what();
        return false;
    }
    if (!document.is_object() || !document.contains("schema") || !document["schema"].is_string() ||
        document["schema"].get<std::string>().compare(0, 14, "ulmora.report/") != 0) {
        *error = path + " is not an ulmora report (no \"schema\": \"ulmora.report/1\")";
        return false;
    }
    if (document["schema"] != "ulmora.report/1") {
        *error = path + " is a report of schema " + document["schema"].get<std::string>() +
                 "; this ulmora reads ulmora.report/1";
        return false;
    }
    const json& probes = document.contains("probes") ? document["probes"] : json::array();
    for (const json& probe : probes) {
        if (!probe.is_object() || !probe.contains("values"))
            continue;
        const json& entries = probe["values"];
        if (entries.is_object()) {
            for (auto entry = entries.begin(); entry != entries.end(); ++entry)
                (*values)[entry.key()] = entry.value();
        } else if (entries.is_array()) {
            for (const json& entry : entries) {
                if (entry.is_object() && entry.contains("key") && entry["key"].is_string())
                    (*values)[entry["key"].get<std::string>()] = entry.value("value", json());
            }
        }
    }
    return true;
}

// The shortest text that reads back as the same double.
std::string Number(double value)
{
    char text[64];
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        std::snprintf(text, sizeof text, "%.0f", value);
        return text;
    }
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value)
            break;
    }
    return text;
}

std::string Shown(const json& value)
{
    if (value.is_string())
        return value.get<std::string>();
    if (value.is_number_float())
        return Number(value.get<double>());
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

int Diff(const std::string& oldPath, const std::string& newPath, double failAbove, bool failSet)
{
    std::map<std::string, json> before, after;
    std::string error;
    if (!ReadReport(oldPath, &before, &error) || !ReadReport(newPath, &after, &error)) {
        Complain("diff: " + error);
        return kExitUsage;
    }
    std::map<std::string, int> keys;
    for (const auto& entry : before)
        keys[entry.first] |= 1;
    for (const auto& entry : after)
        keys[entry.first] |= 2;

    std::string text;
    int worse = 0;
    for (const auto& entry : keys) {
        const std::string& key = entry.first;
        if (entry.second == 1) {
            text += key + "  " + Shown(before[key]) + " -> (gone)\n";
            continue;
        }
        if (entry.second == 2) {
            text += key + "  (new) -> " + Shown(after[key]) + "\n";
            continue;
        }
        const json& a = before[key];
        const json& b = after[key];
        if (!a.is_number() || !b.is_number()) {
            if (a != b)
                text += key + "  " + Shown(a) + " -> " + Shown(b) + "\n";
            continue;
        }
        const double x = a.get<double>(), y = b.get<double>();
        char change[64];
        double percent = 0;
        if (x == y) {
            std::snprintf(change, sizeof change, "0%%");
        } else if (x == 0) {
            percent = y > 0 ? HUGE_VAL : -HUGE_VAL;
            std::snprintf(change, sizeof change, "new from 0");
        } else {
            percent = (y - x) / std::fabs(x) * 100.0;
            std::snprintf(change, sizeof change, "%+.1f%%", percent);
        }
        std::string line = key + "  " + Shown(a) + " -> " + Shown(b) + "  " + change;
        const int direction = BetterDirection(key);
        const double loss = direction > 0 ? -percent : direction < 0 ? percent : 0;
        if (direction != 0 && failSet && loss > failAbove) {
            char note[64];
            std::snprintf(note, sizeof note, "  WORSE by more than %g%%", failAbove);
            line += note;
            ++worse;
        }
        text += line + "\n";
    }
    if (worse > 0)
        text += std::to_string(worse) + " performance figure" + (worse == 1 ? "" : "s") + " got worse\n";
    return WriteOut(text, worse > 0 ? 1 : kExitOk);
}

} // namespace

void AddDiffCommand(CLI::App& app, const GlobalOptions&, CommandAction* action)
{
    CLI::App* command = app.add_subcommand("diff", "Compare two saved --json reports value by value");
    auto oldPath = std::make_shared<std::string>();
    auto newPath = std::make_shared<std::string>();
    auto failAbove = std::make_shared<double>(0);
    command->add_option("OLD", *oldPath, "the earlier report")->required();
    command->add_option("NEW", *newPath, "the later report")->required();
    CLI::Option* fail = command->add_option("--fail-above", *failAbove,
                                            "exit 1 when a performance figure got worse by more than PCT percent")
                            ->check(CLI::NonNegativeNumber);
    command->footer("Performance figures: keys ending in _per_second (higher is better) and keys\n"
                    "ending in _seconds with \"latency\" in the name (lower is better).\n"
                    "Exit status: 0; 1 when --fail-above is given and a figure got worse by more;\n"
                    "64 when a report cannot be read.");
    command->callback([action, oldPath, newPath, failAbove, fail]() {
        const bool failSet = fail->count() > 0;
        *action = [oldPath, newPath, failAbove, failSet]() {
            return Diff(*oldPath, *newPath, *failAbove, failSet);
        };
    });
}

} // namespace Host
