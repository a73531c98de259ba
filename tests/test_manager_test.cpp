// The test manager through the application, over real test modules: each
// scenario folder (tests/fixtures/test_manager.cmake) holds a copy of a small
// host and the modules it finds below its own folder. The host writes what
// it saw to a file, which these tests read.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "TestManagerFixturePaths.h"
#include "support/Scenario.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kSep = TM_FIXTURE_SEPARATOR;

const UlmoraTest::ScenarioRoot kScenarios{TM_FIXTURE_ROOT, TM_FIXTURE_SEPARATOR, TM_EXECUTABLE_SUFFIX};

// The tests the modules ran, in order.
std::vector<std::string> Runs(const UlmoraTest::Records& records)
{
    std::vector<std::string> runs;
    for (const std::string& event : records.Of("event")) {
        const std::string::size_type at = event.find(":run:");
        if (at != std::string::npos)
            runs.push_back(event.substr(at + 5));
    }
    return runs;
}

std::string Folder(const std::string& scenario)
{
    return kScenarios.Folder(scenario);
}

// Runs the scenario's host with the given steps ("load", "run").
UlmoraTest::Records RunScenario(const std::string& scenario, const std::string& steps)
{
    return kScenarios.Run(scenario, steps);
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return static_cast<char>(::tolower(c)); });
    return text;
}

TEST(TestOrder, RunListFollowsDependencies)
{
    struct Row {
        const char* scenario;
        std::vector<std::string> order;
    };
    const Row rows[] = {
        {"plain", {"P", "Q", "R"}},
        {"chain", {"P", "Q", "R"}},             // Q needs P, R needs Q
        {"pair", {"Q", "P"}},                   // P needs Q: both deferred
        {"three", {"R", "Q", "P"}},             // P needs R: later registered first
        {"five", {"U", "R", "P", "Q", "S"}},   // P needs U, Q needs P, S needs Q
    };
    for (const Row& row : rows) {
        const UlmoraTest::Records records = RunScenario(row.scenario, "load run");
        EXPECT_EQ(Runs(records), row.order) << row.scenario;
        EXPECT_TRUE(records.Of("error").empty()) << row.scenario;
    }
}

TEST(TestRun, EachTestIsLoggedCountedAndObserved)
{
    const UlmoraTest::Records records = RunScenario("plain", "load run");
    std::vector<std::string> successes;
    for (const std::string& line : records.Of("log")) {
        if (line.find("ran with success") != std::string::npos)
            successes.push_back(line);
    }
    EXPECT_THAT(successes, ElementsAre("4|Ulmora::TestManager|Test(ID=1 Name=P Version=1) ran with success.",
                                       "4|Ulmora::TestManager|Test(ID=2 Name=Q Version=1) ran with success.",
                                       "4|Ulmora::TestManager|Test(ID=3 Name=R Version=1) ran with success."));
    // In the order added, an observer added twice told twice.
    EXPECT_THAT(records.Of("observer"), ElementsAre("A|1|3", "B|1|3", "A|1|3", "A|2|3", "B|2|3", "A|2|3",
                                                    "A|3|3", "B|3|3", "A|3|3"));
    // Every instance goes back to its descriptor.
    const std::vector<std::string> events = records.Of("event");
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const std::string& e) { return e.find(":destroy-instance:") != std::string::npos; }),
              3);
    EXPECT_THAT(records.Of("info"), ElementsAre("P , V.1\\r\\nQ , V.1\\r\\nR , V.1\\r\\n"));
}

TEST(TestRun, SecondLoadAppendsAgainAndTheCountKeepsGoing)
{
    const UlmoraTest::Records records = RunScenario("plain", "load load run run");
    const std::vector<std::string> once = {"P", "Q", "R", "P", "Q", "R"};
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    EXPECT_EQ(Runs(records), twice);
    const std::vector<std::string> observed = records.Of("observer");
    ASSERT_EQ(observed.size(), 36u);
    EXPECT_EQ(observed.back(), "A|12|6");
}

TEST(TestRun, ThrowingTestEndsTheRunAndIsHandedBack)
{
    const UlmoraTest::Records records = RunScenario("throwing", "load run");
    EXPECT_EQ(Runs(records), std::vector<std::string>({"A", "B"}));
    EXPECT_THAT(records.Of("event"), ::testing::Contains("throwing:destroy-instance:B"));
    EXPECT_THAT(records.Of("observer"), ElementsAre("A|1|3", "B|1|3", "A|1|3"));
    const std::vector<std::string> log = records.Of("log");
    const auto first = std::find(log.begin(), log.end(),
                                 "2|Ulmora::Application|This exception should have been caught in the interpreter!");
    ASSERT_NE(first, log.end());
    EXPECT_EQ(*(first - 1), "4|Ulmora::TestManager|Test(ID=1 Name=A Version=4) ran with success.");
    ASSERT_GE(log.end() - first, 3);
    EXPECT_EQ(*(first + 1), "1|Ulmora::Application|Ulmora failed!");
    EXPECT_EQ(*(first + 2), "1|Ulmora::Application|Result not found : fixture.B");
    EXPECT_THAT(records.Of("error"), ElementsAre("Result not found : fixture.B"));
}

TEST(TestLoadErrors, MissingDependencyIsReportedWithItsNumber)
{
    const UlmoraTest::Records records = RunScenario("missing", "load");
    EXPECT_THAT(records.Of("log"),
                ElementsAre("4|Ulmora::TestManager|Test(ID=1 Name=P) is missing a dependency(ID=99 Desc=needs 99)",
                            "1|Ulmora::Application|Ulmora failed!",
                            "1|Ulmora::Application|The application exited because the following dependency could "
                            "not be found:\\r\\nID: 99\\r\\nDescription: needs 99"));
    EXPECT_THAT(records.Of("error"), ElementsAre("The application exited because the following dependency could not "
                                                 "be found:\\r\\nID: 99\\r\\nDescription: needs 99"));
}

TEST(TestLoadErrors, TestsPlacedBeforeTheErrorStayInTheRunList)
{
    const UlmoraTest::Records records = RunScenario("prefix", "load run");
    EXPECT_THAT(records.Of("error"), ElementsAre(HasSubstr("ID: 99")));
    EXPECT_EQ(Runs(records), std::vector<std::string>({"A", "B"}));
    // Every registered test is listed, placed or not.
    EXPECT_THAT(records.Of("info"), ElementsAre("A , V.1\\r\\nB , V.1\\r\\nC , V.1\\r\\nD , V.1\\r\\n"));
}

TEST(TestLoadErrors, CyclesAreReportedForTheFirstTestOnThem)
{
    struct Row {
        const char* scenario;
        const char* line;
        const char* message;
    };
    const Row rows[] = {
        {"cycle", "1|Ulmora::TestManager|Dependency cycle found between test(ID=1 Name=P) and dependency(ID=2 Desc=needs 2)",
         "ID: 1\\r\\nName: P"},
        {"self", "1|Ulmora::TestManager|Dependency cycle found between test(ID=7 Name=S) and dependency(ID=7 Desc=needs 7)",
         "ID: 7\\r\\nName: S"},
        // P needs Q, Q and R need each other: checking P ends, and Q is the
        // first test found on the cycle.
        {"outside", "1|Ulmora::TestManager|Dependency cycle found between test(ID=2 Name=Q) and dependency(ID=3 Desc=needs 3)",
         "ID: 2\\r\\nName: Q"},
    };
    for (const Row& row : rows) {
        const UlmoraTest::Records records = RunScenario(row.scenario, "load");
        const std::string message =
            std::string("The application exited because the following test is in a dependency cycle:\\r\\n") +
            row.message;
        EXPECT_THAT(records.Of("log"), ElementsAre(row.line, "1|Ulmora::Application|Ulmora failed!",
                                                   "1|Ulmora::Application|" + message))
            << row.scenario;
        EXPECT_THAT(records.Of("error"), ElementsAre(message)) << row.scenario;
    }
}

TEST(TestLoadErrors, FileThatIsNoModuleEndsTheLoad)
{
    const UlmoraTest::Records records = RunScenario("notmodule", "load");
    const std::string path = Folder("notmodule") + kSep + "sub" + kSep + "broken.tst";
    const std::vector<std::string> log = records.Of("log");
    ASSERT_EQ(log.size(), 3u);
    // Windows searches lower-cased folders.
    const bool folded = kSep == "\\";
    const std::string logged = log[0];
    EXPECT_EQ(folded ? Lower(logged) : logged,
              folded ? Lower("4|Ulmora::TestManager|Failed to load the following dll: " + path)
                     : "4|Ulmora::TestManager|Failed to load the following dll: " + path);
    EXPECT_EQ(log[1], "1|Ulmora::Application|Ulmora failed!");
    const std::vector<std::string> errors = records.Of("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_THAT(errors[0], StartsWith("The application exited because it failed to load the following library:\\r\\n"));
    EXPECT_EQ(Lower(errors[0]).substr(errors[0].size() - path.size()), Lower(path));
}

} // namespace
