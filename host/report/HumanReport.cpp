#include <cstdio>
#include <string>
#include <vector>

#include "HostInfo.h"
#include "report/Formats.h"

namespace Host {

namespace {

// ANSI styles, or nothing when colour is off.
struct Style {
    bool on;
    std::string Wrap(const char* code, const std::string& text) const
    {
        return on ? std::string("\x1b[") + code + "m" + text + "\x1b[0m" : text;
    }
    std::string Bold(const std::string& text) const { return Wrap("1", text); }
    std::string Dim(const std::string& text) const { return Wrap("2", text); }
    std::string Green(const std::string& text) const { return Wrap("32", text); }
    std::string Yellow(const std::string& text) const { return Wrap("33", text); }
    std::string Red(const std::string& text) const { return Wrap("31", text); }
};

// Control characters would break the layout (and could drive the
// terminal), so they are shown escaped.
std::string Printable(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (u < 0x20 || u == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        } else
            out += c;
    }
    std::string valid;
    ToValidUtf8(out, &valid);
    return valid;
}

std::string Pad(const std::string& text, size_t width)
{
    // Counts code points, so that "µs" lines up.
    size_t shown = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++shown;
    return shown >= width ? text + " " : text + std::string(width - shown, ' ');
}

// "memory.swap.total_bytes" under the prefix "memory." reads "swap total".
std::string Label(const std::string& key, const std::string& prefix)
{
    std::string label = key.compare(0, prefix.size(), prefix) == 0 ? key.substr(prefix.size()) : key;
    const std::string unit = UnitOf(key);
    if (!unit.empty() && label.size() > unit.size())
        label.erase(label.size() - unit.size() - 1);
    for (char& c : label)
        if (c == '_' || c == '.')
            c = ' ';
    return label;
}

std::string PrefixOf(const ProbeRecord& probe)
{
    for (const KeyValues& entry : probe.values) {
        const size_t at = entry.key.rfind(".status");
        if (at != std::string::npos && at + 7 == entry.key.size())
            return entry.key.substr(0, at + 1);
    }
    if (!probe.values.empty()) {
        const size_t dot = probe.values.front().key.find('.');
        if (dot != std::string::npos)
            return probe.values.front().key.substr(0, dot + 1);
    }
    return std::string();
}

std::string Mark(const Style& style, const std::string& status)
{
    if (status == "met")
        return style.Green("  ok  ");
    if (status == "below recommended")
        return style.Yellow(" WARN ");
    if (status == "below minimum")
        return style.Red(" FAIL ");
    if (status == "not measured")
        return style.Yellow("  ??  ");
    return style.Dim(" info ");
}

std::string Threshold(const FindingRecord& finding)
{
    std::vector<std::string> parts;
    double value = 0.0;
    if (ParseNumber(finding.minimum, &value) && value != 0.0)
        parts.push_back("minimum " + HumanValue(finding.unit, finding.minimum));
    if (ParseNumber(finding.recommended, &value) && value != 0.0)
        parts.push_back("recommended " + HumanValue(finding.unit, finding.recommended));
    if (ParseNumber(finding.toleranceRatio, &value) && value != 0.0)
        parts.push_back("tolerance " + HumanValue("ratio", finding.toleranceRatio));
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

} // namespace

std::string HumanReport(const Report& report, bool colour)
{
    const Style style{colour};
    std::string out;
    std::string os = report.Value("system.os.pretty_name");
    if (os.empty())
        os = (report.Value("system.os.name") + " " + report.Value("system.os.version"));
    if (os == " ")
        os = "unknown";
    std::string cpu = report.Value("cpu.model");
    const std::string logical = report.Value("cpu.logical_count");
    if (!logical.empty())
        cpu += (cpu.empty() ? "" : ", ") + logical + " logical CPUs";
    const std::string memory = report.Value("memory.total_bytes");

    out += style.Bold("ulmora " + std::string(ToolVersion())) + " - machine check\n";
    out += "  OS      " + Printable(os) + "\n";
    out += "  CPU     " + Printable(cpu.empty() ? "unknown" : cpu) + "\n";
    out += "  Memory  " + (memory.empty() ? std::string("unknown") : HumanValue("bytes", memory)) +
           "\n";

    for (const ProbeRecord& probe : report.probes) {
        out += "\n" + style.Bold(probe.name.empty() ? "(unnamed probe)" : Printable(probe.name));
        out += style.Dim("  " + HumanValue("seconds", std::to_string(probe.seconds)));
        const std::string status = probe.Status();
        if (!status.empty() && status != "ok")
            out += "  " + style.Yellow(Printable(status));
        out += "\n";
        const std::string prefix = PrefixOf(probe);
        size_t width = 0;
        for (const KeyValues& entry : probe.values)
            width = std::max(width, Label(entry.key, prefix).size());
        for (const KeyValues& entry : probe.values) {
            if (entry.key == prefix + "status")
                continue;
            const std::string unit = UnitOf(entry.key);
            std::string shown;
            for (const std::string& value : entry.values)
                shown += (shown.empty() ? "" : ", ") + Printable(HumanValue(unit, value));
            out += "  " + Pad(Printable(Label(entry.key, prefix)), width + 1) + " " + shown + "\n";
        }
    }

    bool anyJudge = false;
    for (const JudgeRecord& judge : report.judges) {
        if (!judge.publishesVerdict && judge.findings.empty())
            continue;
        anyJudge = true;
        out += "\n" + style.Bold(Printable(judge.title.empty() ? judge.name : judge.title));
        if (!judge.summary.empty())
            out += ": " + Printable(judge.summary);
        out += "\n";
        size_t width = 0;
        for (const FindingRecord& finding : judge.findings)
            width = std::max(width, finding.label.size());
        for (const FindingRecord& finding : judge.findings) {
            std::string line = "  " + Mark(style, finding.status) + " " +
                               Pad(Printable(finding.label.empty() ? finding.key : finding.label),
                                   width + 1);
            line += finding.measured.empty() ? std::string("not measured")
                                             : Printable(HumanValue(finding.unit, finding.measured));
            const std::string threshold = Threshold(finding);
            if (!threshold.empty())
                line += style.Dim("  (" + threshold + ")");
            if (!finding.note.empty())
                line += style.Dim("  " + Printable(finding.note));
            out += line + "\n";
        }
    }
    if (!anyJudge)
        out += "\nNo judge published a verdict (none installed, or none with findings).\n";

    const std::string word = StatusWord(report.answer);
    std::string summary = word;
    if (report.answer == 0)
        summary = style.Green(summary);
    else if (report.answer == 1 || report.answer >= 3)
        summary = style.Yellow(summary);
    else
        summary = style.Red(summary);
    std::string verdicts;
    for (const JudgeRecord& judge : report.judges)
        if (!judge.summary.empty())
            verdicts += (verdicts.empty() ? "" : "; ") + Printable(judge.summary);
    out += "\n" + style.Bold("Result: ") + summary + " - " + std::to_string(report.probes.size()) +
           " probes in " + HumanValue("seconds", std::to_string(report.seconds));
    if (!verdicts.empty())
        out += "; " + verdicts;
    out += " (exit " + std::to_string(AnswerStatus(report.answer)) + ")\n";
    return out;
}

} // namespace Host
