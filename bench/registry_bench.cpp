// ulmora-bench: whitebox
// Writing a parameter list to the registry file store and reading it back:
// 10,000 parameters in 100 nested lists against 1,000 in 10. Prints the time
// per parameter and the scaling between the two sizes.
//
// Parsing store files of hostile shapes: one very deep key path, one very
// long hex value, and a large file of ordinary keys, each at two sizes
// (bytes of file text). The scaling between the sizes shows whether parsing
// stays linear; the 10 MB file shows the absolute cost.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/RegistryFormat.h"
#include "support/RatioReporter.h"
#include "ulmora/Registry.h"
#include "ulmora/Ulmora.h"

namespace {

const int64_t kPerList = 100;

// A top list holding `lists` nested lists of kPerList integer parameters.
struct Tree {
    explicit Tree(int64_t lists)
        : values(static_cast<size_t>(lists * kPerList), 0)
    {
        top.SetName("Settings");
        for (int64_t l = 0; l < lists; ++l) {
            nested.emplace_back(new ParameterList());
            ParameterList& list = *nested.back();
            list.SetName("List" + std::to_string(l));
            for (int64_t p = 0; p < kPerList; ++p) {
                int32_t* variable = &values[static_cast<size_t>(l * kPerList + p)];
                *variable = static_cast<int32_t>(l * 1000 + p);
                list.AddParameterInt(static_cast<uint32_t>(p), "value" + std::to_string(p), "",
                                     variable, nullptr);
            }
            top.AddParameterList(static_cast<uint32_t>(l), &list, nullptr, false, true);
        }
    }
    std::vector<int32_t> values;
    std::vector<std::unique_ptr<ParameterList>> nested;
    ParameterList top;
};

std::filesystem::path Directory()
{
    return std::filesystem::temp_directory_path() / "ulmora-registry-bench";
}

void WriteAndRead(benchmark::State& state)
{
    const int64_t lists = state.range(0);
    std::filesystem::remove_all(Directory());
    UlmoraSetRegistryDirectory(Directory().string().c_str());
    Tree tree(lists);
    Ulmora::RegConfigWriter writer;
    Ulmora::RegConfigReader reader;
    for (auto _ : state) {
        writer.WriteConfig(HKEY_CURRENT_USER, "Software\\UlmoraBench", &tree.top);
        reader.ReadConfig(HKEY_CURRENT_USER, "Software\\UlmoraBench", &tree.top);
    }
    if (tree.values.back() != static_cast<int32_t>((lists - 1) * 1000 + kPerList - 1))
        state.SkipWithError("values did not survive the round trip");
    state.counters["per_parameter"] = benchmark::Counter(
        static_cast<double>(lists * kPerList),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    UlmoraSetRegistryDirectory(nullptr);
    std::filesystem::remove_all(Directory());
}

BENCHMARK(WriteAndRead)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

enum Shape { DeepPath = 0, LongHex = 1, ManyKeys = 2 };

// A store file of about `bytes` bytes of the given shape.
std::string StoreText(Shape shape, size_t bytes)
{
    std::string text = "REGEDIT4\n\n";
    switch (shape) {
    case DeepPath:
        text += "[HKEY_CURRENT_USER";
        while (text.size() < bytes)
            text += "\\a";
        text += "]\n\"v\"=dword:00000001\n";
        break;
    case LongHex:
        text += "[HKEY_CURRENT_USER\\k]\n\"v\"=hex:";
        for (size_t i = 0; text.size() < bytes; ++i)
            text += i % 25 == 24 ? "ab,\\\n  " : "ab,";
        text += "00\n";
        break;
    case ManyKeys:
        for (size_t i = 0; text.size() < bytes; ++i) {
            text += "[HKEY_CURRENT_USER\\Software\\Vendor" + std::to_string(i % 97) + "\\Key" +
                    std::to_string(i) + "]\n\"name\"=\"value " + std::to_string(i) +
                    "\"\n\"count\"=dword:0000002a\n\"blob\"=hex:01,02,03,04,05,06,07,08\n\n";
        }
        break;
    }
    return text;
}

void ParseStoreFile(benchmark::State& state)
{
    const std::string text =
        StoreText(static_cast<Shape>(state.range(0)), static_cast<size_t>(state.range(1)));
    for (auto _ : state) {
        Ulmora::Platform::RegistryTree tree;
        std::string error;
        if (!Ulmora::Platform::ParseRegistryFile(text, "HKEY_CURRENT_USER", tree, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(tree);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}

BENCHMARK(ParseStoreFile)
    ->ArgNames({"shape", "bytes"})
    ->Args({DeepPath, 16 << 10})
    ->Args({DeepPath, 64 << 10})
    ->Args({LongHex, 1 << 20})
    ->Args({LongHex, 2 << 20})
    ->Args({ManyKeys, 1 << 20})
    ->Args({ManyKeys, 10 << 20})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    UlmoraBench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("Deep key path, 64 KB against 16 KB", "ParseStoreFile/shape:0/bytes:65536",
                        "ParseStoreFile/shape:0/bytes:16384", "about 4, linear");
    reporter.PrintRatio("Hex value, 2 MB against 1 MB", "ParseStoreFile/shape:1/bytes:2097152",
                        "ParseStoreFile/shape:1/bytes:1048576", "about 2, linear");
    reporter.PrintRatio("Ordinary keys, 10 MB against 1 MB",
                        "ParseStoreFile/shape:2/bytes:10485760",
                        "ParseStoreFile/shape:2/bytes:1048576", "about 10, linear");
    const auto tenMegabytes = reporter.times.find("ParseStoreFile/shape:2/bytes:10485760");
    if (tenMegabytes != reporter.times.end())
        std::printf("10 MB store file parsed in %.3f s (goal: well under 1 s)\n",
                    tenMegabytes->second);
    const double small = reporter.times["WriteAndRead/10"];
    const double large = reporter.times["WriteAndRead/100"];
    const double smallCpu = reporter.cpuTimes["WriteAndRead/10"];
    const double largeCpu = reporter.cpuTimes["WriteAndRead/100"];
    // Real time includes waiting for the disk (one fsync per file
    // replacement), which varies much more than the work done.
    if (small > 0 && smallCpu > 0)
        std::printf("\nScaling from 1,000 to 10,000 parameters per round trip: "
                    "%.1fx real time, %.1fx CPU time\n",
                    large / small, largeCpu / smallCpu);
    benchmark::Shutdown();
    return 0;
}
