// The ulmora host's module and settings commands, run as real processes over
// a folder of fixture modules: list, graph, inspect, config and diff.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "CommandsFixturePaths.h"
#include "ulmora/Registry.h"

#if !defined(_WIN32)
#  include <sys/wait.h>
#endif

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kSep = COMMANDS_FIXTURE_SEPARATOR;
const std::string kRoot = COMMANDS_FIXTURE_ROOT;
const std::string kGood = kRoot + kSep + "good";
const char* const kJudgesKey = "Software\\UlmoraTests\\Judges";

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream stream;
    stream << file.rdbuf();
    std::string text;
    for (char c : stream.str()) {
        if (c != '\r')
            text += c;
    }
    return text;
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

struct Result {
    int status;
    std::string out;
    std::string err;
};

// Runs the ulmora copy in `folder` with `arguments`; stdout and stderr are
// read back from files beside it.
Result Ulmora(const std::string& folder, const std::string& arguments)
{
    const std::string out = folder + kSep + "cmd.out";
    const std::string err = folder + kSep + "cmd.err";
    std::string command = folder + kSep + "ulmora" + COMMANDS_EXECUTABLE_SUFFIX + " " + arguments +
                          " > " + out + " 2> " + err;
#if defined(_WIN32)
    // cmd.exe strips the outer quotes of a command line that starts with one.
    command = "\"" + command + "\"";
#endif
    int status = std::system(command.c_str());
#if !defined(_WIN32)
    status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return {status, ReadFile(out), ReadFile(err)};
}

std::string Show(const Result& result)
{
    return "status " + std::to_string(result.status) + "\nstdout:\n" + result.out + "stderr:\n" + result.err;
}

// A fresh copy of the good folder, to which a test adds broken files.
std::string CopyOfGood(const std::string& name)
{
    const std::string folder = kRoot + kSep + "work-" + name;
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::copy(kGood, folder, fs::copy_options::recursive);
    for (const char* leftover : {"cmd.out", "cmd.err"})
        fs::remove(folder + kSep + leftover, ignored);
    return folder;
}

// A module built for another machine: the same file with its machine field
// changed (ELF e_machine to AArch64; PE Machine to ARM64).
void MakeForeign(const std::string& from, const std::string& to)
{
    std::ifstream in(from, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 0x100u);
    if (bytes.compare(0, 4, "\x7f" "ELF") == 0) {
        bytes[18] = '\xB7';
        bytes[19] = '\x00';
    } else {
        ASSERT_EQ(bytes.compare(0, 2, "MZ"), 0);
        const uint32_t pe = static_cast<unsigned char>(bytes[0x3C]) | (static_cast<unsigned char>(bytes[0x3D]) << 8);
        ASSERT_EQ(bytes.compare(pe, 4, std::string("PE\0\0", 4)), 0);
        bytes[pe + 4] = '\x64';
        bytes[pe + 5] = '\xAA';
    }
    WriteFile(to, bytes);
}

void Truncate(const std::string& from, const std::string& to)
{
    std::ifstream in(from, std::ios::binary);
    std::string bytes(300, '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    WriteFile(to, bytes);
}

// A folder with one broken module of each kind, each in a folder of its own
// (subfolders are searched in name order, files in the platform's order):
// the clashing one comes after the file that has the identifier first.
std::string BrokenFolder()
{
    const std::string folder = CopyOfGood("broken");
    const std::string probes = folder + kSep + "probes" + kSep;
    for (const char* sub : {"t1", "t2", "t3", "zz"})
        fs::create_directories(probes + sub);
    Truncate(probes + "chain.tst", probes + "t1" + kSep + "truncated.tst");
    MakeForeign(probes + "chain.tst", probes + "t2" + kSep + "foreign.tst");
    fs::copy_file(kRoot + kSep + "spare" + kSep + "oldapi.tst", probes + "t3" + kSep + "oldapi.tst");
    fs::copy_file(kRoot + kSep + "spare" + kSep + "twin.tst", probes + "zz" + kSep + "twin.tst");
    return folder;
}

std::string P(const std::string& relative)
{
    std::string path = relative;
    for (char& c : path) {
        if (c == '/')
            c = kSep[0];
    }
    return path;
}

// ---------------------------------------------------------------------------
// list

TEST(UlmoraList, PrintsEveryModuleWithItsPluginsAndDependencies)
{
    const Result result = Ulmora(kGood, "list");
    ASSERT_EQ(result.status, 0) << Show(result);
    EXPECT_THAT(result.out, HasSubstr(P("probes/chain.tst") + "  (probe, API 110)\n"
                                      "  p  id 9001  version 1\n"
                                      "    needs u (9005): needs 9005\n"
                                      "  q  id 9002  version 1\n"
                                      "    needs p (9001): needs 9001\n"
                                      "  r  id 9003  version 1\n"));
    EXPECT_THAT(result.out, HasSubstr(P("probes/more/extra.tst") + "  (probe, API 110)\n"
                                      "  t  id 9006  version 1\n"
                                      "    needs r (9003): needs 9003\n"
                                      "    needs q (9002): needs 9002\n"));
    EXPECT_THAT(result.out, HasSubstr(P("judges/limits.intr") + "  (judge, API 110)\n  limits  id 9801"));
    EXPECT_THAT(result.out, HasSubstr(P("judges/second.intr") + "  (judge, API 110)\n  second  id 9802"));
}

TEST(UlmoraList, JsonNamesEachFileAndPlugin)
{
    const Result result = Ulmora(kGood, "list --json");
    ASSERT_EQ(result.status, 0) << Show(result);
    const nlohmann::json document = nlohmann::json::parse(result.out);
    EXPECT_EQ(document["schema"], "ulmora.modules/1");
    std::map<std::string, nlohmann::json> byPath;
    for (const nlohmann::json& module : document["modules"])
        byPath[module["path"].get<std::string>()] = module;
    ASSERT_EQ(byPath.size(), 4u) << result.out;
    const nlohmann::json& chain = byPath[P("probes/chain.tst")];
    EXPECT_EQ(chain["kind"], "probe");
    EXPECT_EQ(chain["loaded"], true);
    EXPECT_EQ(chain["api_version"], 110);
    std::vector<uint32_t> ids;
    for (const nlohmann::json& plugin : chain["plugins"])
        ids.push_back(plugin["id"].get<uint32_t>());
    EXPECT_EQ(ids, (std::vector<uint32_t>{9001, 9002, 9003, 9004, 9005}));
    EXPECT_EQ(chain["plugins"][3]["dependencies"][0]["id"], 9002);
    EXPECT_EQ(byPath[P("judges/second.intr")]["plugins"][0]["name"], "second");
}

TEST(UlmoraList, NamesEveryBrokenFileWithTheLoadersReason)
{
    const std::string folder = BrokenFolder();
    const Result text = Ulmora(folder, "list");
    EXPECT_EQ(text.status, 1) << Show(text);
    const Result json = Ulmora(folder, "list --json");
    EXPECT_EQ(json.status, 1) << Show(json);
    std::map<std::string, nlohmann::json> byPath;
    const nlohmann::json document = nlohmann::json::parse(json.out);
    for (const nlohmann::json& module : document["modules"])
        byPath[module["path"].get<std::string>()] = module;

    const struct {
        const char* path;
        const char* error;
    } rows[] = {
        {"probes/t1/truncated.tst", "LoadLibraryFailed"},
        {"probes/t2/foreign.tst", "LoadLibraryFailed"},
        {"probes/t3/oldapi.tst", "WrongAPIVersion"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        const nlohmann::json& module = byPath[P(row.path)];
        EXPECT_EQ(module["loaded"], false) << module;
        EXPECT_EQ(module["error"], row.error) << module;
        EXPECT_FALSE(module["reason"].get<std::string>().empty()) << module;
        EXPECT_THAT(text.out, HasSubstr(P(row.path) + "  (probe, cannot be loaded: " + row.error + ")\n  reason: "));
    }
    // The foreign file's reason says what it was built for.
    EXPECT_THAT(byPath[P("probes/t2/foreign.tst")]["reason"].get<std::string>(),
                ::testing::ContainsRegex("the file is built for (AArch64|ARM64) \\(machine 0x"));
    EXPECT_THAT(byPath[P("probes/t3/oldapi.tst")]["reason"].get<std::string>(),
                HasSubstr("API version 109 instead of 110"));
    EXPECT_EQ(byPath[P("probes/t3/oldapi.tst")]["api_version"], 109);

    const nlohmann::json& twin = byPath[P("probes/zz/twin.tst")];
    EXPECT_EQ(twin["loaded"], true);
    EXPECT_EQ(twin["plugins"][0]["shadowed_by"], P("probes/chain.tst"));
    EXPECT_THAT(text.out, HasSubstr("  twin  id 9002  version 1\n    refused: identifier 9002 is already "
                                    "offered by " + P("probes/chain.tst") + "\n"));
}

TEST(UlmoraList, SaysWhereItLookedWhenThereIsNoModule)
{
    const std::string folder = kRoot + kSep + "work-empty";
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    fs::create_directories(folder);
    fs::copy_file(kGood + kSep + "ulmora" + COMMANDS_EXECUTABLE_SUFFIX,
                  folder + kSep + "ulmora" + COMMANDS_EXECUTABLE_SUFFIX);
    const Result result = Ulmora(folder, "list");
    EXPECT_EQ(result.status, 66) << Show(result);
    EXPECT_THAT(result.err, HasSubstr("no probe (*.tst) or judge (*.intr) module found under "));
}

// ---------------------------------------------------------------------------
// inspect

TEST(UlmoraInspect, ReportsLoadingApiPluginsAndClashes)
{
    const std::string folder = BrokenFolder();
    const std::string probes = folder + kSep + "probes" + kSep;
    const struct {
        std::string file;
        int status;
        std::vector<std::string> expected;
    } rows[] = {
        {kGood + kSep + P("probes/chain.tst"), 0,
         {"loads: yes\n", "API version: 110\n", "plug-ins: 5\n", "  s  id 9004  version 1\n    needs q (9002)",
          "clashes with installed modules: none\n"}},
        {probes + P("t1/truncated.tst"), 1, {"loads: no (LoadLibraryFailed)\nreason: ", "plug-ins: 0\n"}},
        {probes + P("t2/foreign.tst"), 1, {"loads: no (LoadLibraryFailed)\nreason: "}},
        {probes + P("t3/oldapi.tst"), 1,
         {"loads: no (WrongAPIVersion)\n", "API version: 109 (this library needs 110)\n"}},
        {kRoot + kSep + P("spare/twin.tst"), 1,
         {"loads: yes\n", "clashes with installed modules:\n  twin (9002) has the identifier of q in " +
                              P("probes/chain.tst") + "\n"}},
        {kGood + kSep + P("judges/limits.intr"), 0, {"kind: judge\n", "  limits  id 9801  version 1\n"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        // Inspected by the good installation, so only the twin clashes.
        const Result result = Ulmora(kGood, "inspect " + row.file);
        EXPECT_EQ(result.status, row.status) << Show(result);
        for (const std::string& text : row.expected)
            EXPECT_THAT(result.out, HasSubstr(text));
    }
}

TEST(UlmoraInspect, TheLoadersReasonNamesTheFile)
{
    const std::string folder = BrokenFolder();
    const std::string file = folder + kSep + "probes" + kSep + P("t1/truncated.tst");
    const Result result = Ulmora(kGood, "inspect " + file);
    EXPECT_EQ(result.status, 1);
    const std::string::size_type at = result.out.find("reason: ");
    ASSERT_NE(at, std::string::npos) << Show(result);
    EXPECT_THAT(result.out.substr(at), HasSubstr("truncated.tst"));
}

TEST(UlmoraInspect, AMissingFileIsAUsageError)
{
    const Result result = Ulmora(kGood, "inspect " + kRoot + kSep + "no-such.tst");
    EXPECT_EQ(result.status, 64) << Show(result);
    EXPECT_THAT(result.err, HasSubstr("cannot open"));
}

// ---------------------------------------------------------------------------
// graph

// The probe names in the order of the numbers the graph gives them.
std::vector<std::string> GraphOrder(const std::string& dot)
{
    std::map<int, std::string> numbered;
    for (std::string::size_type at = dot.find("[label=\""); at != std::string::npos;
         at = dot.find("[label=\"", at + 1)) {
        const std::string label = dot.substr(at + 8, dot.find('"', at + 8) - at - 8);
        const std::string::size_type dot_ = label.find(". ");
        if (dot_ == std::string::npos || label.find("\\n") == std::string::npos)
            continue;
        numbered[std::stoi(label.substr(0, dot_))] = label.substr(dot_ + 2, label.find("\\n") - dot_ - 2);
    }
    std::vector<std::string> order;
    for (const auto& entry : numbered)
        order.push_back(entry.second);
    return order;
}

// The tests in the order the library ran them, from its log.
std::vector<std::string> LoggedOrder(const std::string& log)
{
    std::vector<std::string> order;
    const std::string marker = "-Ulmora::TestManager- Test(ID=";
    for (std::string::size_type at = log.find(marker); at != std::string::npos; at = log.find(marker, at + 1)) {
        const std::string::size_type name = log.find("Name=", at) + 5;
        order.push_back(log.substr(name, log.find(' ', name) - name));
    }
    return order;
}

// The probes of an order, after checking that both judges close it (files
// of one folder come in the platform's order, so theirs is not fixed).
std::vector<std::string> WithoutJudges(std::vector<std::string> order)
{
    EXPECT_GE(order.size(), 2u);
    if (order.size() < 2)
        return order;
    std::vector<std::string> judges(order.end() - 2, order.end());
    std::sort(judges.begin(), judges.end());
    EXPECT_EQ(judges, (std::vector<std::string>{"limits", "second"}));
    order.resize(order.size() - 2);
    return order;
}

TEST(UlmoraGraph, RunOrderIsTheOrderTheLibraryRuns)
{
    const Result graph = Ulmora(kGood, "graph");
    ASSERT_EQ(graph.status, 0) << Show(graph);
    // p waits for u, so everything is deferred; then the ready probe
    // registered last goes first each time; the judges follow.
    const std::vector<std::string> expected{"u", "r", "p", "q", "t", "s"};
    EXPECT_EQ(WithoutJudges(GraphOrder(graph.out)), expected) << graph.out;

    const std::string log = kGood + kSep + "run.log";
    const Result run = Ulmora(kGood, "run --log " + log);
    ASSERT_EQ(run.status, 0) << Show(run);
    EXPECT_EQ(LoggedOrder(ReadFile(log)), expected);
}

TEST(UlmoraGraph, HasAnEdgeFromEachDependencyToTheProbeThatNeedsIt)
{
    const Result graph = Ulmora(kGood, "graph");
    ASSERT_EQ(graph.status, 0) << Show(graph);
    EXPECT_EQ(graph.out.find("digraph ulmora {"), graph.out.find("digraph"));
    for (const char* edge : {"\"probe 9005\" -> \"probe 9001\"", "\"probe 9001\" -> \"probe 9002\"",
                             "\"probe 9002\" -> \"probe 9004\"", "\"probe 9003\" -> \"probe 9006\"",
                             "\"probe 9002\" -> \"probe 9006\""})
        EXPECT_THAT(graph.out, HasSubstr(edge)) << edge;
    EXPECT_THAT(graph.out, HasSubstr("label=\"run order: u, r, p, q, t, s, "));
}

TEST(UlmoraGraph, MarksAMissingDependencyAsTheRunWouldFail)
{
    const std::string folder = CopyOfGood("missing");
    fs::remove(folder + kSep + P("probes/chain.tst"));
    const Result graph = Ulmora(folder, "graph");
    EXPECT_EQ(graph.status, 1) << Show(graph);
    EXPECT_THAT(graph.err, HasSubstr("probe t (9006) needs 9003 (needs 9003), which no installed probe offers"));
    EXPECT_THAT(graph.out, HasSubstr("\"probe 9003\" [label=\"missing\\nid 9003\", style=dashed, color=red];"));
    // The library agrees that this set cannot run.
    EXPECT_EQ(Ulmora(folder, "run").status, 70);
}

TEST(UlmoraGraph, LeavesOutFilesThatCannotLoadAndSaysSo)
{
    const Result graph = Ulmora(BrokenFolder(), "graph");
    EXPECT_EQ(graph.status, 1) << Show(graph);
    EXPECT_THAT(graph.err, HasSubstr("truncated.tst cannot be loaded"));
    EXPECT_THAT(graph.err, HasSubstr("foreign.tst cannot be loaded"));
    // The twin's identifier is taken; the first holder stays in the graph.
    EXPECT_THAT(graph.out, Not(HasSubstr("twin")));
    EXPECT_EQ(WithoutJudges(GraphOrder(graph.out)), (std::vector<std::string>{"u", "r", "p", "q", "t", "s"}));
}

// ---------------------------------------------------------------------------
// config

// Settings go to a private store: a folder of the file store on Linux, a
// test key of the real registry on Windows; emptied before each test.
class UlmoraConfig : public ::testing::Test {
protected:
    void SetUp() override
    {
#if defined(_WIN32)
        RegDeleteTreeA(HKEY_CURRENT_USER, kJudgesKey);
#else
        m_Home = kRoot + kSep + "work-config-home";
        std::error_code ignored;
        fs::remove_all(m_Home, ignored);
        fs::create_directories(m_Home);
        setenv("XDG_CONFIG_HOME", m_Home.c_str(), 1);
#endif
    }
    void TearDown() override
    {
#if defined(_WIN32)
        RegDeleteTreeA(HKEY_CURRENT_USER, kJudgesKey);
#endif
    }

    // What the store holds, as the store itself keeps it.
    std::string Store() const
    {
#if defined(_WIN32)
        return ReadFile(QueryToFile());
#else
        return ReadFile(m_Home + "/ulmora/HKEY_CURRENT_USER.reg");
#endif
    }

#if defined(_WIN32)
    std::string QueryToFile() const
    {
        const std::string out = kRoot + kSep + "work-reg-query.txt";
        const std::string command = std::string("reg query HKCU\\") + kJudgesKey + " /s > " + out + " 2>&1";
        std::system(command.c_str());
        return out;
    }
#endif

    std::string m_Home;
};

std::string SettingLine(const Result& show, const std::string& name)
{
    const std::string::size_type at = show.out.find("  " + name + " = ");
    if (at == std::string::npos)
        return "?";
    return show.out.substr(at + 2, show.out.find('\n', at) - at - 2);
}

TEST_F(UlmoraConfig, ShowListsValueDefaultDescriptionAndRange)
{
    const Result show = Ulmora(kGood, "config show");
    ASSERT_EQ(show.status, 0) << Show(show);
    EXPECT_THAT(show.out, HasSubstr("Fixture limits (limits), stored in HKEY_CURRENT_USER\\Software\\"
                                    "UlmoraTests\\Judges\\Limits\n"));
    EXPECT_THAT(show.out, HasSubstr("  minimum_memory_bytes = 4294967296  (default)\n"
                                    "      The memory a machine needs\n"
                                    "      allowed: at least 0 and at most 1099511627776\n"));
    EXPECT_THAT(show.out, HasSubstr("  tolerance_ratio = 0.1  (default)\n"
                                    "      How far below a threshold still passes\n"
                                    "      allowed: at least 0 and at most 0.5\n"));
    EXPECT_THAT(show.out, HasSubstr("  weight = 1  (default)\n      How much the score counts\n"
                                    "      allowed: above 0\n"));
    EXPECT_THAT(show.out, HasSubstr("  label = standard  (default)\n      A name for the profile\n"));
    // Published figures are not settings.
    EXPECT_THAT(show.out, Not(HasSubstr("summary =")));
    EXPECT_THAT(show.out, Not(HasSubstr("settings_path =")));
}

TEST_F(UlmoraConfig, SetTakesSizesStoresAndShowsTheValue)
{
    const struct {
        const char* value;
        const char* stored;
    } rows[] = {
        {"8GiB", "8589934592"}, {"16 GB", "16000000000"}, {"1.5 KiB", "1536"}, {"512MiB", "536870912"},
        {"300MB", "300000000"}, {"1024", "1024"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        const Result set = Ulmora(kGood, std::string("config set minimum_memory_bytes \"") + row.value + "\"");
        ASSERT_EQ(set.status, 0) << Show(set);
        EXPECT_EQ(set.out, std::string("limits.minimum_memory_bytes = ") + row.stored + "\n");
        EXPECT_EQ(SettingLine(Ulmora(kGood, "config show"), "minimum_memory_bytes"),
                  std::string("minimum_memory_bytes = ") + row.stored + "  (default 4294967296)");
        // The store keeps the parameter's own text; it reads back the same.
        EXPECT_THAT(Store(), HasSubstr("\"minimum_memory_bytes\"="));
    }
    const Result label = Ulmora(kGood, "config set Limits.label \"strict profile\"");
    ASSERT_EQ(label.status, 0) << Show(label);
    EXPECT_EQ(SettingLine(Ulmora(kGood, "config show"), "label"), "label = strict profile  (default standard)");
}

TEST_F(UlmoraConfig, RefusedValuesNameTheReasonAndChangeNothing)
{
    ASSERT_EQ(Ulmora(kGood, "config set weight 2").status, 0);
    const std::string before = Store();
    const struct {
        const char* arguments;
        const char* message;
    } rows[] = {
        {"minimum_memory_bytes 2TiB", "minimum_memory_bytes: the judge refuses 2TiB; allowed: at least 0 and at most 1099511627776"},
        {"minimum_memory_bytes -1", "allowed: at least 0 and at most 1099511627776"},
        {"limits.tolerance_ratio 0.7", "tolerance_ratio: the judge refuses 0.7; allowed: at least 0 and at most 0.5"},
        {"weight 0", "weight: the judge refuses 0; allowed: above 0"},
        {"weight abc", "weight: 'abc' is not a number"},
        {"weight nan", "weight: 'nan' is not a number"},
        {"minimum_memory_bytes \"8 parsecs\"", "'parsecs' in '8 parsecs' is not a size unit"},
        {"minimum_memory_bytes 1e40", "is beyond the largest value it can hold"},
        {"tolerance_ratio 0.2", "'tolerance_ratio' is a setting of several judges; name one: limits.tolerance_ratio second.tolerance_ratio"},
        {"nosuch 1", "no installed judge has a setting 'nosuch'"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments);
        const Result set = Ulmora(kGood, std::string("config set ") + row.arguments);
        EXPECT_EQ(set.status, 64) << Show(set);
        EXPECT_THAT(set.err, HasSubstr(row.message));
        EXPECT_EQ(Store(), before);
    }
    EXPECT_EQ(SettingLine(Ulmora(kGood, "config show"), "weight"), "weight = 2  (default 1)");
}

TEST_F(UlmoraConfig, ResetPutsOneOrAllSettingsBack)
{
    ASSERT_EQ(Ulmora(kGood, "config set weight 3").status, 0);
    ASSERT_EQ(Ulmora(kGood, "config set second.tolerance_ratio 0.25").status, 0);
    const Result one = Ulmora(kGood, "config reset weight");
    ASSERT_EQ(one.status, 0) << Show(one);
    EXPECT_EQ(one.out, "limits.weight = 1\n");
    Result show = Ulmora(kGood, "config show");
    EXPECT_EQ(SettingLine(show, "weight"), "weight = 1  (default)");
    EXPECT_THAT(show.out, HasSubstr("tolerance_ratio = 0.25  (default 0.1)"));

    ASSERT_EQ(Ulmora(kGood, "config reset").status, 0);
    show = Ulmora(kGood, "config show");
    EXPECT_THAT(show.out, Not(HasSubstr("(default 0.1)")));
    EXPECT_EQ(Ulmora(kGood, "config reset nosuch").status, 64);
}

TEST_F(UlmoraConfig, ExportWritesARegedit4ProfileThatImportReadsBack)
{
    ASSERT_EQ(Ulmora(kGood, "config set minimum_memory_bytes 8GiB").status, 0);
    ASSERT_EQ(Ulmora(kGood, "config set label \"a \\\"quoted\\\" name\"").status, 0);
    const std::string profile = kRoot + kSep + "work-export.reg";
    const Result exported = Ulmora(kGood, "config export " + profile);
    ASSERT_EQ(exported.status, 0) << Show(exported);
    EXPECT_EQ(ReadFile(profile),
              "REGEDIT4\n\n"
              "[HKEY_CURRENT_USER\\Software\\UlmoraTests\\Judges\\Limits]\n"
              "\"tolerance_ratio\"=\"0.1\"\n"
              "\"minimum_memory_bytes\"=\"8589934592\"\n"
              "\"weight\"=\"1\"\n"
              "\"label\"=\"a \\\"quoted\\\" name\"\n\n"
              "[HKEY_CURRENT_USER\\Software\\UlmoraTests\\Judges\\Second]\n"
              "\"tolerance_ratio\"=\"0.1\"\n\n");

    ASSERT_EQ(Ulmora(kGood, "config reset").status, 0);
    const Result imported = Ulmora(kGood, "config import " + profile);
    ASSERT_EQ(imported.status, 0) << Show(imported);
    EXPECT_EQ(imported.out, "imported 5 settings from " + profile + "\n");
    const Result show = Ulmora(kGood, "config show");
    EXPECT_EQ(SettingLine(show, "minimum_memory_bytes"), "minimum_memory_bytes = 8589934592  (default 4294967296)");
    EXPECT_EQ(SettingLine(show, "label"), "label = a \"quoted\" name  (default standard)");
}

TEST_F(UlmoraConfig, ABadProfileLineIsReportedAndNothingIsApplied)
{
    const std::string head = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\UlmoraTests\\Judges\\Limits]\r\n"
                             "\"weight\"=\"5\"\r\n";
    const struct {
        std::string text;
        int line;
        const char* message;
    } rows[] = {
        {head + "\"minimum_memory_bytes\"=\"2TiB\"\r\n", 5, "the judge refuses 2TiB; allowed: at least 0 and at most 1099511627776"},
        {head + "\"speed\"=\"1\"\r\n", 5, "judge limits has no setting 'speed'"},
        {head + "\"label\"=\"x\r\n", 5, "not one closed \"quoted\" text"},
        {head + "\"weight\"=hex:01,02\r\n", 5, "a hex value cannot be a setting"},
        {head + "\r\n[HKEY_CURRENT_USER\\Software\\Other]\r\n\"a\"=\"b\"\r\n", 6, "is not the settings key of an installed judge"},
        {head + "[HKEY_LOCAL_MACHINE\\Software\\UlmoraTests\\Judges\\Limits]\r\n", 5, "is not under HKEY_CURRENT_USER"},
        {head + "weight=1\r\n", 5, "expected a [key], a \"name\"=value line"},
        {"REGEDIT5\r\n" + head, 1, "not a registry profile"},
    };
    const std::string profile = kRoot + kSep + "work-bad.reg";
    const std::string before = Store();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        WriteFile(profile, row.text);
        const Result imported = Ulmora(kGood, "config import " + profile);
        EXPECT_EQ(imported.status, 64) << Show(imported);
        EXPECT_THAT(imported.err, HasSubstr(profile + ":" + std::to_string(row.line) + ": " ));
        EXPECT_THAT(imported.err, HasSubstr(row.message));
        EXPECT_THAT(imported.err, HasSubstr("nothing was imported from " + profile));
        // The good line before the bad one was not applied either.
        EXPECT_EQ(SettingLine(Ulmora(kGood, "config show"), "weight"), "weight = 1  (default)");
        EXPECT_EQ(Store(), before);
    }
}

// UTF-16LE with a byte-order mark, as Windows' registry editor writes.
std::string Utf16(const std::string& ascii)
{
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

TEST_F(UlmoraConfig, ImportsWhatWindowsRegistryEditorExports)
{
    // The whole store key as the editor exports it: the parent keys, the
    // judge's published output beside its settings, and its findings below.
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\UlmoraTests]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\UlmoraTests\\Judges]\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\UlmoraTests\\Judges\\Limits]\r\n"
        "\"settings_path\"=\"Software\\\\UlmoraTests\\\\Judges\"\r\n"
        "\"answer\"=\"0\"\r\n"
        "\"tolerance_ratio\"=\"0.25\"\r\n"
        "\"minimum_memory_bytes\"=\"17179869184\"\r\n"
        "\"Weight\"=dword:00000003\r\n"
        "\"label\"=\"from the editor\"\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\UlmoraTests\\Judges\\Limits\\findings]\r\n"
        "\"status\"=\"met\"\r\n\r\n";
    const std::string profile = kRoot + kSep + "work-editor.reg";
    WriteFile(profile, Utf16(text));
    const Result imported = Ulmora(kGood, "config import " + profile);
    ASSERT_EQ(imported.status, 0) << Show(imported);
    EXPECT_EQ(imported.out, "imported 4 settings from " + profile + "\n");
    const Result show = Ulmora(kGood, "config show");
    EXPECT_EQ(SettingLine(show, "minimum_memory_bytes"), "minimum_memory_bytes = 17179869184  (default 4294967296)");
    EXPECT_EQ(SettingLine(show, "weight"), "weight = 3  (default 1)");
    EXPECT_EQ(SettingLine(show, "label"), "label = from the editor  (default standard)");
}

#if defined(_WIN32)
// Both directions with the system's own registry editor.
TEST_F(UlmoraConfig, RegistryEditorImportsTheExportAndExportsWhatImports)
{
    ASSERT_EQ(Ulmora(kGood, "config set minimum_memory_bytes 8GiB").status, 0);
    ASSERT_EQ(Ulmora(kGood, "config set weight 2.5").status, 0);
    const std::string profile = kRoot + kSep + "work-to-regedit.reg";
    ASSERT_EQ(Ulmora(kGood, "config export " + profile).status, 0);
    RegDeleteTreeA(HKEY_CURRENT_USER, kJudgesKey);
    ASSERT_EQ(std::system(("regedit /S " + profile).c_str()), 0);
    std::string query = ReadFile(QueryToFile());
    EXPECT_THAT(query, HasSubstr("minimum_memory_bytes    REG_SZ    8589934592"));
    EXPECT_THAT(query, HasSubstr("weight    REG_SZ    2.5"));

    ASSERT_EQ(std::system((std::string("reg add HKCU\\") + kJudgesKey +
                           "\\Limits /v label /t REG_SZ /d edited /f > NUL").c_str()), 0);
    const std::string exported = kRoot + kSep + "work-from-regedit.reg";
    ASSERT_EQ(std::system(("regedit /E " + exported + " HKEY_CURRENT_USER\\" + kJudgesKey).c_str()), 0);
    ASSERT_EQ(Ulmora(kGood, "config reset").status, 0);
    const Result imported = Ulmora(kGood, "config import " + exported);
    ASSERT_EQ(imported.status, 0) << Show(imported) << ReadFile(exported);
    const Result show = Ulmora(kGood, "config show");
    EXPECT_EQ(SettingLine(show, "label"), "label = edited  (default standard)");
    EXPECT_EQ(SettingLine(show, "weight"), "weight = 2.5  (default 1)");
    EXPECT_EQ(SettingLine(show, "minimum_memory_bytes"), "minimum_memory_bytes = 8589934592  (default 4294967296)");
}
#endif

// ---------------------------------------------------------------------------
// diff

std::string Report(double readRate, double latency, double uptime, const char* model)
{
    nlohmann::json document = {
        {"schema", "ulmora.report/1"},
        {"probes",
         {{{"name", "disk-speed"},
           {"values",
            {{"disk.read_bytes_per_second", readRate}, {"disk.read_latency_seconds", latency}}}},
          {{"name", "system"},
           {"values", {{"system.uptime_seconds", uptime}, {"system.cpu_model", model}}}}}}};
    return document.dump();
}

TEST(UlmoraDiff, ComparesValueByValueAndFailsOnlyOnWorsePerformance)
{
    const std::string before = kRoot + kSep + "work-old.json";
    const std::string after = kRoot + kSep + "work-new.json";
    const struct {
        double rate, latency, uptime;
        int status;
        std::vector<std::string> expected;
    } rows[] = {
        // rate down 20%: worse than 10
        {400e6, 0.002, 100, 1, {"disk.read_bytes_per_second  500000000 -> 400000000  -20.0%  WORSE by more than 10%"}},
        // latency up 50%: worse
        {500e6, 0.003, 100, 1, {"disk.read_latency_seconds  0.002 -> 0.003  +50.0%  WORSE by more than 10%"}},
        // rate up, latency down, uptime up a lot: no performance loss
        {600e6, 0.001, 90000, 0, {"+20.0%", "disk.read_latency_seconds  0.002 -> 0.001  -50.0%\n",
                                  "system.uptime_seconds  100 -> 90000  +89900.0%\n"}},
        // a loss within the limit
        {460e6, 0.002, 100, 0, {"-8.0%\n"}},
    };
    WriteFile(before, Report(500e6, 0.002, 100, "Old CPU"));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.rate);
        WriteFile(after, Report(row.rate, row.latency, row.uptime, "New CPU"));
        const Result diff = Ulmora(kGood, "diff " + before + " " + after + " --fail-above 10");
        EXPECT_EQ(diff.status, row.status) << Show(diff);
        for (const std::string& text : row.expected)
            EXPECT_THAT(diff.out, HasSubstr(text));
        EXPECT_THAT(diff.out, HasSubstr("system.cpu_model  Old CPU -> New CPU\n"));
    }
    // Without --fail-above the change is shown but nothing fails.
    WriteFile(after, Report(100e6, 0.002, 100, "Old CPU"));
    const Result plain = Ulmora(kGood, "diff " + before + " " + after);
    EXPECT_EQ(plain.status, 0) << Show(plain);
    EXPECT_THAT(plain.out, HasSubstr("-80.0%\n"));
}

TEST(UlmoraDiff, RefusesWhatIsNotAReport)
{
    const std::string good = kRoot + kSep + "work-report.json";
    const std::string bad = kRoot + kSep + "work-bad.json";
    WriteFile(good, Report(1, 1, 1, "x"));
    const struct {
        std::string text;
        const char* message;
    } rows[] = {
        {"{not json", "is not valid JSON"},
        {"{\"probes\": []}", "is not an ulmora report"},
        {"{\"schema\": \"ulmora.report/2\", \"probes\": []}", "this ulmora reads ulmora.report/1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        WriteFile(bad, row.text);
        const Result diff = Ulmora(kGood, "diff " + good + " " + bad);
        EXPECT_EQ(diff.status, 64) << Show(diff);
        EXPECT_THAT(diff.err, HasSubstr(bad));
        EXPECT_THAT(diff.err, HasSubstr(row.message));
    }
}

} // namespace
