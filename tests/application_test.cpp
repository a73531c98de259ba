// The application facade as a host sees it: creation and release, the run's
// progress lines, log outputs and the database a host installs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/HostDatabase.h"
#include "support/RecordingLogOutput.h"
#include "ulmora/Ulmora.h"

namespace {

using RecordingOutput = UlmoraTest::RecordingLogOutput;

class ApplicationTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(CreateApplication(&app), nullptr); }
    void TearDown() override { ReleaseApplication(&app); }
    Ulmora::IApplication* app = nullptr;
};

TEST_F(ApplicationTest, NameAndVersion)
{
    EXPECT_STREQ(app->Name(), "Ulmora");
    const float version = app->Version();
    uint32_t bits = 0;
    std::memcpy(&bits, &version, sizeof bits);
    EXPECT_EQ(bits, 0x3FA66666u);
}

TEST_F(ApplicationTest, RunOverNothingLogsItsProgressAndReturnsZero)
{
    RecordingOutput out;
    app->AddLogOutput(&out);
    EXPECT_EQ(app->Run(), 0u);
    const char* expected[] = {"Clearing result database.", "Running tests...", "Finished running tests.",
                              "Interpreting results...", "Finished interpretation."};
    ASSERT_EQ(out.lines.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(out.lines[i].text, expected[i]) << "line " << i;
        EXPECT_EQ(out.lines[i].level, 4) << "line " << i;
        EXPECT_EQ(out.lines[i].module, "Ulmora::Application") << "line " << i;
    }
    EXPECT_EQ(app->Output(), "");
    EXPECT_EQ(app->GetLoadedPluginsInfo(), "");
    app->RemoveLogOutput(&out);
}

TEST_F(ApplicationTest, RemovedOutputsHearNothingMore)
{
    RecordingOutput out;
    app->AddLogOutput(&out);
    app->AddLogOutput(&out);
    app->Run();
    app->RemoveLogOutput(&out);
    app->Run();
    EXPECT_EQ(out.lines.size(), 5u);
}

using UlmoraTest::HostDatabase;

TEST_F(ApplicationTest, AHostDatabaseIsClearedWrittenAndShown)
{
    HostDatabase db("host\tdb\n", "from host db");
    RecordingOutput out;
    app->AddLogOutput(&out);
    app->SetResultDatabase(&db);
    app->SetResultDatabase(nullptr);  // ignored: the host database stays
    EXPECT_EQ(app->Run(), 0u);
    EXPECT_EQ(db.clears, 1);
    EXPECT_EQ(db.writes, 1);
    ASSERT_EQ(out.lines.size(), 6u);
    EXPECT_EQ(out.lines.back().text, "from host db");
    EXPECT_EQ(out.lines.back().module, "");
    EXPECT_EQ(app->Output(), "host\tdb\n");
    app->RemoveLogOutput(&out);
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(ApplicationTest, TheFirstDefaultLogPathWins)
{
    const std::string first = testing::TempDir() + "ulmora_app_first.log";
    const std::string second = testing::TempDir() + "ulmora_app_second.log";
    std::remove(second.c_str());
    app->UseDefaultLogOutput(first.c_str());
    app->UseDefaultLogOutput(second.c_str());
    app->Run();
    ReleaseApplication(&app);  // closes the file
    EXPECT_THAT(ReadAll(first), testing::HasSubstr("-Ulmora::Application- Clearing result database."));
    std::ifstream secondFile(second);
    EXPECT_FALSE(secondFile.good());
    std::remove(first.c_str());
}

TEST_F(ApplicationTest, AnUnopenableLogPathIsSilent)
{
    const std::string path = testing::TempDir() + "no_such_dir_ulmora/x/y.log";
    app->UseDefaultLogOutput(path.c_str());
    EXPECT_EQ(app->Run(), 0u);
}

TEST(ApplicationLifetime, CreateReplacesAndReleaseClears)
{
    Ulmora::IApplication* app = nullptr;
    Ulmora::IApplication* first = CreateApplication(&app);
    ASSERT_EQ(first, app);
    Ulmora::IApplication* second = CreateApplication(&app);  // destroys the first
    EXPECT_EQ(second, app);
    ReleaseApplication(&app);
    EXPECT_EQ(app, nullptr);
    ReleaseApplication(&app);  // null: nothing happens
    EXPECT_EQ(app, nullptr);
}

} // namespace
