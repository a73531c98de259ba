// Runs a scenario host (tests/fixtures/common/ScenarioHost.cpp) copied into a
// scenario folder and reads back the records it wrote.
#ifndef ULMORA_TESTS_SCENARIO_H
#define ULMORA_TESTS_SCENARIO_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace UlmoraTest {

struct Records {
    std::vector<std::string> all;

    // Records of one kind, without the kind.
    std::vector<std::string> Of(const std::string& kind) const
    {
        std::vector<std::string> found;
        for (const std::string& record : all) {
            if (record.compare(0, kind.size() + 1, kind + "|") == 0)
                found.push_back(record.substr(kind.size() + 1));
        }
        return found;
    }

    // Position of the first record equal to `record`, or all.size().
    size_t IndexOf(const std::string& record) const
    {
        return static_cast<size_t>(std::find(all.begin(), all.end(), record) - all.begin());
    }
};

// Where a generated fixture header says the scenario folders are.
struct ScenarioRoot {
    std::string root;
    std::string separator;
    std::string executableSuffix;

    std::string Folder(const std::string& scenario) const
    {
        std::string path = root + separator + scenario;
        std::replace(path.begin(), path.end(), '/', separator[0]);
        return path;
    }

    // Runs the scenario's host with the given steps, e.g. "load run".
    Records Run(const std::string& scenario, const std::string& steps) const
    {
        // One record file per test case: CTest may run several cases that
        // use the same scenario at once.
        const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = test != nullptr ? std::string(test->test_suite_name()) + "." + test->name() : "run";
        std::replace(name.begin(), name.end(), '/', '_');
        const std::string output = Folder(scenario) + "." + name + ".out";
        std::remove(output.c_str());
        const std::string command =
            Folder(scenario) + separator + "host" + executableSuffix + " " + output + " " + steps;
        const int status = std::system(command.c_str());
        EXPECT_EQ(status, 0) << command;
        Records records;
        std::ifstream file(output, std::ios::binary);
        for (std::string line; std::getline(file, line);)
            records.all.push_back(line);
        EXPECT_FALSE(records.all.empty()) << "no records from " << command;
        return records;
    }
};

} // namespace UlmoraTest

#endif
