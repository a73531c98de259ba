// score: one number to compare machines.
//
// Each figure is compared with a fixed reference machine on a logarithmic
// scale: 1000 points at the reference, 1000 more for each doubling and 1000
// fewer for each halving, never below 0. A subscore (processor, memory,
// disk) takes the geometric mean of its figures' ratios, so it is the mean of
// their scores; the base score is the lowest subscore. See docs/judges.md.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "ulmora/PluginKitStore.h"
#include "ulmora/Ulmora.h"

namespace {

using Ulmora::Kit::Finding;

const uint32_t kScoreJudge = 2101;

// The reference machine: a four-core desktop with dual-channel memory and a
// SATA solid-state disk.
struct Figure {
    const char* source;
    const char* label;
    double reference;
};

struct Subscore {
    const char* key;
    const char* label;
    std::vector<Figure> figures;
};

const Subscore kSubscores[] = {
    {"score.processor",
     "Processor score",
     {{"compute.integer.single_thread_ops_per_second", "integer, one thread", 1e9},
      {"compute.float.single_thread_ops_per_second", "floating point, one thread", 1e9},
      {"compute.integer.multi_thread_ops_per_second", "integer, all CPUs", 4e9},
      {"compute.float.multi_thread_ops_per_second", "floating point, all CPUs", 4e9}}},
    {"score.memory",
     "Memory score",
     {{"memory.bandwidth.triad_bytes_per_second", "triad", 16e9},
      {"memory.bandwidth.copy_bytes_per_second", "copy", 16e9}}},
    {"score.disk",
     "Disk score",
     {{"disk.sequential_write_bytes_per_second", "sequential write", 500e6},
      {"disk.sequential_read_bytes_per_second", "sequential read", 500e6}}},
};

// 1000 × (1 + log2(ratio)), clamped at 0 and rounded to a whole point.
double ScoreOf(double ratio)
{
    return std::max(0.0, std::round(1000.0 * (1.0 + std::log2(ratio))));
}

bool ReadFigure(const Ulmora::IResultDatabase* database, const char* key, double* value)
{
    std::string text;
    try {
        text = database->GetString("%s", 0, key);
    } catch (const Ulmora::ResultDBException&) {
        return false;
    }
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    // Zero or less has no logarithm; such a figure is a failed measurement.
    if (end == text.c_str() || !std::isfinite(number) || number <= 0)
        return false;
    *value = number;
    return true;
}

std::string RatioText(double ratio)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", ratio);
    return text;
}

class Judge {
public:
    Judge() : m_Published("Score", "Score", "Software\\Ulmora\\Judges")
    {
        for (const Subscore& subscore : kSubscores)
            m_Findings.push_back(&m_Published.AddFinding(subscore.key, subscore.label));
        m_Base = &m_Published.AddFinding("score.base", "Base score");
    }

    ParameterList* List() { return &m_Published.List(); }

    void Interpret(const Ulmora::IResultDatabase* database)
    {
        bool anyMeasured = false;
        double lowest = 0;
        std::string lowestLabel;
        std::vector<std::string> missingSubscores;
        std::string summary;
        for (size_t i = 0; i < m_Findings.size(); ++i) {
            const Subscore& subscore = kSubscores[i];
            Finding& finding = *m_Findings[i];
            Clear(finding);
            double logSum = 0;
            std::vector<std::string> parts, missing, sources;
            for (const Figure& figure : subscore.figures) {
                sources.push_back(figure.source);
                double value = 0;
                if (!ReadFigure(database, figure.source, &value)) {
                    missing.push_back(figure.source);
                    continue;
                }
                const double ratio = value / figure.reference;
                logSum += std::log2(ratio);
                parts.push_back(std::string(figure.label) + " " + RatioText(ratio) + "x reference");
            }
            finding.source = Join(sources, ",");
            const std::string name = Lower(subscore.label);
            if (parts.empty()) {
                finding.status = "not measured";
                finding.note = "no figure measured";
                missingSubscores.push_back(name);
                continue;
            }
            // The geometric mean of the ratios.
            const double score = ScoreOf(std::exp2(logSum / static_cast<double>(parts.size())));
            finding.status = "info";
            finding.measured = Finding::Number(score);
            finding.note = Join(parts, ", ");
            if (!missing.empty())
                finding.note += "; not measured: " + Join(missing, ", ");
            summary += (summary.empty() ? "" : ", ") + ShortName(subscore.key) + " " +
                       Finding::Number(score);
            if (!anyMeasured || score < lowest) {
                lowest = score;
                lowestLabel = name;
            }
            anyMeasured = true;
        }

        Clear(*m_Base);
        m_Base->source.clear();
        if (!anyMeasured) {
            m_Base->status = "not measured";
            m_Base->note = "no subscore measured";
            m_Published.SetVerdict(0, "no score: nothing measured");
            return;
        }
        m_Base->status = "info";
        m_Base->measured = Finding::Number(lowest);
        m_Base->note = "the lowest subscore: " + lowestLabel;
        if (!missingSubscores.empty())
            m_Base->note += "; not measured: " + Join(missingSubscores, ", ");
        m_Published.SetVerdict(0, "base score " + Finding::Number(lowest) + " (" + summary + ")");
    }

    void Fail(const std::string& reason)
    {
        m_Published.SetVerdict(0, "no score: " + reason);
    }

    void Save() { Ulmora::Kit::SaveLast(m_Published); }

private:
    static void Clear(Finding& finding)
    {
        finding.status.clear();
        finding.measured.clear();
        finding.minimum = "0";
        finding.recommended = "0";
        finding.unit = "score";
        finding.toleranceRatio = "0";
        finding.note.clear();
    }

    static std::string Join(const std::vector<std::string>& words, const char* separator)
    {
        std::string text;
        for (const std::string& word : words)
            text += (text.empty() ? "" : separator) + word;
        return text;
    }

    static std::string Lower(const char* text)
    {
        std::string lowered = text;
        for (char& c : lowered)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return lowered;
    }

    // "score.processor" -> "processor".
    static std::string ShortName(const char* key) { return std::string(key).substr(6); }

    Ulmora::Kit::PublishedList m_Published;
    std::vector<Finding*> m_Findings;
    Finding* m_Base = nullptr;
};

Judge& TheJudge()
{
    static Judge judge;
    return judge;
}

class ScoreJudge : public Ulmora::IInterpreter {
public:
    ParameterList* GetParameterList() override { return TheJudge().List(); }

    // Always 0: a score is information, never a reason to end the pass.
    uint32_t Interpret(const Ulmora::IResultDatabase* database) override
    {
        try {
            TheJudge().Interpret(database);
        } catch (const Ulmora::Exception& error) {
            TheJudge().Fail(error.GetErrorMsg());
        } catch (const std::exception& error) {
            TheJudge().Fail(error.what());
        }
        return 0;
    }

    void SaveResults() override { TheJudge().Save(); }
};

} // namespace

ULMORA_JUDGE(ScoreJudge, "score", kScoreJudge, 1)
