// The ulmora host over the bundled probe modules: `ulmora run --log FILE`
// prints every result line and writes the run's log, including the results.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "E2eFixturePaths.h"

namespace {

using ::testing::ContainsRegex;
using ::testing::HasSubstr;

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(UlmoraHost, RunPrintsAndLogsEveryProbeResult)
{
    const std::string sep = E2E_FIXTURE_SEPARATOR;
    const std::string root = E2E_FIXTURE_ROOT;
    const std::string log = root + sep + "run.log";
    const std::string out = root + sep + "run.out";
    std::remove(log.c_str());
    const std::string command =
        root + sep + "ulmora" + E2E_EXECUTABLE_SUFFIX + " run --log " + log + " > " + out;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    const std::string output = ReadFile(out);
    EXPECT_THAT(output, ContainsRegex("cpu\\.count\t[0-9]+\n"));
    EXPECT_THAT(output, ContainsRegex("clock\\.utc\t[0-9]{4}-[0-9]{2}-[0-9]{2}T"));
    EXPECT_THAT(output, HasSubstr("disk.known\t"));
    EXPECT_THAT(output, HasSubstr("summary.probes.reported\t4\n"));

    const std::string text = ReadFile(log);
    // The summary needs the three others, so it runs last.
    for (const char* line : {"Test(ID=1001 Name=clock Version=1) ran with success.",
                             "Test(ID=1002 Name=cpu Version=1) ran with success.",
                             "Test(ID=1003 Name=disk Version=1) ran with success."}) {
        EXPECT_THAT(text, HasSubstr(std::string("-Ulmora::TestManager- ") + line)) << line;
    }
    EXPECT_LT(text.find("Name=disk"), text.find("Test(ID=1004 Name=summary Version=1) ran with success."));
    EXPECT_THAT(text, ContainsRegex("\\] -- cpu\\.count\t[0-9]+\n"));
    EXPECT_THAT(text, HasSubstr("summary.probes.reported\t4\n"));
}

} // namespace
