// requirements: answers whether the machine meets a profile, and why.
//
// Every requirement has a minimum and a recommended threshold (0 = not
// required), kept as settings in the judge's list and restored from
// HKEY_CURRENT_USER\Software\Ulmora\Judges\Requirements before each verdict.
// Every requirement is evaluated and published as a finding; the answer
// follows the monitoring-plugin convention (see docs/judges.md).
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <exception>
#include <set>
#include <string>
#include <vector>

#include "ulmora/PluginKitStore.h"
#include "ulmora/Ulmora.h"

namespace {

using Ulmora::Kit::Finding;

const uint32_t kRequirementsJudge = 2102;

enum Answer : uint32_t { kAllMet = 0, kBelowRecommended = 1, kBelowMinimum = 2, kNotMeasured = 3 };

const double kGiB = 1024.0 * 1024.0 * 1024.0;

// How a threshold is compared. Sizes and speeds get the tolerance; counts
// and bits are exact, since a machine has 4 CPUs or it has not.
enum class Kind { Count, Bits, Amount };

struct Requirement {
    const char* key;      // the finding's key
    const char* label;    // for people
    const char* source;   // the result key
    const char* unit;     // the unit word of the values
    Kind kind;
    double minimum;       // defaults: a modest desktop application
    double recommended;
};

const Requirement kRequirements[] = {
    {"cpu.logical", "Logical CPUs", "cpu.logical_count", "count", Kind::Count, 2, 4},
    {"cpu.physical", "Physical cores", "cpu.physical_count", "count", Kind::Count, 0, 0},
    {"memory.total", "Physical memory", "memory.total_bytes", "bytes", Kind::Amount, 4 * kGiB, 8 * kGiB},
    {"storage.program.available", "Available space on the program volume",
     "storage.program.available_bytes", "bytes", Kind::Amount, 10 * kGiB, 50 * kGiB},
    {"storage.temp.available", "Available space on the temporary volume",
     "storage.temp.available_bytes", "bytes", Kind::Amount, 0, 0},
    {"compute.integer.single_thread", "Integer compute, one thread",
     "compute.integer.single_thread_ops_per_second", "ops_per_second", Kind::Amount, 0, 0},
    {"compute.float.single_thread", "Floating-point compute, one thread",
     "compute.float.single_thread_ops_per_second", "ops_per_second", Kind::Amount, 0, 0},
    {"compute.integer.multi_thread", "Integer compute, all CPUs",
     "compute.integer.multi_thread_ops_per_second", "ops_per_second", Kind::Amount, 0, 0},
    {"compute.float.multi_thread", "Floating-point compute, all CPUs",
     "compute.float.multi_thread_ops_per_second", "ops_per_second", Kind::Amount, 0, 0},
    {"memory.bandwidth", "Memory bandwidth (triad)", "memory.bandwidth.triad_bytes_per_second",
     "bytes_per_second", Kind::Amount, 0, 0},
    {"disk.sequential_write", "Disk sequential write", "disk.sequential_write_bytes_per_second",
     "bytes_per_second", Kind::Amount, 0, 0},
    {"system.process.bits", "Process bits", "system.process.bits", "bits", Kind::Bits, 0, 0},
};

// A machine sold as 4 GB shows 3.8 to 3.9 GiB of usable memory (firmware and
// graphics keep the rest), and volumes are sold in decimal units: 5 % keeps
// such machines from failing a threshold they meet in the shop.
const float kDefaultTolerance = 0.05f;

// Settings identifiers: two per requirement from 1, then these.
const uint32_t kToleranceID = 100;
const uint32_t kFeaturesID = 101;

// Why a threshold value is refused, or null when it is acceptable.
const char* ValueProblem(Kind kind, double value)
{
    if (!std::isfinite(value))
        return "not a number";
    if (value < 0)
        return "negative";
    if (kind != Kind::Amount && value != std::floor(value))
        return "not a whole number";
    if (kind == Kind::Bits && value != 0 && value != 32 && value != 64)
        return "process bits must be 0, 32 or 64";
    return nullptr;
}

// Why a pair of thresholds is refused, or null.
const char* PairProblem(Kind kind, double minimum, double recommended)
{
    if (const char* problem = ValueProblem(kind, minimum))
        return problem;
    if (const char* problem = ValueProblem(kind, recommended))
        return problem;
    if (recommended != 0 && recommended < minimum)
        return "recommended below minimum";
    return nullptr;
}

// Refuses a threshold that makes no sense, seen together with its partner.
class ThresholdValidator : public ParameterValidatorTemplate<float, TypeFloat, ParameterFloat> {
public:
    void Bind(Kind kind, bool isMinimum, const float* partner)
    {
        m_Kind = kind;
        m_IsMinimum = isMinimum;
        m_Partner = partner;
    }

    bool AllowParameterChange(Parameter*, const void* value, uint32_t) override
    {
        const double proposed = *static_cast<const float*>(value);
        return m_IsMinimum ? PairProblem(m_Kind, proposed, *m_Partner) == nullptr
                           : PairProblem(m_Kind, *m_Partner, proposed) == nullptr;
    }

private:
    Kind m_Kind = Kind::Amount;
    bool m_IsMinimum = true;
    const float* m_Partner = nullptr;
};

class ToleranceValidator : public ParameterValidatorTemplate<float, TypeFloat, ParameterFloat> {
public:
    bool AllowParameterChange(Parameter*, const void* value, uint32_t) override
    {
        const float proposed = *static_cast<const float*>(value);
        return std::isfinite(proposed) && proposed >= 0 && proposed <= 0.5f;
    }
};

// Feature names are lower-case words; anything else in the list is a typo
// that would never match and is refused.
class FeaturesValidator : public ParameterValidatorTemplate<std::string, TypeString, ParameterString> {
public:
    bool AllowParameterChange(Parameter*, const void* value, uint32_t) override
    {
        for (const char* c = static_cast<const char*>(value); *c != '\0'; ++c) {
            const unsigned char u = static_cast<unsigned char>(*c);
            if (!std::isalnum(u) && u != '_' && u != '.' && u != '-' && u != ',' && u != ' ')
                return false;
        }
        return true;
    }
};

std::vector<std::string> SplitFeatures(const std::string& text)
{
    std::vector<std::string> features;
    std::string word;
    for (size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : ',';
        if (c == ',') {
            if (!word.empty())
                features.push_back(word);
            word.clear();
        } else if (c != ' ') {
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return features;
}

std::string Join(const std::vector<std::string>& words, const char* separator)
{
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : separator) + word;
    return text;
}

// Thresholds are floats; whole ones are shown without an exponent.
std::string ThresholdText(float value)
{
    const double wide = value;
    if (wide == std::floor(wide) && std::fabs(wide) < 1e18) {
        char text[32];
        std::snprintf(text, sizeof text, "%.0f", wide);
        return text;
    }
    for (int digits = 6; digits < 9; ++digits) {
        char text[32];
        std::snprintf(text, sizeof text, "%.*g", digits, wide);
        if (std::strtof(text, nullptr) == value)
            return text;
    }
    return Finding::Number(wide);
}

std::string Percent(double ratio)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %%", ratio * 100.0);
    return text;
}

// The first value of a result key as a number. False, with the reason, when
// it is missing or is no number.
bool ReadNumber(const Ulmora::IResultDatabase* database, const char* key, double* value,
                std::string* reason)
{
    std::string text;
    try {
        text = database->GetString("%s", 0, key);
    } catch (const Ulmora::ResultDBException&) {
        *reason = std::string("no value for ") + key;
        return false;
    }
    const char* begin = text.c_str();
    char* end = nullptr;
    const double number = std::strtod(begin, &end);
    while (end != nullptr && *end != '\0' && std::isspace(static_cast<unsigned char>(*end)))
        ++end;
    if (end == begin || *end != '\0' || !std::isfinite(number) || number < 0) {
        *reason = std::string(key) + " holds \"" + text + "\", which is no measurement";
        return false;
    }
    *value = number;
    return true;
}

struct Entry {
    const Requirement* definition = nullptr;
    std::string minimumName;
    std::string recommendedName;
    float* minimum = nullptr;
    float* recommended = nullptr;
    ThresholdValidator minimumValidator;
    ThresholdValidator recommendedValidator;
    Finding* finding = nullptr;
    std::string restoreNote;  // why stored thresholds were refused, if they were
};

std::string SettingName(const char* key, const char* tier, const char* unit)
{
    std::string name = key;
    for (char& c : name) {
        if (c == '.')
            c = '_';
    }
    return name + "_" + tier + "_" + unit;
}

// Everything the judge keeps between its instances: the library holds the
// list after the instance that offered it is gone, and SaveResults runs on
// a fresh instance.
class Judge {
public:
    Judge() : m_Published("Requirements", "Requirements", "Software\\Ulmora\\Judges")
    {
        uint32_t id = 1;
        for (const Requirement& definition : kRequirements) {
            m_Entries.emplace_back();
            Entry& entry = m_Entries.back();
            entry.definition = &definition;
            entry.minimumName = SettingName(definition.key, "minimum", definition.unit);
            entry.recommendedName = SettingName(definition.key, "recommended", definition.unit);
            const std::string minimumTitle = std::string(definition.label) + ", minimum";
            const std::string recommendedTitle = std::string(definition.label) + ", recommended";
            entry.minimum = &m_Published.AddSetting(
                id++, entry.minimumName.c_str(), minimumTitle.c_str(),
                "Below this the machine fails; 0 = not required", static_cast<float>(definition.minimum),
                &entry.minimumValidator);
            entry.recommended = &m_Published.AddSetting(
                id++, entry.recommendedName.c_str(), recommendedTitle.c_str(),
                "Below this the machine works but is not recommended; 0 = not required",
                static_cast<float>(definition.recommended), &entry.recommendedValidator);
            entry.minimumValidator.Bind(definition.kind, true, entry.recommended);
            entry.recommendedValidator.Bind(definition.kind, false, entry.minimum);
        }
        m_Tolerance = &m_Published.AddSetting(
            kToleranceID, "tolerance_ratio", "Tolerance",
            "A size or speed this fraction below its threshold still meets it (0 to 0.5)",
            kDefaultTolerance, &m_ToleranceValidator);
        m_Features = &m_Published.AddTextSetting(
            kFeaturesID, "cpu_features", "Required CPU features",
            "Comma-separated CPU feature names the machine must have, such as sse2, avx2", "",
            &m_FeaturesValidator);
        for (Entry& entry : m_Entries)
            entry.finding = &m_Published.AddFinding(entry.definition->key, entry.definition->label);
        m_FeaturesFinding = &m_Published.AddFinding("cpu.features", "Required CPU features");
    }

    ParameterList* List() { return &m_Published.List(); }

    uint32_t Interpret(const Ulmora::IResultDatabase* database)
    {
        Restore();
        uint32_t answer = kAllMet;
        std::vector<std::string> belowMinimum, belowRecommended, notMeasured;
        for (Entry& entry : m_Entries) {
            const char* status = Evaluate(entry, database);
            Tally(status, entry.definition->label, &belowMinimum, &belowRecommended, &notMeasured);
        }
        Tally(EvaluateFeatures(database), "Required CPU features", &belowMinimum,
              &belowRecommended, &notMeasured);

        // A missed minimum is a definite failure and outranks a value that
        // could not be measured; that in turn outranks a missed recommendation.
        std::string summary;
        if (!belowMinimum.empty())
            answer = kBelowMinimum;
        else if (!notMeasured.empty())
            answer = kNotMeasured;
        else if (!belowRecommended.empty())
            answer = kBelowRecommended;
        if (answer == kAllMet) {
            summary = "every requirement met";
        } else {
            const struct {
                const char* what;
                const std::vector<std::string>* labels;
            } parts[] = {{"below minimum: ", &belowMinimum},
                         {"not measured: ", &notMeasured},
                         {"below recommended: ", &belowRecommended}};
            for (const auto& part : parts) {
                if (!part.labels->empty())
                    summary += (summary.empty() ? "" : "; ") + std::string(part.what) +
                               Join(*part.labels, ", ");
            }
        }
        m_Published.SetVerdict(answer, summary);
        return answer;
    }

    // A verdict that could not be reached is no verdict on the machine.
    uint32_t Fail(const std::string& reason)
    {
        m_Published.SetVerdict(kNotMeasured, "could not judge: " + reason);
        return kNotMeasured;
    }

    void Save() { Ulmora::Kit::SaveLast(m_Published); }

private:
    static void Tally(const char* status, const std::string& label, std::vector<std::string>* minimum,
                      std::vector<std::string>* recommended, std::vector<std::string>* unmeasured)
    {
        if (status == kStatusBelowMinimum)
            minimum->push_back(label);
        else if (status == kStatusBelowRecommended)
            recommended->push_back(label);
        else if (status == kStatusUnmeasuredRequired)
            unmeasured->push_back(label);
    }

    // Reads the stored settings into a scratch list first: a pair such as
    // minimum 8, recommended 16 must be applied in the order that keeps
    // every step valid, and a stored pair that is nonsense is refused whole.
    void Restore()
    {
        std::deque<float> scratch;
        ParameterList stored;
        stored.SetName(m_Published.List().GetName());
        uint32_t id = 1;
        for (Entry& entry : m_Entries) {
            scratch.push_back(*entry.minimum);
            stored.AddParameterFloat(id++, entry.minimumName, entry.minimumName, "", &scratch.back(),
                                     nullptr, false, true);
            scratch.push_back(*entry.recommended);
            stored.AddParameterFloat(id++, entry.recommendedName, entry.recommendedName, "",
                                     &scratch.back(), nullptr, false, true);
        }
        scratch.push_back(*m_Tolerance);
        stored.AddParameterFloat(kToleranceID, "tolerance_ratio", "tolerance_ratio", "",
                                 &scratch.back(), nullptr, false, true);
        std::string features = *m_Features;
        stored.AddParameterString(kFeaturesID, "cpu_features", "cpu_features", "", &features, nullptr,
                                  false, true);
        Ulmora::RegConfigReader().ReadConfig(HKEY_CURRENT_USER, m_Published.SettingsPath().c_str(),
                                             &stored);

        ParameterList& list = m_Published.List();
        id = 1;
        size_t at = 0;
        for (Entry& entry : m_Entries) {
            const float minimum = scratch[at++];
            const float recommended = scratch[at++];
            Parameter* minimumParameter = list.FindParameter(id++);
            Parameter* recommendedParameter = list.FindParameter(id++);
            entry.restoreNote.clear();
            if (minimum == *entry.minimum && recommended == *entry.recommended)
                continue;
            if (const char* problem = PairProblem(entry.definition->kind, minimum, recommended)) {
                entry.restoreNote = "stored thresholds " + ThresholdText(minimum) + " / " +
                                    ThresholdText(recommended) + " refused (" + problem + ")";
                continue;
            }
            // Raising the minimum past the current recommendation needs the
            // new recommendation in place first.
            const bool minimumFirst = *entry.recommended == 0 || minimum <= *entry.recommended;
            if (minimumFirst) {
                minimumParameter->SetValue(&minimum, 0);
                recommendedParameter->SetValue(&recommended, 0);
            } else {
                recommendedParameter->SetValue(&recommended, 0);
                minimumParameter->SetValue(&minimum, 0);
            }
        }
        list.FindParameter(kToleranceID)->SetValue(&scratch[at], 0);
        list.FindParameter(kFeaturesID)->SetValue(features.c_str(), 0);
    }

    const char* Evaluate(Entry& entry, const Ulmora::IResultDatabase* database)
    {
        const Requirement& definition = *entry.definition;
        Finding& finding = *entry.finding;
        const double minimum = *entry.minimum;
        const double recommended = *entry.recommended;
        const double tolerance = definition.kind == Kind::Amount ? static_cast<double>(*m_Tolerance) : 0.0;
        const bool required = minimum > 0 || recommended > 0;
        finding.minimum = ThresholdText(*entry.minimum);
        finding.recommended = ThresholdText(*entry.recommended);
        finding.unit = definition.unit;
        finding.toleranceRatio = definition.kind == Kind::Amount ? ThresholdText(*m_Tolerance) : "0";
        finding.source = definition.source;
        finding.note.clear();

        double value = 0;
        std::string reason;
        const char* status = kStatusMet;
        if (!ReadNumber(database, definition.source, &value, &reason)) {
            finding.status = kStatusNotMeasured;
            finding.measured.clear();
            finding.note = required ? reason : "not required; " + reason;
            status = required ? kStatusUnmeasuredRequired : kStatusNotMeasured;
        } else {
            finding.measured = Finding::Number(value);
            if (!required) {
                finding.note = "not required";
            } else if (minimum > 0 && value < minimum * (1 - tolerance)) {
                status = kStatusBelowMinimum;
                finding.note = Percent(1 - value / minimum) + " below the minimum";
            } else if (recommended > 0 && value < recommended * (1 - tolerance)) {
                status = kStatusBelowRecommended;
                finding.note = Percent(1 - value / recommended) + " below the recommended value";
                if (minimum > 0 && value < minimum)
                    finding.note += "; the minimum is met within tolerance (" +
                                    Percent(1 - value / minimum) + " below it)";
            } else if (recommended > 0 && value < recommended) {
                finding.note = "met within tolerance: " + Percent(1 - value / recommended) +
                               " below the recommended value";
            } else if (minimum > 0 && value < minimum) {
                finding.note = "met within tolerance: " + Percent(1 - value / minimum) +
                               " below the minimum";
            }
            finding.status = status;
        }
        if (!entry.restoreNote.empty())
            finding.note += (finding.note.empty() ? "" : "; ") + entry.restoreNote;
        return status;
    }

    const char* EvaluateFeatures(const Ulmora::IResultDatabase* database)
    {
        Finding& finding = *m_FeaturesFinding;
        const std::vector<std::string> required = SplitFeatures(*m_Features);
        finding.minimum = required.empty() ? "0" : Join(required, ",");
        finding.recommended = "0";
        finding.unit.clear();
        finding.toleranceRatio = "0";
        finding.source = "cpu.features";
        finding.note.clear();

        std::set<std::string> present;
        bool measured = false;
        try {
            const uint32_t count = database->GetValueCount("%s", "cpu.features");
            for (uint32_t i = 0; i < count; ++i) {
                std::string name = database->GetString("%s", i, "cpu.features");
                for (char& c : name)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                present.insert(name);
            }
            measured = count > 0;
        } catch (const Ulmora::ResultDBException&) {
            measured = false;
        }
        if (!measured) {
            finding.status = kStatusNotMeasured;
            finding.measured.clear();
            finding.note = required.empty() ? "not required; no value for cpu.features"
                                            : "no value for cpu.features";
            return required.empty() ? kStatusNotMeasured : kStatusUnmeasuredRequired;
        }
        std::vector<std::string> found, missing;
        for (const std::string& feature : required)
            (present.count(feature) != 0 ? found : missing).push_back(feature);
        finding.measured = Join(found, ",");
        if (required.empty()) {
            finding.status = kStatusMet;
            finding.note = "not required";
            return kStatusMet;
        }
        if (!missing.empty()) {
            finding.status = kStatusBelowMinimum;
            finding.note = "missing: " + Join(missing, ", ");
            return kStatusBelowMinimum;
        }
        finding.status = kStatusMet;
        return kStatusMet;
    }

    static const char* const kStatusMet;
    static const char* const kStatusBelowRecommended;
    static const char* const kStatusBelowMinimum;
    static const char* const kStatusNotMeasured;
    // Not a published status: "not measured" for a requirement that counts.
    static const char* const kStatusUnmeasuredRequired;

    // The validators must outlive the list, so the entries come first.
    std::deque<Entry> m_Entries;
    ToleranceValidator m_ToleranceValidator;
    FeaturesValidator m_FeaturesValidator;
    Ulmora::Kit::PublishedList m_Published;
    float* m_Tolerance = nullptr;
    std::string* m_Features = nullptr;
    Finding* m_FeaturesFinding = nullptr;
};

const char* const Judge::kStatusMet = "met";
const char* const Judge::kStatusBelowRecommended = "below recommended";
const char* const Judge::kStatusBelowMinimum = "below minimum";
const char* const Judge::kStatusNotMeasured = "not measured";
const char* const Judge::kStatusUnmeasuredRequired = "not measured (required)";

Judge& TheJudge()
{
    static Judge judge;
    return judge;
}

class RequirementsJudge : public Ulmora::IInterpreter {
public:
    ParameterList* GetParameterList() override { return TheJudge().List(); }

    uint32_t Interpret(const Ulmora::IResultDatabase* database) override
    {
        // Nothing may escape into the run: a judge that cannot judge says so.
        try {
            return TheJudge().Interpret(database);
        } catch (const Ulmora::Exception& error) {
            return TheJudge().Fail(error.GetErrorMsg());
        } catch (const std::exception& error) {
            return TheJudge().Fail(error.what());
        }
    }

    void SaveResults() override { TheJudge().Save(); }
};

} // namespace

ULMORA_JUDGE(RequirementsJudge, "requirements", kRequirementsJudge, 1)
