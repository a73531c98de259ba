// The ulmora host over the bundled probe modules: `ulmora run --log FILE`
// prints every result line and writes the run's log, including the results.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "E2eFixturePaths.h"

namespace {

using ::testing::HasSubstr;

const std::string kSep = E2E_FIXTURE_SEPARATOR;
const std::string kRoot = E2E_FIXTURE_ROOT;

// The file's text with line ends as "\n" on every platform.
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

// The value of the first "key<TAB>value" line whose key is `key`, or "?".
std::string ValueOf(const std::string& text, const std::string& key)
{
    for (std::string::size_type at = text.find(key + "\t"); at != std::string::npos;
         at = text.find(key + "\t", at + 1)) {
        if (at == 0 || text[at - 1] == '\n' || text[at - 1] == ' ') {
            const std::string::size_type start = at + key.size() + 1;
            return text.substr(start, text.find('\n', start) - start);
        }
    }
    return "?";
}

bool IsNumber(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// The exit status of a command run with std::system.
int ExitStatus(int status)
{
#ifdef _WIN32
    return status;
#else
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

std::string Host()
{
    return kRoot + kSep + "ulmora" + E2E_EXECUTABLE_SUFFIX;
}

TEST(UlmoraHost, RunPrintsAndLogsEveryProbeResult)
{
    const std::string log = kRoot + kSep + "run.log";
    const std::string out = kRoot + kSep + "run.out";
    std::remove(log.c_str());
    const std::string command = Host() + " run --log " + log + " > " + out;
    // The requirements judge's answer (0 to 3) is the exit status.
    const int status = ExitStatus(std::system(command.c_str()));
    ASSERT_TRUE(status >= 0 && status <= 3) << command << " exited with " << status;

    const std::string output = ReadFile(out);
    EXPECT_TRUE(IsNumber(ValueOf(output, "cpu.count"))) << output;
    EXPECT_TRUE(IsNumber(ValueOf(output, "clock.monotonic.seconds"))) << output;
    const std::string utc = ValueOf(output, "clock.utc");
    EXPECT_TRUE(utc.size() == 20 && utc[4] == '-' && utc[10] == 'T' && utc[19] == 'Z') << utc;
    EXPECT_THAT(ValueOf(output, "disk.known"), ::testing::AnyOf("true", "false"));
    EXPECT_EQ(ValueOf(output, "summary.probes.reported"), "4");

    const std::string text = ReadFile(log);
    for (const char* line : {"Test(ID=1001 Name=clock Version=1) ran with success.",
                             "Test(ID=1002 Name=cpu Version=1) ran with success.",
                             "Test(ID=1003 Name=disk Version=1) ran with success."}) {
        EXPECT_THAT(text, HasSubstr(std::string("-Ulmora::TestManager- ") + line)) << line;
    }
    // The summary needs the three others, so it runs after them.
    const std::string summary = "Test(ID=1004 Name=summary Version=1) ran with success.";
    ASSERT_THAT(text, HasSubstr(summary));
    for (const char* name : {"Name=clock", "Name=cpu", "Name=disk"})
        EXPECT_LT(text.find(name), text.find(summary)) << name;
    // The judges read the results after every test has run, the score
    // judge first: the requirements judge's answer may end the pass.
    const std::string scored = "-Ulmora::InterpreterManager- Interpreter(ID=2101 Name=score Version=1) ran with success.";
    const std::string judged = "-Ulmora::InterpreterManager- Interpreter(ID=2102 Name=requirements Version=1) ran with success.";
    ASSERT_THAT(text, HasSubstr(scored));
    ASSERT_THAT(text, HasSubstr(judged));
    EXPECT_LT(text.find(summary), text.find(scored));
    EXPECT_LT(text.find(scored), text.find(judged));
    // The results close the log, one line each with an empty module field.
    EXPECT_THAT(text, HasSubstr("] -- cpu.count\t" + ValueOf(output, "cpu.count") + "\n"));
    EXPECT_THAT(text, HasSubstr("] -- summary.probes.reported\t4\n"));
}

TEST(UlmoraHost, VerbosePrintsThePluginManagersLines)
{
    const std::string out = kRoot + kSep + "verbose.out";
    const std::string err = kRoot + kSep + "verbose.err";
    const std::string command = Host() + " run --verbose > " + out + " 2> " + err;
    const int status = ExitStatus(std::system(command.c_str()));
    ASSERT_TRUE(status >= 0 && status <= 3) << command << " exited with " << status;
    const std::string text = ReadFile(err);
    for (const char* probe : {"clock", "cpu", "disk", "summary"})
        EXPECT_THAT(text, HasSubstr(std::string("Registered plugin: ") + probe + "\n")) << probe;
    EXPECT_THAT(text, HasSubstr("score.intr.\n"));
    EXPECT_THAT(text, HasSubstr("requirements.intr.\n"));
    EXPECT_THAT(text, HasSubstr("Unloading plugins...\n"));
    EXPECT_THAT(text, HasSubstr("cpu.tst.\n"));
    EXPECT_THAT(text, HasSubstr("Releasing "));
}

} // namespace
