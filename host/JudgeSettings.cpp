#include "JudgeSettings.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ModuleCatalogue.h"
#include "ulmora/Registry.h"
#include "ulmora/DebugOutput.h"
#include "ulmora/IInterpreter.h"
#include "ulmora/ParameterList.h"
#include "ulmora/ParameterTypes.h"
#include "ulmora/PluginManager.h"
#include "ulmora/PluginKit.h"
#include "ulmora/RegConfig.h"

namespace Host {
namespace {

using PluginManagerAPI::PluginManager;

// Loads the judge modules as the library does, but stops with the file and
// the reason instead of an exception.
class JudgeLoader : public PluginManager {
public:
    std::string failedPath;
    std::vector<PluginManagerAPI::IPluginDescriptor*> Plugins() const { return m_Plugins; }

protected:
    void GetSearchPatterns(PluginManagerAPI::SearchPatternList& patterns) override
    {
        patterns.emplace_back(ExecutableDirectory(), "*.intr", true);
    }
    ErrorResponse OnEndLoadDLL(std::string path, Error error) override
    {
        if (error == NoError)
            return Continue;
        failedPath = path;
        return Abort;
    }
};

void IgnoreLine(const char*, void*) {}

bool SameText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

SettingValue Read(Parameter* parameter)
{
    SettingValue value;
    switch (parameter->Type()) {
    case TypeFloat: static_cast<ParameterFloat*>(parameter)->GetValue(value.f); break;
    case TypeInt: static_cast<ParameterInt*>(parameter)->GetValue(value.i); break;
    case TypeBool: static_cast<ParameterBool*>(parameter)->GetValue(value.b); break;
    case TypeString:
    case TypeFile: static_cast<ParameterString*>(parameter)->GetValue(value.s); break;
    default: break;
    }
    return value;
}

void Write(Parameter* parameter, const SettingValue& value)
{
    switch (parameter->Type()) {
    case TypeFloat: static_cast<ParameterFloat*>(parameter)->SetValue(value.f); break;
    case TypeInt: static_cast<ParameterInt*>(parameter)->SetValue(value.i); break;
    case TypeBool: static_cast<ParameterBool*>(parameter)->SetValue(value.b); break;
    case TypeString:
    case TypeFile: static_cast<ParameterString*>(parameter)->SetValue(value.s.c_str()); break;
    default: break;
    }
}

// Puts a value back into the bound variable without asking anyone: used to
// undo a trial, so a validator that refuses the old value cannot keep a new one.
void Restore(Parameter* parameter, const SettingValue& value)
{
    void* variable = parameter->GetVariablePointer();
    if (variable == nullptr)
        return;
    switch (parameter->Type()) {
    case TypeFloat: *static_cast<float*>(variable) = value.f; break;
    case TypeInt: *static_cast<int32_t*>(variable) = value.i; break;
    case TypeBool: *static_cast<bool*>(variable) = value.b; break;
    case TypeString:
    case TypeFile: *static_cast<std::string*>(variable) = value.s; break;
    default: break;
    }
}

bool Same(ParameterType type, const SettingValue& a, const SettingValue& b)
{
    switch (type) {
    case TypeFloat: return std::memcmp(&a.f, &b.f, sizeof a.f) == 0 || a.f == b.f;
    case TypeInt: return a.i == b.i;
    case TypeBool: return a.b == b.b;
    default: return a.s == b.s;
    }
}

// A number with an optional size unit: "8 GiB", "1.5GB", "512MiB", "4096".
bool ParseNumber(const std::string& text, double* number, std::string* error)
{
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(start, &end);
    if (end == start || errno == ERANGE || !std::isfinite(value)) {
        *error = "'" + text + "' is not a number";
        return false;
    }
    std::string unit(end);
    while (!unit.empty() && std::isspace(static_cast<unsigned char>(unit.front())))
        unit.erase(unit.begin());
    while (!unit.empty() && std::isspace(static_cast<unsigned char>(unit.back())))
        unit.pop_back();
    static const struct {
        const char* unit;
        double factor;
    } units[] = {
        {"", 1},          {"B", 1},
        {"kB", 1e3},      {"KB", 1e3},          {"KiB", 1024.0},
        {"MB", 1e6},      {"MiB", 1048576.0},
        {"GB", 1e9},      {"GiB", 1073741824.0},
        {"TB", 1e12},     {"TiB", 1099511627776.0},
    };
    for (const auto& known : units) {
        if (unit == known.unit) {
            *number = value * known.factor;
            return true;
        }
    }
    *error = "'" + unit + "' in '" + text + "' is not a size unit (use B, kB, KiB, MB, MiB, GB, GiB, TB or TiB)";
    return false;
}

// The shortest decimal text that reads back as `value`.
std::string Shortest(float value)
{
    char text[64];
    // Whole numbers (byte counts, mostly) read best in full.
    if (value == std::floor(value) && std::fabs(value) < 1e15f) {
        std::snprintf(text, sizeof text, "%.0f", static_cast<double>(value));
        return text;
    }
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        if (std::strtof(text, nullptr) == value)
            break;
    }
    return text;
}

// Floats in the order of their values, as integers, so a range can be
// bisected over every float between two limits.
int64_t FloatKey(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & 0x80000000u) ? -static_cast<int64_t>(bits & 0x7FFFFFFFu) : static_cast<int64_t>(bits);
}

float KeyFloat(int64_t key)
{
    const uint32_t bits = key >= 0 ? static_cast<uint32_t>(key) : (0x80000000u | static_cast<uint32_t>(-key));
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// One end of the accepted range. `accepts` answers for a key; `inside` is
// accepted, `outside` the far end of the type. Returns false when even the far
// end is accepted (no limit on that side); else the last accepted key and
// the first refused one.
template <class Accepts>
bool FindLimit(Accepts accepts, int64_t inside, int64_t outside, int64_t* lastAccepted, int64_t* firstRefused)
{
    if (accepts(outside))
        return false;
    while ((outside > inside ? outside - inside : inside - outside) > 1) {
        const int64_t middle = inside + (outside - inside) / 2;
        if (accepts(middle))
            inside = middle;
        else
            outside = middle;
    }
    *lastAccepted = inside;
    *firstRefused = outside;
    return true;
}

} // namespace

struct JudgeSettings::Loaded {
    JudgeLoader loader;
    std::vector<std::pair<PluginManagerAPI::IPluginDescriptor*, PluginManagerAPI::IPluginInstance*>> instances;
    ~Loaded()
    {
        for (auto& entry : instances)
            entry.first->DestroyInstance(entry.second);
    }
};

JudgeSettings::JudgeSettings() = default;

JudgeSettings::~JudgeSettings()
{
    m_Judges.clear();
    UlmoraSetDebugOutputHandler(IgnoreLine, nullptr);
    m_Loaded.reset();
    UlmoraSetDebugOutputHandler(nullptr, nullptr);
}

bool JudgeSettings::Load(std::string* error)
{
    m_Loaded.reset(new Loaded);
    UlmoraSetDebugOutputHandler(IgnoreLine, nullptr);
    m_Loaded->loader.Load();
    UlmoraSetDebugOutputHandler(nullptr, nullptr);
    if (!m_Loaded->loader.failedPath.empty()) {
        *error = m_Loaded->loader.failedPath + " cannot be loaded: " + m_Loaded->loader.GetLastLoadError();
        return false;
    }
    for (PluginManagerAPI::IPluginDescriptor* descriptor : m_Loaded->loader.Plugins()) {
        PluginManagerAPI::IPluginInstance* instance = descriptor->CreateInstance();
        if (instance == nullptr)
            continue;
        m_Loaded->instances.emplace_back(descriptor, instance);
        auto* interpreter = dynamic_cast<Ulmora::IInterpreter*>(instance);
        ParameterList* list = interpreter != nullptr ? interpreter->GetParameterList() : nullptr;
        if (list == nullptr)
            continue;
        Judge judge;
        judge.name = descriptor->GetName();
        judge.key = list->GetName();
        judge.title = list->GetDisplayName();
        if (judge.title.empty())
            judge.title = judge.key.empty() ? judge.name : judge.key;
        judge.list = list;
        if (Parameter* path = list->FindParameter(Ulmora::Kit::kSettingsPathID)) {
            if (path->Type() == TypeString)
                static_cast<ParameterString*>(path)->GetValue(judge.settingsPath);
        }
        for (uint32_t index = 0; index < list->GetNumParameters(); ++index) {
            Parameter* parameter = list->GetParameter(static_cast<int32_t>(index));
            if (parameter == nullptr)
                continue;
            const ParameterType type = parameter->Type();
            const bool settable = type == TypeFloat || type == TypeInt || type == TypeBool ||
                                  type == TypeString || type == TypeFile;
            if (!parameter->IsVisible() || parameter->IsReadOnly() || !settable) {
                judge.otherNames.push_back(parameter->GetName());
                continue;
            }
            Setting setting;
            setting.parameter = parameter;
            setting.name = parameter->GetName();
            setting.title = parameter->GetDisplayName();
            setting.description = parameter->GetDescription();
            setting.defaultValue = Read(parameter);
            setting.defaultText = ValueText(setting);
            judge.settings.push_back(setting);
        }
        // The defaults are what the judge starts with; then its stored values.
        Ulmora::RegConfigReader().ReadConfig(HKEY_CURRENT_USER, judge.settingsPath.c_str(), list);
        m_Judges.push_back(std::move(judge));
    }
    // Files of one folder come in the platform's order; people and profiles
    // get the judges by name.
    std::stable_sort(m_Judges.begin(), m_Judges.end(),
                     [](const Judge& a, const Judge& b) { return a.name < b.name; });
    return true;
}

Setting* JudgeSettings::Find(const std::string& name, Judge** judgeFound, std::string* error)
{
    std::vector<std::pair<Judge*, Setting*>> matches;
    for (Judge& judge : m_Judges) {
        for (Setting& setting : judge.settings) {
            if (SameText(setting.name, name))
                matches.emplace_back(&judge, &setting);
        }
    }
    if (matches.empty()) {
        const std::string::size_type dot = name.find('.');
        if (dot != std::string::npos) {
            const std::string judgeName = name.substr(0, dot), rest = name.substr(dot + 1);
            for (Judge& judge : m_Judges) {
                if (!SameText(judge.name, judgeName) && !SameText(judge.key, judgeName))
                    continue;
                for (Setting& setting : judge.settings) {
                    if (SameText(setting.name, rest))
                        matches.emplace_back(&judge, &setting);
                }
            }
        }
    }
    if (matches.size() == 1) {
        if (judgeFound != nullptr)
            *judgeFound = matches[0].first;
        return matches[0].second;
    }
    if (matches.empty()) {
        *error = "no installed judge has a setting '" + name + "' (see `ulmora config show`)";
    } else {
        *error = "'" + name + "' is a setting of several judges; name one:";
        for (const auto& match : matches)
            *error += " " + match.first->name + "." + match.second->name;
    }
    return nullptr;
}

bool JudgeSettings::Apply(Setting& setting, const std::string& text, std::string* error)
{
    Parameter* parameter = setting.parameter;
    SettingValue wanted;
    const ParameterType type = parameter->Type();
    if (type == TypeFloat || type == TypeInt) {
        double number = 0;
        if (!ParseNumber(text, &number, error)) {
            *error = setting.name + ": " + *error;
            return false;
        }
        if (type == TypeFloat) {
            if (std::fabs(number) > FLT_MAX) {
                *error = setting.name + ": " + text + " is beyond the largest value it can hold";
                return false;
            }
            wanted.f = static_cast<float>(number);
        } else {
            if (number != std::floor(number) || number < INT32_MIN || number > INT32_MAX) {
                *error = setting.name + ": " + text + " is not a whole number between " +
                         std::to_string(INT32_MIN) + " and " + std::to_string(INT32_MAX);
                return false;
            }
            wanted.i = static_cast<int32_t>(number);
        }
    } else if (type == TypeBool) {
        std::string lower;
        for (char c : text)
            lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower == "1" || lower == "true" || lower == "yes" || lower == "on") {
            wanted.b = true;
        } else if (lower == "0" || lower == "false" || lower == "no" || lower == "off") {
            wanted.b = false;
        } else {
            *error = setting.name + ": '" + text + "' is not true or false";
            return false;
        }
    } else {
        wanted.s = text;
    }
    const SettingValue before = Read(parameter);
    Write(parameter, wanted);
    if (Same(type, Read(parameter), wanted))
        return true;
    Restore(parameter, before);
    const std::string range = AllowedRange(setting);
    *error = setting.name + ": the judge refuses " + text +
             (range.empty() ? std::string() : "; allowed: " + range);
    return false;
}

void JudgeSettings::ResetToDefault(Setting& setting)
{
    Write(setting.parameter, setting.defaultValue);
}

std::string JudgeSettings::ValueText(const Setting& setting)
{
    // Floats in their shortest exact form (whole byte counts in full), not
    // the parameter's "%.10g": both read back as the same float.
    if (setting.parameter->Type() == TypeFloat)
        return Shortest(Read(setting.parameter).f);
    std::string text;
    setting.parameter->GetDisplayValue(text);
    return text;
}

std::string JudgeSettings::AllowedRange(Setting& setting)
{
    Parameter* parameter = setting.parameter;
    const ParameterType type = parameter->Type();
    if (type != TypeFloat && type != TypeInt)
        return std::string();
    const SettingValue original = Read(parameter);
    const auto valueOf = [type](int64_t key) {
        SettingValue value;
        if (type == TypeFloat)
            value.f = KeyFloat(key);
        else
            value.i = static_cast<int32_t>(key);
        return value;
    };
    const auto accepts = [&](int64_t key) {
        const SettingValue candidate = valueOf(key);
        Write(parameter, candidate);
        const bool taken = Same(type, Read(parameter), candidate);
        Restore(parameter, original);
        return taken;
    };
    const auto text = [type](int64_t key) {
        return type == TypeFloat ? Shortest(KeyFloat(key)) : std::to_string(key);
    };
    const int64_t start = type == TypeFloat ? FloatKey(original.f) : original.i;
    const int64_t highest = type == TypeFloat ? FloatKey(FLT_MAX) : INT32_MAX;
    const int64_t lowest = type == TypeFloat ? FloatKey(-FLT_MAX) : INT32_MIN;
    if (type == TypeFloat && std::isnan(original.f))
        return std::string();

    // Where the accepted and the refused value meet, name whichever is the
    // rounder number: "at most 100" rather than "below 100.000008".
    const auto bound = [&](int64_t accepted, int64_t refused, const char* inclusive, const char* exclusive) {
        const std::string in = text(accepted), out = text(refused);
        return out.size() < in.size() ? std::string(exclusive) + " " + out : std::string(inclusive) + " " + in;
    };
    int64_t accepted = 0, refused = 0;
    std::string lower, upper;
    if (FindLimit(accepts, start, lowest, &accepted, &refused))
        lower = bound(accepted, refused, "at least", "above");
    if (FindLimit(accepts, start, highest, &accepted, &refused))
        upper = bound(accepted, refused, "at most", "below");
    Restore(parameter, original);
    if (lower.empty() && upper.empty())
        return "any number";
    if (lower.empty())
        return upper;
    if (upper.empty())
        return lower;
    return lower + " and " + upper;
}

void JudgeSettings::Store(const Judge& judge)
{
    Ulmora::RegConfigWriter().WriteConfig(HKEY_CURRENT_USER, judge.settingsPath.c_str(), judge.list);
}

} // namespace Host
