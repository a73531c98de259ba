// compute: integer and floating-point throughput, on one thread and on every
// logical CPU at once. Each figure is the best of several short repetitions
// after a warm-up; its spread over the repetitions is reported beside it.
#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>

#include "../support/Measurement.h"
#include "ComputeKernels.h"
#include "ComputeOs.h"
#include "ulmora/PluginKit.h"

namespace {

using Measurement::Series;

// One repetition lasts about this long; five of them per figure, four
// figures, keep the probe near 0.2 s.
constexpr double kRepetitionSeconds = 0.008;
constexpr int kRepetitions = 5;
constexpr unsigned kMaxThreads = 256;

volatile uint32_t g_IntSink;
volatile double g_FloatSink;

struct Kernel {
    const char* name;
    void (*run)(uint64_t steps, unsigned index);
};

void RunInteger(uint64_t steps, unsigned index)
{
    g_IntSink = Compute::IntegerKernel(steps, 12345u + index);
}

void RunFloat(uint64_t steps, unsigned index)
{
    g_FloatSink = Compute::FloatKernel(steps, 0.5 + 0.001 * index);
}

// Steps that take about kRepetitionSeconds on one thread. The doubling runs
// also warm the core up before anything is counted.
uint64_t Calibrate(const Kernel& kernel)
{
    uint64_t steps = 1u << 12;
    for (;;) {
        const double seconds = Measurement::RunTogether(1, [&](unsigned index) { kernel.run(steps, index); });
        if (seconds >= kRepetitionSeconds / 4 || steps >= (uint64_t(1) << 40)) {
            const double scale = seconds > 0 ? kRepetitionSeconds / seconds : 1.0;
            return std::max<uint64_t>(1, static_cast<uint64_t>(static_cast<double>(steps) * scale));
        }
        steps *= 2;
    }
}

Series MeasureKernel(const Kernel& kernel, uint64_t steps, unsigned threads)
{
    const double ops = static_cast<double>(steps * Compute::kLanes * Compute::kOpsPerLaneStep) * threads;
    Series series;
    // With several threads the first repetition also wakes the other cores.
    if (threads > 1)
        Measurement::RunTogether(threads, [&](unsigned index) { kernel.run(steps, index); });
    for (int repetition = 0; repetition < kRepetitions; ++repetition) {
        const double seconds =
            Measurement::RunTogether(threads, [&](unsigned index) { kernel.run(steps, index); });
        if (seconds > 0)
            series.Add(ops / seconds);
    }
    return series;
}

class ComputeProbe : public Ulmora::ITest {
public:
    uint32_t Run(Ulmora::IResultDatabase* database) override
    {
        try {
            Measure(database);
        } catch (const std::exception& error) {
            database->AddString("compute.status", (std::string("unsupported: ") + error.what()).c_str());
        } catch (...) {
            database->AddString("compute.status", "unsupported: the measurement failed");
        }
        return 0;
    }

private:
    static void Measure(Ulmora::IResultDatabase* database)
    {
        std::string status = "ok";
        uint64_t threads = 0;
        if (!Measurement::ReadUInt64(database, "cpu.logical_count", threads) || threads == 0) {
            threads = Compute::UsableLogicalCpus();
            if (threads == 0)
                threads = std::thread::hardware_concurrency();
            if (threads == 0) {
                threads = 1;
                status = "partial: the number of logical CPUs is unknown, multi-thread figures use one thread";
            }
        }
        threads = std::min<uint64_t>(threads, kMaxThreads);
        database->AddUInt64("compute.threads_count", threads);

        const Kernel kernels[] = {{"integer", RunInteger}, {"float", RunFloat}};
        for (const Kernel& kernel : kernels) {
            const uint64_t steps = Calibrate(kernel);
            const Series single = MeasureKernel(kernel, steps, 1);
            const Series multi = MeasureKernel(kernel, steps, static_cast<unsigned>(threads));
            Publish(database, kernel.name, "single_thread", single);
            Publish(database, kernel.name, "multi_thread", multi);
        }
        database->AddString("compute.status", status.c_str());
    }

    static void Publish(Ulmora::IResultDatabase* database, const char* kernel, const char* mode,
                        const Series& series)
    {
        database->AddDouble("compute.%s.%s_ops_per_second", series.Best(), kernel, mode);
        database->AddDouble("compute.%s.%s_relative_stddev_ratio", series.RelativeStddev(), kernel, mode);
    }
};

} // namespace

ULMORA_PROBE(ComputeProbe, "compute", 1107, 1, {1102, "the number of logical CPUs"})
