// A small header-only kit for writing probe (test) and judge (interpreter)
// modules. It supplies the module interface, the descriptors and the entry
// point, so that a module is its logic plus one line:
//
//     class UptimeProbe : public Ulmora::ITest {
//     public:
//         uint32_t Run(Ulmora::IResultDatabase* db) override
//         {
//             db->AddDouble("uptime.seconds", ReadUptime());
//             db->AddString("uptime.status", "ok");
//             return 0;
//         }
//     };
//     ULMORA_PROBE(UptimeProbe, "uptime", 0x75707469, 1,
//                  {0x73797374, "reads the boot time"});
//
// A judge keeps its published list (settings and findings, see below) in a
// PublishedList that lives as long as the module, because the library keeps
// a pointer to it after the instance that offered it is gone:
//
//     Ulmora::Kit::PublishedList& Published()
//     {
//         static Ulmora::Kit::PublishedList list("Load", "Load average",
//                                                "Software\\MyVendor\\Judges");
//         return list;
//     }
//     class LoadJudge : public Ulmora::IInterpreter {
//         ParameterList* GetParameterList() override { return &Published().List(); }
//         uint32_t Interpret(const Ulmora::IResultDatabase* db) override;
//         void SaveResults() override {}
//     };
//     ULMORA_JUDGE(LoadJudge, "load", 0x6C6F6164, 1);
//
// Everything here is inline and builds on the exported interfaces only, so
// it adds nothing to the binary contract: a module built with the kit is
// indistinguishable from one written out by hand.
//
// Threads: the library calls a module from one thread at a time; so do the
// kit's classes.
#ifndef ULMORA_PLUGINKIT_H
#define ULMORA_PLUGINKIT_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

#include "ulmora/IInterpreter.h"
#include "ulmora/ITest.h"
#include "ulmora/ParameterList.h"
#include "ulmora/ParameterTypes.h"
#include "ulmora/PluginManager.h"
#include "ulmora/RegConfig.h"

namespace Ulmora {
namespace Kit {

// A test this test needs to have run first, and words for people.
struct Needs {
    uint32_t id;
    const char* why;
};

// Describes one test of class `Test` (default constructible, derived from
// ITest). Each run gets a fresh instance.
template <class Test>
class TestDescriptor : public ITestDescriptor {
public:
    TestDescriptor(const char* name, uint32_t id, int32_t version,
                   std::initializer_list<Needs> needs = {})
        : m_Name(name), m_ID(id), m_Version(version)
    {
        for (const Needs& need : needs)
            m_Dependencies.emplace_back(PluginManagerAPI::PluginID(need.id), need.why);
    }

    PluginManagerAPI::IPluginInstance* CreateInstance() override { return new Test(); }
    void DestroyInstance(PluginManagerAPI::IPluginInstance* instance) override { delete instance; }
    void Release() override {}
    const char* GetName() override { return m_Name; }
    PluginManagerAPI::PluginID GetPluginID() override { return PluginManagerAPI::PluginID(m_ID); }
    int32_t GetVersion() override { return m_Version; }

private:
    const char* m_Name;
    uint32_t m_ID;
    int32_t m_Version;
};

// Describes one interpreter of class `Interpreter` (default constructible,
// derived from IInterpreter).
template <class Interpreter>
class JudgeDescriptor : public IInterpreterDescriptor {
public:
    JudgeDescriptor(const char* name, uint32_t id, int32_t version)
        : m_Name(name), m_ID(id), m_Version(version)
    {
    }

    PluginManagerAPI::IPluginInstance* CreateInstance() override { return new Interpreter(); }
    void DestroyInstance(PluginManagerAPI::IPluginInstance* instance) override { delete instance; }
    void Release() override {}
    const char* GetName() override { return m_Name; }
    PluginManagerAPI::PluginID GetPluginID() override { return PluginManagerAPI::PluginID(m_ID); }
    int32_t GetVersion() override { return m_Version; }

private:
    const char* m_Name;
    uint32_t m_ID;
    int32_t m_Version;
};

// The module interface: offers the given descriptors, in order. `Base` is
// ITestDLL or IInterpreterDLL. The descriptors must outlive the module
// object (static objects, as the macros below make them).
template <class Base>
class Module : public Base {
public:
    Module(std::initializer_list<PluginManagerAPI::IPluginDescriptor*> descriptors)
        : m_Descriptors(descriptors)
    {
    }

    uint32_t GetNumPlugins() override { return static_cast<uint32_t>(m_Descriptors.size()); }
    PluginManagerAPI::IPluginDescriptor* GetPlugin(uint32_t index) override
    {
        return index < m_Descriptors.size() ? m_Descriptors[index] : nullptr;
    }
    void Initialize() override {}
    void ShutDown() override {}

private:
    std::vector<PluginManagerAPI::IPluginDescriptor*> m_Descriptors;
};

using TestModule = Module<ITestDLL>;
using JudgeModule = Module<IInterpreterDLL>;

// ---------------------------------------------------------------------------
// The findings convention: how a judge publishes what it found, so that any
// host (`ulmora` among them) can show it without knowing the judge.
//
// A judge's parameter list (IInterpreter::GetParameterList) is named after
// the judge's settings key (for example "Requirements") and its display name
// is the judge's title. It holds:
//   - its settings: the visible parameters that are not read-only. A host
//     changes them through the parameters themselves (so validators apply)
//     and stores the whole list with RegConfigWriter under
//     HKEY_CURRENT_USER at the path in "settings_path"; the judge reads it
//     back with RegConfigReader before it judges.
//   - "settings_path" (id 900, text, read-only, hidden): that path, for
//     example "Software\Ulmora\Judges".
//   - "answer" (id 901, integer, read-only): the judge's last answer.
//   - "summary" (id 902, text, read-only): one line for people.
//   - "findings" (id 903, nested list, read-only): one nested list per
//     finding, in the order the judge wants them shown. A finding's list is
//     named by a stable lower-case key ("memory.total") and its display name
//     is the label for people ("Physical memory"). Its read-only texts are:
//       "status"          "met", "below recommended", "below minimum",
//                         "not measured", or "info" for a figure with no
//                         threshold (a score, say)
//       "measured"        the measured value in base units, as decimal text;
//                         empty when not measured
//       "minimum"         the minimum, decimal text in base units; "0" when
//                         not required
//       "recommended"     the recommended value, same form
//       "unit"            the unit word of the values: bytes, count, bits,
//                         ops_per_second, bytes_per_second, score, or empty
//       "tolerance_ratio" the relative tolerance applied, decimal text
//       "source"          the result key the value came from, if any
//       "note"            free text for people, such as "met within
//                         tolerance"
// Decimal texts are written with enough digits to round-trip a double.
//
// A judge's SaveResults may keep its last verdict with PublishedList::
// SaveLast: under HKEY_CURRENT_USER at "<settings_path>\<list name>\Last"
// it writes "time" (UTC, "2026-01-31T12:00:00Z", when the verdict was
// reached), "answer", "summary" and a subkey "findings" holding one subkey
// per finding, in the layout of RegConfigWriter.
// ---------------------------------------------------------------------------

enum : uint32_t {
    kSettingsPathID = 900,
    kAnswerID = 901,
    kSummaryID = 902,
    kFindingsID = 903,
};

// One finding. Assigning a member changes what the published list shows.
struct Finding {
    std::string status;
    std::string measured;
    std::string minimum = "0";
    std::string recommended = "0";
    std::string unit;
    std::string toleranceRatio = "0";
    std::string source;
    std::string note;

    // The shortest decimal text that reads back as `value`.
    static std::string Number(double value)
    {
        char text[64];
        for (int digits = 15; digits <= 17; ++digits) {
            std::snprintf(text, sizeof text, "%.*g", digits, value);
            if (digits == 17 || std::strtod(text, nullptr) == value)
                break;
        }
        return text;
    }
};

// The published list of a judge, built once and kept by the module: the
// library keeps a pointer to it after the instance that offered it is gone.
class PublishedList {
public:
    PublishedList(const char* name, const char* title, const char* settingsPath)
        : m_SettingsPath(settingsPath)
    {
        m_List.SetName(name);
        m_List.SetDisplayName(title);
        m_List.AddParameterString(kSettingsPathID, "settings_path", "settings_path",
                                  "Where the settings are stored under HKEY_CURRENT_USER",
                                  &m_SettingsPath, nullptr, true, false);
        m_List.AddParameterInt(kAnswerID, "answer", "Answer", "The judge's last answer",
                               &m_Answer, nullptr, true, true);
        m_List.AddParameterString(kSummaryID, "summary", "Summary", "The last verdict in one line",
                                  &m_Summary, nullptr, true, true);
        m_Findings.SetName("findings");
        m_Findings.SetDisplayName("Findings");
        m_List.AddParameterList(kFindingsID, &m_Findings, nullptr, true, true);
    }
    PublishedList(const PublishedList&) = delete;
    PublishedList& operator=(const PublishedList&) = delete;

    ParameterList& List() { return m_List; }
    const std::string& SettingsPath() const { return m_SettingsPath; }

    // A float setting in base units; returns the variable the parameter is
    // bound to. Settings take identifiers below 900.
    float& AddSetting(uint32_t id, const char* name, const char* title, const char* description,
                      float initial, ParameterValidator* validator = nullptr)
    {
        m_Floats.push_back(initial);
        m_List.AddParameterFloat(id, name, title, description, &m_Floats.back(), validator,
                                 false, true);
        return m_Floats.back();
    }

    // A text setting; returns its variable.
    std::string& AddTextSetting(uint32_t id, const char* name, const char* title,
                                const char* description, const std::string& initial,
                                ParameterValidator* validator = nullptr)
    {
        m_Texts.push_back(initial);
        m_List.AddParameterString(id, name, title, description, &m_Texts.back(), validator,
                                  false, true);
        return m_Texts.back();
    }

    // Adds a finding under `key`, shown as `label`; returns it for updates.
    Finding& AddFinding(const char* key, const char* label)
    {
        m_FindingValues.emplace_back();
        Finding& finding = m_FindingValues.back();
        m_FindingLists.emplace_back();
        ParameterList& list = m_FindingLists.back();
        list.SetName(key);
        list.SetDisplayName(label);
        const struct {
            const char* name;
            std::string* value;
        } fields[] = {
            {"status", &finding.status},        {"measured", &finding.measured},
            {"minimum", &finding.minimum},      {"recommended", &finding.recommended},
            {"unit", &finding.unit},            {"tolerance_ratio", &finding.toleranceRatio},
            {"source", &finding.source},        {"note", &finding.note},
        };
        uint32_t id = 1;
        for (const auto& field : fields)
            list.AddParameterString(id++, field.name, field.name, field.name, field.value,
                                    nullptr, true, true);
        m_Findings.AddParameterList(static_cast<uint32_t>(m_FindingLists.size()), &list,
                                    nullptr, true, true);
        return finding;
    }

    // Records the verdict and the time it was reached.
    void SetVerdict(uint32_t answer, const std::string& summary)
    {
        m_Answer = static_cast<int32_t>(answer);
        m_Summary = summary;
        const std::time_t now = std::time(nullptr);
        char text[32] = "";
        if (const std::tm* utc = std::gmtime(&now))
            std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
        m_Time = text;
    }

    // When the last verdict was reached (see SaveLast); empty before the first.
    const std::string& VerdictTime() const { return m_Time; }

    // Stores the last verdict: see ulmora/PluginKitStore.h, which keeps the
    // registry calls (and <windows.h> on Windows) out of this header.
    friend inline void SaveLast(PublishedList& published);

private:
    // Deques keep the bound variables and nested lists at fixed addresses.
    // The nested lists are declared before the lists holding them, so they
    // are destroyed after them.
    std::deque<Finding> m_FindingValues;
    std::deque<ParameterList> m_FindingLists;
    std::deque<float> m_Floats;
    std::deque<std::string> m_Texts;
    std::string m_SettingsPath;
    std::string m_Summary;
    std::string m_Time;
    int32_t m_Answer = 0;
    ParameterList m_Findings;
    ParameterList m_List;
};

} // namespace Kit
} // namespace Ulmora

// Defines a module that offers one probe: its descriptor, its module
// interface and the entry point. The trailing arguments are Needs entries.
#define ULMORA_PROBE(TestClass, name, id, version, ...)                                    \
    namespace {                                                                             \
    ::Ulmora::Kit::TestDescriptor<TestClass> g_UlmoraKitDescriptor(name, id, version,       \
                                                                   {__VA_ARGS__});          \
    ::Ulmora::Kit::TestModule g_UlmoraKitModule({&g_UlmoraKitDescriptor});                  \
    }                                                                                       \
    ULMORA_PLUGIN_EXPORT PluginManagerAPI::IPluginDLL* GetPluginManagerAPIInterface()       \
    {                                                                                       \
        return &g_UlmoraKitModule;                                                          \
    }

// Defines a module that offers one judge.
#define ULMORA_JUDGE(JudgeClass, name, id, version)                                         \
    namespace {                                                                             \
    ::Ulmora::Kit::JudgeDescriptor<JudgeClass> g_UlmoraKitDescriptor(name, id, version);    \
    ::Ulmora::Kit::JudgeModule g_UlmoraKitModule({&g_UlmoraKitDescriptor});                 \
    }                                                                                       \
    ULMORA_PLUGIN_EXPORT PluginManagerAPI::IPluginDLL* GetPluginManagerAPIInterface()       \
    {                                                                                       \
        return &g_UlmoraKitModule;                                                          \
    }

#endif
