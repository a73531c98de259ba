// The application's use of a result database: a run clears it first and
// writes it to the log after success, Output returns its text, and a host can
// install a database of its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/HostDatabase.h"
#include "support/RecordingLogOutput.h"
#include "ulmora/Ulmora.h"

namespace {

using UlmoraTest::HostDatabase;
using RecordingOutput = UlmoraTest::RecordingLogOutput;

class ApplicationDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        CreateApplication(&app);
        app->AddLogOutput(&output);
    }
    void TearDown() override { ReleaseApplication(&app); }

    Ulmora::IApplication* app = nullptr;
    RecordingOutput output;
};

// The host database shows and logs the same text.
const char kHostText[] = "host\t100%\n";

const std::vector<std::string> kProgress = {
    "Ulmora::Application|Clearing result database.", "Ulmora::Application|Running tests...",
    "Ulmora::Application|Finished running tests.", "Ulmora::Application|Interpreting results...",
    "Ulmora::Application|Finished interpretation.",
};

TEST_F(ApplicationDatabase, OwnStoreStartsEmptyAndLogsNoResultLines)
{
    EXPECT_EQ(app->Output(), "");
    EXPECT_EQ(app->Run(), 0u);
    EXPECT_EQ(app->Output(), "");
    EXPECT_EQ(output.ModulesAndTexts(), kProgress);
}

TEST_F(ApplicationDatabase, RunClearsAndLogsTheHostDatabase)
{
    HostDatabase host(kHostText, kHostText);
    app->SetResultDatabase(&host);
    EXPECT_EQ(app->Run(), 0u);
    EXPECT_EQ(host.clears, 1);
    EXPECT_EQ(host.writes, 1);
    // The results come last, after the progress lines, without a module.
    std::vector<std::string> expected = kProgress;
    expected.push_back("|host\t100%\n");
    EXPECT_EQ(output.ModulesAndTexts(), expected);
    EXPECT_EQ(app->Output(), "host\t100%\n");

    // Every run starts by clearing.
    app->Run();
    EXPECT_EQ(host.clears, 2);
}

TEST_F(ApplicationDatabase, NullDatabaseKeepsTheInstalledOne)
{
    HostDatabase host(kHostText, kHostText);
    app->SetResultDatabase(&host);
    app->SetResultDatabase(nullptr);
    EXPECT_EQ(app->Output(), "host\t100%\n");
    app->Run();
    EXPECT_EQ(host.clears, 1);
}

// Writing the results lies outside the run's guard: its error reaches the
// host as it was raised.
TEST_F(ApplicationDatabase, ErrorWhileWritingTheLogReachesTheHostUnchanged)
{
    HostDatabase host(kHostText, kHostText);
    host.failWrite = true;
    app->SetResultDatabase(&host);
    try {
        app->Run();
        FAIL() << "the error of WriteToLog must reach the host";
    } catch (const Ulmora::UlmoraFailedException&) {
        FAIL() << "the error must not be wrapped";
    } catch (const Ulmora::ResultNotFoundException& error) {
        EXPECT_STREQ(error.GetErrorMsg(), "Result not found : in the log");
    }
    EXPECT_EQ(output.ModulesAndTexts(), kProgress);
}

} // namespace
