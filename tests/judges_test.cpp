// The bundled judges through their real modules: a scenario host
// (tests/fixtures/judges/JudgeHost.cpp) loads a feed probe that adds the
// results a case gives, loads the judges from their folders, runs, and dumps
// what the judges published. Settings live in a private store folder (the
// real registry under Windows, cleared around each case).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "JudgeFixturePaths.h"
#include "support/Scenario.h"
#include "ulmora/Registry.h"
#include "ulmora/Ulmora.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using UlmoraTest::Records;

const UlmoraTest::ScenarioRoot kScenarios{JUDGES_FIXTURE_ROOT, JUDGES_FIXTURE_SEPARATOR,
                                          JUDGES_EXECUTABLE_SUFFIX};
const char* const kJudgesKey = "Software\\Ulmora\\Judges";
const char* const kRequirementsKey = "Software\\Ulmora\\Judges\\Requirements";

const double kGiB = 1024.0 * 1024.0 * 1024.0;

std::string Whole(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

// Result values, in order; a key given twice has two values.
using Feed = std::vector<std::pair<std::string, std::string>>;

// A machine well above every threshold the tests set.
Feed StrongMachine()
{
    return {
        {"cpu.logical_count", "8"},
        {"cpu.physical_count", "4"},
        {"memory.total_bytes", Whole(16 * kGiB)},
        {"storage.program.available_bytes", Whole(100 * kGiB)},
        {"storage.temp.available_bytes", Whole(100 * kGiB)},
        {"compute.integer.single_thread_ops_per_second", "3e9"},
        {"compute.float.single_thread_ops_per_second", "3e9"},
        {"compute.integer.multi_thread_ops_per_second", "2e10"},
        {"compute.float.multi_thread_ops_per_second", "2e10"},
        {"memory.bandwidth.triad_bytes_per_second", "3e10"},
        {"memory.bandwidth.copy_bytes_per_second", "3e10"},
        {"disk.sequential_write_bytes_per_second", "1e9"},
        {"disk.sequential_read_bytes_per_second", "1e9"},
        {"system.process.bits", "64"},
        {"cpu.features", "sse2"},
        {"cpu.features", "avx2"},
        {"cpu.features", "aes"},
    };
}

// `feed` with every value of `key` replaced by `value`, or removed when
// `value` is null.
Feed With(Feed feed, const std::string& key, const char* value)
{
    Feed changed;
    bool placed = false;
    for (const auto& entry : feed) {
        if (entry.first != key) {
            changed.push_back(entry);
        } else if (value != nullptr && !placed) {
            changed.emplace_back(key, value);
            placed = true;
        }
    }
    if (value != nullptr && !placed)
        changed.emplace_back(key, value);
    return changed;
}

const std::vector<std::string> kRequirementKeys = {
    "cpu.logical",
    "cpu.physical",
    "memory.total",
    "storage.program.available",
    "storage.temp.available",
    "compute.integer.single_thread",
    "compute.float.single_thread",
    "compute.integer.multi_thread",
    "compute.float.multi_thread",
    "memory.bandwidth",
    "disk.sequential_write",
    "system.process.bits",
    "cpu.features",
};

// One case's scenario runs, its feed file and its settings store.
class JudgeRun {
public:
    explicit JudgeRun(std::string scenario) : m_Scenario(std::move(scenario))
    {
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(test->test_suite_name()) + "." + test->name();
        for (char& c : name) {
            if (c == '/')
                c = '_';
        }
        const std::string base = kScenarios.Folder(m_Scenario) + "." + name;
        m_FeedPath = base + ".feed";
        m_Store = base + ".store";
        std::error_code ignored;
        std::filesystem::remove_all(m_Store, ignored);
        ClearJudgeSettings();
    }
    ~JudgeRun() { ClearJudgeSettings(); }
    JudgeRun(const JudgeRun&) = delete;
    JudgeRun& operator=(const JudgeRun&) = delete;

    Records Run(const Feed& feed, const std::string& steps)
    {
        {
            std::ofstream file(m_FeedPath, std::ios::binary | std::ios::trunc);
            for (const auto& entry : feed)
                file << entry.first << '\t' << entry.second << '\n';
        }
        return kScenarios.Run(m_Scenario, m_FeedPath + " " + m_Store + " " + steps);
    }

    // Stores a text value as a host or a person would.
    void Store(const std::string& key, const std::string& name, const std::string& text)
    {
        UseStore();
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &handle, nullptr),
                  ERROR_SUCCESS)
            << key;
        RegSetValueExA(handle, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
        RegCloseKey(handle);
        UlmoraSetRegistryDirectory(nullptr);
    }

    // The text of a stored value; false when the key or value is missing.
    bool Read(const std::string& key, const std::string& name, std::string* text)
    {
        UseStore();
        HKEY handle = nullptr;
        bool found = false;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS) {
            DWORD size = 0;
            if (RegQueryValueExA(handle, name.c_str(), nullptr, nullptr, nullptr, &size) ==
                    ERROR_SUCCESS &&
                size > 0) {
                std::vector<char> data(size + 1, '\0');
                if (RegQueryValueExA(handle, name.c_str(), nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS) {
                    *text = data.data();
                    found = true;
                }
            }
            RegCloseKey(handle);
        }
        UlmoraSetRegistryDirectory(nullptr);
        return found;
    }

private:
    void UseStore() { UlmoraSetRegistryDirectory(m_Store.c_str()); }

    // Under Windows the judges' settings are in the real registry of the
    // test prefix; elsewhere each case has a store folder of its own.
    void ClearJudgeSettings()
    {
#ifdef _WIN32
        RegDeleteTreeA(HKEY_CURRENT_USER, kJudgesKey);
#endif
    }

    std::string m_Scenario;
    std::string m_FeedPath;
    std::string m_Store;
};

// The dumped parameters, path -> display value.
std::map<std::string, std::string> Published(const Records& records)
{
    std::map<std::string, std::string> values;
    for (const std::string& record : records.Of("param")) {
        const std::string::size_type bar = record.find('|');
        values[record.substr(0, bar)] = record.substr(bar + 1);
    }
    return values;
}

std::string AnswerOf(const Records& records)
{
    const std::vector<std::string> answers = records.Of("answer");
    EXPECT_THAT(records.Of("error"), ElementsAre());
    return answers.empty() ? "none" : answers.back();
}

std::string Field(const std::map<std::string, std::string>& values, const std::string& list,
                  const std::string& finding, const std::string& field)
{
    const auto found = values.find(list + "/findings/" + finding + "/" + field);
    return found == values.end() ? "<missing>" : found->second;
}

// --- the requirements judge ---------------------------------------------

struct ProfileCase {
    const char* name;
    Feed feed;
    const char* answer;
    // Findings whose status is not "met", and a text their note must hold.
    std::map<std::string, std::pair<std::string, std::string>> unmet;
    // Notes of met findings that must hold a text.
    std::map<std::string, std::string> notes;
};

void CheckProfile(const ProfileCase& row, const Records& records)
{
    SCOPED_TRACE(row.name);
    EXPECT_EQ(AnswerOf(records), row.answer);
    const std::map<std::string, std::string> values = Published(records);
    EXPECT_EQ(values.at("Requirements/answer"), row.answer);
    for (const std::string& key : kRequirementKeys) {
        const auto unmet = row.unmet.find(key);
        const std::string status = Field(values, "Requirements", key, "status");
        const std::string note = Field(values, "Requirements", key, "note");
        if (unmet == row.unmet.end()) {
            EXPECT_EQ(status, "met") << key << ": " << note;
        } else {
            EXPECT_EQ(status, unmet->second.first) << key;
            EXPECT_THAT(note, HasSubstr(unmet->second.second)) << key;
        }
        const auto expectedNote = row.notes.find(key);
        if (expectedNote != row.notes.end()) {
            EXPECT_THAT(note, HasSubstr(expectedNote->second)) << key;
        }
    }
}

TEST(RequirementsJudge, DefaultProfileOverATableOfMachines)
{
    const Feed strong = StrongMachine();
    const std::string sold4GB = Whole(3.88 * kGiB);
    const std::vector<ProfileCase> rows = {
        {"all met", strong, "0", {}, {{"cpu.physical", "not required"}}},
        {"3 logical CPUs", With(strong, "cpu.logical_count", "3"), "1",
         {{"cpu.logical", {"below recommended", "25.0 % below the recommended value"}}}, {}},
        {"1 logical CPU", With(strong, "cpu.logical_count", "1"), "2",
         {{"cpu.logical", {"below minimum", "50.0 % below the minimum"}}}, {}},
        {"6 GiB of memory", With(strong, "memory.total_bytes", Whole(6 * kGiB).c_str()), "1",
         {{"memory.total", {"below recommended", "below the recommended value"}}}, {}},
        {"3 GiB of memory", With(strong, "memory.total_bytes", Whole(3 * kGiB).c_str()), "2",
         {{"memory.total", {"below minimum", "25.0 % below the minimum"}}}, {}},
        {"sold as 4 GB", With(strong, "memory.total_bytes", sold4GB.c_str()), "1",
         {{"memory.total", {"below recommended", "the minimum is met within tolerance (3.0 % below it)"}}},
         {}},
        {"7.8 GiB of memory", With(strong, "memory.total_bytes", Whole(7.8 * kGiB).c_str()), "0", {},
         {{"memory.total", "met within tolerance: 2.5 % below the recommended value"}}},
        {"30 GiB free", With(strong, "storage.program.available_bytes", Whole(30 * kGiB).c_str()), "1",
         {{"storage.program.available", {"below recommended", "40.0 % below"}}}, {}},
        {"9 GiB free", With(strong, "storage.program.available_bytes", Whole(9 * kGiB).c_str()), "2",
         {{"storage.program.available", {"below minimum", "10.0 % below the minimum"}}}, {}},
        {"48 GiB free", With(strong, "storage.program.available_bytes", Whole(48 * kGiB).c_str()), "0",
         {}, {{"storage.program.available", "met within tolerance: 4.0 %"}}},
        {"memory not measured", With(strong, "memory.total_bytes", nullptr), "3",
         {{"memory.total", {"not measured", "no value for memory.total_bytes"}}}, {}},
        {"memory not a number", With(strong, "memory.total_bytes", "lots"), "3",
         {{"memory.total", {"not measured", "\"lots\""}}}, {}},
        {"memory negative", With(strong, "memory.total_bytes", "-1"), "3",
         {{"memory.total", {"not measured", "no measurement"}}}, {}},
        {"unrequired values missing",
         With(With(With(strong, "cpu.physical_count", nullptr), "disk.sequential_write_bytes_per_second",
                    nullptr),
              "cpu.features", nullptr),
         "0",
         {{"cpu.physical", {"not measured", "not required"}},
          {"disk.sequential_write", {"not measured", "not required"}},
          {"cpu.features", {"not measured", "not required"}}},
         {}},
        {"a minimum outranks a missing value",
         With(With(strong, "cpu.logical_count", "1"), "memory.total_bytes", nullptr), "2",
         {{"cpu.logical", {"below minimum", ""}}, {"memory.total", {"not measured", ""}}}, {}},
        {"a missing value outranks a recommendation",
         With(With(strong, "cpu.logical_count", "3"), "memory.total_bytes", nullptr), "3",
         {{"cpu.logical", {"below recommended", ""}}, {"memory.total", {"not measured", ""}}}, {}},
    };
    JudgeRun judge("requirements");
    for (const ProfileCase& row : rows)
        CheckProfile(row, judge.Run(row.feed, "load run dump"));
}

TEST(RequirementsJudge, PublishesEveryFindingWithItsFigures)
{
    JudgeRun judge("requirements");
    const Records records = judge.Run(StrongMachine(), "load run dump");
    const std::map<std::string, std::string> values = Published(records);
    EXPECT_EQ(values.at("Requirements/summary"), "every requirement met");
    EXPECT_EQ(values.at("Requirements/settings_path"), kJudgesKey);

    // The findings come in a fixed order, one nested list each.
    std::vector<std::string> order;
    for (const std::string& record : records.Of("param")) {
        const std::string prefix = "Requirements/findings/";
        const std::string suffix = "/status";
        const std::string path = record.substr(0, record.find('|'));
        if (path.compare(0, prefix.size(), prefix) == 0 && path.size() > suffix.size() &&
            path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0)
            order.push_back(path.substr(prefix.size(), path.size() - prefix.size() - suffix.size()));
    }
    EXPECT_EQ(order, kRequirementKeys);

    const struct {
        const char* finding;
        const char* measured;
        const char* minimum;
        const char* recommended;
        const char* unit;
        const char* tolerance;
        const char* source;
    } expected[] = {
        {"cpu.logical", "8", "2", "4", "count", "0", "cpu.logical_count"},
        {"memory.total", "17179869184", "4294967296", "8589934592", "bytes", "0.05", "memory.total_bytes"},
        {"storage.program.available", "107374182400", "10737418240", "53687091200", "bytes", "0.05",
         "storage.program.available_bytes"},
        {"compute.float.multi_thread", "20000000000", "0", "0", "ops_per_second", "0.05",
         "compute.float.multi_thread_ops_per_second"},
        {"system.process.bits", "64", "0", "0", "bits", "0", "system.process.bits"},
        {"cpu.features", "", "0", "0", "", "0", "cpu.features"},
    };
    for (const auto& row : expected) {
        SCOPED_TRACE(row.finding);
        EXPECT_EQ(Field(values, "Requirements", row.finding, "measured"), row.measured);
        EXPECT_EQ(Field(values, "Requirements", row.finding, "minimum"), row.minimum);
        EXPECT_EQ(Field(values, "Requirements", row.finding, "recommended"), row.recommended);
        EXPECT_EQ(Field(values, "Requirements", row.finding, "unit"), row.unit);
        EXPECT_EQ(Field(values, "Requirements", row.finding, "tolerance_ratio"), row.tolerance);
        EXPECT_EQ(Field(values, "Requirements", row.finding, "source"), row.source);
    }
}

// A stricter profile, stored as a person would; each requirement is then
// missed at each tier in turn.
TEST(RequirementsJudge, StoredProfileEveryThresholdAtEachTier)
{
    const struct {
        const char* finding;
        const char* source;
        const char* setting;  // without _minimum_<unit> / _recommended_<unit>
        const char* unit;
        std::string minimum;
        std::string recommended;
        std::string between;  // below recommended, above minimum
        std::string below;    // below minimum, beyond the tolerance
    } rows[] = {
        {"cpu.logical", "cpu.logical_count", "cpu_logical", "count", "2", "4", "3", "1"},
        {"cpu.physical", "cpu.physical_count", "cpu_physical", "count", "2", "4", "3", "1"},
        {"memory.total", "memory.total_bytes", "memory_total", "bytes", Whole(4 * kGiB), Whole(8 * kGiB),
         Whole(6 * kGiB), Whole(3 * kGiB)},
        {"storage.program.available", "storage.program.available_bytes", "storage_program_available",
         "bytes", Whole(10 * kGiB), Whole(50 * kGiB), Whole(20 * kGiB), Whole(5 * kGiB)},
        {"storage.temp.available", "storage.temp.available_bytes", "storage_temp_available", "bytes",
         Whole(1 * kGiB), Whole(5 * kGiB), Whole(2 * kGiB), Whole(0.5 * kGiB)},
        {"compute.integer.single_thread", "compute.integer.single_thread_ops_per_second",
         "compute_integer_single_thread", "ops_per_second", "1000000000", "2000000000", "1.5e9", "5e8"},
        {"compute.float.single_thread", "compute.float.single_thread_ops_per_second",
         "compute_float_single_thread", "ops_per_second", "1000000000", "2000000000", "1.5e9", "5e8"},
        {"compute.integer.multi_thread", "compute.integer.multi_thread_ops_per_second",
         "compute_integer_multi_thread", "ops_per_second", "4000000000", "8000000000", "6e9", "2e9"},
        {"compute.float.multi_thread", "compute.float.multi_thread_ops_per_second",
         "compute_float_multi_thread", "ops_per_second", "4000000000", "8000000000", "6e9", "2e9"},
        {"memory.bandwidth", "memory.bandwidth.triad_bytes_per_second", "memory_bandwidth",
         "bytes_per_second", "10000000000", "20000000000", "1.5e10", "5e9"},
        {"disk.sequential_write", "disk.sequential_write_bytes_per_second", "disk_sequential_write",
         "bytes_per_second", "100000000", "200000000", "1.5e8", "5e7"},
        {"system.process.bits", "system.process.bits", "system_process_bits", "bits", "32", "64", "32",
         "16"},
    };
    JudgeRun judge("requirements");
    for (const auto& row : rows) {
        judge.Store(kRequirementsKey, std::string(row.setting) + "_minimum_" + row.unit, row.minimum);
        judge.Store(kRequirementsKey, std::string(row.setting) + "_recommended_" + row.unit,
                    row.recommended);
    }
    judge.Store(kRequirementsKey, "cpu_features", "sse2, AVX2,aes");

    const Feed strong = StrongMachine();
    {
        const Records records = judge.Run(strong, "load run dump");
        EXPECT_EQ(AnswerOf(records), "0");
        const std::map<std::string, std::string> values = Published(records);
        for (const auto& row : rows) {
            EXPECT_EQ(Field(values, "Requirements", row.finding, "minimum"), row.minimum) << row.finding;
            EXPECT_EQ(Field(values, "Requirements", row.finding, "recommended"), row.recommended)
                << row.finding;
        }
        EXPECT_EQ(Field(values, "Requirements", "cpu.features", "minimum"), "sse2,avx2,aes");
        EXPECT_EQ(Field(values, "Requirements", "cpu.features", "measured"), "sse2,avx2,aes");
    }
    for (const auto& row : rows) {
        CheckProfile({row.finding, With(strong, row.source, row.between.c_str()), "1",
                      {{row.finding, {"below recommended", "below the recommended value"}}}, {}},
                     judge.Run(With(strong, row.source, row.between.c_str()), "load run dump"));
        CheckProfile({row.finding, {}, "2", {{row.finding, {"below minimum", "below the minimum"}}}, {}},
                     judge.Run(With(strong, row.source, row.below.c_str()), "load run dump"));
    }
    Feed noAes = With(strong, "cpu.features", nullptr);
    noAes.emplace_back("cpu.features", "SSE2");
    noAes.emplace_back("cpu.features", "avx2");
    CheckProfile({"without aes", {}, "2", {{"cpu.features", {"below minimum", "missing: aes"}}}, {}},
                 judge.Run(noAes, "load run dump"));
    CheckProfile({"features not measured", {}, "3",
                  {{"cpu.features", {"not measured", "no value for cpu.features"}}}, {}},
                 judge.Run(With(strong, "cpu.features", nullptr), "load run dump"));
}

TEST(RequirementsJudge, ThresholdsChangedInTheStoreChangeTheNextVerdict)
{
    JudgeRun judge("requirements");
    const Feed machine = With(StrongMachine(), "memory.total_bytes", Whole(6 * kGiB).c_str());
    EXPECT_EQ(AnswerOf(judge.Run(machine, "load run")), "1");

    judge.Store(kRequirementsKey, "memory_total_recommended_bytes", Whole(4 * kGiB));
    EXPECT_EQ(AnswerOf(judge.Run(machine, "load run")), "0");

    // Raising the minimum past the recommendation in force works as a pair.
    judge.Store(kRequirementsKey, "memory_total_minimum_bytes", Whole(12 * kGiB));
    judge.Store(kRequirementsKey, "memory_total_recommended_bytes", Whole(16 * kGiB));
    {
        const Records records = judge.Run(machine, "load run dump");
        EXPECT_EQ(AnswerOf(records), "2");
        const std::map<std::string, std::string> values = Published(records);
        EXPECT_EQ(Field(values, "Requirements", "memory.total", "minimum"), Whole(12 * kGiB));
        EXPECT_EQ(Field(values, "Requirements", "memory.total", "recommended"), Whole(16 * kGiB));
    }

    // A stored pair that makes no sense is refused whole, and said so.
    judge.Store(kRequirementsKey, "memory_total_minimum_bytes", Whole(8 * kGiB));
    judge.Store(kRequirementsKey, "memory_total_recommended_bytes", Whole(4 * kGiB));
    {
        const Records records = judge.Run(machine, "load run dump");
        EXPECT_EQ(AnswerOf(records), "1");
        const std::map<std::string, std::string> values = Published(records);
        EXPECT_EQ(Field(values, "Requirements", "memory.total", "minimum"), Whole(4 * kGiB));
        EXPECT_THAT(Field(values, "Requirements", "memory.total", "note"),
                    HasSubstr("stored thresholds 8589934592 / 4294967296 refused (recommended below minimum)"));
    }

    // A host changes settings through the parameters and stores the list.
    judge.Store(kRequirementsKey, "memory_total_minimum_bytes", Whole(4 * kGiB));
    judge.Store(kRequirementsKey, "memory_total_recommended_bytes", Whole(4 * kGiB));
    EXPECT_EQ(AnswerOf(judge.Run(machine, "load run")), "0");
    const Records set = judge.Run(machine,
                                  "load run set:Requirements/cpu_logical_recommended_count=16 "
                                  "set:Requirements/cpu_logical_minimum_count=12 "
                                  "set:Requirements/tolerance_ratio=0 store:Requirements");
    EXPECT_THAT(set.Of("set"), ElementsAre("Requirements/cpu_logical_recommended_count|16",
                                           "Requirements/cpu_logical_minimum_count|12",
                                           "Requirements/tolerance_ratio|0"));
    const Records after = judge.Run(machine, "load run dump");
    EXPECT_EQ(AnswerOf(after), "2");
    EXPECT_EQ(Field(Published(after), "Requirements", "cpu.logical", "status"), "below minimum");
    EXPECT_EQ(Field(Published(after), "Requirements", "memory.total", "tolerance_ratio"), "0");
}

TEST(RequirementsJudge, ValidatorsRefuseNonsense)
{
    const struct {
        const char* setting;
        const char* proposed;
        const char* after;
    } rows[] = {
        {"memory_total_minimum_bytes", "-1", "4294967296"},
        {"memory_total_minimum_bytes", "17179869184", "4294967296"},      // above the recommendation
        {"memory_total_minimum_bytes", "6442450944", "6442450944"},
        {"memory_total_recommended_bytes", "1073741824", "8589934592"},   // below the minimum
        {"memory_total_recommended_bytes", "0", "0"},                     // not required
        {"memory_total_recommended_bytes", "inf", "8589934592"},
        {"cpu_logical_minimum_count", "2.5", "2"},
        {"cpu_logical_recommended_count", "nan", "4"},
        {"system_process_bits_minimum_bits", "48", "0"},
        {"system_process_bits_minimum_bits", "32", "32"},
        {"tolerance_ratio", "0.9", "0.05000000075"},
        {"tolerance_ratio", "-0.1", "0.05000000075"},
        {"tolerance_ratio", "0.1", "0.1000000015"},
        {"cpu_features", "sse2,avx2", "sse2,avx2"},
        {"cpu_features", "sse2;reboot", ""},
        {"summary", "fine", "every requirement met"},                     // findings are read-only
        {"findings/memory.total/status", "below minimum", "met"},
    };
    JudgeRun judge("requirements");
    for (const auto& row : rows) {
        const std::string path = std::string("Requirements/") + row.setting;
        const Records records =
            judge.Run(StrongMachine(), "load run \"set:" + path + "=" + row.proposed + "\"");
        EXPECT_THAT(records.Of("set"), ElementsAre(path + "|" + row.after)) << row.proposed;
    }
}

TEST(RequirementsJudge, SavingKeepsTheLastVerdictWithItsTime)
{
    JudgeRun judge("both");
    std::string text;
    // Saving before any verdict stores nothing.
    judge.Run(StrongMachine(), "load save");
    EXPECT_FALSE(judge.Read(std::string(kRequirementsKey) + "\\Last", "time", &text));

    judge.Run(With(StrongMachine(), "memory.total_bytes", Whole(3 * kGiB).c_str()), "load run save");
    const std::string last = std::string(kRequirementsKey) + "\\Last";
    ASSERT_TRUE(judge.Read(last, "time", &text));
    EXPECT_TRUE(std::regex_match(text, std::regex("20[0-9]{2}-[01][0-9]-[0-3][0-9]T[0-2][0-9]:[0-5][0-9]:[0-6][0-9]Z")))
        << text;
    ASSERT_TRUE(judge.Read(last, "answer", &text));
    EXPECT_EQ(text, "2");
    ASSERT_TRUE(judge.Read(last, "summary", &text));
    EXPECT_EQ(text, "below minimum: Physical memory");
    ASSERT_TRUE(judge.Read(last + "\\findings\\memory.total", "status", &text));
    EXPECT_EQ(text, "below minimum");
    ASSERT_TRUE(judge.Read(last + "\\findings\\memory.total", "measured", &text));
    EXPECT_EQ(text, Whole(3 * kGiB));

    const std::string score = std::string(kJudgesKey) + "\\Score\\Last";
    ASSERT_TRUE(judge.Read(score, "answer", &text));
    EXPECT_EQ(text, "0");
    ASSERT_TRUE(judge.Read(score + "\\findings\\score.base", "status", &text));
    EXPECT_EQ(text, "info");

    // The next save replaces the record.
    judge.Run(StrongMachine(), "load run save");
    ASSERT_TRUE(judge.Read(last, "answer", &text));
    EXPECT_EQ(text, "0");
    ASSERT_TRUE(judge.Read(last + "\\findings\\memory.total", "status", &text));
    EXPECT_EQ(text, "met");
}

// --- the score judge ------------------------------------------------------

struct ScoreCase {
    const char* name;
    Feed feed;
    // Expected measured texts; empty for "not measured".
    std::string processor, memory, disk, base;
};

TEST(ScoreJudge, SubscoresOnTheLogarithmicScaleAgainstHandComputedValues)
{
    const Feed reference = {
        {"compute.integer.single_thread_ops_per_second", "1e9"},
        {"compute.float.single_thread_ops_per_second", "1e9"},
        {"compute.integer.multi_thread_ops_per_second", "4e9"},
        {"compute.float.multi_thread_ops_per_second", "4e9"},
        {"memory.bandwidth.triad_bytes_per_second", "16e9"},
        {"memory.bandwidth.copy_bytes_per_second", "16e9"},
        {"disk.sequential_write_bytes_per_second", "500e6"},
        {"disk.sequential_read_bytes_per_second", "500e6"},
    };
    // mixed: processor ratios 2, 1, 2, 1 -> geometric mean 2^0.5 -> 1500;
    // memory 0.5, 1 -> 2^-0.5 -> 500; disk 4, 2 -> 2^1.5 -> 2500.
    Feed mixed = With(With(reference, "compute.integer.single_thread_ops_per_second", "2e9"),
                      "compute.integer.multi_thread_ops_per_second", "8e9");
    mixed = With(mixed, "memory.bandwidth.triad_bytes_per_second", "8e9");
    mixed = With(With(mixed, "disk.sequential_write_bytes_per_second", "2e9"),
                 "disk.sequential_read_bytes_per_second", "1e9");
    // slow memory: 1/16 of the reference -> 1000 × (1 - 4) -> clamped to 0.
    const Feed slowMemory = With(With(reference, "memory.bandwidth.triad_bytes_per_second", "1e9"),
                                 "memory.bandwidth.copy_bytes_per_second", "1e9");
    // 3/4 of the reference: 1000 × (1 + log2 0.75) = 584.96 -> 585.
    const Feed threeQuarters = With(With(reference, "disk.sequential_write_bytes_per_second", "375e6"),
                                    "disk.sequential_read_bytes_per_second", "375e6");
    Feed noDisk = With(With(mixed, "disk.sequential_write_bytes_per_second", nullptr),
                       "disk.sequential_read_bytes_per_second", nullptr);
    // one figure of four: 4× the reference -> 3000.
    const Feed oneFigure = With(With(With(With(noDisk, "compute.integer.single_thread_ops_per_second", "4e9"),
                                          "compute.float.single_thread_ops_per_second", nullptr),
                                     "compute.integer.multi_thread_ops_per_second", nullptr),
                                "compute.float.multi_thread_ops_per_second", "0");
    const std::vector<ScoreCase> rows = {
        {"reference machine", reference, "1000", "1000", "1000", "1000"},
        {"mixed", mixed, "1500", "500", "2500", "500"},
        {"slow memory", slowMemory, "1000", "0", "1000", "0"},
        {"three quarters disk", threeQuarters, "1000", "1000", "585", "585"},
        {"no disk", noDisk, "1500", "500", "", "500"},
        {"one processor figure", oneFigure, "3000", "500", "", "500"},
        {"nothing measured", {}, "", "", "", ""},
    };
    JudgeRun judge("score");
    for (const ScoreCase& row : rows) {
        SCOPED_TRACE(row.name);
        const Records records = judge.Run(row.feed, "load run dump");
        EXPECT_EQ(AnswerOf(records), "0");
        const std::map<std::string, std::string> values = Published(records);
        const std::pair<const char*, std::string> expected[] = {
            {"score.processor", row.processor}, {"score.memory", row.memory},
            {"score.disk", row.disk}, {"score.base", row.base}};
        for (const auto& subscore : expected) {
            EXPECT_EQ(Field(values, "Score", subscore.first, "measured"), subscore.second) << subscore.first;
            EXPECT_EQ(Field(values, "Score", subscore.first, "status"),
                      subscore.second.empty() ? "not measured" : "info")
                << subscore.first;
            EXPECT_EQ(Field(values, "Score", subscore.first, "unit"), "score") << subscore.first;
        }
    }
}

TEST(ScoreJudge, NotesNameTheFiguresAndTheLowestSubscore)
{
    JudgeRun judge("score");
    const Records records = judge.Run({{"compute.integer.single_thread_ops_per_second", "2e9"},
                                       {"memory.bandwidth.triad_bytes_per_second", "8e9"},
                                       {"disk.sequential_write_bytes_per_second", "1e9"}},
                                      "load run dump");
    const std::map<std::string, std::string> values = Published(records);
    EXPECT_THAT(Field(values, "Score", "score.processor", "note"),
                HasSubstr("integer, one thread 2.00x reference"));
    EXPECT_THAT(Field(values, "Score", "score.processor", "note"),
                HasSubstr("not measured: compute.float.single_thread_ops_per_second"));
    EXPECT_EQ(Field(values, "Score", "score.memory", "source"),
              "memory.bandwidth.triad_bytes_per_second,memory.bandwidth.copy_bytes_per_second");
    EXPECT_EQ(Field(values, "Score", "score.base", "note"), "the lowest subscore: memory score");
    EXPECT_EQ(values.at("Score/summary"), "base score 0 (processor 2000, memory 0, disk 2000)");
}

// --- both, as installed ---------------------------------------------------

TEST(BundledJudges, TheScoreJudgesBeforeTheRequirementsEndThePass)
{
    JudgeRun judge("both");
    const Records records =
        judge.Run(With(StrongMachine(), "memory.total_bytes", Whole(3 * kGiB).c_str()), "load run dump");
    EXPECT_EQ(AnswerOf(records), "2");
    EXPECT_THAT(records.Of("log"),
                ElementsAre("Interpreter(ID=2101 Name=score Version=1) ran with success.",
                            "Interpreter(ID=2102 Name=requirements Version=1) ran with success."));
    EXPECT_THAT(records.Of("info"),
                ElementsAre("score , V.1\\r\\nrequirements , V.1\\r\\nfeed , V.1\\r\\n"));
    const std::map<std::string, std::string> values = Published(records);
    EXPECT_EQ(Field(values, "Score", "score.base", "status"), "info");
    EXPECT_EQ(Field(values, "Requirements", "memory.total", "status"), "below minimum");
}

} // namespace
