// ulmora-bench: whitebox
// One million messages through Log::Logger into the library's file output,
// against the same lines written by spdlog's single-threaded file sink with a
// pattern that gives the same bytes. Half of the messages are short texts,
// half are formatted with an integer and a string. Prints messages per second
// for both and the ratio of their times; the goal is a ratio of at most 1.
#include <benchmark/benchmark.h>

#include <spdlog/details/fmt_helper.h>
#include <spdlog/pattern_formatter.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "log/FileLogOutput.h"
#include "support/RatioReporter.h"
#include "ulmora/Log.h"

namespace {

const char* const kModule = "Ulmora::TestManager";

std::string LogPath(const char* name)
{
    return (std::filesystem::temp_directory_path() / (std::string("ulmora-logger-bench-") + name + ".log"))
        .string();
}

// "[h:m:s]" in local time without leading zeros, which no stock spdlog flag
// writes.
class ClockFlag : public spdlog::custom_flag_formatter {
public:
    void format(const spdlog::details::log_msg&, const std::tm& tm, spdlog::memory_buf_t& dest) override
    {
        spdlog::details::fmt_helper::append_int(tm.tm_hour, dest);
        dest.push_back(':');
        spdlog::details::fmt_helper::append_int(tm.tm_min, dest);
        dest.push_back(':');
        spdlog::details::fmt_helper::append_int(tm.tm_sec, dest);
    }
    std::unique_ptr<custom_flag_formatter> clone() const override { return std::make_unique<ClockFlag>(); }
};

void UlmoraLogger(benchmark::State& state)
{
    const int64_t messages = state.range(0);
    const std::string path = LogPath("ulmora");
    for (auto _ : state) {
        Ulmora::FileLogOutput output(path.c_str(), "w+t");
        Log::Logger logger;
        logger.AddOutput(&output);
        for (int64_t i = 0; i < messages; i += 2) {
            logger.Print(kModule, "Done");
            logger.Print(kModule, "Test %d of %s completed", static_cast<int>(i), "the probes");
        }
    }
    state.SetItemsProcessed(state.iterations() * messages);
}

void SpdlogLogger(benchmark::State& state)
{
    const int64_t messages = state.range(0);
    const std::string path = LogPath("spdlog");
    for (auto _ : state) {
        auto sink = std::make_shared<spdlog::sinks::basic_file_sink_st>(path, true);
        spdlog::logger logger(kModule, sink);
        auto formatter = std::make_unique<spdlog::pattern_formatter>();
        formatter->add_flag<ClockFlag>('*').set_pattern("[%*] -%n- %v");
        logger.set_formatter(std::move(formatter));
        for (int64_t i = 0; i < messages; i += 2) {
            logger.info("Done");
            logger.info("Test {} of {} completed", static_cast<int>(i), "the probes");
        }
    }
    state.SetItemsProcessed(state.iterations() * messages);
}

const int64_t kMessages = 1000000;
BENCHMARK(UlmoraLogger)->Arg(kMessages)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(SpdlogLogger)->Arg(kMessages)->Iterations(1)->Unit(benchmark::kMillisecond);

// The comparison only means something if both wrote the same bytes. Lines
// written in different seconds differ in their time stamps, so the check
// compares the files with the time stamps taken out.
bool SameLinesBesidesTime(const std::string& a, const std::string& b)
{
    auto strip = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::string out;
        std::string line;
        while (std::getline(in, line)) {
            const size_t close = line.find(']');
            out += close == std::string::npos ? line : line.substr(close);
            out += '\n';
        }
        return out;
    };
    return strip(a) == strip(b);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    UlmoraBench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const std::string ours = LogPath("ulmora");
    const std::string theirs = LogPath("spdlog");
    const std::string suffix = "/" + std::to_string(kMessages) + "/iterations:1";
    if (reporter.times.count("UlmoraLogger" + suffix) && reporter.times.count("SpdlogLogger" + suffix)) {
        const bool same = SameLinesBesidesTime(ours, theirs);
        std::printf("logger files agree byte for byte apart from time stamps: %s\n", same ? "yes" : "NO");
        std::printf("logger: %.0f messages/s, spdlog: %.0f messages/s\n",
                    kMessages / reporter.times["UlmoraLogger" + suffix],
                    kMessages / reporter.times["SpdlogLogger" + suffix]);
        reporter.PrintRatio("logger, 1M messages", "UlmoraLogger" + suffix, "SpdlogLogger" + suffix, "<= 1.0");
        if (!same)
            return 1;
    }
    std::remove(ours.c_str());
    std::remove(theirs.c_str());
    benchmark::Shutdown();
    return 0;
}
