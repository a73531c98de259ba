// Interpreter modules through the application: each scenario folder
// (tests/fixtures/interpreter.cmake) holds a copy of the scenario host and
// the modules it finds below its own folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "InterpreterFixturePaths.h"
#include "support/Scenario.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using UlmoraTest::Records;

const UlmoraTest::ScenarioRoot kScenarios{IP_FIXTURE_ROOT, IP_FIXTURE_SEPARATOR, IP_EXECUTABLE_SUFFIX};

// The events of one fixture module, in order, without its label.
std::vector<std::string> EventsOf(const Records& records, const std::string& label)
{
    std::vector<std::string> events;
    for (const std::string& event : records.Of("event")) {
        if (event.compare(0, label.size() + 1, label + ":") == 0)
            events.push_back(event.substr(label.size() + 1));
    }
    return events;
}

TEST(InterpreterModules, RunsJudgeTheTestsResultsUntilTheFirstNonZeroAnswer)
{
    const Records records = kScenarios.Run("pass", "load interpreters run run");
    EXPECT_THAT(records.Of("error"), ElementsAre());
    EXPECT_THAT(records.Of("answer"), ElementsAre("7", "7"));
    // Five never runs; each run uses fresh instances, and both tests'
    // results are there to read.
    const std::vector<std::string> pass = {"create:Zero",  "interpret:Zero:2",  "destroy-instance:Zero",
                                           "create:Seven", "interpret:Seven:2", "destroy-instance:Seven"};
    std::vector<std::string> expected = pass;
    expected.insert(expected.end(), pass.begin(), pass.end());
    expected.insert(expected.end(), {"release:Zero", "release:Seven", "release:Five", "destroy-interface"});
    EXPECT_EQ(EventsOf(records, "judges"), expected);

    std::vector<std::string> lines;
    for (const std::string& line : records.Of("log")) {
        if (line.find("|Ulmora::InterpreterManager|") != std::string::npos)
            lines.push_back(line);
    }
    EXPECT_THAT(lines, ElementsAre("4|Ulmora::InterpreterManager|Interpreter(ID=4 Name=Zero Version=1) ran with success.",
                                   "4|Ulmora::InterpreterManager|Interpreter(ID=5 Name=Seven Version=1) ran with success.",
                                   "4|Ulmora::InterpreterManager|Interpreter(ID=4 Name=Zero Version=1) ran with success.",
                                   "4|Ulmora::InterpreterManager|Interpreter(ID=5 Name=Seven Version=1) ran with success."));
    // Interpreters are listed before tests.
    EXPECT_THAT(records.Of("info"),
                ElementsAre("Zero , V.1\\r\\nSeven , V.1\\r\\nFive , V.1\\r\\nA , V.1\\r\\nB , V.1\\r\\n"));
}

TEST(InterpreterModules, InterpreterModulesAreUnloadedBeforeTestModules)
{
    const Records records = kScenarios.Run("pass", "load interpreters");
    const size_t interpreters = records.IndexOf("event|judges:destroy-interface");
    const size_t tests = records.IndexOf("event|tests:shutdown");
    ASSERT_LT(interpreters, records.all.size());
    ASSERT_LT(tests, records.all.size());
    EXPECT_LT(interpreters, tests);
    EXPECT_LT(records.IndexOf("event|judges:release:Five"), records.IndexOf("event|tests:release:A"));
}

TEST(InterpreterModules, SavingAsksEveryInterpreterOnAFreshInstance)
{
    const Records records = kScenarios.Run("pass", "interpreters run save");
    const std::vector<std::string> events = EventsOf(records, "judges");
    // The run stops at Seven; the saving pass starts at Zero again and also
    // reaches Five, each on a new instance.
    ASSERT_GE(events.size(), 15u);
    EXPECT_EQ(std::vector<std::string>(events.begin() + 6, events.begin() + 15),
              (std::vector<std::string>{"create:Zero", "save:Zero", "destroy-instance:Zero", "create:Seven",
                                        "save:Seven", "destroy-instance:Seven", "create:Five", "save:Five",
                                        "destroy-instance:Five"}));
}

TEST(InterpreterModules, AHostInterpreterKeepsItsIdentifierAgainstModules)
{
    const Records records = kScenarios.Run("hostfirst", "register:2 interpreters run save");
    EXPECT_THAT(records.Of("error"), ElementsAre());
    EXPECT_THAT(records.Of("info"), ElementsAre("Host , V.9\\r\\nOwn , V.1\\r\\n"));
    const std::vector<std::string> debug = records.Of("debug");
    EXPECT_THAT(debug, testing::Contains("Failed to register plugin: Clash(A plugin with the same PluginID is "
                                         "already registered.)\\n"));
    EXPECT_THAT(debug, testing::Contains("Failed to register plugin: Lone(A plugin with the same PluginID is "
                                         "already registered.)\\n"));
    // The module whose only interpreter was refused is dropped during the
    // load; the other stays until the application is released.
    EXPECT_LT(records.IndexOf("event|drop:destroy-interface"), records.IndexOf("event|host:interpret"));
    EXPECT_GT(records.IndexOf("event|keep:destroy-interface"), records.IndexOf("event|host:release"));
    EXPECT_THAT(EventsOf(records, "drop"), ElementsAre("destroy-interface"));
    EXPECT_THAT(EventsOf(records, "host"), ElementsAre("interpret", "save", "release"));
    EXPECT_THAT(EventsOf(records, "keep"), ElementsAre("create:Own", "interpret:Own:0", "destroy-instance:Own",
                                                       "create:Own", "save:Own", "destroy-instance:Own",
                                                       "release:Own", "destroy-interface"));
}

TEST(InterpreterModules, AFileThatIsNoModuleFailsTheLoad)
{
    const Records records = kScenarios.Run("broken", "interpreters");
    const std::vector<std::string> errors = records.Of("error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_THAT(errors[0], testing::StartsWith("The application exited because it failed to load the following "
                                               "library:\\r\\n"));
    EXPECT_THAT(errors[0], HasSubstr("garbage.intr"));
    const std::vector<std::string> log = records.Of("log");
    ASSERT_EQ(log.size(), 3u);
    EXPECT_THAT(log[0], testing::StartsWith("4|Ulmora::InterpreterManager|Failed to load the following dll: "));
    EXPECT_THAT(log[0], HasSubstr("garbage.intr"));
    EXPECT_EQ(log[1], "1|Ulmora::Application|Ulmora failed!");
    EXPECT_EQ(log[2], "1|Ulmora::Application|" + errors[0]);
    // The module found before the broken file stays loaded and registered.
    EXPECT_THAT(records.Of("info"), ElementsAre("Zero , V.1\\r\\nSeven , V.1\\r\\nFive , V.1\\r\\n"));
}

TEST(InterpreterModules, ADescriptorWithoutInstanceIsPassedOverInBothPasses)
{
    const Records records = kScenarios.Run("nullinstance", "interpreters run save");
    EXPECT_THAT(records.Of("error"), ElementsAre());
    EXPECT_THAT(records.Of("answer"), ElementsAre("3"));
    // Nothing is handed back for the instance that was never made.
    EXPECT_THAT(EventsOf(records, "null"),
                ElementsAre("create:Null", "create:After", "interpret:After:0", "destroy-instance:After",
                            "create:Null", "create:After", "save:After", "destroy-instance:After", "release:Null",
                            "release:After", "destroy-interface"));
    for (const std::string& line : records.Of("log"))
        EXPECT_THAT(line, testing::Not(HasSubstr("Name=Null"))) << "no success line for Null";
}

// A test or an interpreter that throws something the library does not know:
// the error reaches the host, every instance goes back to its descriptor,
// and the application is released cleanly afterwards (the sanitizer build
// also checks for leaks when the host exits).
TEST(InterpreterModules, ForeignErrorsReachTheHostAndLeaveNothingBehind)
{
    struct Row {
        const char* scenario;
        const char* label;
        std::vector<std::string> foreign;
        std::vector<std::string> events;
    };
    const std::vector<std::string> judge = {"create:Boom", "interpret:Boom:0", "destroy-instance:Boom",
                                            "create:Boom", "save:Boom",        "destroy-instance:Boom",
                                            "create:Boom", "interpret:Boom:0", "destroy-instance:Boom",
                                            "release:Boom", "destroy-interface"};
    const std::vector<std::string> test = {"initialize",   "run:Boom", "destroy-instance:Boom", "run:Boom",
                                           "destroy-instance:Boom", "release:Boom", "shutdown",
                                           "destroy-interface"};
    const Row rows[] = {
        {"throw-judge-std", "judge", {"fixture.Boom", "fixture.Boom", "fixture.Boom"}, judge},
        {"throw-judge-int", "judge", {"int 42", "int 42", "int 42"}, judge},
        {"throw-test-std", "test", {"fixture.Boom", "fixture.Boom"}, test},
        {"throw-test-int", "test", {"int 42", "int 42"}, test},
    };
    for (const Row& row : rows) {
        const Records records = kScenarios.Run(row.scenario, "load interpreters run save run");
        EXPECT_THAT(records.Of("error"), ElementsAre()) << row.scenario;
        EXPECT_EQ(records.Of("foreign"), row.foreign) << row.scenario;
        EXPECT_EQ(EventsOf(records, row.label), row.events) << row.scenario;
    }
}

} // namespace
