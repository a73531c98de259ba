// The ulmora host over the bundled probe modules: `ulmora run --plain --log FILE`
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
    const std::string command = Host() + " run --plain --log " + log + " > " + out;
    // The requirements judge's answer (0 to 3) is the exit status.
    const int status = ExitStatus(std::system(command.c_str()));
    ASSERT_TRUE(status >= 0 && status <= 3) << command << " exited with " << status;

    const std::string output = ReadFile(out);
    for (const char* key : {"cpu.logical_count", "memory.total_bytes", "storage.volume.count",
                            "graphics.adapter.count", "system.process.bits"})
        EXPECT_TRUE(IsNumber(ValueOf(output, key))) << key << "\n" << output;
    for (const char* probe : {"system", "cpu", "memory", "storage", "graphics", "timer"}) {
        const std::string status = ValueOf(output, std::string(probe) + ".status");
        EXPECT_TRUE(status == "ok" || status.compare(0, 9, "partial: ") == 0) << probe << ": " << status;
    }

    const std::string text = ReadFile(log);
    for (const char* line : {"Test(ID=1101 Name=system Version=1) ran with success.",
                             "Test(ID=1102 Name=cpu Version=1) ran with success.",
                             "Test(ID=1103 Name=memory Version=1) ran with success.",
                             "Test(ID=1104 Name=storage Version=1) ran with success.",
                             "Test(ID=1105 Name=graphics Version=1) ran with success.",
                             "Test(ID=1106 Name=timer Version=1) ran with success."}) {
        EXPECT_THAT(text, HasSubstr(std::string("-Ulmora::TestManager- ") + line)) << line;
    }
    // The judges read the results after every test has run, the score
    // judge first: the requirements judge's answer may end the pass.
    const std::string scored = "-Ulmora::InterpreterManager- Interpreter(ID=2101 Name=score Version=1) ran with success.";
    const std::string judged = "-Ulmora::InterpreterManager- Interpreter(ID=2102 Name=requirements Version=1) ran with success.";
    ASSERT_THAT(text, HasSubstr(scored));
    ASSERT_THAT(text, HasSubstr(judged));
    for (const char* name : {"Name=system", "Name=cpu", "Name=memory", "Name=storage", "Name=graphics", "Name=timer"})
        EXPECT_LT(text.find(name), text.find(scored)) << name;
    EXPECT_LT(text.find(scored), text.find(judged));
    // The results close the log, one line each with an empty module field.
    EXPECT_THAT(text, HasSubstr("] -- cpu.logical_count\t" + ValueOf(output, "cpu.logical_count") + "\n"));
    EXPECT_THAT(text, HasSubstr("] -- system.process.bits\t" + ValueOf(output, "system.process.bits") + "\n"));
}

TEST(UlmoraHost, VerbosePrintsThePluginManagersLines)
{
    const std::string out = kRoot + kSep + "verbose.out";
    const std::string err = kRoot + kSep + "verbose.err";
    const std::string command = Host() + " run --verbose > " + out + " 2> " + err;
    const int status = ExitStatus(std::system(command.c_str()));
    ASSERT_TRUE(status >= 0 && status <= 3) << command << " exited with " << status;
    const std::string text = ReadFile(err);
    for (const char* probe : {"system", "cpu", "memory", "storage", "graphics", "timer"})
        EXPECT_THAT(text, HasSubstr(std::string("Registered plugin: ") + probe + "\n")) << probe;
    EXPECT_THAT(text, HasSubstr("score.intr.\n"));
    EXPECT_THAT(text, HasSubstr("requirements.intr.\n"));
    EXPECT_THAT(text, HasSubstr("Unloading plugins...\n"));
    EXPECT_THAT(text, HasSubstr("cpu.tst.\n"));
    EXPECT_THAT(text, HasSubstr("Releasing "));
}

} // namespace
