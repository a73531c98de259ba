#include <cstdio>
#include <ctime>
#include <string>

#include <nlohmann/json.hpp>

#include "HostInfo.h"
#include "report/Formats.h"
#include "ulmora/PluginManager.h"

namespace Host {

namespace {

using nlohmann::json;

json Text(const std::string& text)
{
    std::string valid;
    ToValidUtf8(text, &valid);
    return json(valid);
}

bool IsInteger(const std::string& text)
{
    if (text.empty() || text.size() > 20)
        return false;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size())
        return false;
    for (; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

// A number where the key's unit says so and the text is one, exactly: 64-bit
// integers stay integers, other numbers become the double they spell.
json Value(const std::string& key, const std::string& text)
{
    if (IsNumericKey(key)) {
        if (IsInteger(text)) {
            try {
                if (text[0] == '-')
                    return json(static_cast<int64_t>(std::stoll(text)));
                return json(static_cast<uint64_t>(std::stoull(text)));
            } catch (const std::exception&) {
                // Out of range: kept as text below.
            }
        }
        double number = 0.0;
        if (!IsInteger(text) && ParseNumber(text, &number))
            return json(number);
    }
    return Text(text);
}

json NumberOrNull(const std::string& text)
{
    double number = 0.0;
    if (IsInteger(text)) {
        try {
            return json(static_cast<int64_t>(std::stoll(text)));
        } catch (const std::exception&) {
        }
    }
    if (ParseNumber(text, &number))
        return json(number);
    return json(nullptr);
}

std::string Hex(const std::string& bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        const unsigned char u = static_cast<unsigned char>(c);
        out += kDigits[u >> 4];
        out += kDigits[u & 15];
    }
    return out;
}

std::string UtcTime(std::time_t time)
{
    std::tm utc = {};
#ifdef _WIN32
    gmtime_s(&utc, &time);
#else
    gmtime_r(&time, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

json TextOrNull(const Report& report, const std::string& key)
{
    const std::string value = report.Value(key);
    return value.empty() ? json(nullptr) : Text(value);
}

} // namespace

std::string JsonReport(const Report& report)
{
    json document = json::object();
    document["schema"] = "ulmora.report/1";
    document["tool"] = {{"name", "ulmora"}, {"version", ToolVersion()}};
    document["library"] = {{"name", "Ulmora"},
                           {"version", LibraryVersion()},
                           {"plugin_api", PluginManagerAPI::kPluginAPIVersion}};
    document["time"] = {{"started", UtcTime(report.started)},
                        {"started_unix_seconds", static_cast<int64_t>(report.started)},
                        {"duration_seconds", report.seconds}};
    json memory = NumberOrNull(report.Value("memory.total_bytes"));
    document["machine"] = {{"hostname", TextOrNull(report, "system.hostname")},
                           {"os", TextOrNull(report, "system.os.pretty_name")},
                           {"kernel", TextOrNull(report, "system.kernel.version")},
                           {"arch", TextOrNull(report, "system.arch")},
                           {"cpu_model", TextOrNull(report, "cpu.model")},
                           {"memory_total_bytes", memory}};

    json probes = json::array();
    for (const ProbeRecord& probe : report.probes) {
        json values = json::object();
        json raw = json::object();
        for (const KeyValues& entry : probe.values) {
            std::string key;
            const bool keyReplaced = ToValidUtf8(entry.key, &key);
            bool replaced = keyReplaced;
            json list = json::array();
            for (const std::string& value : entry.values) {
                std::string valid;
                replaced = ToValidUtf8(value, &valid) || replaced;
                list.push_back(Value(entry.key, value));
            }
            values[key] = list.size() == 1 ? list[0] : list;
            if (replaced) {
                json bytes = json::array();
                for (const std::string& value : entry.values)
                    bytes.push_back(Hex(value));
                raw[key] = {{"key_hex", Hex(entry.key)}, {"values_hex", bytes}};
            }
        }
        json item = {{"name", Text(probe.name)},
                     {"id", probe.id},
                     {"version", probe.version},
                     {"status", Text(probe.Status())},
                     {"duration_seconds", probe.seconds},
                     {"values", values}};
        if (!raw.empty())
            item["raw_values"] = raw;
        probes.push_back(item);
    }
    document["probes"] = probes;

    json judges = json::array();
    for (const JudgeRecord& judge : report.judges) {
        json findings = json::array();
        for (const FindingRecord& finding : judge.findings) {
            findings.push_back({{"key", Text(finding.key)},
                                {"label", Text(finding.label)},
                                {"status", Text(finding.status)},
                                {"measured", NumberOrNull(finding.measured)},
                                {"minimum", NumberOrNull(finding.minimum)},
                                {"recommended", NumberOrNull(finding.recommended)},
                                {"unit", Text(finding.unit)},
                                {"tolerance_ratio", NumberOrNull(finding.toleranceRatio)},
                                {"source", Text(finding.source)},
                                {"note", Text(finding.note)}});
        }
        json item = {{"name", Text(judge.name)}, {"title", Text(judge.title)},
                     {"findings", findings}};
        item["answer"] = judge.publishesVerdict ? json(judge.answer) : json(nullptr);
        item["summary"] = judge.publishesVerdict ? Text(judge.summary) : json(nullptr);
        judges.push_back(item);
    }
    document["judges"] = judges;
    document["answer"] = report.answer;
    document["status"] = StatusWord(report.answer);
    return document.dump(2) + "\n";
}

} // namespace Host
