#include <cmath>
#include <cstdio>
#include <string>

#include "report/Formats.h"

namespace Host {

namespace {

// Performance data values take [-0-9.] only: no exponent, no unit inside.
std::string Plain(double value)
{
    char text[64];
    if (std::fabs(value - std::round(value)) < 1e-9 && std::fabs(value) < 1e18)
        std::snprintf(text, sizeof text, "%.0f", value);
    else
        std::snprintf(text, sizeof text, "%.6f", value);
    return text;
}

// The label in single quotes, a quote inside written twice; '=' would end
// the label for some parsers and becomes '_'.
std::string Quoted(const std::string& label)
{
    std::string valid;
    ToValidUtf8(label, &valid);
    std::string out = "'";
    for (const char c : valid) {
        if (c == '\'')
            out += "''";
        else if (c == '=')
            out += '_';
        else if (static_cast<unsigned char>(c) < 0x20 || c == '|')
            out += ' ';
        else
            out += c;
    }
    return out + "'";
}

// The summary must stay on the status line, before the '|'.
std::string OneLine(const std::string& text)
{
    std::string valid;
    ToValidUtf8(text, &valid);
    for (char& c : valid)
        if (static_cast<unsigned char>(c) < 0x20 || c == '|')
            c = ' ';
    return valid;
}

// Units the format knows: bytes (B) and seconds (s); anything else is a
// plain number of things.
const char* Uom(const std::string& unit)
{
    if (unit == "bytes")
        return "B";
    if (unit == "seconds")
        return "s";
    return "";
}

} // namespace

std::string MonitoringPluginReport(const Report& report, int* status)
{
    *status = report.answer <= 3 ? static_cast<int>(report.answer) : 3;
    std::string summary;
    size_t checked = 0, failed = 0;
    for (const JudgeRecord& judge : report.judges) {
        if (!judge.summary.empty())
            summary += (summary.empty() ? "" : "; ") + OneLine(judge.summary);
        for (const FindingRecord& finding : judge.findings) {
            if (finding.status == "info" || finding.status.empty())
                continue;
            ++checked;
            if (finding.status != "met")
                ++failed;
        }
    }
    if (summary.empty())
        summary = std::to_string(report.probes.size()) + " probes ran, " +
                  (report.judges.empty() ? std::string("no judge gave a verdict")
                                         : std::to_string(checked) + " requirements checked, " +
                                               std::to_string(failed) + " not met");
    std::string line = "ULMORA " + StatusWord(static_cast<uint32_t>(*status)) + " - " + summary;

    // Each finding with a measured value: the thresholds as "alert below"
    // ranges ("N:"), recommended as warning and minimum as critical.
    std::string perfdata;
    for (const JudgeRecord& judge : report.judges) {
        for (const FindingRecord& finding : judge.findings) {
            double measured = 0.0;
            if (!ParseNumber(finding.measured, &measured))
                continue;
            std::string item = Quoted(finding.key) + "=" + Plain(measured) + Uom(finding.unit);
            double minimum = 0.0, recommended = 0.0;
            const bool hasMinimum = ParseNumber(finding.minimum, &minimum) && minimum != 0.0;
            const bool hasRecommended =
                ParseNumber(finding.recommended, &recommended) && recommended != 0.0;
            std::string warn = hasRecommended ? Plain(recommended) + ":" : "";
            std::string crit = hasMinimum ? Plain(minimum) + ":" : "";
            if (!warn.empty() || !crit.empty())
                item += ";" + warn + ";" + crit;
            perfdata += (perfdata.empty() ? "" : " ") + item;
        }
    }
    std::string duration = "'duration'=" + Plain(report.seconds) + "s;;;0";
    perfdata += (perfdata.empty() ? "" : " ") + duration;
    return line + " | " + perfdata + "\n";
}

namespace {

std::string Escaped(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

} // namespace

std::string PlainReport(const Report& report)
{
    // Built from the database itself, not from its text form, so that a
    // value's own tabs and newlines can be told from the separators.
    std::string out;
    if (report.database == nullptr)
        return out;
    for (const auto& entry : report.database->Values())
        for (const std::string& value : entry.second)
            out += Escaped(entry.first) + "\t" + Escaped(value) + "\n";
    return out;
}

} // namespace Host
