#include "ConfigCommand.h"

#include <fstream>
#include <set>
#include <sstream>

#include <CLI/CLI.hpp>

#include "../JudgeSettings.h"
#include "../ModuleCatalogue.h"
#include "../ModuleFolders.h"
#include "../Output.h"
#include "../Profile.h"

namespace Host {
namespace {

const char* const kRoot = "HKEY_CURRENT_USER";

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

// Loads the judges and their stored settings; a status other than 0 when
// that is not possible (the reason is printed).
int Open(const GlobalOptions& globals, JudgeSettings& settings)
{
    const int folders = CheckModuleFolders(globals);
    if (folders != kExitOk)
        return folders;
    std::string error;
    if (!settings.Load(&error)) {
        Complain(error);
        return kExitSoftware;
    }
    if (settings.Judges().empty()) {
        Complain("no judge module (*.intr) found under " + ExecutableDirectory());
        return kExitNoModules;
    }
    return kExitOk;
}

int Show(const GlobalOptions& globals)
{
    JudgeSettings settings;
    const int status = Open(globals, settings);
    if (status != kExitOk)
        return status;
    std::string text;
    for (Judge& judge : settings.Judges()) {
        text += judge.title + " (" + judge.name + "), stored in " + kRoot + "\\" + judge.StoreKey() + "\n";
        if (judge.settings.empty())
            text += "  (no settings)\n";
        for (Setting& setting : judge.settings) {
            const std::string value = JudgeSettings::ValueText(setting);
            text += "  " + setting.name + " = " + value;
            text += value == setting.defaultText ? "  (default)\n" : "  (default " + setting.defaultText + ")\n";
            if (!setting.description.empty())
                text += "      " + setting.description + "\n";
            const std::string range = JudgeSettings::AllowedRange(setting);
            if (!range.empty())
                text += "      allowed: " + range + "\n";
        }
    }
    return WriteOut(text);
}

int Set(const GlobalOptions& globals, const std::string& name, const std::string& value)
{
    JudgeSettings settings;
    const int status = Open(globals, settings);
    if (status != kExitOk)
        return status;
    std::string error;
    Judge* judge = nullptr;
    Setting* setting = settings.Find(name, &judge, &error);
    if (setting == nullptr || !JudgeSettings::Apply(*setting, value, &error)) {
        Complain("config set: " + error);
        return kExitUsage;
    }
    JudgeSettings::Store(*judge);
    return WriteOut(judge->name + "." + setting->name + " = " + JudgeSettings::ValueText(*setting) + "\n");
}

int Reset(const GlobalOptions& globals, const std::string& name)
{
    JudgeSettings settings;
    const int status = Open(globals, settings);
    if (status != kExitOk)
        return status;
    std::string text;
    if (!name.empty()) {
        std::string error;
        Judge* judge = nullptr;
        Setting* setting = settings.Find(name, &judge, &error);
        if (setting == nullptr) {
            Complain("config reset: " + error);
            return kExitUsage;
        }
        JudgeSettings::ResetToDefault(*setting);
        JudgeSettings::Store(*judge);
        text = judge->name + "." + setting->name + " = " + JudgeSettings::ValueText(*setting) + "\n";
    } else {
        for (Judge& judge : settings.Judges()) {
            if (judge.settings.empty())
                continue;
            for (Setting& setting : judge.settings)
                JudgeSettings::ResetToDefault(setting);
            JudgeSettings::Store(judge);
        }
        text = "every setting is back to its default\n";
    }
    return WriteOut(text);
}

int Export(const GlobalOptions& globals, const std::string& file)
{
    JudgeSettings settings;
    const int status = Open(globals, settings);
    if (status != kExitOk)
        return status;
    std::vector<ProfileKey> keys;
    for (Judge& judge : settings.Judges()) {
        if (judge.settings.empty())
            continue;
        ProfileKey key;
        key.root = kRoot;
        key.path = judge.StoreKey();
        for (Setting& setting : judge.settings) {
            ProfileValue value;
            value.name = setting.name;
            value.text = JudgeSettings::ValueText(setting);
            key.values.push_back(value);
        }
        keys.push_back(key);
    }
    const std::string text = WriteProfile(keys);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    out.flush();
    if (!out) {
        Complain("config export: cannot write " + file);
        return kExitCannotWrite;
    }
    return kExitOk;
}

// Where a profile key lies in relation to the judges' keys.
enum class Place { Judge, Above, Below, Elsewhere };

Place Locate(std::vector<Judge>& judges, const ProfileKey& key, Judge** found)
{
    Place place = Place::Elsewhere;
    for (Judge& judge : judges) {
        const std::string store = judge.StoreKey();
        if (SameText(key.path, store)) {
            *found = &judge;
            return Place::Judge;
        }
        if (key.path.size() < store.size() && store[key.path.size()] == '\\' &&
            SameText(store.substr(0, key.path.size()), key.path))
            place = Place::Above;
        else if (key.path.size() > store.size() && key.path[store.size()] == '\\' &&
                 SameText(key.path.substr(0, store.size()), store) && place == Place::Elsewhere)
            place = Place::Below;
    }
    if (key.path.empty())
        place = Place::Above;
    return place;
}

int Import(const GlobalOptions& globals, const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        Complain("config import: cannot open " + file);
        return kExitUsage;
    }
    std::stringstream bytes;
    bytes << in.rdbuf();
    std::vector<ProfileError> errors;
    const std::vector<ProfileKey> keys = ReadProfile(bytes.str(), &errors);

    JudgeSettings settings;
    const int status = Open(globals, settings);
    if (status != kExitOk)
        return status;

    std::set<Judge*> touched;
    int applied = 0;
    for (const ProfileKey& key : keys) {
        const std::string shown = key.root + (key.path.empty() ? "" : "\\" + key.path);
        if (!SameText(key.root, kRoot) && !SameText(key.root, "HKCU")) {
            errors.push_back({key.line, "[" + shown + "] is not under " + kRoot + ", where the settings are"});
            continue;
        }
        Judge* judge = nullptr;
        const Place place = Locate(settings.Judges(), key, &judge);
        if (place == Place::Below)
            continue;  // a judge's published findings, not settings
        if (place == Place::Elsewhere) {
            errors.push_back({key.line, "[" + shown + "] is not the settings key of an installed judge"});
            continue;
        }
        if (place == Place::Above) {
            if (key.remove)
                errors.push_back({key.line, "removing [" + shown + "] is not supported; use `ulmora config reset`"});
            for (const ProfileValue& value : key.values)
                errors.push_back({value.line, "no settings are kept in [" + shown + "]"});
            continue;
        }
        if (key.remove) {
            for (Setting& setting : judge->settings)
                JudgeSettings::ResetToDefault(setting);
            touched.insert(judge);
        }
        for (const ProfileValue& value : key.values) {
            Setting* setting = nullptr;
            for (Setting& candidate : judge->settings) {
                if (SameText(candidate.name, value.name))
                    setting = &candidate;
            }
            if (setting == nullptr) {
                bool published = false;
                for (const std::string& other : judge->otherNames)
                    published = published || SameText(other, value.name);
                if (!published)
                    errors.push_back({value.line, "judge " + judge->name + " has no setting '" + value.name + "'"});
                continue;  // the judge's own output (answer, summary, ...): not imported
            }
            std::string error;
            bool ok = true;
            switch (value.kind) {
            case ProfileValue::Text: ok = JudgeSettings::Apply(*setting, value.text, &error); break;
            case ProfileValue::Dword:
                ok = JudgeSettings::Apply(*setting, std::to_string(value.dword), &error);
                break;
            case ProfileValue::Delete: JudgeSettings::ResetToDefault(*setting); break;
            case ProfileValue::Hex:
                ok = false;
                error = setting->name + ": a " + value.text + " value cannot be a setting; write it as \"text\"";
                break;
            }
            if (!ok) {
                errors.push_back({value.line, error});
                continue;
            }
            touched.insert(judge);
            ++applied;
        }
    }
    if (!errors.empty()) {
        for (const ProfileError& error : errors)
            std::fprintf(stderr, "%s:%d: %s\n", file.c_str(), error.line, error.message.c_str());
        Complain("config import: nothing was imported from " + file);
        return kExitUsage;
    }
    // Every line passed: only now does anything reach the store.
    for (Judge* judge : touched)
        JudgeSettings::Store(*judge);
    return WriteOut("imported " + std::to_string(applied) + " setting" + (applied == 1 ? "" : "s") +
                    " from " + file + "\n");
}

} // namespace

void AddConfigCommand(CLI::App& app, const GlobalOptions& globals, CommandAction* action)
{
    CLI::App* config = app.add_subcommand("config", "Show and change the installed judges' settings");
    config->require_subcommand(1);
    config->footer(
        "A setting is named NAME, or JUDGE.NAME where several judges have one of that name.\n"
        "Numbers may carry a size unit: B, kB, KiB, MB, MiB, GB, GiB, TB, TiB (8GiB, 16 GB).\n"
        "Profiles are registry editor files: REGEDIT4, or Windows' own export\n"
        "(\"Windows Registry Editor Version 5.00\", UTF-16LE).\n"
        "Exit status: 0; 64 for a refused value, an unknown setting or a bad profile line\n"
        "(nothing is changed then); 66 when no judge is installed; 70 when a judge cannot\n"
        "be loaded; 74 when the export file cannot be written.");

    CLI::App* show = config->add_subcommand("show", "Every setting with its value, default, description and allowed range");
    show->callback([&globals, action]() { *action = [&globals]() { return Show(globals); }; });

    auto name = std::make_shared<std::string>();
    auto value = std::make_shared<std::string>();
    CLI::App* set = config->add_subcommand("set", "Change one setting");
    set->add_option("NAME", *name, "the setting")->required();
    set->add_option("VALUE", *value, "its new value")->required();
    set->callback([&globals, action, name, value]() {
        *action = [&globals, name, value]() { return Set(globals, *name, *value); };
    });

    auto resetName = std::make_shared<std::string>();
    CLI::App* reset = config->add_subcommand("reset", "Put one setting, or all of them, back to the default");
    reset->add_option("NAME", *resetName, "the setting (all when left out)");
    reset->callback([&globals, action, resetName]() {
        *action = [&globals, resetName]() { return Reset(globals, *resetName); };
    });

    auto exportFile = std::make_shared<std::string>();
    CLI::App* exporting = config->add_subcommand("export", "Write the settings to a REGEDIT4 profile");
    exporting->add_option("FILE", *exportFile, "the profile to write")->required();
    exporting->callback([&globals, action, exportFile]() {
        *action = [&globals, exportFile]() { return Export(globals, *exportFile); };
    });

    auto importFile = std::make_shared<std::string>();
    CLI::App* importing = config->add_subcommand("import", "Read settings from a profile; all of it or nothing");
    importing->add_option("FILE", *importFile, "the profile to read")->required();
    importing->callback([&globals, action, importFile]() {
        *action = [&globals, importFile]() { return Import(globals, *importFile); };
    });
}

} // namespace Host
