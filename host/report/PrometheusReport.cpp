#include <cmath>
#include <cstdio>
#include <set>
#include <string>

#include "HostInfo.h"
#include "report/Formats.h"

namespace Host {

namespace {

// A metric name: [a-zA-Z0-9_] only, everything else becomes '_'. A count
// of things has no unit in Prometheus, whose "_count" suffix belongs to
// histograms and summaries, so that unit word is dropped.
std::string MetricName(std::string key)
{
    static const std::string kCount = "_count";
    if (key.size() > kCount.size() && key.compare(key.size() - kCount.size(), kCount.size(), kCount) == 0)
        key.erase(key.size() - kCount.size());
    std::string name = "ulmora_";
    for (const char c : key) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        name += ok ? c : '_';
    }
    return name;
}

// Label values escape backslash, double quote and line feed.
std::string Label(const std::string& text)
{
    std::string valid;
    ToValidUtf8(text, &valid);
    std::string out;
    for (const char c : valid) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

// HELP text escapes backslash and line feed.
std::string Help(const std::string& text)
{
    std::string valid;
    ToValidUtf8(text, &valid);
    std::string out;
    for (const char c : valid) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string Number(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

void Family(std::string* out, const std::string& name, const std::string& help)
{
    *out += "# HELP " + name + " " + Help(help) + "\n# TYPE " + name + " gauge\n";
}

} // namespace

std::string PrometheusReport(const Report& report)
{
    std::string out;
    Family(&out, "ulmora_info", "The ulmora tool and library versions.");
    out += "ulmora_info{version=\"" + Label(ToolVersion()) + "\",library_version=\"" +
           Label(LibraryVersion()) + "\"} 1\n";

    // One gauge per numeric result; several values of a key are told apart
    // by an index label. Two keys that make the same name keep the first.
    std::set<std::string> names = {"ulmora_info", "ulmora_probe_duration_seconds",
                                   "ulmora_requirement_status", "ulmora_answer",
                                   "ulmora_last_run_timestamp_seconds"};
    for (const ProbeRecord& probe : report.probes) {
        for (const KeyValues& entry : probe.values) {
            if (!IsNumericKey(entry.key))
                continue;
            const std::string name = MetricName(entry.key);
            std::string samples;
            for (size_t i = 0; i < entry.values.size(); ++i) {
                double value = 0.0;
                if (!ParseNumber(entry.values[i], &value))
                    continue;
                samples += name;
                if (entry.values.size() > 1)
                    samples += "{index=\"" + std::to_string(i) + "\"}";
                samples += " " + Number(value) + "\n";
            }
            if (samples.empty() || !names.insert(name).second)
                continue;
            Family(&out, name, "Result " + entry.key + " of the " + probe.name + " probe.");
            out += samples;
        }
    }

    Family(&out, "ulmora_probe_duration_seconds", "How long each probe ran.");
    for (const ProbeRecord& probe : report.probes)
        out += "ulmora_probe_duration_seconds{probe=\"" + Label(probe.name) + "\"} " +
               Number(probe.seconds) + "\n";

    // Per requirement and tier: 1 when that tier is met, 0 when it is not
    // (or the value was not measured). Tiers that are not required are left
    // out, and so are findings with no threshold.
    std::string requirements;
    std::set<std::string> seen;
    for (const JudgeRecord& judge : report.judges) {
        for (const FindingRecord& finding : judge.findings) {
            if (finding.status == "info" || finding.status.empty())
                continue;
            const struct {
                const char* tier;
                const std::string& threshold;
                bool met;
            } tiers[] = {
                {"minimum", finding.minimum,
                 finding.status == "met" || finding.status == "below recommended"},
                {"recommended", finding.recommended, finding.status == "met"},
            };
            for (const auto& tier : tiers) {
                double threshold = 0.0;
                if (ParseNumber(tier.threshold, &threshold) && threshold == 0.0)
                    continue;
                const std::string labels = "requirement=\"" + Label(finding.key) + "\",tier=\"" +
                                           tier.tier + "\"";
                if (!seen.insert(labels).second)
                    continue;
                requirements += "ulmora_requirement_status{" + labels + "} " +
                                (tier.met ? "1" : "0") + "\n";
            }
        }
    }
    if (!requirements.empty()) {
        Family(&out, "ulmora_requirement_status",
               "1 when the requirement is met at the tier (minimum or recommended), else 0.");
        out += requirements;
    }

    Family(&out, "ulmora_answer",
           "The judges' answer: 0 met, 1 warning, 2 critical, 3 unknown.");
    out += "ulmora_answer " + std::to_string(report.answer) + "\n";
    Family(&out, "ulmora_last_run_timestamp_seconds", "When the run started, in Unix time.");
    out += "ulmora_last_run_timestamp_seconds " +
           std::to_string(static_cast<long long>(report.started)) + "\n";
    return out;
}

} // namespace Host
