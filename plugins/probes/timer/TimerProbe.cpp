// timer: how fine the monotonic and wall clocks step, and what one reading
// of the monotonic clock costs. Measured, because the resolution an OS
// reports is often finer than the clock it serves.
#include <cstdint>
#include <string>

#include "TimerClocks.h"
#include "ulmora/IResultDatabase.h"
#include "ulmora/PluginKit.h"

namespace {

// The smallest non-zero step seen between successive readings, in ticks,
// or 0. Bounded by count and by `budgetTicks`, so a coarse clock cannot
// hold up the run.
int64_t SmallestStep(TimerProbe::ReadFunction read, int64_t budgetTicks)
{
    int64_t smallest = 0;
    const int64_t start = read();
    int64_t previous = start;
    for (int steps = 0, reads = 0; steps < 64 && reads < 200000; ++reads) {
        const int64_t now = read();
        if (now != previous) {
            const int64_t step = now - previous;
            if (step > 0 && (smallest == 0 || step < smallest))
                smallest = step;
            ++steps;
            previous = now;
        }
        if (now - start > budgetTicks)
            break;
    }
    return smallest;
}

class TimerTest : public Ulmora::ITest {
public:
    uint32_t Run(Ulmora::IResultDatabase* db) override
    {
        std::vector<std::string> missing;
        const TimerProbe::Clock monotonic = TimerProbe::Monotonic();
        const TimerProbe::Clock wall = TimerProbe::Wall();
        if (monotonic.read != nullptr) {
            const int64_t budget = static_cast<int64_t>(0.002 / monotonic.tickSeconds);
            const int64_t step = SmallestStep(monotonic.read, budget);
            if (step > 0)
                db->AddDouble("timer.monotonic.resolution_seconds", step * monotonic.tickSeconds);
            else
                missing.push_back("monotonic clock did not advance");
            // The cost of one reading: the mean over a batch read back to back.
            const int batch = 1000;
            double best = 0;
            for (int round = 0; round < 5; ++round) {
                const int64_t begin = monotonic.read();
                for (int i = 0; i < batch; ++i)
                    monotonic.read();
                const double each = (monotonic.read() - begin) * monotonic.tickSeconds / (batch + 1);
                if (round == 0 || each < best)
                    best = each;
                if ((monotonic.read() - begin) * monotonic.tickSeconds > 0.002)
                    break;  // a slow clock: the first rounds say enough
            }
            db->AddDouble("timer.monotonic.read_cost_seconds", best);
            if (monotonic.reportedResolution > 0)
                db->AddDouble("timer.monotonic.reported_resolution_seconds", monotonic.reportedResolution);
        } else {
            missing.push_back("no monotonic clock");
        }
        if (wall.read != nullptr) {
            // A wall clock may step only with the scheduler tick (15.6 ms
            // on Windows); then the OS's word stands in for a measurement.
            const int64_t step = SmallestStep(wall.read, static_cast<int64_t>(0.002 / wall.tickSeconds));
            if (step > 0)
                db->AddDouble("timer.wall.resolution_seconds", step * wall.tickSeconds);
            else if (wall.reportedResolution > 0)
                db->AddDouble("timer.wall.resolution_seconds", wall.reportedResolution);
            else
                missing.push_back("wall clock did not advance");
            if (wall.reportedResolution > 0)
                db->AddDouble("timer.wall.reported_resolution_seconds", wall.reportedResolution);
        } else {
            missing.push_back("no wall clock");
        }
        const std::string source = TimerProbe::ClockSource();
        if (!source.empty())
            db->AddString("timer.monotonic.source", source.c_str());
        std::string status = "ok";
        for (size_t i = 0; i < missing.size(); ++i)
            status = (i ? status + ", " : "partial: ") + missing[i];
        db->AddString("timer.status", status.c_str());
        return 0;
    }
};

} // namespace

ULMORA_PROBE(TimerTest, "timer", 1106, 1)
