// The installed judges' settings, reached the way the judges themselves reach
// them: through each judge's own parameter list (so its validators decide)
// and the settings store under HKEY_CURRENT_USER at the list's
// "settings_path". Nothing here edits the store's files directly.
#ifndef ULMORA_HOST_JUDGESETTINGS_H
#define ULMORA_HOST_JUDGESETTINGS_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class Parameter;
class ParameterList;

namespace Host {

// One value of a setting, whatever its type.
struct SettingValue {
    float f = 0;
    int32_t i = 0;
    bool b = false;
    std::string s;
};

struct Setting {
    Parameter* parameter = nullptr;
    std::string name;
    std::string title;
    std::string description;
    SettingValue defaultValue;
    std::string defaultText;
};

struct Judge {
    std::string name;          // the descriptor's name ("score")
    std::string key;           // the list's name, also its store key ("Score")
    std::string title;
    std::string settingsPath;  // under HKEY_CURRENT_USER
    ParameterList* list = nullptr;
    std::vector<Setting> settings;
    std::vector<std::string> otherNames;  // read-only or hidden parameters

    std::string StoreKey() const { return settingsPath.empty() ? key : settingsPath + "\\" + key; }
};

class JudgeSettings {
public:
    JudgeSettings();
    ~JudgeSettings();
    JudgeSettings(const JudgeSettings&) = delete;
    JudgeSettings& operator=(const JudgeSettings&) = delete;

    // Loads the judge modules beside the executable, records each setting's
    // default and reads the stored values. False with `error` set when a
    // module cannot be loaded.
    bool Load(std::string* error);

    std::vector<Judge>& Judges() { return m_Judges; }

    // NAME (unique across judges) or JUDGE.NAME, letters in any case.
    // Null with `error` set when there is no such setting or it is ambiguous.
    Setting* Find(const std::string& name, Judge** judge, std::string* error);

    // Parses `text` for the setting's type (numbers may carry a size unit)
    // and hands it to the parameter. False with `error` naming the reason,
    // and the allowed range when the validator refused it.
    static bool Apply(Setting& setting, const std::string& text, std::string* error);
    static void ResetToDefault(Setting& setting);
    static std::string ValueText(const Setting& setting);
    // What the validator accepts, found by asking it; empty when it cannot
    // tell (texts, or a value it refuses already).
    static std::string AllowedRange(Setting& setting);

    // Stores the judge's whole list, as the judge itself would.
    static void Store(const Judge& judge);

private:
    struct Loaded;
    std::unique_ptr<Loaded> m_Loaded;
    std::vector<Judge> m_Judges;
};

} // namespace Host

#endif
