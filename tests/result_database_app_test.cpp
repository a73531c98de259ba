// The application's use of a result database: a run clears it first and
// writes it to the log after success, Output returns its text, and a host can
// install a database of its own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/RecordingLogOutput.h"
#include "ulmora/Ulmora.h"

namespace {

// A host's own database, built only against the exported interface.
class HostDatabase : public Ulmora::IResultDatabase {
public:
    void Clear() override { ++clears; }
    void AddUInt8(const char*, uint8_t, ...) override {}
    void AddInt8(const char*, int8_t, ...) override {}
    void AddUInt16(const char*, uint16_t, ...) override {}
    void AddInt16(const char*, int16_t, ...) override {}
    void AddUInt32(const char*, uint32_t, ...) override {}
    void AddInt32(const char*, int32_t, ...) override {}
    void AddUInt64(const char*, uint64_t, ...) override {}
    void AddInt64(const char*, int64_t, ...) override {}
    void AddFloat(const char*, float, ...) override {}
    void AddDouble(const char*, double, ...) override {}
    void AddBool(const char*, bool, ...) override {}
    void AddString(const char*, const char*, ...) override {}
    uint8_t GetUInt8(const char*, uint32_t, ...) const override { return 0; }
    int8_t GetInt8(const char*, uint32_t, ...) const override { return 0; }
    uint16_t GetUInt16(const char*, uint32_t, ...) const override { return 0; }
    int16_t GetInt16(const char*, uint32_t, ...) const override { return 0; }
    uint32_t GetUInt32(const char*, uint32_t, ...) const override { return 0; }
    int32_t GetInt32(const char*, uint32_t, ...) const override { return 0; }
    uint64_t GetUInt64(const char*, uint32_t, ...) const override { return 0; }
    int64_t GetInt64(const char*, uint32_t, ...) const override { return 0; }
    float GetFloat(const char*, uint32_t, ...) const override { return 0; }
    double GetDouble(const char*, uint32_t, ...) const override { return 0; }
    bool GetBool(const char*, uint32_t, ...) const override { return false; }
    std::string GetString(const char*, uint32_t, ...) const override { return std::string(); }
    DoubleZeroString GetValues(const char*, ...) const override { return DoubleZeroString(); }
    uint32_t GetValueCount(const char*, ...) const override { return 0; }
    std::string GetAsText() const override { return "host\t100%\n"; }
    void WriteToLog(Log::Logger* logger) const override
    {
        ++writes;
        if (failWrite)
            throw Ulmora::ResultNotFoundException("in the log");
        logger->PrintNoModule("%s", "host\t100%\n");
    }

    int clears = 0;
    mutable int writes = 0;
    bool failWrite = false;
};

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
    HostDatabase host;
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
    HostDatabase host;
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
    HostDatabase host;
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
