// ulmora-test: whitebox
// The logger's delivery rules and the file output's line format.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "log/FileLogOutput.h"
#include "platform/Platform.h"
#include "support/RecordingLogOutput.h"
#include "ulmora/Log.h"

namespace {

using RecordingOutput = UlmoraTest::RecordingLogOutput;

TEST(Logger, EveryOutputSeesTheSameMessageInOrderOfAdding)
{
    Log::Logger logger;
    std::vector<std::string> order;
    struct Tagged : RecordingOutput {
        Tagged(std::vector<std::string>* o, const char* t) : order(o), tag(t) {}
        void Write(int level, const char* module, const time_t* time, const char* text) override
        {
            order->push_back(tag);
            RecordingOutput::Write(level, module, time, text);
        }
        std::vector<std::string>* order;
        const char* tag;
    } first(&order, "first"), second(&order, "second");
    logger.AddOutput(&first);
    logger.AddOutput(&second);

    logger.PrintLevel(2, "Mod", "value %d of %s", 7, "x");

    ASSERT_EQ(first.lines.size(), 1u);
    ASSERT_EQ(second.lines.size(), 1u);
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(first.lines[0].text, "value 7 of x");
    EXPECT_EQ(first.lines[0].level, 2);
    EXPECT_EQ(first.lines[0].module, "Mod");
    // One time stamp, shared by address.
    EXPECT_EQ(first.lines[0].time, second.lines[0].time);
    EXPECT_EQ(second.lines[0].text, first.lines[0].text);
}

TEST(Logger, PrintVariantsChooseLevelAndModule)
{
    Log::Logger logger;
    RecordingOutput out;
    logger.AddOutput(&out);
    logger.Print("A", "one");
    logger.PrintLevel(1, "B", "two");
    logger.PrintNoModule("three");
    ASSERT_EQ(out.lines.size(), 3u);
    EXPECT_EQ(out.lines[0].level, 4);
    EXPECT_EQ(out.lines[0].module, "A");
    EXPECT_EQ(out.lines[1].level, 1);
    EXPECT_EQ(out.lines[2].level, 4);
    EXPECT_EQ(out.lines[2].module, "");
}

TEST(Logger, AddingTwiceDeliversOnceAndRemovalKeepsOrder)
{
    Log::Logger logger;
    RecordingOutput a, b, c, never;
    logger.AddOutput(&a);
    logger.AddOutput(&a);
    logger.AddOutput(&b);
    logger.AddOutput(&c);
    logger.RemoveOutput(&never);
    logger.Print("", "m1");
    logger.RemoveOutput(&c);
    logger.Print("", "m2");
    logger.RemoveOutput(&a);
    logger.RemoveOutput(&b);
    logger.Print("", "m3");
    EXPECT_EQ(a.lines.size(), 2u);
    EXPECT_EQ(b.lines.size(), 2u);
    EXPECT_EQ(c.lines.size(), 1u);
}

TEST(Logger, MessagesOf2048CharactersOrMoreAreDropped)
{
    struct Case {
        size_t length;
        bool delivered;
    };
    const Case cases[] = {{0, true}, {2047, true}, {2048, false}, {5000, false}};
    for (const Case& c : cases) {
        Log::Logger logger;
        RecordingOutput out;
        logger.AddOutput(&out);
        const std::string text(c.length, 'x');
        logger.Print("M", "%s", text.c_str());
        ASSERT_EQ(out.lines.size(), c.delivered ? 1u : 0u) << "length " << c.length;
        if (c.delivered) {
            EXPECT_EQ(out.lines[0].text, text) << "length " << c.length;
        }
    }
}

TEST(Logger, AnOutputThatThrowsStopsDeliveryToLaterOutputs)
{
    struct Throwing : Log::ILogOutput {
        void Write(int, const char*, const time_t*, const char*) override { throw 42; }
    } thrower;
    RecordingOutput later;
    Log::Logger logger;
    logger.AddOutput(&thrower);
    logger.AddOutput(&later);
    EXPECT_THROW(logger.Print("", "x"), int);
    EXPECT_TRUE(later.lines.empty());
}

std::string TempPath(const char* name)
{
    return testing::TempDir() + name;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(FileLogOutput, WritesTimeModuleAndTextPerLine)
{
    const std::string path = TempPath("ulmora_file_log_output.txt");
    std::tm expected = {};
    time_t stamp = 0;
    {
        Ulmora::FileLogOutput out(path.c_str(), "w+t");
        std::tm t = {};
        t.tm_year = 120;
        t.tm_mon = 0;
        t.tm_mday = 2;
        t.tm_hour = 9;
        t.tm_min = 5;
        t.tm_sec = 3;
        t.tm_isdst = -1;
        stamp = std::mktime(&t);
        ASSERT_TRUE(Ulmora::Platform::LocalTime(stamp, &expected));
        out.Write(4, "Ulmora::TestManager", &stamp, "Done");
        out.Write(4, "", &stamp, "Done");
    }
    EXPECT_EQ(expected.tm_hour, 9);
    const std::string contents = ReadAll(path);
    EXPECT_THAT(contents, testing::HasSubstr("[9:5:3] -Ulmora::TestManager- Done"));
    EXPECT_THAT(contents, testing::HasSubstr("[9:5:3] -- Done"));
    std::remove(path.c_str());
}

TEST(FileLogOutput, StartsTheFileAfresh)
{
    const std::string path = TempPath("ulmora_file_log_afresh.txt");
    {
        std::ofstream(path) << "old content\n";
    }
    time_t now = std::time(nullptr);
    {
        Ulmora::FileLogOutput out(path.c_str(), "w+t");
        out.Write(4, "M", &now, "new");
    }
    const std::string contents = ReadAll(path);
    EXPECT_EQ(contents.find("old content"), std::string::npos);
    EXPECT_THAT(contents, testing::HasSubstr("-M- new"));
    std::remove(path.c_str());
}

// The output keeps the local time of the last second it wrote and builds
// short lines itself; every line must still be exactly what the printf
// format "[%d:%d:%d] -%s- %s\n" gives, whatever the seconds, the order in
// which they come and the lengths of module and text.
TEST(FileLogOutput, LinesMatchThePrintfFormatAcrossSecondsAndLengths)
{
    const time_t base = std::time(nullptr);
    const std::string longModule(5000, 'm');
    const std::string longText(2047, 't');
    const struct {
        const char* row;
        time_t time;
        std::string module;
        std::string text;
    } rows[] = {
        {"first second", base, "Ulmora::TestManager", "Done"},
        {"same second again", base, "A", "second line"},
        {"next second", base + 1, "A", "later"},
        {"back to the first second", base, "A", "earlier"},
        {"an hour and a minute on", base + 3661, "B", "far"},
        {"a day before", base - 86400, "C", "yesterday"},
        {"empty module and text", base, "", ""},
        {"longest text", base, "Ulmora::InterpreterManager", longText},
        {"module longer than the line buffer", base + 2, longModule, "x"},
        {"both long", base + 2, longModule, longText},
        {"percent signs stay as they are", base, "%s%d", "100% %n"},
    };
    const std::string path = TempPath("ulmora_file_log_lines.txt");
    std::string expected;
    {
        Ulmora::FileLogOutput out(path.c_str(), "w+t");
        for (const auto& row : rows) {
            out.Write(4, row.module.c_str(), &row.time, row.text.c_str());
            std::tm local = {};
            ASSERT_TRUE(Ulmora::Platform::LocalTime(row.time, &local)) << row.row;
            std::vector<char> line(row.module.size() + row.text.size() + 64);
            std::snprintf(line.data(), line.size(), "[%d:%d:%d] -%s- %s\n", local.tm_hour, local.tm_min,
                          local.tm_sec, row.module.c_str(), row.text.c_str());
            expected += line.data();
        }
    }
    // Read in text mode: on Windows every line ends in a carriage return
    // and a line feed on disk.
    std::ifstream written(path);
    std::istringstream wanted(expected);
    std::string got;
    std::string want;
    for (const auto& row : rows) {
        ASSERT_TRUE(std::getline(written, got)) << row.row;
        std::getline(wanted, want);
        EXPECT_EQ(got, want) << row.row;
    }
    EXPECT_FALSE(std::getline(written, got)) << "extra line: " << got;
    written.close();
    std::remove(path.c_str());
}

TEST(FileLogOutput, AnUnopenablePathSwallowsEveryLine)
{
    const std::string path = TempPath("no_such_directory_ulmora/sub/log.txt");
    Ulmora::FileLogOutput out(path.c_str(), "w+t");
    time_t now = std::time(nullptr);
    out.Write(4, "M", &now, "lost");  // must neither crash nor create anything
    std::ifstream in(path);
    EXPECT_FALSE(in.good());
}

} // namespace
