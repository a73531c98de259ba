// The measuring probes against the tools they are modelled on.
//
// Triad: the memory-bandwidth probe's triad (its kernel and its thread
// team) against a plain STREAM triad loop compiled with -O3, on the same
// arrays with the same number of threads, one pass per iteration. Goal:
// the probe reaches at least 0.9 of the baseline's bandwidth.
//
// Disk write: the disk-speed probe's sequential write of 64 MiB (create,
// write in 1 MiB blocks, flush, remove) against
// `dd if=/dev/zero of=F bs=1M count=64 oflag=direct conv=fsync` in the same
// folder. Goal: a bandwidth ratio between 0.8 and 1.25.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "../plugins/probes/disk-speed/DiskSpeedSteps.h"
#include "../plugins/probes/memory-bandwidth/BandwidthOs.h"
#include "../plugins/probes/memory-bandwidth/StreamKernels.h"
#include "../plugins/probes/support/Measurement.h"
#include "support/RatioReporter.h"

void StreamBaselineTriad(double* a, const double* b, const double* c, double scalar, long begin, long end);

namespace {

constexpr size_t kMiB = 1024 * 1024;
// Arrays four times a 32 MiB last-level cache, as the probe sizes them on
// this machine.
constexpr size_t kArrayElements = 128 * kMiB / sizeof(double);
constexpr uint64_t kFileBytes = 64 * kMiB;

// The probe's arrays (large pages where the OS offers them), shared by both
// triads.
struct Arrays {
    struct Free {
        void operator()(double* array) const { Bandwidth::FreeArray(array, kArrayElements * sizeof(double)); }
    };
    std::unique_ptr<double[], Free> a{Bandwidth::AllocateArray(kArrayElements * sizeof(double))};
    std::unique_ptr<double[], Free> b{Bandwidth::AllocateArray(kArrayElements * sizeof(double))};
    std::unique_ptr<double[], Free> c{Bandwidth::AllocateArray(kArrayElements * sizeof(double))};
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());

    Arrays()
    {
        Measurement::RunTogether(threads, [this](unsigned index) {
            size_t begin, end;
            Slice(index, begin, end);
            Bandwidth::Fill(a.get(), b.get(), c.get(), begin, end);
        });
    }
    void Slice(unsigned index, size_t& begin, size_t& end) const
    {
        const size_t chunk = (kArrayElements / threads + 7) / 8 * 8;
        begin = std::min(kArrayElements, chunk * index);
        end = std::min(kArrayElements, begin + chunk);
    }
};

Arrays& SharedArrays()
{
    static Arrays arrays;
    return arrays;
}

void BM_ProbeTriad(benchmark::State& state)
{
    Arrays& arrays = SharedArrays();
    for (auto _ : state) {
        const double seconds = Measurement::RunTogether(arrays.threads, [&](unsigned index) {
            size_t begin, end;
            arrays.Slice(index, begin, end);
            Bandwidth::Triad(arrays.a.get(), arrays.b.get(), arrays.c.get(), 3.0, begin, end);
        });
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 3 * sizeof(double) * kArrayElements));
}

// STREAM's own way: the loop over each thread's share, the threads started
// for the pass and joined at its end.
void BM_StreamTriad(benchmark::State& state)
{
    Arrays& arrays = SharedArrays();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::thread> threads;
        for (unsigned index = 1; index < arrays.threads; ++index) {
            threads.emplace_back([&arrays, index] {
                size_t begin, end;
                arrays.Slice(index, begin, end);
                StreamBaselineTriad(arrays.a.get(), arrays.b.get(), arrays.c.get(), 3.0, static_cast<long>(begin),
                                    static_cast<long>(end));
            });
        }
        size_t begin, end;
        arrays.Slice(0, begin, end);
        StreamBaselineTriad(arrays.a.get(), arrays.b.get(), arrays.c.get(), 3.0, static_cast<long>(begin),
                            static_cast<long>(end));
        for (std::thread& thread : threads)
            thread.join();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 3 * sizeof(double) * kArrayElements));
}

// The folder both writers use: the one holding this executable, as the probe
// would choose it.
std::string BenchFolder()
{
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string file(path, length > 0 ? static_cast<size_t>(length) : 0);
    return file.substr(0, file.rfind('/'));
}

void BM_ProbeWrite(benchmark::State& state)
{
    const std::string folder = BenchFolder();
    DiskSpeed::AlignedBuffer buffer(DiskSpeed::kBlockBytes);
    DiskSpeed::FillBlock(buffer.Data(), DiskSpeed::kBlockBytes);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::string error;
        std::unique_ptr<DiskSpeed::ScratchFile> file = DiskSpeed::ScratchFile::Create(folder, error);
        if (!file || DiskSpeed::WriteSequential(*file, buffer.Data(), DiskSpeed::kBlockBytes, kFileBytes, error) < 0) {
            state.SkipWithError(error.c_str());
            break;
        }
        file.reset();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}

void BM_DdWrite(benchmark::State& state)
{
    const std::string target = BenchFolder() + "/dd-bench-" + std::to_string(getpid()) + ".tmp";
    const std::string command =
        "dd if=/dev/zero of=" + target + " bs=1M count=64 oflag=direct conv=fsync status=none";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        std::remove(target.c_str());
        if (status != 0) {
            state.SkipWithError("dd failed");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}

// On a busy machine, run it as `chrt -f 10 measure_bench`: both writers
// sleep on the device after every block, and a busy scheduler wakes the one
// that does more work per block (dd also reads /dev/zero) later, which the
// ratio would then show instead of the disk.
BENCHMARK(BM_ProbeTriad)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamTriad)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProbeWrite)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DdWrite)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

// The fastest repetition's time of the benchmark called `name` (with
// whatever run options Google Benchmark appends to the name).
double TimeOf(const UlmoraBench::RatioReporter& reporter, const std::string& name)
{
    for (const auto& entry : reporter.times) {
        if (entry.first == name || entry.first.rfind(name + "/", 0) == 0)
            return entry.second;
    }
    return 0;
}

// Both do the same bytes per iteration, so the bandwidth ratio is the
// inverse of the time ratio.
void PrintBandwidthRatio(const UlmoraBench::RatioReporter& reporter, const char* label, const char* ours,
                         const char* baseline, const char* goal)
{
    const double oursTime = TimeOf(reporter, ours);
    const double baseTime = TimeOf(reporter, baseline);
    if (oursTime > 0 && baseTime > 0)
        std::printf("%s: bandwidth %s / %s = %.3f (goal %s)\n", label, ours, baseline, baseTime / oursTime, goal);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    UlmoraBench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n");
    PrintBandwidthRatio(reporter, "Triad", "BM_ProbeTriad", "BM_StreamTriad", ">= 0.9");
    PrintBandwidthRatio(reporter, "Disk write", "BM_ProbeWrite", "BM_DdWrite", "0.8 to 1.25");
    benchmark::Shutdown();
    return 0;
}
