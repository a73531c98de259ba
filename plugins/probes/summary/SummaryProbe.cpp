// summary: runs after the other probes and counts the values they left.
#include "ulmora/Ulmora.h"

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

ULMORA_PROBE(SummaryTest, "summary", 1004, 1,
                    {1001, "needs the clock values"}, {1002, "needs the cpu count"},
                    {1003, "needs the disk values"})
