// summary: runs after the other probes and counts the values they left.
#include "ProbeModule.h"

namespace {

class SummaryTest : public Ulmora::ITest {
public:
    uint32_t Run(Ulmora::IResultDatabase* database) override
    {
        const char* keys[] = {"clock.utc", "clock.monotonic.seconds", "cpu.count", "disk.known"};
        uint32_t found = 0;
        for (const char* key : keys)
            found += database->GetValueCount("%s", key) > 0 ? 1 : 0;
        database->AddUInt32("summary.probes.reported", found);
        return 0;
    }
};

} // namespace

ULMORA_PROBE_MODULE(SummaryTest, "summary", Probes::kSummaryProbe, 1,
                    {Probes::kClockProbe, "needs the clock values"}, {Probes::kCpuProbe, "needs the cpu count"},
                    {Probes::kDiskProbe, "needs the disk values"})
